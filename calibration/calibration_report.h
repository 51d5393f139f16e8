#pragma once

#include <memory>
#include <string>

#include "calibration/calibration.h"
#include "estimation/common_points.h"
#include "textio/text_file.h"

namespace kovarim {

// The calibration report's name: the common-point file's name less its last
// four characters, followed by "四参数报告.txt", beside it.
std::string CalibrationReportPathFor(const std::string &commonPointPath);

// Writes the calibration report (GBK, CR LF, items at columns as in the
// adjustment report): the points that took part, the systems and the
// projection as the caller named them; for the plane the method, the robust
// start, the test with its significance and critical values, σ0 and r, the
// four parameters with their standard deviations (dx, dy in metres, the
// scale in ppm, the rotation in arc-seconds), the centroid form and the
// correlations; for the height the surface, its origin and unit, the same
// statistics and the coefficients with their standard deviations; then each
// point's residuals, redundancy numbers, test value, critical value and state
// in the plane and in the height, and the check points' RMS. `table` holds
// the names (GBK), in the order of `calibration.points`. Write failures
// throw Error.
void WriteCalibrationReport(TextFileWriter &out, const CommonPointTable &table,
                            const SiteCalibration &calibration);

// The whole report of a calibration of the common points read from `path`,
// written beside it under a temporary name: Commit puts it in place. Refused
// when the report's name leads to the common-point file itself.
std::unique_ptr<ReplacementFile> PrepareCalibrationReport(const std::string &path,
                                                          const CommonPointTable &table,
                                                          const SiteCalibration &calibration);

} // namespace kovarim
