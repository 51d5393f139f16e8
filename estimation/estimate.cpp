#include "estimation/estimate.h"

#include "estimation/accuracy_report.h"
#include "estimation/common_points.h"
#include "estimation/solve_equations.h"
#include "textio/text_file.h"

namespace kovarim {

std::optional<EquationSystem> SolveChosenTriple(const CommonPointTable &table,
                                                const TripleChoice &choice) {
    EquationSystem system;
    BuildEquations(table, choice.First, choice.Second, choice.Third, system);
    if (!SolveEquations(system))
        return std::nullopt;
    return system;
}

Params ParametersOf(const EquationSystem &solved) {
    Params params{};
    for (int m = 1; m <= 7; ++m)
        params[m] = solved.b[m];
    return params;
}

Estimation::Estimation(Params params, Summary summary, std::unique_ptr<ReplacementFile> report)
    : params_(params), summary_(std::move(summary)), report_(std::move(report)) {}
Estimation::Estimation(Estimation &&) noexcept = default;
Estimation &Estimation::operator=(Estimation &&) noexcept = default;
Estimation::~Estimation() = default;

const std::string &Estimation::reportPath() const { return report_->finalPath(); }

void Estimation::Commit() { report_->Commit(); }

std::optional<Estimation> Estimate(const std::string &commonPointPath,
                                   const EstimationHooks &hooks) {
    const CommonPointTable table = ReadCommonPointFile(commonPointPath);
    const TripleChoice choice = FindBestTriple(table, hooks.progress);
    if (hooks.searchDone)
        hooks.searchDone();
    const std::optional<EquationSystem> solved = SolveChosenTriple(table, choice);
    if (!solved)
        return std::nullopt;
    auto report = std::make_unique<ReplacementFile>(ReportPathFor(commonPointPath));
    const LargestResidual largest = WriteAccuracyReport(report->writer(), table, choice, *solved);
    report->Finish();
    Estimation::Summary summary{table.Point(choice.First).Name,
                                table.Point(choice.Second).Name,
                                table.Point(choice.Third).Name,
                                largest.value,
                                largest.point > 0 ? table.Point(largest.point).Name : "",
                                largest.axis};
    return Estimation(ParametersOf(*solved), std::move(summary), std::move(report));
}

} // namespace kovarim
