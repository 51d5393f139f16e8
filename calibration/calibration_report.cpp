#include "calibration/calibration_report.h"

#include <cmath>

#include "adjustment/adjustment_report.h"
#include "adjustment/adjustment_texts.h"
#include "adjustment/f_distribution.h"
#include "adjustment/robust_start.h"
#include "calibration/calibration_texts.h"
#include "estimation/estimate.h"
#include "textio/column_printer.h"
#include "textio/encoding.h"
#include "textio/number_text.h"
#include "textio/path_names.h"

namespace kovarim {
namespace {

void Rule(ColumnPrinter &out) { out.Text(std::string(58, '=')).EndLine(); }

// How each fit's robust start chose its subsets.
enum class StartKind { Pairs, Singles, Triangles, Sixes };

void SubsetNames(ColumnPrinter &out, const CommonPointTable &table,
                 const std::vector<int> &numbers) {
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        if (k > 0)
            out.Text("--");
        out.Text(table.Point(numbers[k]).Name);
    }
}

void OptionalNumber(ColumnPrinter &out, bool has, double value) {
    if (has)
        out.Text(FormatNumber(value));
    else
        out.Text(gbk::kNone.bytes);
}

// The robust start, the test and σ0 of one fit.
void WriteFitStatistics(ColumnPrinter &out, const CommonPointTable &table, const FitSummary &f,
                        StartKind kind, int dimension, int subset, double alpha,
                        std::string_view snooping) {
    const std::string D = std::to_string(dimension);
    if (f.robustStart) {
        switch (kind) {
        case StartKind::Pairs:
            out.Text(gbk::kStartPairs.bytes)
                .Text(FormatNumber(RoundToPlaces(f.startShapeLimit, 2)))
                .Text(gbk::kStartPairsTried.bytes)
                .Text(std::to_string(f.subsetsFitted))
                .Text(gbk::kStartChosen.bytes);
            SubsetNames(out, table, f.startSubset);
            out.Text(gbk::kStartPairDistance.bytes)
                .Text(FormatNumber(RoundToPlaces(f.startShape, 2)))
                .Text(gbk::kTimes.bytes);
            break;
        case StartKind::Singles:
            out.Text(gbk::kStartSingles.bytes)
                .Text(std::to_string(f.subsetsFitted))
                .Text(gbk::kStartSinglesChosen.bytes);
            SubsetNames(out, table, f.startSubset);
            out.Text(gbk::kClose.bytes);
            break;
        case StartKind::Triangles:
            out.Text(gbk::kStartMedian.bytes)
                .Text(FormatNumber(RoundToPlaces(f.startShapeLimit, 1)))
                .Text(gbk::kStartTried.bytes)
                .Text(std::to_string(f.subsetsFitted))
                .Text(gbk::kStartChosen.bytes);
            SubsetNames(out, table, f.startSubset);
            out.Text(gbk::kStartAngle.bytes)
                .Text(FormatNumber(RoundToPlaces(f.startShape, 1)))
                .Text(gbk::kDegrees.bytes);
            break;
        case StartKind::Sixes:
            out.Text(gbk::kStartSixes.bytes)
                .Text(FormatNumber(RoundToSignificant(f.startShapeLimit, 3)))
                .Text(gbk::kStartSixesTried.bytes)
                .Text(std::to_string(f.subsetsFitted))
                .Text(gbk::kStartChosen.bytes);
            SubsetNames(out, table, f.startSubset);
            out.Text(gbk::kStartShape.bytes)
                .Text(FormatNumber(RoundToSignificant(f.startShape, 3)));
            break;
        }
        out.EndLine();
        out.Text(gbk::kStartWaitingOf.bytes)
            .Text(D + ") = ")
            .Text(FormatNumber(RoundToSignificant(
                std::sqrt(ChiSquareQuantile(lsq::kWaitingQuantile, dimension)), 4)))
            .Text(gbk::kStartScale.bytes)
            .Text(FormatNumber(RoundToSignificant(f.robustScale, 4)))
            .Text(gbk::kRobustLimit.bytes)
            .Text(FormatNumber(RoundToSignificant(f.robustLimit, 4)))
            .Text(gbk::kRobustCount.bytes)
            .Text(std::to_string(f.setAsideAtStart))
            .Text(gbk::kCountEnd.bytes)
            .EndLine();
    } else if (f.used + f.blunders < subset + 2) {
        out.Text(gbk::kNoStartFew.bytes)
            .Text(std::to_string(subset + 2))
            .Text(gbk::kNoStartFewEnd.bytes)
            .EndLine();
    } else {
        out.Text(gbk::kNoStartShape.bytes).EndLine();
    }
    out.Text(snooping).Text(std::to_string(subset + 1)).Text(gbk::kPointsEnd.bytes).EndLine();
    out.Text(gbk::kAlpha.bytes)
        .Text(FormatNumber(alpha))
        .Text(gbk::kCriticalOf.bytes)
        .Text(D + ",r-" + D + ") = ");
    OptionalNumber(out, f.criticalUsed > 0.0, RoundToPlaces(f.criticalUsed, 4));
    out.Text(gbk::kCriticalUsedEnd.bytes).Text(gbk::kOthersOf.bytes).Text(D + ",r) = ");
    OptionalNumber(out, f.criticalOthers > 0.0, RoundToPlaces(f.criticalOthers, 4));
    out.Text(gbk::kCriticalOthersEnd.bytes).EndLine();
    out.Text(gbk::kSigma0.bytes);
    OptionalNumber(out, f.sigma0.has_value(), RoundToSignificant(f.sigma0.value_or(0.0), 4));
    out.Text(gbk::kRedundancy.bytes).Text(std::to_string(f.redundancy)).EndLine();
    if (!f.settled)
        out.Text(gbk::kNotSettled.bytes).EndLine();
}

void WriteSummary(ColumnPrinter &out, const CommonPointTable &table, const SiteCalibration &c) {
    const bool height = c.height.surface.model != HeightModel::None;
    out.Text(gbk::kCalibrationTitle.bytes)
        .Text(gbk::kPointsInFile.bytes)
        .Text(std::to_string(table.PointCount()))
        .Text(gbk::kPlaneUsed.bytes)
        .Text(std::to_string(c.plane.fit.used))
        .Text(gbk::kBlundersFound.bytes)
        .Text(std::to_string(c.plane.fit.blunders));
    if (height)
        out.Text(gbk::kHeightUsed.bytes)
            .Text(std::to_string(c.height.fit.used))
            .Text(gbk::kBlundersFound.bytes)
            .Text(std::to_string(c.height.fit.blunders));
    out.Text(gbk::kCheckPointsHeld.bytes).Text(std::to_string(c.checks)).Text(gbk::kCountEnd.bytes);
    const int failing = c.plane.fit.failedButKept + c.height.fit.failedButKept;
    if (failing > 0)
        out.Text(gbk::kFailedButKept.bytes)
            .Text(std::to_string(failing))
            .Text(gbk::kCountEnd.bytes);
    out.EndLine();
    out.Text(gbk::kFromSystem.bytes)
        .Text(ToReportEncoding(c.systems.from, Encoding::Utf8))
        .EndLine();
    out.Text(gbk::kViaProjection.bytes);
    if (c.systems.via.empty())
        out.Text(gbk::kViaNone.bytes);
    else
        out.Text(ToReportEncoding(c.systems.via, Encoding::Utf8));
    out.EndLine();
    out.Text(gbk::kToSystem.bytes).Text(ToReportEncoding(c.systems.to, Encoding::Utf8)).EndLine();
}

// A standard deviation in the parameter tables: four significant digits,
// nothing without redundancy.
void Sigma(ColumnPrinter &out, const FitSummary &f, double sigma) {
    if (f.sigma0)
        out.Number(RoundToSignificant(sigma, 4));
    else
        out.Text(gbk::kNone.bytes);
}

void WritePlane(ColumnPrinter &out, const CommonPointTable &table, const SiteCalibration &c) {
    const PlaneCalibration &p = c.plane;
    out.Text(gbk::kPlaneTitle.bytes).EndLine();
    out.Text(p.fixedScale ? gbk::kPlaneMethodFixed.bytes : gbk::kPlaneMethod.bytes).EndLine();
    WriteFitStatistics(out, table, p.fit, StartKind::Pairs, 2, 2, c.alpha,
                       gbk::kSnoopingPlane.bytes);

    Rule(out);
    out.Text(gbk::kParameter.bytes)
        .Column(10)
        .Text(gbk::kAdjustedValue.bytes)
        .Column(34)
        .Text(gbk::kStandardDeviation.bytes)
        .Column(50)
        .Text(gbk::kUnit.bytes)
        .EndLine();
    out.Text("dx").Column(10).Number(p.params.dx).Column(34);
    Sigma(out, p.fit, p.sigma.dx);
    out.Column(50).Text(gbk::kMetres.bytes).EndLine();
    out.Text("dy").Column(10).Number(p.params.dy).Column(34);
    Sigma(out, p.fit, p.sigma.dy);
    out.Column(50).Text(gbk::kMetres.bytes).EndLine();
    out.Text(gbk::kScaleName.bytes).Column(10).Number(ToPpm(p.params.scale)).Column(34);
    if (p.fixedScale)
        out.Text(gbk::kHeld.bytes);
    else
        Sigma(out, p.fit, ToPpm(p.sigma.scale));
    out.Column(50).Text("ppm").EndLine();
    out.Text(gbk::kRotationName.bytes)
        .Column(10)
        .Number(ToArcSeconds(p.params.rotation))
        .Column(34);
    Sigma(out, p.fit, ToArcSeconds(p.sigma.rotation));
    out.Column(50).Text(gbk::kArcSeconds.bytes).EndLine();
    out.Text(gbk::kScaleFactor.bytes).Text(FormatNumber(1.0 + p.params.scale)).EndLine();

    out.Text(gbk::kCentroidTitle.bytes).EndLine();
    out.Text(gbk::kPlaneCentroid.bytes).EndLine();
    out.Text("x").Column(10).Number(p.centroid[0]).Column(34).Text("y").Column(38);
    out.Number(p.centroid[1]).EndLine();
    out.Text(gbk::kLocalCentroid.bytes).Column(34).Text(gbk::kStandardDeviation.bytes).EndLine();
    for (int k = 0; k < 2; ++k) {
        out.Text(k == 0 ? "X" : "Y").Column(10).Number(p.centroidLocal[k]).Column(34);
        Sigma(out, p.fit, p.centroidLocalSigma[k]);
        out.EndLine();
    }

    // A held scale has no correlations.
    const std::string_view names[4] = {"dx", "dy", gbk::kScaleName.bytes, gbk::kRotationName.bytes};
    std::vector<int> shown;
    for (int k = 0; k < 4; ++k)
        if (k != 2 || !p.fixedScale)
            shown.push_back(k);
    out.Text(gbk::kCorrelationTitle.bytes).EndLine();
    for (std::size_t j = 0; j < shown.size(); ++j)
        out.Column(11 + 9 * j).Text(names[shown[j]]);
    out.EndLine();
    for (int k : shown) {
        out.Text(names[k]);
        for (std::size_t j = 0; j < shown.size(); ++j)
            out.Column(10 + 9 * j).Number(RoundToPlaces(p.correlation[k][shown[j]], 4));
        out.EndLine();
    }
}

void WriteHeight(ColumnPrinter &out, const CommonPointTable &table, const SiteCalibration &c) {
    const HeightCalibration &h = c.height;
    out.Text(gbk::kHeightTitle.bytes).EndLine();
    const int U = CoefficientCount(h.surface.model);
    switch (h.surface.model) {
    case HeightModel::Constant:
        out.Text(gbk::kModelConstant.bytes);
        break;
    case HeightModel::Plane:
        out.Text(gbk::kModelPlane.bytes);
        break;
    case HeightModel::Quadratic:
        out.Text(gbk::kModelQuadratic.bytes);
        break;
    default:
        out.Text(gbk::kHeightNone.bytes).EndLine();
        return;
    }
    out.Text(gbk::kModelUnits.bytes).EndLine();
    if (h.asked == HeightModel::Auto) {
        out.Text(gbk::kAutoChose.bytes)
            .Text(std::to_string(h.fit.used + h.fit.blunders))
            .Text(gbk::kAutoChoseEnd.bytes);
        if (h.steppedDown)
            out.Text(gbk::kAutoSteppedDown.bytes);
        out.EndLine();
    }
    out.Text(gbk::kOrigin.bytes)
        .Text(FormatNumber(h.surface.originX))
        .Text(gbk::kOriginY.bytes)
        .Text(FormatNumber(h.surface.originY))
        .EndLine();
    const StartKind kind = U == 1   ? StartKind::Singles
                           : U == 3 ? StartKind::Triangles
                                    : StartKind::Sixes;
    WriteFitStatistics(out, table, h.fit, kind, 1, U, c.alpha, gbk::kSnoopingHeight.bytes);

    Rule(out);
    out.Text(gbk::kCoefficient.bytes)
        .Column(10)
        .Text(gbk::kAdjustedValue.bytes)
        .Column(34)
        .Text(gbk::kStandardDeviation.bytes)
        .Column(50)
        .Text(gbk::kUnit.bytes)
        .EndLine();
    for (int k = 0; k < U; ++k) {
        out.Text("c" + std::to_string(k)).Column(10).Number(h.surface.c[k]).Column(34);
        Sigma(out, h.fit, h.sigma[k]);
        out.Column(50)
            .Text(k == 0  ? gbk::kMetres.bytes
                  : k < 3 ? gbk::kMetresPerKilometre.bytes
                          : gbk::kMetresPerSquareKilometre.bytes)
            .EndLine();
    }
}

void State(ColumnPrinter &out, const FitVerdict &v) {
    switch (v.state) {
    case PointState::Used:
        out.Text(!v.passed           ? gbk::kUsedFailing.bytes
                 : v.setAsideAtStart ? gbk::kCameBack.bytes
                                     : gbk::kUsed.bytes);
        break;
    case PointState::Blunder:
        out.Text(gbk::kBlunder.bytes);
        break;
    case PointState::Check:
        out.Text(v.passed ? gbk::kCheck.bytes : gbk::kCheckFailing.bytes);
        break;
    }
}

void Test(ColumnPrinter &out, const FitVerdict &v) {
    if (v.test)
        out.Number(RoundToSignificant(*v.test, 6));
    else
        out.Text(gbk::kUntestable.bytes);
}

void WritePoints(ColumnPrinter &out, const CommonPointTable &table, const SiteCalibration &c) {
    out.Text(gbk::kPlanePointsTitle.bytes).EndLine();
    out.Text(gbk::kPointName.bytes)
        .Column(20)
        .Text(gbk::kXResidual.bytes)
        .Column(35)
        .Text(gbk::kYResidual.bytes)
        .Column(50)
        .Text(gbk::kRedundancyNumbers.bytes)
        .Column(65)
        .Text(gbk::kTestValue.bytes)
        .Column(78)
        .Text(gbk::kCriticalValue.bytes)
        .Column(91)
        .Text(gbk::kState.bytes)
        .EndLine();
    for (int n = 1; n <= table.PointCount(); ++n) {
        const CalibratedPoint &p = c.points[n - 1];
        out.Text(table.Point(n).Name);
        for (int k = 0; k < 2; ++k)
            out.Column(20 + 15 * k).Number(RoundToPlaces(p.residual[k], 5));
        if (p.plane.state == PointState::Used)
            for (int k = 0; k < 2; ++k)
                out.Column(50 + 7 * k).Number(RoundToPlaces(p.redundancy[k], 3));
        out.Column(65);
        Test(out, p.plane);
        out.Column(78).Number(RoundToPlaces(p.plane.critical, 4)).Column(91);
        State(out, p.plane);
        out.EndLine();
    }
    if (c.checks > 0) {
        out.Text(gbk::kCheckRms.bytes);
        for (int k = 0; k < 2; ++k)
            out.Column(20 + 15 * k).Number(RoundToPlaces(c.checkRms[k], 5));
        out.Column(50).Text(gbk::kPlan.bytes).Number(RoundToPlaces(c.checkRmsPlan, 5)).EndLine();
    }
    if (c.height.surface.model == HeightModel::None)
        return;
    out.Text(gbk::kHeightPointsTitle.bytes).EndLine();
    out.Text(gbk::kPointName.bytes)
        .Column(20)
        .Text(gbk::kHResidual.bytes)
        .Column(35)
        .Text(gbk::kRedundancyNumbers.bytes)
        .Column(50)
        .Text(gbk::kTestValue.bytes)
        .Column(63)
        .Text(gbk::kCriticalValue.bytes)
        .Column(76)
        .Text(gbk::kState.bytes)
        .EndLine();
    for (int n = 1; n <= table.PointCount(); ++n) {
        const CalibratedPoint &p = c.points[n - 1];
        out.Text(table.Point(n).Name).Column(20).Number(RoundToPlaces(p.residual[2], 5));
        if (p.height.state == PointState::Used)
            out.Column(35).Number(RoundToPlaces(p.redundancy[2], 3));
        out.Column(50);
        Test(out, p.height);
        out.Column(63).Number(RoundToPlaces(p.height.critical, 4)).Column(76);
        State(out, p.height);
        out.EndLine();
    }
    if (c.checks > 0)
        out.Text(gbk::kCheckRms.bytes).Column(20).Number(RoundToPlaces(c.checkRms[2], 5)).EndLine();
}

} // namespace

std::string CalibrationReportPathFor(const std::string &commonPointPath) {
    return DropLastCharacters(commonPointPath, 4) + "四参数报告.txt";
}

void WriteCalibrationReport(TextFileWriter &report, const CommonPointTable &table,
                            const SiteCalibration &calibration) {
    ColumnPrinter out(report);
    WriteSummary(out, table, calibration);
    WritePlane(out, table, calibration);
    WriteHeight(out, table, calibration);
    WritePoints(out, table, calibration);
}

std::unique_ptr<ReplacementFile> PrepareCalibrationReport(const std::string &path,
                                                          const CommonPointTable &table,
                                                          const SiteCalibration &calibration) {
    auto report = ReportFor(path, CalibrationReportPathFor(path));
    WriteCalibrationReport(report->writer(), table, calibration);
    report->Finish();
    return report;
}

} // namespace kovarim
