#!/usr/bin/env bash
# same_bytes_test.sh SOURCE_DIR CLI...: kovarim-cli (CLI..., a program and
# whatever runs it, wine for Windows) gives, byte for byte, the files kept in
# the tree for the example files: the window's report and batch output
# (tests/e2e/expected/) and the command's own parameter files, adjustment
# and calibration reports, their --json, point and calibrated batch output
# (tests/cli/expected/, made by the Linux build).
set -uo pipefail
source_dir=$1
shift
cli=("$@")
expected_e2e=$source_dir/tests/e2e/expected
expected_cli=$source_dir/tests/cli/expected

top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
work="$top/测量 数据" # a Chinese folder name, with a blank
mkdir "$work" && cd "$work" || exit 1
cp "$source_dir/examples/common_points.txt" "$source_dir/examples/batch_points.txt" \
    "$source_dir/examples/weak_triple.txt" "$source_dir/examples/road_common_points.txt" \
    "$source_dir/examples/road_points.txt" "$source_dir/examples/site_points.txt" .
cp "$source_dir/examples/site_common_points.txt" 工地控制点.txt

failures=0
run() { # run WHAT ARGS...: the command must succeed
    local what=$1
    shift
    if ! "${cli[@]}" "$@" >"$work/.out" 2>"$work/.err" </dev/null; then
        echo "FAILED: $what: kovarim-cli $*: $(cat "$work/.err")"
        failures=$((failures + 1))
    fi
}
same() { # same WHAT GOT EXPECTED
    if cmp -s "$2" "$3"; then
        echo "same: $1"
    else
        echo "DIFFERENT: $1 ($2 against $3)"
        cmp "$2" "$3" | head -3
        failures=$((failures + 1))
    fi
}

run "estimate" estimate common_points.txt --params params.txt
cp "$work/.out" estimate_output.txt
same "estimate's standard output" estimate_output.txt "$expected_cli/estimate_output.txt"
same "accuracy report" "common_points七参数精度评估.txt" "$expected_e2e/report.txt"
same "parameter file" params.txt "$expected_cli/params.txt"

run "convert to the proposed name" convert --params params.txt batch_points.txt
same "batch output, proposed name" batch_pointsto "$expected_e2e/batch_pointsto.txt"
run "convert to a named file" convert --params params.txt batch_points.txt named.txt
same "batch output, named file" named.txt "$expected_e2e/batch_pointsto.txt"
if ! "${cli[@]}" convert --params params.txt - - <batch_points.txt >piped.txt 2>"$work/.err"; then
    echo "FAILED: convert - -: $(cat "$work/.err")"
    failures=$((failures + 1))
fi
same "batch output, standard input to standard output" piped.txt "$expected_e2e/batch_pointsto.txt"

run "point" point --params params.txt 2860321.78 592341.79 0
cp "$work/.out" point.txt
cp params.txt 参数.txt # a Chinese argument
run "point back" point --inverse --params 参数.txt 2860229.32 592371.83 7.25
cat "$work/.out" >>point.txt
same "point output" point.txt "$expected_cli/point.txt"

run "adjust" adjust common_points.txt --params adjusted.txt
same "adjustment report" "common_points七参数平差报告.txt" "$expected_cli/adjustment_report.txt"
same "adjusted parameter file" adjusted.txt "$expected_cli/adjusted_params.txt"
run "adjust --json" adjust common_points.txt --json
cp "$work/.out" adjust.json
same "adjust --json" adjust.json "$expected_cli/adjust.json"

# A weak best triple: the finding on standard error, and the adjustment
# report the window writes when the user takes the adjusted parameters.
run "estimate, weak triple" estimate weak_triple.txt
same "the weak triple's finding" "$work/.err" "$expected_cli/weak_finding.txt"
run "adjust, weak triple" adjust weak_triple.txt
same "adjustment report, weak triple" "weak_triple七参数平差报告.txt" "$expected_cli/weak_adjustment_report.txt"

