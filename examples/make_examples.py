#!/usr/bin/env python3
"""Regenerates the example files (needs PROJ's cct, Debian package proj-bin).

The new coordinates come from PROJ's Helmert transformation in the
coordinate-frame convention with the small-angle approximation, from these
parameters:

    DX = -112.456 m, DY = 78.123 m, DZ = 45.678 m
    scale = 3.2 ppm        (Scale = 3.2e-6)
    rx = 1.8", ry = -2.4", rz = 3.6"  (RotX, RotY, RotZ in radians: ·π/648000)

then a few millimetres of noise, and 0.35 m on X of one point (the outlier
that the best-triple search must not choose).

weak_triple.txt: twelve more points from the same parameters with 3 mm of
noise and no outlier at all, where the triple that closes best is a thin
triangle whose parameters miss the other points by decimetres (the window
then offers the least-squares parameters). Its seed was picked from the
first hundred for the largest such miss (4.5 m in height).
"""
import random
import subprocess
from pathlib import Path

HERE = Path(__file__).resolve().parent
PARAMS = "+x=-112.456 +y=78.123 +z=45.678 +s=3.2 +rx=1.8 +ry=-2.4 +rz=3.6"
NAMES = ["王家庄", "李村", "GPS03", "张庄", "石桥", "GPS06", "东山",
         "西岭", "GPS09", "南湾", "北塔", "GPS12"]
OUTLIER = "东山"


def transform(points):
    text = "".join(f"{x:.4f} {y:.4f} {z:.4f} 0\n" for x, y, z in points)
    out = subprocess.run(
        ["cct", "-d", "4", "+proj=helmert", "+convention=coordinate_frame", "+approx",
         *PARAMS.split()],
        input=text, capture_output=True, text=True, check=True).stdout
    return [tuple(float(v) for v in line.split()[:3]) for line in out.splitlines() if line.strip()]


def write_gbk(name, lines):
    (HERE / name).write_bytes("".join(line + "\r\n" for line in lines).encode("gbk"))


def main():
    rng = random.Random(20261207)
    original = [(round(2858000 + rng.uniform(0, 6000), 3), round(589000 + rng.uniform(0, 6000), 3),
                 round(rng.uniform(20, 180), 3)) for _ in NAMES]
    new = transform(original)
    lines = []
    for name, (x1, y1, z1), (x2, y2, z2) in zip(NAMES, original, new):
        x2 += rng.gauss(0, 0.003) + (0.35 if name == OUTLIER else 0.0)
        y2 += rng.gauss(0, 0.003)
        z2 += rng.gauss(0, 0.003)
        lines.append(f"{name},{x1:.3f},{y1:.3f},{z1:.3f},{x2:.3f},{y2:.3f},{z2:.3f}")
    write_gbk("common_points.txt", lines)

    batch = [(f"待转{i}", 2858000 + rng.uniform(0, 6000), 589000 + rng.uniform(0, 6000),
              rng.uniform(20, 180)) for i in range(1, 9)]
    write_gbk("batch_points.txt", [f"{n},{x:.3f},{y:.3f},{z:.3f}" for n, x, y, z in batch])

    write_gbk("weak_triple.txt", noisy_points(random.Random(WEAK_TRIPLE_SEED)))


WEAK_TRIPLE_SEED = 12


def noisy_points(rng):
    original = [(round(2858000 + rng.uniform(0, 6000), 3), round(589000 + rng.uniform(0, 6000), 3),
                 round(rng.uniform(20, 180), 3)) for _ in NAMES]
    new = transform(original)
    return [f"{name},{x1:.3f},{y1:.3f},{z1:.3f},{x2 + rng.gauss(0, 0.003):.3f},"
            f"{y2 + rng.gauss(0, 0.003):.3f},{z2 + rng.gauss(0, 0.003):.3f}"
            for name, (x1, y1, z1), (x2, y2, z2) in zip(NAMES, original, new)]


if __name__ == "__main__":
    main()
