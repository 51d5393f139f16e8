#pragma once

#include <functional>
#include <string>

#include "estimation/common_points.h"
#include "estimation/triple_search.h"
#include "model/seven_parameters.h"

namespace kovarim {

// What an estimation asks of the window, in the order it asks it.
struct EstimationHooks {
    SearchProgress progress;          // the bar while the triples are tried
    std::function<void()> searchDone; // the search is over: hide the bar
    std::function<void()> noTriple; // "需要至少三个以上的公共点才能进行七参数计算"
    std::function<void(const Params &)> store; // keep the parameters, enable the conversions
};

// The report's name: the common-point file's name less its last four
// characters (normally ".txt"), followed by "七参数精度评估.txt"; so it lands in
// the folder of the common-point file.
std::string ReportPathFor(const std::string &commonPointPath);

// Solves the chosen triple once more and writes the accuracy report (GBK,
// CR LF), replacing any earlier one: the header, the seven parameter rows,
// then, once the parameters have been handed to hooks.store, the residuals of
// every common point in file order. With no triple chosen the solve fails:
// hooks.noTriple is called once, the report stays empty and false comes back.
// Write failures throw Error; what was written stays.
bool WriteAccuracyReport(const std::string &commonPointPath, const CommonPointTable &table,
                         const TripleChoice &choice, const EstimationHooks &hooks);

// The whole estimation behind the first button, after the file was chosen:
// read the common points, search the best triple, write the report, store
// the parameters. Throws Error for a malformed or unreadable file before
// anything is stored or written.
bool Estimate(const std::string &commonPointPath, const EstimationHooks &hooks);

} // namespace kovarim
