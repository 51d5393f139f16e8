#!/usr/bin/env bash
# full_disk_test.sh CLI...: kovarim-cli (CLI..., a program and whatever runs
# it, wine for Windows) converting onto a disk that fills up: files stop
# growing at 100 KB (a write past that fails as on a full disk), and the old
# output must stay whole, with no part of the new one left beside it.
set -uo pipefail
cli=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

printf 'DX = 0\nDY = 0\nDZ = 0\nScale = 0\nRotX = 0\nRotY = 0\nRotZ = 0\n' >params.txt
awk 'BEGIN { for (i = 0; i < 5000; i++) printf "P%d,2860321.78,592341.79,12.345\r\n", i }' >pts.txt

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
# The limit as a user sets it (the program itself turns the signal that
# would end it into a failed write), and, where an emulator runs the
# program, with the signal ignored for the emulator's sake.
signal=default
[ "${#cli[@]}" -gt 1 ] && signal=ignored
for output in old new; do
    rm -f ptsto
    [ "$output" = old ] && echo "old output" >ptsto
    # A child of its own, so that the limit stays there.
    (ulimit -f 100 && { [ "$signal" = default ] || trap '' XFSZ; } &&
        exec "${cli[@]}" convert --force --params params.txt pts.txt) \
        >/dev/null 2>error.txt </dev/null
    status=$?
    [ "$status" -eq 1 ] || fail "$output output: status $status: $(cat error.txt)"
    grep -q ptsto error.txt || fail "$output output: the message names no output: $(cat error.txt)"
    if [ "$output" = old ]; then
        [ "$(cat ptsto)" = "old output" ] || fail "the old output was not kept whole"
    else
        [ ! -e ptsto ] || fail "a part of the new output was left"
    fi
    left=$(ls -A | grep -v -x -e params.txt -e pts.txt -e ptsto -e error.txt)
    [ -z "$left" ] || fail "$output output: left $left"
    echo "$output output: $(tr -d '\r' <error.txt | tail -1)"
done
exit $((failures > 0))