# The surveyors' road between coordinate systems: WGS84 B L H to a Beijing
# 1954 grid with estimated parameters, the check points converted (a block
# of them on a thread of its own) and back, the adjustment in the grid's
# terms, and a conversion on one ellipsoid in ddd.mmssss.
road=(--from blh:wgs84 --to gk:bj54:114,zone=38)
run "estimate, road" estimate road_common_points.txt "${road[@]}" --params road_params.txt
cp "$work/.out" road_estimate_output.txt
same "estimate's standard output, road" road_estimate_output.txt "$expected_cli/road_estimate_output.txt"
same "accuracy report, road" "road_common_points七参数精度评估.txt" "$expected_cli/road_report.txt"
same "parameter file, road" road_params.txt "$expected_cli/road_params.txt"
run "convert, road" convert --params road_params.txt road_points.txt road_converted.txt
same "batch output, road" road_converted.txt "$expected_cli/road_converted.txt"
run "point, road" point --params road_params.txt 30.421613469 113.961455217 34.3973
cp "$work/.out" road_point.txt
run "point back, road" point --inverse --params road_params.txt 3366917.287 38496313.349 125.633
cat "$work/.out" >>road_point.txt
run "point in ddd.mmssss" point --from gk:bj54:114,zone=38 --to blh:bj54,dms 3366917.287 38496313.349 125.633
cat "$work/.out" >>road_point.txt
same "point output, road" road_point.txt "$expected_cli/road_point.txt"
# Five thousand points, more than one block, so that blocks are converted
# on a thread of their own: the output's SHA-256 is kept, not its 400 KB.
awk 'BEGIN { for (i = 1; i <= 5000; ++i)
    printf "P%d,%d.%09d,%d.%09d,%d.%03d\r\n", i, 30 + i % 2, (i * 7919) % 1000000000,
           113 + i % 2, (i * 104729) % 1000000000, 20 + i % 70, (i * 13) % 1000 }' >road_5000.txt
run "convert, 5000 road points" convert --params road_params.txt road_5000.txt road_5000.out
if [ "$(sha256sum <road_5000.out | cut -d' ' -f1)" = "$(cat "$expected_cli/road_5000.sha256")" ]; then
    echo "same: batch output, 5000 road points"
else
    echo "DIFFERENT: batch output, 5000 road points"
    failures=$((failures + 1))
fi
run "adjust, road" adjust road_common_points.txt "${road[@]}" --json
cp "$work/.out" road_adjust.json
same "adjust --json, road" road_adjust.json "$expected_cli/road_adjust.json"

# A site calibration from WGS84 B L H through the CGCS2000 grid to the local
# plane: its report, its summary, its parameter file, and --json.
site=(--from blh:wgs84 --via gk:cgcs2000:114 --to plane)
run "calibrate" calibrate 工地控制点.txt "${site[@]}" --params site_params.txt
cp "$work/.out" calibrate_output.txt
same "calibration report" "工地控制点四参数报告.txt" "$expected_cli/calibration_report.txt"
same "calibrate's standard output" calibrate_output.txt "$expected_cli/calibrate_output.txt"
same "calibration parameter file" site_params.txt "$expected_cli/site_params.txt"
run "calibrate --json" calibrate 工地控制点.txt "${site[@]}" --height plane --check GPS11,东湖 --json
cp "$work/.out" calibrate.json
same "calibrate --json" calibrate.json "$expected_cli/calibrate.json"
# Its parameter file applied: the projection and the surface, forward and back.
run "convert, site calibration" convert --params site_params.txt site_points.txt
same "batch output, site calibration" site_pointsto "$expected_cli/site_pointsto.txt"
run "point, site calibration" point --params site_params.txt 30.579649611 114.304425014 51.8137
cp "$work/.out" site_point.txt
run "point back, site calibration" point --inverse --params site_params.txt 44662.485 62980.283 65.49
cat "$work/.out" >>site_point.txt
same "point output, site calibration" site_point.txt "$expected_cli/site_point.txt"

if [ "$failures" -ne 0 ]; then
    echo "$failures differences or failures"
    exit 1
fi
