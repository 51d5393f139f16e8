#pragma once

#include <string>

#include "estimation/common_points.h"
#include "estimation/equations.h"
#include "estimation/triple_search.h"
#include "model/seven_parameters.h"
#include "textio/column_printer.h"
#include "textio/text_file.h"

namespace kovarim {

// The report's name: the common-point file's name less its last four
// characters (normally ".txt"), followed by "七参数精度评估.txt"; so it lands in
// the folder of the common-point file.
std::string ReportPathFor(const std::string &commonPointPath);

// The residual of largest magnitude in the report, rounded as printed: the
// first one in file order, X before Y before Z, of that magnitude.
struct LargestResidual {
    double value = 0.0;
    int point = 0; // 0 when there is no point
    char axis = 'X';
};

// Writes the accuracy report (GBK, CR LF): the header, the seven parameter
// rows of the solved system, then the residuals of every common point under
// those parameters, in file order. Write failures throw Error.
//
// With a system other than xyz on either side, two lines after the
// parameters say which systems were used and what the residuals are, and the
// residuals are those of ResidualsOf in the new system's terms (N E U, x y h),
// named so in the title and the header; with xyz on both sides the report is
// the one it has always been.
// The two lines that say which systems were used and what the residuals
// are (the adjustment's saying also what its redundancy numbers are); for
// a table with a system other than xyz.
void WriteSystemLines(ColumnPrinter &out, const PointSystems &systems, bool adjustment);

// The header of the residual columns: "X残差" or "N残差" ... (GBK).
std::string ResidualHeader(const PointSystems &systems, int index);

LargestResidual WriteAccuracyReport(TextFileWriter &out, const CommonPointTable &table,
                                    const TripleChoice &choice, const EquationSystem &solved);

} // namespace kovarim
