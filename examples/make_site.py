#!/usr/bin/env python3
"""Regenerates the site calibration example (needs PROJ's cct, Debian package proj-bin).

A building site of some 7 km near Wuhan: GNSS B, L, H on WGS84, and the
same points on the site's local grid (X north, Y east, h the local height).
The local values come from this truth, the plan from PROJ alone:

  projection  B, L as they stand (no change of datum) on the CGCS2000
              ellipsoid, Gauss-Krueger with central meridian 114 E, k = 1,
              false easting 500 000 m (kovarim-cli: --via gk:cgcs2000:114)
  plane       X = dx + a*x - b*y, Y = dy + b*x + a*y, a = m cos(alpha),
              b = m sin(alpha), m = 1 + 18.6 ppm, alpha = -1234.5 arc-seconds,
              (x, y) = (3 381 000, 529 000) going to (41 250, 62 800);
              applied by PROJ's two-dimensional helmert
  height      h = H - zeta, zeta = c0 + c1 u + c2 v + c3 u^2 + c4 u v + c5 v^2,
              u = (X - 41 000)/1000, v = (Y - 63 000)/1000 (kilometres)

then normal noise of 4 mm in X and Y and 8 mm in h on the local side, and
0.15 m too much in the local height of one point (水塔: an antenna height
slipped), which the calibration must find.

  site_common_points.txt               name, B, L, H (WGS84), X, Y, h (local): 12 points
  site_points.txt                      name, B, L, H (WGS84): 6 points to convert
  ../tests/cli/expected/site_truth.txt their local X, Y, h from the truth, without noise
"""
import math
import random
import subprocess
from pathlib import Path

HERE = Path(__file__).resolve().parent
TRUTH = HERE.parent / "tests" / "cli" / "expected" / "site_truth.txt"

SCALE = 18.6e-6
ALPHA = -1234.5  # arc-seconds
X_SOURCE, Y_SOURCE, X_LOCAL, Y_LOCAL = 3381000.0, 529000.0, 41250.0, 62800.0
ORIGIN = (41000.0, 63000.0)
ZETA = (-13.842, 0.0412, -0.0265, 0.0011, -0.0007, 0.0009)

COMMON = ["东湖", "GPS02", "水塔", "南门", "K04", "北桥", "GPS07", "西站",
          "K09", "料场", "GPS11", "东门"]
SLIPPED = "水塔"
CHECKS = ["C1", "C2", "C3", "C4", "C5", "C6"]


def plane_params():
    m = 1 + SCALE
    alpha = math.radians(ALPHA / 3600)
    a, b = m * math.cos(alpha), m * math.sin(alpha)
    dx = X_LOCAL - (a * X_SOURCE - b * Y_SOURCE)
    dy = Y_LOCAL - (b * X_SOURCE + a * Y_SOURCE)
    return dx, dy, m


def local_plan(points):
    """B, L, H to the local X, Y by PROJ: projection, then the plane."""
    dx, dy, m = plane_params()
    pipeline = ("+proj=pipeline +step +proj=axisswap +order=2,1"
                " +step +proj=unitconvert +xy_in=deg +xy_out=rad"
                " +step +proj=tmerc +lon_0=114 +k=1 +x_0=500000 +y_0=0"
                " +a=6378137 +rf=298.257222101"
                f" +step +proj=helmert +x={dy!r} +y={dx!r} +s={m!r} +theta={ALPHA!r}"
                " +step +proj=axisswap +order=2,1")
    text = "".join(f"{b:.9f} {l:.9f} {h:.4f} 0\n" for b, l, h in points)
    out = subprocess.run(["cct", "-d", "6", *pipeline.split()], input=text,
                         capture_output=True, text=True, check=True).stdout
    return [tuple(float(v) for v in line.split()[:2]) for line in out.splitlines() if line.strip()]


def zeta(X, Y):
    u, v = (X - ORIGIN[0]) / 1000, (Y - ORIGIN[1]) / 1000
    c = ZETA
    return c[0] + c[1] * u + c[2] * v + c[3] * u * u + c[4] * u * v + c[5] * v * v


def on_the_site(rng, count):
    """Points spread over the site, about 7 km by 7 km."""
    points = []
    for _ in range(count):
        b = 30.53 + rng.uniform(0, 0.063)
        l = 114.27 + rng.uniform(0, 0.073)
        points.append((round(b, 9), round(l, 9), round(rng.uniform(5, 60), 4)))
    return points


def write_gbk(path, lines):
    path.write_bytes("".join(line + "\r\n" for line in lines).encode("gbk"))


def main():
    rng = random.Random(20260614)
    common = on_the_site(rng, len(COMMON))
    lines = []
    for name, (b, l, h), (X, Y) in zip(COMMON, common, local_plan(common)):
        local_h = h - zeta(X, Y) + rng.gauss(0, 0.008) + (0.15 if name == SLIPPED else 0)
        X += rng.gauss(0, 0.004)
        Y += rng.gauss(0, 0.004)
        lines.append(f"{name},{b:.9f},{l:.9f},{h:.4f},{X:.4f},{Y:.4f},{local_h:.4f}")
    write_gbk(HERE / "site_common_points.txt", lines)
    checks = on_the_site(rng, len(CHECKS))
    write_gbk(HERE / "site_points.txt",
              [f"{n},{b:.9f},{l:.9f},{h:.4f}" for n, (b, l, h) in zip(CHECKS, checks)])
    TRUTH.write_text("".join(f"{n} {X:.4f} {Y:.4f} {h - zeta(X, Y):.4f}\n"
                             for n, (b, l, h), (X, Y) in zip(CHECKS, checks, local_plan(checks))))


if __name__ == "__main__":
    main()
