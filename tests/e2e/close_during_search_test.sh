#!/usr/bin/env bash
# Closing the window while an estimation searches ends the program, every
# time: ten rounds, each choosing a file of 3000 common points through the
# open dialog and asking the window to close as a window manager does
# (WM_DELETE_WINDOW) a moment after the dialog has gone, from at once to a
# second later. The desktop's own file dialog (GTK) is asked for: with it, Qt
# used to drop such a request.
#
#   close_during_search_test.sh <kovarim executable>
# Needs Xvfb, xdotool and python3-xlib; exits 77 (skipped) without them.
set -euo pipefail
program=$(realpath "$1")
python=/usr/bin/python3
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
"$python" -c 'import Xlib' 2>/dev/null || { echo "skipped: no python3-xlib"; exit 77; }

# Qt's dialogs in English, whatever the desktop's language: the test knows
# them by their titles.
export LC_ALL=C.UTF-8 LANGUAGE=
source "$(dirname "$0")/x_session.sh"
start_x

# 3000 points: 4.5 billion triples, some seconds of search.
awk 'BEGIN { for (i = 0; i < 3000; i++) {
    x = 1000 + (i * 7919) % 5000; y = 2000 + (i * 104729) % 5003
    printf "P%d,%d,%d,0,%d,%d,3\r\n", i, x, y, x + 1, y + 2 } }' >"$work/many.txt"

cat >"$work/close.py" <<'PY'
import sys
from Xlib import X, display, protocol
d = display.Display()
w = d.create_resource_object('window', int(sys.argv[1]))
ev = protocol.event.ClientMessage(window=w, client_type=d.intern_atom('WM_PROTOCOLS'),
    data=(32, [d.intern_atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0]))
w.send_event(ev, event_mask=X.NoEventMask)
d.sync() # a round trip: a request of a client that leaves at once may be dropped
PY

for round in 0 1 2 3 4 5 6 7 8 9; do
    QT_QPA_PLATFORMTHEME=gtk3 "$program" >"$work/kovarim.log" 2>&1 &
    pid=$!
    pids+=("$pid")
    wait_for 15 xdotool search --name '^Kovarim1\.0$' || fail "round $round: no window"
    window=$(xdotool search --name '^Kovarim1\.0$' | head -1)
    xdotool mousemove --window "$window" 140 184 click 1 # 计算公共点参数
    wait_for 15 xdotool search --onlyvisible --name '^Open' || fail "round $round: no dialog"
    sleep 0.5
    xdotool type --delay 15 "$work/many.txt"
    xdotool key Return
    # The dialog's completion list may take the first Return.
    wait_for 1 sh -c "! xdotool search --onlyvisible --name '^Open'" || xdotool key Return
    wait_for 5 sh -c "! xdotool search --onlyvisible --name '^Open'" ||
        fail "round $round: the dialog stayed"
    sleep "0.$round"
    "$python" "$work/close.py" "$window"
    wait_for 2 sh -c "! kill -0 $pid" || fail "round $round: still running 2 s after the close"
    wait "$pid" 2>/dev/null || true
    [ ! -e "$work/many七参数精度评估.txt" ] || fail "round $round: a stopped search wrote a report"
done
echo "closing during the search ended the program in all ten rounds"
