#!/usr/bin/env bash
# Makes the oracle tables in tests/geodesy/oracle/ from two independent
# implementations, PROJ (cct, package proj-bin) and GeographicLib
# (TransverseMercatorProj, CartConvert, GeoConvert, package
# geographiclib-tools), so that the geodesy tests need neither at run time
# (and run under wine). Run once, from anywhere; the tables record the
# versions and commands that made them.
#
#   tests/geodesy/make_oracle_tables.sh
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/oracle"
mkdir -p "$out"
export LC_ALL=C
trap 'echo "$0: failed at line $LINENO" >&2' ERR

proj_version=$(cct --version 2>&1 | head -1)
geographiclib_version=$(TransverseMercatorProj --version 2>&1 | head -1)

# name a rf (the ellipsoids the program names)
ellipsoids=("cgcs2000 6378137 298.257222101" "wgs84 6378137 298.257223563"
            "bj54 6378245 298.3" "xian80 6378140 298.257")

header() {
    echo "# Made by tests/geodesy/make_oracle_tables.sh with"
    echo "#   $proj_version"
    echo "#   $geographiclib_version"
    echo "# $1"
}

# --- Transverse Mercator ------------------------------------------------------
# Rows: ellipsoid k0 B l, then GeographicLib's exact projection (x easting,
# y northing, gamma, k), its sixth-order series (x y), PROJ's tmerc (x y).
latitudes="0 1 10 18 25 30 35 40 45 53.5 60 70 80 85 89 90 -30 -53.5"
longitudes="0 0.5 1.5 -1.5 3 -3 4.5 6 -6 7.5 9 -9"
{
    header "transverse Mercator: ellipsoid k0 B l | exact x y gamma k | series x y | proj x y (x easting, y northing, metres; gamma degrees)"
    for entry in "${ellipsoids[@]}"; do
        read -r name a rf <<<"$entry"
        for k0 in 1 0.9996; do
            [ "$k0" = 0.9996 ] && [ "$name" != wgs84 ] && continue
            points=$(for B in $latitudes; do for l in $longitudes; do echo "$B $l"; done; done)
            exact=$(TransverseMercatorProj -k "$k0" -p 10 -e "$a" "1/$rf" <<<"$points")
            series=$(TransverseMercatorProj -s -k "$k0" -p 10 -e "$a" "1/$rf" <<<"$points")
            proj=$(awk '{print $2, $1, 0}' <<<"$points" |
                cct -d 10 +proj=tmerc +lon_0=0 +k="$k0" +x_0=0 +y_0=0 +a="$a" +rf="$rf")
            paste -d' ' <(awk -v n="$name" -v k="$k0" '{print n, k, $1, $2}' <<<"$points") \
                <(awk '{print $1, $2, $3, $4}' <<<"$exact") <(awk '{print $1, $2}' <<<"$series") \
                <(awk '{print $1, $2}' <<<"$proj")
        done
    done
} >"$out/transverse_mercator.txt"

# --- Geodetic to geocentric -----------------------------------------------------
# Rows: ellipsoid B L H, then GeographicLib's CartConvert X Y Z and PROJ's
# cart X Y Z.
{
    header "geocentric: ellipsoid B L H | CartConvert X Y Z | cct cart X Y Z (degrees, metres)"
    for entry in "${ellipsoids[@]}"; do
        read -r name a rf <<<"$entry"
        points=$(for B in 90 89.999 60 45 30.5 0.000000001 0 -45 -89.5 -90; do
            for L in 0 90 114.25 180 -180 -75.5; do
                for H in -10000 0 100 8848 100000; do echo "$B $L $H"; done
            done
        done)
        cart=$(CartConvert -p 10 -e "$a" "1/$rf" <<<"$points")
        proj=$(awk '{print $2, $1, $3}' <<<"$points" | cct -d 10 +proj=cart +a="$a" +rf="$rf")
        paste -d' ' <(awk -v n="$name" '{print n, $1, $2, $3}' <<<"$points") \
            <(awk '{print $1, $2, $3}' <<<"$cart") <(awk '{print $1, $2, $3}' <<<"$proj")
    done
} >"$out/geocentric.txt"

# Rows: ellipsoid X Y Z, then CartConvert -r B L H and PROJ's inverse cart
# (points in space, on the axes, below the surface).
{
    header "geocentric back: ellipsoid X Y Z | CartConvert -r B L H | cct inverse cart B L H"
    for entry in "${ellipsoids[@]}"; do
        read -r name a rf <<<"$entry"
        points="0 0 6356752.3
0 0 -6400000
6378137 0 0
-6378000 0 0
0 -6378000 0
-2248617.5763 5050477.767 3170480.0972
-2248617.5763 -5050477.767 -3170480.0972
4000000 3000000 3800000
3000 -2000 6357000
6000000 1000 -1000
-1 -1 6356000
12000000 -8000000 20000000
5700000 0 0"
        cart=$(CartConvert -r -p 10 -e "$a" "1/$rf" <<<"$points")
        proj=$(cct -d 12 +proj=pipeline +step +inv +proj=cart +a="$a" +rf="$rf" \
            +step +proj=unitconvert +xy_in=rad +xy_out=deg <<<"$points")
        paste -d' ' <(awk -v n="$name" '{print n, $1, $2, $3}' <<<"$points") \
            <(awk '{print $1, $2, $3}' <<<"$cart") <(awk '{print $2, $1, $3}' <<<"$proj")
    done
} >"$out/geocentric_back.txt"

