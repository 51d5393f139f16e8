#!/usr/bin/env bash
# A million points through `kovarim-cli convert` against PROJ's cct (Debian
# package proj-bin) on the same pipeline, measured in one run, on two roads:
#
#   grid:  CGCS2000 B L H -> CGCS2000 Gauss-Krueger x y h, 3-degree zone 39,
#          without parameters (convert --from blh:cgcs2000 --to gk:...)
#   road:  WGS84 B L H -> seven parameters -> Beijing 1954 x y h, zone 38
#          (the parameters estimated from examples/road_common_points.txt;
#          convert --params, cct on the parameter file's proj line)
#
# Each is timed three times (KOVARIM_BENCH_RUNS), alternating, and the
# fastest of each kept. Prints the wall times and the processor times (user
# and system, all threads: what counts on a machine busy with other work),
# the ratio cct/kovarim of both (2 or more is the goal) and the largest
# difference of the written values from cct's (cct with 4 decimals, ours 3).
#
#   cmake --preset dev && cmake --build --preset dev && bench/systems_with_cct.sh [CLI]
set -euo pipefail
cd "$(dirname "$0")/.."
cli=$(realpath "${1:-build/dev/cli/kovarim-cli}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A million points along the road's corridor and across zone 39 (B, L in
# decimal degrees with 9 decimals, H in metres).
python3 - "$work" <<'PY'
import random, sys
r = random.Random(23)
with open(sys.argv[1] + "/road.txt", "w", newline="") as k, open(sys.argv[1] + "/road.cct", "w") as c, \
     open(sys.argv[1] + "/grid.txt", "w", newline="") as gk, open(sys.argv[1] + "/grid.cct", "w") as gc:
    for i in range(1_000_000):
        b, l, h = 30.42 + r.uniform(0, 0.2), 113.95 + r.uniform(0, 0.3), r.uniform(20, 90)
        k.write(f"P{i},{b:.9f},{l:.9f},{h:.3f}\r\n")
        c.write(f"{b:.9f} {l:.9f} {h:.3f} 0\n")
        b, l, h = r.uniform(18, 53), r.uniform(115.5, 118.5), r.uniform(0, 2000)
        gk.write(f"P{i},{b:.9f},{l:.9f},{h:.3f}\r\n")
        gc.write(f"{b:.9f} {l:.9f} {h:.3f} 0\n")
PY

cp examples/road_common_points.txt "$work/common.txt"
(cd "$work" && "$cli" estimate common.txt --from blh:wgs84 --to gk:bj54:114,zone=38 \
    --params road.params >/dev/null)
road_proj=$(sed -n 's/^proj = //p' "$work/road.params")
grid_from=blh:cgcs2000 grid_to=gk:cgcs2000:117,zone=39
grid_proj="+proj=pipeline +step +proj=axisswap +order=2,1 +step +proj=unitconvert +xy_in=deg
 +xy_out=rad +step +proj=tmerc +lon_0=117 +k=1 +x_0=39500000 +y_0=0 +a=6378137 +rf=298.257222101
 +step +proj=axisswap +order=2,1"

measure() { # measure NAME KOVARIM_ARGS... -- CCT_ARGS...
    local name=$1 k=()
    shift
    while [ "$1" != -- ]; do k+=("$1"); shift; done
    shift
    python3 - "$work/$name" "$runs" "$cli" "${k[@]}" -- "$@" <<'PY'
import os, subprocess, sys, time
stem, runs, cli = sys.argv[1], int(sys.argv[2]), sys.argv[3]
rest = sys.argv[4:]
ours_args, theirs_args = rest[:rest.index("--")], rest[rest.index("--") + 1:]
commands = {"kovarim": [cli, "convert", "--force", *ours_args],
            "cct": ["cct", "-d", "4", "-o", stem + ".cct.out", *theirs_args]}
wall = {k: [] for k in commands}
cpu = {k: [] for k in commands}
for _ in range(runs):  # alternating, so that both meet the same load
    for name, command in commands.items():
        start = time.perf_counter()
        process = subprocess.Popen(command, stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(process.pid, 0)
        wall[name].append(time.perf_counter() - start)
        cpu[name].append(usage.ru_utime + usage.ru_stime)
        if status != 0:
            sys.exit(f"{name} failed")
worst = 0.0
with open(stem + ".out") as k, open(stem + ".cct.out") as c:
    for mine, its in zip(k, c):
        a = [float(v) for v in mine.strip().split(",")[4:7]]
        b = [float(v) for v in its.split()[:3]]
        worst = max(worst, *(abs(u - v) for u, v in zip(a, b)))
w = {k: min(v) for k, v in wall.items()}
t = {k: min(v) for k, v in cpu.items()}
print(f"{stem.rsplit('/', 1)[1]}: kovarim-cli convert {w['kovarim']:.2f} s ({t['kovarim']:.2f} s CPU)"
      f"   cct {w['cct']:.2f} s ({t['cct']:.2f} s CPU)   ratio cct/kovarim {w['cct'] / w['kovarim']:.2f}"
      f" ({t['cct'] / t['kovarim']:.2f} in CPU time)   largest difference from cct {worst:.4f} m")
PY
}

runs=${KOVARIM_BENCH_RUNS:-3}
measure grid --from "$grid_from" --to "$grid_to" "$work/grid.txt" "$work/grid.out" \
    -- $grid_proj "$work/grid.cct"
measure road --params "$work/road.params" "$work/road.txt" "$work/road.out" \
    -- $road_proj "$work/road.cct"
