#!/usr/bin/env bash
# The Win32 window under wine in a real X window, driven as a user would
# drive it: estimate from the example common points (typing the path into
# the open dialog), convert the point in the boxes, convert the example
# batch file under the proposed name, then twice more into the same file,
# answering the replace question with Cancel and then with OK; compare the
# report, the converted file and the shown point with what the Linux build
# gives; close the window and see the program end.
#
#   win32_window_test.sh <kovarim.exe> <source folder>
# Needs Xvfb, xdotool, xclip, wine and python3-xlib; WINEPREFIX names the
# prefix (the tests' own). Exits 77 (skipped) without them.
set -euo pipefail
program=$(realpath "$1")
source=$(realpath "$2")
python=/usr/bin/python3
for tool in Xvfb xdotool xclip wine; do
    command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
"$python" -c 'import Xlib' 2>/dev/null || { echo "skipped: no python3-xlib"; exit 77; }
: "${WINEPREFIX:?WINEPREFIX must name the wine prefix}"
export WINEDEBUG=-all

source "$(dirname "$0")/x_session.sh"
start_x
# A wineserver of this display: wine's desktop takes the display of the
# server's first program, and the tests' server was started without one.
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -p30 </dev/null >/dev/null 2>&1
trap 'wineserver -k </dev/null >/dev/null 2>&1; cleanup' EXIT
# Readable Chinese captions: the CJK faces the window and the dialogs ask
# for, and a Chinese locale where there is one (code page 936, Chinese
# dialogs); the test itself takes either language.
"$(dirname "$0")/wine_fonts.sh"
locale -a 2>/dev/null | grep -qi '^zh_CN.utf-\?8$' && export LC_ALL=zh_CN.UTF-8

mkdir "$work/数据"
cp "$source/examples/common_points.txt" "$source/examples/batch_points.txt" "$work/数据/"
windows_dir="Z:$(tr / '\\' <<<"$work/数据")"

wine "$program" >"$work/kovarim.log" 2>&1 &
pids+=($!)
wait_for 60 xdotool search --onlyvisible --name '^Kovarim1\.0$' || fail "the window did not open"
window=$(xdotool search --onlyvisible --name '^Kovarim1\.0$' | head -1)
sleep 1
# The client area: 6480 × 4020 twips at (5400, 3915), at wine's 96 DPI.
geometry=$(xdotool getwindowgeometry "$window" | tr -s ' \n' ' ')
[[ "$geometry" == *"Position: 360,261 "*"Geometry: 432x268 "* ]] ||
    fail "the window stands at $geometry"

click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
visible() { xdotool search --onlyvisible --name "$1"; }
# A window titled $1 at least 400 pixels wide (a dialog), or narrower (a
# message box): in Chinese the save dialog and the replace question are both
# 另存为.
titled() {
    local w width
    for w in $(visible "$1"); do
        width=$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: \([0-9]*\)x.*/\1/p')
        [ -n "$width" ] || continue
        if [ "$2" = dialog ] && [ "$width" -ge 400 ]; then return 0; fi
        if [ "$2" = box ] && [ "$width" -lt 400 ]; then return 0; fi
    done
    return 1
}
# Wine's dialogs may show a moment before they take keys: Return again
# while the dialog stays.
choose() {
    wait_for 60 titled "$1" dialog || fail "no dialog '$1'"
    sleep 2
    [ -z "$2" ] || xdotool type --delay 20 "$2"
    for attempt in 1 2 3; do
        xdotool key Return
        for ((i = 0; i < 150; i++)); do
            titled "$1" dialog || return 0
            sleep 0.1
        done
    done
    fail "the dialog '$1' stayed"
}
open='^(打开|Open)$'
save='^(另存为|Save As)$'

# 计算公共点参数 (Command1).
click 140 184
choose "$open" "$windows_dir\\common_points.txt"
report="$work/数据/common_points七参数精度评估.txt"
wait_for 60 test -s "$report" || fail "no report"
sleep 1
cmp "$report" "$source/tests/e2e/expected/report.txt" || fail "report differs"

# 单点转换 (Command3), then read Text1 through the clipboard.
click 372 168
sleep 1
click 127 124
xdotool key ctrl+a ctrl+c
sleep 1
shown=$(xclip -o -selection clipboard)
[ "$shown" = "2860228.818" ] || fail "Text1 shows '$shown'"

# 批量转换 (Command2): input typed, proposed output accepted.
output="$work/数据/batch_pointsto"
click 372 208
choose "$open" "$windows_dir\\batch_points.txt"
choose "$save" ""
wait_for 60 test -s "$output" || fail "no converted file"
sleep 1
cmp "$output" "$source/tests/e2e/expected/batch_pointsto.txt" || fail "converted file differs"

# Into the same, now non-empty file: the question comes, Cancel keeps the
# file, OK replaces it.
for answer in Escape Return; do
    printf 'old' >"$output"
    click 372 208
    choose "$open" "$windows_dir\\batch_points.txt"
    choose "$save" ""
    for ((i = 0; i < 600; i++)); do titled '^另存为$' box && break; sleep 0.1; done
    titled '^另存为$' box || fail "no replace question"
    sleep 1
    xdotool key "$answer"
    for ((i = 0; i < 600; i++)); do titled '^另存为$' box || break; sleep 0.1; done
    ! titled '^另存为$' box || fail "the question stayed"
    sleep 2
    if [ "$answer" = Escape ]; then
        [ "$(cat "$output")" = old ] || fail "Cancel did not keep the file"
    fi
done
cmp "$output" "$source/tests/e2e/expected/batch_pointsto.txt" || fail "replaced file differs"

# An estimation of 3000 points, half a minute of search: Esc stops it, and
# closing the window as a window manager asks it to stops it and ends the
# program; no report either time. Each time the search has run a while, for
# wine's open dialog keeps the window disabled a moment after it has gone.
awk 'BEGIN { for (i = 0; i < 3000; i++) {
    x = 1000 + (i * 7919) % 5000; y = 2000 + (i * 104729) % 5003
    printf "P%d,%d,%d,%d,%d,%d,%d\r\n", i, x, y, i % 7, x + 1, y + 2, i % 7 + 3 } }' \
    >"$work/数据/many.txt"
click 140 184
choose "$open" "$windows_dir\\many.txt"
sleep 5
xdotool key Escape
sleep 3
[ ! -e "$work/数据/many七参数精度评估.txt" ] || fail "a search stopped by Esc wrote a report"
kill -0 "${pids[1]}" || fail "Esc ended the program"
# The button answers again (a search still running would drop the click).
click 140 184
choose "$open" "$windows_dir\\many.txt"
sleep 5
"$python" - "$window" <<'PY'
import sys
from Xlib import X, display, protocol
d = display.Display()
w = d.create_resource_object('window', int(sys.argv[1]))
ev = protocol.event.ClientMessage(window=w, client_type=d.intern_atom('WM_PROTOCOLS'),
    data=(32, [d.intern_atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0]))
w.send_event(ev, event_mask=X.NoEventMask)
d.sync()
PY
wait_for 10 sh -c "! kill -0 ${pids[1]}" || fail "the program did not end on closing"
[ ! -e "$work/数据/many七参数精度评估.txt" ] || fail "a stopped search wrote a report"
echo "Win32 window under wine: estimation, single point, batch, both answers, Esc and closing during a search as expected"
