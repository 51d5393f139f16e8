#!/usr/bin/env bash
# interrupt_test.sh CLI...: Ctrl-C, a kill, a closed terminal (SIGHUP), a
# pipe read no more (SIGPIPE) or Ctrl-\ (SIGQUIT) during a long estimation or
# adjustment, or during a conversion or a calibration that waits for its input, ends
# kovarim-cli with status 130; the parameter file and the old output keep
# their bytes and no report and no temporary file of ours is left in the
# folder. CLI... is a program and whatever runs it: under wine (a program
# ending in .exe) only SIGINT, which wine hands on as Ctrl+C, means anything
# to the program.
set -uo pipefail
cli=("$@")
windows=0
[[ "${cli[-1]}" == *.exe ]] && windows=1
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
printf 'DX = 0\nDY = 0\nDZ = 0\nScale = 0\nRotX = 0\nRotY = 0\nRotZ = 0\n' >zero.txt

set -m # background runs that take SIGINT, as from a terminal
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
# check WHAT STATUS: status 130 and nothing changed or left behind
check() {
    [ "$2" -eq 130 ] || fail "$1: status $2: $(cat error.txt)"
    [ "$(cat params.txt)" = "old parameters" ] || fail "$1: the parameter file changed"
    [ "$(cat out.txt)" = "old output" ] || fail "$1: the output changed"
    left=$(ls -A | grep -v -x -e points.txt -e zero.txt -e params.txt -e out.txt -e error.txt -e input)
    [ -z "$left" ] || fail "$1 left: $left"
    [ "$2" -eq 130 ] && echo "stopped: $1"
}
runs=("estimate INT" "adjust TERM" "estimate HUP" "adjust HUP" "estimate PIPE" "adjust PIPE"
    "estimate QUIT" "adjust QUIT")
[ "$windows" -eq 1 ] && runs=("estimate INT" "adjust INT")
for run in "${runs[@]}"; do
    read -r command signal <<<"$run"
    echo "old parameters" >params.txt
    echo "old output" >out.txt
    "${cli[@]}" "$command" points.txt --params params.txt >/dev/null 2>error.txt &
    pid=$!
    sleep 1
    kill -s "$signal" "$pid"
    wait "$pid"
    check "$command on SIG$signal" $?
done

# A conversion whose input waits (a pipe whose writer says nothing more):
# the signal ends the wait, and the old output stays. (On Windows Ctrl+C does
# not end a read that waits.)
[ "$windows" -eq 1 ] && exit $((failures > 0))
mkfifo input
for signal in INT HUP TERM; do
    echo "old parameters" >params.txt
    echo "old output" >out.txt
    { head -c 100000 points.txt | cut -d, -f1-4 && sleep 30; } >input &
    writer=$!
    "${cli[@]}" convert --force --params zero.txt input out.txt >/dev/null 2>error.txt &
    pid=$!
    sleep 1
    kill -s "$signal" "$pid"
    wait "$pid"
    status=$?
    kill -- -"$writer" 2>/dev/null # and its sleep
    wait "$writer" 2>/dev/null
    check "convert on SIG$signal" $status
done
# A calibration whose common points wait the same way: no report, no
# parameter file.
for signal in INT TERM; do
    echo "old parameters" >params.txt
    echo "old output" >out.txt
    { head -c 100000 points.txt && sleep 30; } >input &
    writer=$!
    "${cli[@]}" calibrate input --from plane --to plane --params params.txt >/dev/null 2>error.txt &
    pid=$!
    sleep 1
    kill -s "$signal" "$pid"
    # It stops at once, not when the writer is done.
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.5
    done
    kill -0 "$pid" 2>/dev/null && fail "calibrate on SIG$signal: still reading 5 s later"
    wait "$pid"
    status=$?
    kill -- -"$writer" 2>/dev/null
    wait "$writer" 2>/dev/null
    check "calibrate on SIG$signal" $status
done
rm -f input
exit $((failures > 0))
