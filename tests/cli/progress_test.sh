#!/usr/bin/env bash
# progress_test.sh CLI: a long estimation or adjustment shows its progress on
# standard error when that is a terminal (a pseudo-terminal that script(1)
# makes): the share done, triples per second and the time left, redrawn over
# one line, which is blanked before the results come. Nothing with --quiet,
# nothing when standard error is a file. Status 77 (skipped) without script.
set -uo pipefail
cli=$1
command -v script >/dev/null || { echo "script (util-linux) is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# A search of some seconds: as many points as it takes on this machine (1000
# points are 166 million triples, a third of a second on a fast one); two
# seconds make several lines, even should the machine be twice as fast later.
points() {
    awk -v n="$1" 'BEGIN {
        for (i = 0; i < n; i++) {
            x = 2850000 + (i * 7919) % 10007; y = 590000 + (i * 104729) % 9973; z = (i * 31) % 97
            printf "P%d,%d,%d,%d,%.3f,%.3f,%.3f\r\n", i, x, y, z, x - 93, y + 30, z + 7
        }
    }' >points.txt
}
for n in 1000 1250 1600 2000 2500 3200 4000; do
    points "$n"
    start=$(date +%s%N)
    "$cli" estimate points.txt >/dev/null 2>&1
    [ $(( ($(date +%s%N) - start) / 1000000 )) -ge 2000 ] && break
done
echo "$n points"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
# On a terminal: standard output to a file, standard error the terminal's,
# which script copies to terminal.txt.
on_terminal() {
    script -qfec "'$cli' $* >out.txt" /dev/null >terminal.txt </dev/null
}
frame='三点组 triples +[0-9]+\.[0-9]%  [0-9]+/s  剩余 left [0-9]+:[0-9][0-9]'
for command in estimate adjust; do
    on_terminal "$command" points.txt
    frames=$(tr '\r' '\n' <terminal.txt | grep -E -c "^$frame *$")
    [ "$frames" -ge 2 ] || fail "$command on a terminal: $frames progress lines: $(cat -A terminal.txt | head -c 600)"
    # The last thing on the terminal is blanks over the line, the cursor back at its start.
    tail -c 3 terminal.txt | od -c | grep -q ' \\r' || fail "$command: the line is not taken away"
    grep -q "^报告 report:" out.txt || fail "$command: no results: $(cat out.txt)"
    echo "$command on a terminal: $frames progress lines, then taken away"

    on_terminal "$command" points.txt --quiet
    [ ! -s terminal.txt ] || fail "$command --quiet: $(cat -A terminal.txt | head -c 300)"

    "$cli" "$command" points.txt >out.txt 2>error.txt
    [ ! -s error.txt ] || fail "$command into a file: $(cat -A error.txt | head -c 300)"
done
exit $((failures > 0))
