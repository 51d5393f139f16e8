#include "estimation/estimate.h"

#include "estimation/accuracy_report.h"
#include "estimation/common_points.h"

namespace kovarim {

bool Estimate(const std::string &commonPointPath, const EstimationHooks &hooks) {
    const CommonPointTable table = ReadCommonPointFile(commonPointPath);
    const TripleChoice choice = FindBestTriple(table, hooks.progress);
    if (hooks.searchDone)
        hooks.searchDone();
    if (WriteAccuracyReport(commonPointPath, table, choice, hooks.store))
        return true;
    if (hooks.noTriple)
        hooks.noTriple();
    return false;
}

} // namespace kovarim
