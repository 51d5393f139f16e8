#!/usr/bin/env bash
# The Win32 window under wine in a real X window, driven as a user would
# drive it: estimate from the example common points (typing the path into
# the open dialog), convert the point in the boxes, convert the example
# batch file under the proposed name, then twice more into the same file,
# answering the replace question with Cancel and then with OK; compare the
# report, the converted file and the shown point with what the Linux build
# gives; estimate a network whose best triple is weak and take the adjusted
# parameters the window offers (the adjustment report as the Linux build
# writes it, the point converted with them); close the window and see the
# program end. After a dialog and after
# a message box the button that had the focus has it again (Space presses
# it). During a search the window's frame still works: it moves, it
# minimises, and its ✕, Alt+F4 and the system menu's Close end the search
# and the program, with no report.
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
cp "$source/examples/weak_triple.txt" "$work/数据/weak.txt"
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
# while the dialog stays. The name is pasted: xdotool types a character
# that no key has by remapping a key for it, which wine sometimes misses.
choose() {
    wait_for 60 titled "$1" dialog || fail "no dialog '$1'"
    sleep 2
    if [ -n "$2" ]; then
        printf '%s' "$2" | xclip -selection clipboard
        xdotool key ctrl+v
    fi
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

# After the dialog, 计算公共点参数 has the focus again: Space presses it.
# Wine's dialogs may take a moment to give the window back its keys.
space_opens() {
    local attempt
    for attempt in 1 2 3; do
        xdotool key space
        wait_for 10 titled "$open" dialog && break
    done
    titled "$open" dialog || fail "Space after $1 pressed no button"
    sleep 1
    xdotool key Escape
    wait_for 30 sh -c "! xdotool search --onlyvisible --name '$open'" || fail "the dialog stayed"
    sleep 1
}
space_opens "the open dialog"

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
        space_opens "the message box" # 批量转换 had the focus: its open dialog
    fi
done
cmp "$output" "$source/tests/e2e/expected/batch_pointsto.txt" || fail "replaced file differs"

# A weak best triple: the question comes, titled as the window; OK (the
# default) writes the adjustment report beside the accuracy report and the
# point is converted with the adjusted parameters.
click 140 184
choose "$open" "$windows_dir\\weak.txt"
asked() { [ "$(visible '^Kovarim1\.0$' | wc -l)" -ge 2 ]; }
wait_for 60 asked || fail "no question after the weak triple"
sleep 1
xdotool key Return
wait_for 30 sh -c "! [ \$(xdotool search --onlyvisible --name '^Kovarim1\.0\$' | wc -l) -ge 2 ]" ||
    fail "the question stayed"
adjusted="$work/数据/weak七参数平差报告.txt"
wait_for 30 test -s "$adjusted" || fail "no adjustment report after OK"
sleep 1
cmp "$adjusted" "$source/tests/cli/expected/weak_adjustment_report.txt" ||
    fail "the adjustment report differs from the Linux build's"
click 372 168
sleep 1
click 127 124
xdotool key ctrl+a ctrl+c
sleep 1
shown=$(xclip -o -selection clipboard)
[ "$shown" = "$(cat "$source/tests/e2e/expected/weak_adjusted_point.txt")" ] ||
    fail "after OK Text1 shows '$shown'"

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

# The window's frame during a search, in a wine desktop: there wine draws
# the title bars (Xvfb has no window manager to). The window's client area
# stands at (360, 261) of the desktop, 432 pixels wide; the desktop fills
# the screen. A folder of an ASCII name, the only names xdotool types into
# the desktop.
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -p30 </dev/null >/dev/null 2>&1
mkdir "$work/desk"
cp "$work/数据/many.txt" "$work/desk/"
caption=249                # the middle of the title bar
close_x=782 minimise_x=748 # its ✕ and minimise buttons
# The program's process (not the desktop's, whose arguments hold the same path).
program_pid() {
    ps -eo pid=,args= | awk -v p="$program" '{ a = $0; sub(/^ *[0-9]+ /, "", a); if (a == p) print $1 }'
}
program_started() { [ -n "$(program_pid)" ]; }
cpu_seconds() { ps -o times= -p "$1" 2>/dev/null | tr -d ' '; }
# Starts the program and a search of many.txt; once it has searched for
# three seconds of processor time, does what the arguments say, which must
# end the program: then no report may be there.
search_then() {
    (cd "$work/desk" && exec wine explorer /desktop=kovarim,1280x1024 "$program") \
        >>"$work/kovarim.log" 2>&1 &
    pids+=($!)
    wait_for 60 program_started || fail "the program did not start in the desktop"
    pid=$(program_pid)
    sleep 4
    xdotool mousemove 500 445 click 1 # 计算公共点参数
    sleep 4
    xdotool type --delay 20 many.txt
    xdotool key Return
    for ((i = 0; i < 600; i++)); do
        [ "$(cpu_seconds "$pid")" -ge 3 ] 2>/dev/null && break
        sleep 0.1
    done
    [ "$(cpu_seconds "$pid")" -ge 3 ] || fail "no search started in the desktop"
    "$@"
    wait_for 15 sh -c "! kill -0 $pid" || fail "$1 during a search did not end the program"
    [ ! -e "$work/desk/many七参数精度评估.txt" ] || fail "$1 during a search left a report"
}
# Moves the window 100 pixels right and 50 down by its title bar, minimises
# it (a click where its ✕ was then closes nothing), restores it from the
# bottom of the desktop, where wine keeps it, and closes it by its ✕.
move_minimise_close() {
    xdotool mousemove 500 $caption mousedown 1 sleep 0.3 mousemove 550 $((caption + 25)) \
        sleep 0.3 mousemove 600 $((caption + 50)) sleep 0.3 mouseup 1
    sleep 1
    xdotool mousemove $((minimise_x + 100)) $((caption + 50)) click 1
    sleep 1
    xdotool mousemove $((close_x + 100)) $((caption + 50)) click 1
    sleep 2
    kill -0 "$pid" || fail "the window did not move or did not minimise during a search"
    xdotool mousemove 113 1011 click 1 # the minimised window's restore button
    sleep 1
    xdotool mousemove $((close_x + 100)) $((caption + 50)) click 1
}
search_then move_minimise_close
search_then xdotool key alt+F4
system_menu_close() { xdotool key alt+space sleep 1 key c; }
search_then system_menu_close
echo "Win32 window under wine: estimation, single point, batch, both answers, the focus after a dialog and a message box, Esc and closing during a search (by the window manager, the ✕, Alt+F4 and the system menu, after moving and minimising) as expected"
