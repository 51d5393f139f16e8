#!/usr/bin/env bash
# The program in a real X window, driven as a user would drive it: estimate
# from the example common points (typing the path into the file dialog),
# convert the point in the boxes, convert the example batch file under the
# proposed name, then once more into the same file through the replace
# question; compare the report, the converted file, the shown point and the
# question's title with what they must be. Then a network whose best triple
# is weak: the window asks whether to convert with the adjusted parameters;
# OK writes the adjustment report kovarim-cli writes and converts with them,
# Cancel (Esc) keeps the triple's.
#
#   real_window_test.sh <kovarim executable> <source folder> <kovarim-cli>
# Needs Xvfb, xdotool and xclip; exits 77 (skipped) without them.
set -euo pipefail
program=$(realpath "$1")
source=$(realpath "$2")
cli=$(realpath "$3")
for tool in Xvfb xdotool xclip; do
    command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done

# Qt's dialogs in English, whatever the desktop's language: the test knows
# them by their titles.
export LC_ALL=C.UTF-8 LANGUAGE=
source "$(dirname "$0")/x_session.sh"
start_x

cp "$source/examples/common_points.txt" "$source/examples/batch_points.txt" "$work/"
cp "$source/examples/weak_triple.txt" "$work/weak.txt"
cp "$source/examples/weak_triple.txt" "$work/kept.txt"
cd "$work"
QT_QPA_PLATFORMTHEME= "$program" >"$work/kovarim.log" 2>&1 &
pids+=($!)
wait_for 15 xdotool search --name '^Kovarim1\.0$' || fail "the window did not open"
window=$(xdotool search --name '^Kovarim1\.0$' | head -1)

click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
# Waits for the file dialog whose title starts with $1, types $2 and accepts it.
choose() {
    wait_for 15 xdotool search --onlyvisible --name "^$1" || fail "no '$1' dialog"
    sleep 0.5
    xdotool type --delay 15 "$2"
    xdotool key Return
}

# 计算公共点参数 (Command1), centre at (140, 184).
click 140 184
choose Open "$work/common_points.txt"
report="$work/common_points七参数精度评估.txt"
wait_for 30 test -s "$report" || fail "no report"
sleep 0.5
cmp "$report" "$source/tests/e2e/expected/report.txt" || fail "report differs"

# 单点转换 (Command3), then read Text1 through the clipboard.
click 372 168
sleep 0.5
click 127 124
xdotool key ctrl+a ctrl+c
sleep 0.3
shown=$(xclip -o -selection clipboard)
[ "$shown" = "2860228.818" ] || fail "Text1 shows '$shown'"

# 批量转换 (Command2): input typed, proposed output accepted.
click 372 208
choose Open "$work/batch_points.txt"
choose Save "" # the proposed name stands
wait_for 15 test -s "$work/batch_pointsto" || fail "no converted file"
sleep 0.5
cmp "$work/batch_pointsto" "$source/tests/e2e/expected/batch_pointsto.txt" ||
    fail "converted file differs"

# Again into the same, now non-empty file: the replace question comes, titled
# exactly 另存为 as a user sees it (no program name appended), and OK replaces.
click 372 208
choose Open "$work/batch_points.txt"
choose Save ""
wait_for 15 xdotool search --onlyvisible --name '另存为' || fail "no replace question"
titles=$(for w in $(xdotool search --onlyvisible --name '另存为'); do xdotool getwindowname "$w"; done)
[ "$titles" = "另存为" ] || fail "the replace question is titled '$titles'"
xdotool key Return
wait_for 15 sh -c "! xdotool search --onlyvisible --name '另存为'" || fail "the question stayed"
sleep 0.5
cmp "$work/batch_pointsto" "$source/tests/e2e/expected/batch_pointsto.txt" ||
    fail "replaced file differs"

# Text1 after 单点转换, through the clipboard.
text1() {
    click 372 168
    sleep 0.5
    click 127 124
    xdotool key ctrl+a ctrl+c
    sleep 0.3
    xclip -o -selection clipboard
}
# Waits for the question after an estimation: a second window of the
# application's title.
question() {
    wait_for 30 sh -c "[ \$(xdotool search --onlyvisible --name '^Kovarim1\.0\$' | wc -l) -ge 2 ]" ||
        fail "no question after the weak triple"
    sleep 0.5
}
mkdir "$work/cli"
cp "$source/examples/weak_triple.txt" "$work/cli/weak.txt"
"$cli" adjust "$work/cli/weak.txt" --params "$work/cli/adjusted.txt" >/dev/null
"$cli" estimate "$work/cli/weak.txt" --params "$work/cli/triple.txt" >/dev/null 2>&1
converted() { "$cli" point --params "$work/cli/$1" 2860321.78 592341.79 0 | cut -d' ' -f1; }

click 140 184
choose Open "$work/weak.txt"
question
xdotool key Return # OK, the default
wait_for 15 test -s "$work/weak七参数平差报告.txt" || fail "no adjustment report after OK"
sleep 0.5
cmp "$work/weak七参数平差报告.txt" "$work/cli/weak七参数平差报告.txt" ||
    fail "the adjustment report differs from kovarim-cli's"
shown=$(text1)
[ "$shown" = "$(converted adjusted.txt)" ] || fail "after OK Text1 shows '$shown'"

click 140 184
choose Open "$work/kept.txt"
question
xdotool key Escape # Cancel
sleep 1
[ ! -e "$work/kept七参数平差报告.txt" ] || fail "an adjustment report after Cancel"
shown=$(text1)
[ "$shown" = "$(converted triple.txt)" ] || fail "after Cancel Text1 shows '$shown'"

kill -0 "${pids[1]}" || fail "the program ended"
echo "real window: estimation, single point and batch conversion, the weak triple's question as expected"
