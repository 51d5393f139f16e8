#pragma once

#include <memory>
#include <string>

#include "adjustment/adjustment.h"
#include "estimation/common_points.h"
#include "textio/text_file.h"

namespace kovarim {

// `value` rounded to `digits` significant digits, for standard deviations
// and test values that would otherwise print fifteen.
double RoundToSignificant(double value, int digits);

// The adjustment report's name: the common-point file's name less its last
// four characters, followed by "七参数平差报告.txt", beside it.
std::string AdjustmentReportPathFor(const std::string &commonPointPath);

// Writes the adjustment report (GBK, CR LF, items at columns like the
// accuracy report): the points used, set aside and held out; the method,
// the robust start, the test with its significance and critical values;
// σ0 and r; the seven parameters with their standard deviations, also in
// ppm and arc-seconds; the centroid form; the correlation matrix; each
// point's residuals, redundancy numbers, test value and state; the check
// points' RMS; the best triple's parameters beside the adjusted ones and
// their difference in units of σ. Write failures throw Error.
void WriteAdjustmentReport(TextFileWriter &out, const CommonPointTable &table,
                           const Adjustment &adjustment);

// The whole report of an adjustment of the common points read from `path`,
// written beside it under a temporary name: Commit puts it in place. Refused
// when the report's name leads to the common-point file itself.
std::unique_ptr<ReplacementFile> PrepareAdjustmentReport(const std::string &path,
                                                         const CommonPointTable &table,
                                                         const Adjustment &adjustment);

// The road of one adjustment: read the common-point file as the estimation
// does (each side in its system of `systems`), adjust, write the whole report beside the file under
// a temporary name. Commit `report` to put it in place; dropped, it leaves nothing.
struct AdjustedFile {
    CommonPointTable table;
    Adjustment adjustment;
    std::unique_ptr<ReplacementFile> report;
};
AdjustedFile AdjustCommonPointFile(const std::string &path, const AdjustmentOptions &options,
                                   const PointSystems &systems = {});

} // namespace kovarim
