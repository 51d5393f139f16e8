#!/usr/bin/env bash
# Batch conversion of 1,000,000 points: Kovarim against PROJ's cct (Debian
# package proj-bin) applying the same linearised coordinate-frame Helmert
# transformation. Prints both times and the largest difference of the values
# after rounding to 3 decimals.
#
#   cmake --preset dev && cmake --build --preset dev && bench/compare_with_cct.sh
set -euo pipefail
cd "$(dirname "$0")/.."
tool=build/dev/bench/convert_file
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Parameters: translations in metres, scale as a ratio, rotations in radians;
# cct takes the scale in ppm and the rotations in arc-seconds.
DX=-112.456 DY=78.123 DZ=45.678 S=3.2e-6 RX=8.7266462599716e-06 RY=-1.16355283466289e-05 RZ=1.74532925199433e-05
python3 - "$work" <<'PY'
import random, sys
r = random.Random(1)
with open(sys.argv[1] + "/points.txt", "w", newline="") as k, open(sys.argv[1] + "/points.cct", "w") as c:
    for i in range(1_000_000):
        x, y, z = 2858000 + r.uniform(0, 6000), 589000 + r.uniform(0, 6000), r.uniform(20, 180)
        k.write(f"P{i},{x:.3f},{y:.3f},{z:.3f}\r\n")
        c.write(f"{x:.3f} {y:.3f} {z:.3f} 0\n")
PY
to_arcsec() { python3 -c "import math,sys; print(float(sys.argv[1]) * 648000 / math.pi)" "$1"; }
helmert="+proj=helmert +convention=coordinate_frame +approx +x=$DX +y=$DY +z=$DZ
 +s=$(python3 -c "print($S * 1e6)") +rx=$(to_arcsec $RX) +ry=$(to_arcsec $RY) +rz=$(to_arcsec $RZ)"

start=$(date +%s.%N)
"$tool" $DX $DY $DZ $S $RX $RY $RZ "$work/points.txt" "$work/points.out"
mid=$(date +%s.%N)
cct -d 4 -o "$work/cct.out" $helmert "$work/points.cct"
end=$(date +%s.%N)

python3 - "$work" "$start" "$mid" "$end" <<'PY'
import sys
work, start, mid, end = sys.argv[1], *map(float, sys.argv[2:])
worst = 0.0
with open(work + "/points.out") as k, open(work + "/cct.out") as c:
    for ours, theirs in zip(k, c):
        a = [float(v) for v in ours.strip().split(",")[4:7]]
        b = [round(float(v), 3) for v in theirs.split()[:3]]
        worst = max(worst, *(abs(u - v) for u, v in zip(a, b)))
print(f"kovarim: {mid - start:.2f} s   cct -o: {end - mid:.2f} s   ratio cct/kovarim: {(end - mid) / (mid - start):.1f}")
print(f"largest difference after rounding to 3 decimals: {worst:.4f} m")
PY