# --- Coordinate systems through whole PROJ pipelines -----------------------------
# Blocks: "system FROM TO", "pipeline ...", then rows of the three values in
# and the three cct writes on the same columns.
pipeline() { # from to: the pipeline this program writes for them
    python3 - "$1" "$2" <<'PY'
import sys
ells = {"cgcs2000": ("6378137", "298.257222101"), "wgs84": ("6378137", "298.257223563"),
        "bj54": ("6378245", "298.3"), "xian80": ("6378140", "298.257")}
def cart(e):
    return "+a=%s +rf=%s" % ells[e]
def parts(s):
    head, *opts = s.split(",")
    kind, *rest = head.split(":")
    o = dict(x.split("=") for x in opts if "=" in x)
    return kind, rest, o
def tmerc(rest, o):
    e, cm = rest
    zone = int(o.get("zone", "0")); fe = float(o.get("fe", "500000"))
    x0 = fe + zone * 1e6
    return "+proj=tmerc +lon_0=%s +k=%s +x_0=%s +y_0=0 %s" % (cm, o.get("k", "1"), "%d" % x0 if x0 == int(x0) else repr(x0), cart(e))
def to(s):
    kind, rest, o = parts(s)
    if kind == "xyz": return ""
    swap = " +step +proj=axisswap +order=2,1"
    if kind == "blh":
        return swap + " +step +proj=unitconvert +xy_in=deg +xy_out=rad +step +proj=cart " + cart(rest[0])
    return swap + " +step +inv " + tmerc(rest, o) + " +step +proj=cart " + cart(rest[0])
def back(s):
    kind, rest, o = parts(s)
    if kind == "xyz": return ""
    swap = " +step +proj=axisswap +order=2,1"
    if kind == "blh":
        return " +step +inv +proj=cart " + cart(rest[0]) + " +step +proj=unitconvert +xy_in=rad +xy_out=deg" + swap
    return " +step +inv +proj=cart " + cart(rest[0]) + " +step " + tmerc(rest, o) + swap
print("+proj=pipeline" + to(sys.argv[1]) + back(sys.argv[2]))
PY
}
case_block() { # from to, points on standard input
    local from=$1 to=$2 line
    line=$(pipeline "$from" "$to")
    echo "system $from $to"
    echo "pipeline $line"
    local points
    points=$(cat)
    # shellcheck disable=SC2086 # the pipeline is PROJ's words
    paste -d' ' <(awk '{print $1, $2, $3}' <<<"$points") \
        <(cct -d 10 $line <<<"$points" | awk '{print $1, $2, $3}')
}
{
    header "coordinate systems: blocks of 'system FROM TO', 'pipeline PROJ', rows 'in1 in2 in3 out1 out2 out3'"
    # Geodetic to a 3° zone (39, CM 117) and a 6° zone (20, CM 117): the
    # zone edges (±1.5°, ±3°) and 9° out.
    grid_points() {
        for B in 18.25 30.5 45 53.5; do
            for L in 117 118.5 115.5 120 114 121.5 126 108; do echo "$B $L 50"; done
        done
    }
    grid_points | case_block blh:cgcs2000 gk:cgcs2000:117,zone=39
    grid_points | case_block blh:bj54 gk:bj54:117,zone=20
    grid_points | case_block blh:xian80 gk:xian80:117
    grid_points | case_block blh:wgs84 gk:wgs84:117,k=0.9996
    # The zone change: 3° zone 38 (CM 114) to zone 39 (CM 117) and back
    # from the edge between them, and a local central meridian.
    printf '%s\n' "3378817.0553 38640000.1234 -8.6948" "3378817.0553 38355000 12" \
        "4984000 38500000 100" "4984000 38380000.5 100" "2000000 38690000 0" \
        "5900000 38600000 1500" |
        case_block gk:xian80:114,zone=38 gk:xian80:117,zone=39
    printf '%s\n' "3378817.0553 39235948.9444 -8.6948" "4984000 39120000 100" \
        "4984000 39500000 100" | case_block gk:bj54:117,zone=39 gk:bj54:114.5
    # Back to geodetic and to geocentric.
    printf '%s\n' "3378817.0553 500000 0" "3378817.0553 789000 25" "5000000 250000 -30" \
        "1000 420000 5" "6000000 700000 8000" | case_block gk:wgs84:117 blh:wgs84
    printf '%s\n' "-2248617.5763 5050477.767 3170480.0972" "-2000000 4700000 3800000" \
        "-1733000 5667000 2332000" | case_block xyz gk:bj54:111,fe=0
    printf '%s\n' "30.5 114.25 100" "90 0 0" "-90 0 10" "0 180 0" "0 -179.5 -10000" \
        "45 -75.5 100000" | case_block blh:cgcs2000 xyz
} >"$out/systems.txt"

# --- UTM (WGS84, k0 = 0.9996) from GeoConvert -----------------------------------
# Rows: B L, then zone+hemisphere, easting, northing (10⁷ m added in the south).
{
    header "UTM: B L | GeoConvert -u zone easting northing"
    points="30.5 114.25
45 9.999
53.5 -1.5
18 120
-33.9 18.4
-45 170.1
60 24
0.5 -78.5"
    paste -d' ' <(echo "$points") <(GeoConvert -u -p 9 <<<"$points")
} >"$out/utm.txt"
if grep -il "error" "$out"/*.txt; then
    echo "an oracle refused a point" >&2
    exit 1
fi
echo "made $(ls "$out" | wc -l) tables in $out"
