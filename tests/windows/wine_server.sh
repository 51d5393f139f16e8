#!/usr/bin/env bash
# wine_server.sh start|stop: one wineserver for the Windows tests, in the
# prefix that WINEPREFIX names (made on first use).
#
# The server and the programs wine starts with it keep running after this
# script ends, so their standard streams go to /dev/null: left on CTest's
# pipes they would keep CTest waiting for them.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the wine prefix}"
export WINEDEBUG=-all
case "${1:-}" in
start)
    mkdir -p "$WINEPREFIX"
    # Persistent, but for half a minute only once no program is left, so
    # that a run cut short leaves no server behind for long.
    wineserver -p30 </dev/null >/dev/null 2>&1
    # The first program starts the prefix (or makes it, ten seconds, without
    # asking to install Mono and Gecko, which no test needs).
    WINEDLLOVERRIDES="mscoree=;mshtml=" wine cmd /c exit </dev/null >/dev/null 2>&1
    ;;
stop)
    wineserver -k </dev/null >/dev/null 2>&1 || true # nothing left to stop is fine
    ;;
*)
    echo "usage: wine_server.sh start|stop" >&2
    exit 2
    ;;
esac
