#!/usr/bin/env bash
# interrupt_test.sh CLI: Ctrl-C (or a kill) during a long estimation or
# adjustment ends kovarim-cli with status 130; the parameter file keeps its
# bytes and no report and no temporary file of ours is left in the folder.
set -uo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# 4000 points: the search takes many seconds, the signal comes after one.
awk 'BEGIN {
    for (i = 0; i < 4000; i++) {
        x = 2850000 + (i * 7919) % 10007; y = 590000 + (i * 104729) % 9973; z = (i * 31) % 97
        printf "P%d,%d,%d,%d,%.3f,%.3f,%.3f\r\n", i, x, y, z, x - 93, y + 30, z + 7
    }
}' >points.txt

set -m # background runs that take SIGINT, as from a terminal
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
for run in "estimate INT" "adjust TERM"; do
    read -r command signal <<<"$run"
    echo "old parameters" >params.txt
    "$cli" "$command" points.txt --params params.txt >/dev/null 2>error.txt &
    pid=$!
    sleep 1
    kill -s "$signal" "$pid"
    wait "$pid"
    status=$?
    [ "$status" -eq 130 ] || fail "$command, SIG$signal: status $status: $(cat error.txt)"
    [ "$(cat params.txt)" = "old parameters" ] || fail "$command: the parameter file changed"
    left=$(ls -A | grep -v -x -e points.txt -e params.txt -e error.txt)
    [ -z "$left" ] || fail "$command left: $left"
    [ "$status" -eq 130 ] && echo "stopped: $command on SIG$signal"
done
exit $((failures > 0))
