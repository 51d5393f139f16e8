#pragma once

#include <string>

#include "estimation/common_points.h"
#include "estimation/equations.h"
#include "estimation/triple_search.h"
#include "model/seven_parameters.h"
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
LargestResidual WriteAccuracyReport(TextFileWriter &out, const CommonPointTable &table,
                                    const TripleChoice &choice, const EquationSystem &solved);

} // namespace kovarim
