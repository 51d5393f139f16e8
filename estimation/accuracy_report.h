#pragma once

#include <functional>
#include <optional>
#include <string>

#include "estimation/common_points.h"
#include "estimation/triple_search.h"
#include "model/seven_parameters.h"

namespace kovarim {

// The report's name: the common-point file's name less its last four
// characters (normally ".txt"), followed by "七参数精度评估.txt"; so it lands in
// the folder of the common-point file.
std::string ReportPathFor(const std::string &commonPointPath);

// Solves the chosen triple once more and writes the accuracy report (GBK,
// CR LF), replacing any earlier one: the header and the seven parameter rows;
// then `parametersWritten` receives the seven parameters; then the residuals
// of every common point in file order. With no triple chosen the solve fails:
// the report stays empty and nothing comes back. Write failures throw Error;
// what was written stays.
std::optional<Params>
WriteAccuracyReport(const std::string &commonPointPath, const CommonPointTable &table,
                    const TripleChoice &choice,
                    const std::function<void(const Params &)> &parametersWritten = {});

} // namespace kovarim
