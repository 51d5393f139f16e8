#!/usr/bin/env bash
# Runs every fuzz target for a bounded time on a copy of its seed corpus.
#   fuzz/run.sh [seconds per target, default 60]
# Inputs that once failed (fuzz/regressions/<target>/) run first.
# A finding is kept in build/fuzz/findings/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
findings=build/fuzz/findings
mkdir -p "$findings"
status=0
passed=0
failed=0
for seeds in fuzz/corpus/*/; do
    target=$(basename "$seeds")
    if [ -d "fuzz/regressions/$target" ]; then
        echo "== fuzz_$target on its regression inputs"
        build/fuzz/fuzz/fuzz_"$target" fuzz/regressions/"$target"/* >/dev/null 2>&1 ||
            { echo "regression input fails again"; status=1; failed=$((failed + 1)); }
    fi
    work=$(mktemp -d)
    cp -r "$seeds". "$work"
    echo "== fuzz_$target for ${seconds}s"
    if build/fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -max_len=4096 \
            -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/$target-" \
            -print_final_stats=1 "$work" >"$work.log" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        grep -E -A12 "ERROR:|property failed|deadly signal" "$work.log" | head -n 40 ||
            tail -n 30 "$work.log"
        status=1
    fi
    grep -E "^(Done|stat::number_of_executed_units)" "$work.log" || true
    rm -rf "$work" "$work.log"
done
echo "fuzz: $passed passed, $failed failed"
exit $status
