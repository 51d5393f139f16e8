#pragma once

#include <functional>
#include <string>

#include "estimation/triple_search.h"
#include "model/seven_parameters.h"

namespace kovarim {

// What an estimation asks of its front end, in the order it asks it.
struct EstimationHooks {
    SearchProgress progress;          // the bar while the triples are tried
    std::function<void()> searchDone; // the search is over: hide the bar
    std::function<void()> noTriple; // "需要至少三个以上的公共点才能进行七参数计算"
    std::function<void(const Params &)> store; // keep the parameters, enable the conversions
};

// The whole estimation behind the first button, after the file was chosen:
// read the common points, search the best triple, write the report, store
// the parameters. False (after hooks.noTriple) when no triple was chosen.
// Throws Error for a malformed or unreadable file before anything is stored
// or written.
bool Estimate(const std::string &commonPointPath, const EstimationHooks &hooks);

} // namespace kovarim
