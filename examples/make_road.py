#!/usr/bin/env python3
"""Regenerates the road example (needs PROJ's cct, Debian package proj-bin).

A road survey near Wuhan: GNSS B, L, H on WGS84 and the same points on a
Beijing 1954 Gauss-Krueger grid, 3-degree zone 38 (central meridian 114 E,
y with 38 in front of its 500 000 m false easting, h the ellipsoidal height
on Krassovsky). The grid values come from PROJ alone, along this pipeline:
WGS84 B L H -> geocentric -> Helmert (coordinate frame, small-angle
approximation) -> geocentric on Krassovsky -> B L H -> transverse Mercator,
with these parameters:

    DX = -15.415 m, DY = 157.025 m, DZ = 94.741 m
    scale = 3.58 ppm
    rx = -0.312", ry = 0.574", rz = -2.105"

No noise: what the program estimates must convert the check points to the
grid values PROJ gives them, to a fraction of a millimetre.

  road_common_points.txt   name, B, L, H (WGS84), x, y, h (grid): 9 points
  road_points.txt          name, B, L, H (WGS84): 6 check points
  ../tests/cli/expected/road_truth.txt   their grid x, y, h from PROJ
"""
import random
import subprocess
from pathlib import Path

HERE = Path(__file__).resolve().parent
TRUTH = HERE.parent / "tests" / "cli" / "expected" / "road_truth.txt"
HELMERT = ("+proj=helmert +convention=coordinate_frame +x=-15.415 +y=157.025 +z=94.741"
           " +s=3.58 +rx=-0.312 +ry=0.574 +rz=-2.105")
PIPELINE = ("+proj=pipeline +step +proj=axisswap +order=2,1"
            " +step +proj=unitconvert +xy_in=deg +xy_out=rad"
            " +step +proj=cart +ellps=WGS84 +step " + HELMERT +
            " +step +inv +proj=cart +ellps=krass"
            " +step +proj=tmerc +lon_0=114 +k=1 +x_0=38500000 +y_0=0 +ellps=krass"
            " +step +proj=axisswap +order=2,1")
COMMON = ["起点", "K3", "GPS03", "互通", "K9", "大桥北", "大桥南", "GPS08", "终点"]
CHECKS = ["C1", "C2", "C3", "C4", "C5", "C6"]


def grid(points):
    text = "".join(f"{b:.9f} {l:.9f} {h:.4f} 0\n" for b, l, h in points)
    out = subprocess.run(["cct", "-d", "4", *PIPELINE.split()], input=text,
                         capture_output=True, text=True, check=True).stdout
    return [tuple(float(v) for v in line.split()[:3]) for line in out.splitlines() if line.strip()]


def along_the_road(rng, count):
    """Points along a road from south-west to north-east, a few km either side."""
    points = []
    for i in range(count):
        t = (i + rng.uniform(0.1, 0.9)) / count
        side = rng.uniform(-0.02, 0.02)
        b = 30.42 + 0.2 * t + side
        l = 113.95 + 0.3 * t - side
        points.append((round(b, 9), round(l, 9), round(rng.uniform(20, 90), 4)))
    return points


def write_gbk(path, lines):
    path.write_bytes("".join(line + "\r\n" for line in lines).encode("gbk"))


def main():
    rng = random.Random(20260613)
    common = along_the_road(rng, len(COMMON))
    write_gbk(HERE / "road_common_points.txt",
              [f"{n},{b:.9f},{l:.9f},{h:.4f},{x:.4f},{y:.4f},{z:.4f}"
               for n, (b, l, h), (x, y, z) in zip(COMMON, common, grid(common))])
    checks = along_the_road(rng, len(CHECKS))
    write_gbk(HERE / "road_points.txt",
              [f"{n},{b:.9f},{l:.9f},{h:.4f}" for n, (b, l, h) in zip(CHECKS, checks)])
    TRUTH.write_text("".join(f"{n} {x:.4f} {y:.4f} {z:.4f}\n"
                             for n, (x, y, z) in zip(CHECKS, grid(checks))))


if __name__ == "__main__":
    main()
