#!/usr/bin/env bash
# Runs the search benchmark and prints each search's throughput as a multiple
# of the literal reference's at the same number of points, in the same run.
#
#   cmake --preset dev && cmake --build --preset dev && bench/search_ratio.sh
set -euo pipefail
cd "$(dirname "$0")/.."
json=$(mktemp)
trap 'rm -f "$json"' EXIT
build/dev/bench/search_bench --benchmark_format=json --benchmark_out="$json" \
    --benchmark_out_format=json >/dev/null
python3 - "$json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
literal = {r["name"].split("points:")[1].split("/")[0]: r["items_per_second"]
           for r in runs if r["name"].startswith("FindBestTripleLiteral")}
for r in runs:
    points = r["name"].split("points:")[1].split("/")[0]
    rate = r["items_per_second"]
    print(f'{r["name"]:<55} {r.get("label", ""):<22} {rate / 1e6:8.1f} M triples/s'
          f'   {rate / literal[points]:6.1f}x literal')
PY
