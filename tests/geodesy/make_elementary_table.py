#!/usr/bin/env python3
"""Makes tests/geodesy/oracle/elementary.txt: arguments of the geodesy's own
elementary functions and their values correctly rounded, computed with mpmath
at 200 bits (Debian package python3-mpmath). Run once:

    tests/geodesy/make_elementary_table.py
"""
import os
import random

import mpmath as mp

mp.mp.prec = 200
random.seed(20240523)
out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "oracle", "elementary.txt")


def rounded(x):
    return float(mp.mpf(x))  # mpmath rounds to the nearest double


def arguments(low, high, count, special=()):
    return list(special) + [random.uniform(low, high) for _ in range(count)]


functions = {
    # name: (function of an mpf, arguments)
    "sind": (lambda x: mp.sin(x * mp.pi / 180),
             arguments(-400, 400, 300, [0.0, 30.0, 45.0, 60.0, 89.999999, 90.5, 135.0, -179.9])),
    "cosd": (lambda x: mp.cos(x * mp.pi / 180),
             arguments(-400, 400, 300, [0.0, 30.0, 45.0, 60.0, 89.999999, 90.5, 135.0, -179.9])),
    "sin": (mp.sin, arguments(-3.3, 3.3, 300, [1e-10, 0.7853981633974483, 1.5707963267948966])),
    "cos": (mp.cos, arguments(-3.3, 3.3, 300, [1e-10, 0.7853981633974483, 1.5707963267948966])),
    "atan": (mp.atan, arguments(-3, 3, 200, [1e-12, 0.0625, 0.999, 1.0, 1.001, 12.5, 1e8])
             + arguments(-1e4, 1e4, 100)),
    "expm1": (mp.expm1, arguments(-3, 3, 300, [1e-12, -1e-9, 0.34657, -0.34658, 30.0, -30.0])),
    "log1p": (mp.log1p, arguments(-0.99, 4, 300, [1e-12, -1e-9, 1e3, 1e15])),
    "asinh": (mp.asinh, arguments(-3, 3, 300, [1e-10, 2.0, 2.0000001, 1e9])),
    "atanh": (mp.atanh, arguments(-0.99, 0.99, 300, [1e-10, 0.0818, 0.4999, 0.5, 0.999999])),
    "sinh": (mp.sinh, arguments(-3, 3, 300, [1e-10, 0.3, 25.0])),
}

with open(out, "w") as f:
    f.write("# Made by tests/geodesy/make_elementary_table.py with mpmath %s at 200 bits\n"
            % mp.__version__)
    f.write("# function argument value (hexadecimal doubles; the value correctly rounded)\n")
    for name, (function, args) in functions.items():
        for x in args:
            f.write("%s %s %s\n" % (name, float(x).hex(), rounded(function(mp.mpf(x))).hex()))
    # atan2 in degrees and radians on every side of the axes
    for _ in range(200):
        y, x = random.uniform(-5, 5), random.uniform(-5, 5)
        f.write("atan2 %s %s %s\n" % (y.hex(), x.hex(), rounded(mp.atan2(y, x)).hex()))
        f.write("atan2d %s %s %s\n" % (y.hex(), x.hex(),
                                       rounded(mp.atan2(y, x) * 180 / mp.pi).hex()))
