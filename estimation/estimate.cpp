#include "estimation/estimate.h"

#include <cmath>

#include "base/error.h"
#include "estimation/accuracy_report.h"
#include "estimation/common_points.h"
#include "estimation/solve_equations.h"
#include "textio/number_text.h"
#include "textio/platform.h"
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

Estimation::Estimation(Params params, Summary summary, std::unique_ptr<ReplacementFile> report,
                       CommonPointTable table, TripleChoice choice)
    : params_(params), summary_(std::move(summary)), report_(std::move(report)),
      table_(std::move(table)), choice_(choice) {}
Estimation::Estimation(Estimation &&) noexcept = default;
Estimation &Estimation::operator=(Estimation &&) noexcept = default;
Estimation::~Estimation() = default;

const std::string &Estimation::reportPath() const { return report_->finalPath(); }

void Estimation::Commit() { report_->Commit(); }

std::string NoTripleMessage(NoTripleReason reason, const CommonPointTable &table) {
    std::string why;
    switch (reason) {
    case NoTripleReason::TooFewPoints:
        why = "文件中只有 " + std::to_string(table.PointCount()) + " 个公共点";
        break;
    case NoTripleReason::OnOneLine:
        why = table.systems().from.kind() == SystemKind::Cartesian
                  ? "所有公共点在平面上（x1, y1）都位于一条直线上或互相重合"
                  : "所有公共点的地心坐标在平面上（X, Y）都位于一条直线上或互相重合";
        break;
    case NoTripleReason::OneStation:
        why = "不共线的三点组中都有两个点相距不到 " +
              FormatNumber(RepeatedStations(table).Limit()) + "，算作同一测站";
        break;
    case NoTripleReason::TooLarge:
        why = "坐标数值太大，无法计算";
        break;
    case NoTripleReason::PoorClosure:
        why = "每个三点组的闭合差都不小于 99999，两个坐标系的坐标可能对应不上";
        break;
    }
    return std::string(kNoTripleSentence) + "\n" + why;
}

std::unique_ptr<ReplacementFile> ReportFor(const std::string &commonPointPath,
                                           const std::string &reportPath) {
    if (platform::SameFile(reportPath, commonPointPath))
        throw Error::InFile(reportPath, "报告文件就是公共点文件（链接到它），不能替换它");
    return std::make_unique<ReplacementFile>(reportPath);
}

Estimation Estimate(const std::string &commonPointPath, const EstimationHooks &hooks,
                    const PointSystems &systems) {
    CommonPointTable table = ReadCommonPointFile(commonPointPath, systems);
    const TripleChoice choice = FindBestTriple(table, hooks.progress);
    if (hooks.searchDone)
        hooks.searchDone();
    const std::optional<EquationSystem> solved =
        choice.BestTriple == 0 ? std::nullopt : SolveChosenTriple(table, choice);
    if (!solved)
        throw Error(NoTripleMessage(ExplainNoTriple(table, hooks.progress.stop), table));
    const Params params = ParametersOf(*solved);
    for (int n = DX; n <= RotZ; ++n)
        if (!std::isfinite(params[n]))
            throw Error(NoTripleMessage(NoTripleReason::TooLarge, table));
    auto report = ReportFor(commonPointPath, ReportPathFor(commonPointPath));
    const LargestResidual largest = WriteAccuracyReport(report->writer(), table, choice, *solved);
    report->Finish();
    Estimation::Summary summary{table.Point(choice.First).Name,
                                table.Point(choice.Second).Name,
                                table.Point(choice.Third).Name,
                                largest.value,
                                largest.point > 0 ? table.Point(largest.point).Name : "",
                                largest.axis};
    return Estimation(params, std::move(summary), std::move(report), std::move(table), choice);
}

} // namespace kovarim
