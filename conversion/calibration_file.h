#pragma once

#include <optional>
#include <string>
#include <vector>

#include "calibration/calibration.h"
#include "calibration/calibration_source.h"
#include "conversion/key_value_file.h"

namespace kovarim {

// The site calibration's parameter file: what convert and point need to take
// a point of the source system to the local plane and back (source system →
// projection → plane → height), UTF-8 "key = value" lines and "#" comments
// like the seven parameters' file, but of its own kind:
//
//   # Kovarim site calibration of <file>: ...
//   kind = site calibration
//   from = blh:wgs84             (plane, a gk system or a blh system)
//   via = gk:cgcs2000:117        (the projection, for blh only)
//   to = plane
//   dx = ...                     (metres)
//   dy = ...
//   scale = ...                  (m − 1, a plain ratio)
//   rotation = ...               (α, radians)
//   height = plane               (none, constant, plane or quadratic)
//   X0 = ...                     (the surface's origin on the local plane, metres;
//   Y0 = ...                      not for none)
//   c0 = ...                     (the model's coefficients: c0; c0 to c2; c0 to c5)
//   proj = +proj=pipeline ...
//
// Each value is the shortest text that reads back to the same double, so the
// file converts exactly as the calibration that wrote it. The proj line is
// the whole road for PROJ's cct on the source's own columns (B L H in decimal
// degrees, x y h): the projection as +proj=tmerc for blh, the plane as
// +proj=helmert with +x (the shift east), +y (north), +s (the scale factor m)
// and +theta (α in arc-seconds) between two axis swaps, since PROJ takes
// easting first, and a constant or plane height surface as +proj=affine on
// the height (h = H − ζ, linear in X and Y). PROJ has no quadratic surface:
// such a file has no proj line, and a comment says so and gives the plan's
// pipeline alone. On reading, a proj line must be the one the values give.

inline constexpr const char *kCalibrationKind = "site calibration";

struct CalibrationFile {
    CalibrationSource source;
    CalibrationParams params; // height model never Auto
};

// The proj line's value, or nothing where PROJ cannot apply the whole road
// (a quadratic surface).
std::optional<std::string> CalibrationProjLine(const CalibrationFile &file);
// The pipeline of the plan alone (source columns to the local X, Y; heights
// pass unchanged).
std::string CalibrationProjPlan(const CalibrationFile &file);

// The whole text. Comments (UTF-8) come first, each after "# ", a control
// character in them made a space; then what PROJ cannot do, as comments.
// Throws Error for parameters CheckCalibrationParams refuses.
std::string CalibrationFileText(const CalibrationFile &file,
                                const std::vector<std::string> &comments);

// Whether a parameter file says it is a site calibration ("kind = site
// calibration"); a file without a kind is one of the seven parameters.
bool IsCalibrationFile(const KeyValueFile &file);
// Whether `key` is one of a calibration file's own keys (not proj, from and
// to, which the seven parameters' file has too).
bool IsCalibrationKey(const std::string &key);

// Reads a calibration file. Throws Error naming the file (and the line and
// the key where there is one) for a file of another kind (the seven
// parameters' file is named as such), a missing key, a key given twice, an
// unknown key, a coefficient the model has not, a value that is not a finite
// number, a system or a model that cannot be read, a scale that leaves m not
// positive, or a proj line that differs from the one the values give.
CalibrationFile ReadCalibrationFile(const std::string &path);
CalibrationFile ReadCalibrationFile(const KeyValueFile &file);

} // namespace kovarim
