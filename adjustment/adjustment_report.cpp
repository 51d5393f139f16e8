#include "adjustment/adjustment_report.h"

#include <cmath>

#include "adjustment/adjustment_texts.h"
#include "adjustment/f_distribution.h"
#include "adjustment/robust_start.h"
#include "estimation/estimate.h"
#include "textio/column_printer.h"
#include "textio/number_text.h"
#include "textio/path_names.h"

namespace kovarim {
namespace {

constexpr const char *kNames[8] = {"", "DX", "DY", "DZ", "Scale", "RotX", "RotY", "RotZ"};
constexpr double kArcSecondsPerRadian = 648000.0 / 3.14159265358979323846;

// The readable form of a scale or rotation, or of its σ: ppm for the
// scale, arc-seconds for a rotation.
void Readable(ColumnPrinter &out, int index, double value) {
    if (index == Scale)
        out.Number(RoundToPlaces(value * 1e6, 4)).Text("ppm");
    else if (index >= RotX)
        out.Number(RoundToPlaces(value * kArcSecondsPerRadian, 4)).Text(gbk::kArcSeconds.bytes);
}

void Rule(ColumnPrinter &out) { out.Text(std::string(58, '=')).EndLine(); }

void WriteSummary(ColumnPrinter &out, const CommonPointTable &table, const Adjustment &a) {
    out.Text(gbk::kAdjustedTitle.bytes)
        .Text(gbk::kPointsInFile.bytes)
        .Text(std::to_string(table.PointCount()))
        .Text(gbk::kPointsUsed.bytes)
        .Text(std::to_string(a.used))
        .Text(gbk::kBlundersFound.bytes)
        .Text(std::to_string(a.blunders))
        .Text(gbk::kCheckPointsHeld.bytes)
        .Text(std::to_string(a.checks))
        .Text(gbk::kCountEnd.bytes);
    if (a.failedButKept > 0)
        out.Text(gbk::kFailedButKept.bytes)
            .Text(std::to_string(a.failedButKept))
            .Text(gbk::kCountEnd.bytes);
    out.EndLine();
    out.Text(gbk::kMethod.bytes).EndLine();
    if (a.robustStart) {
        out.Text(gbk::kStartMedian.bytes)
            .Text(FormatNumber(RoundToPlaces(a.startAngleLimit, 1)))
            .Text(gbk::kStartTried.bytes)
            .Text(std::to_string(a.triplesFitted))
            .Text(gbk::kStartChosen.bytes)
            .Text(table.Point(a.startTriple[0]).Name)
            .Text("--")
            .Text(table.Point(a.startTriple[1]).Name)
            .Text("--")
            .Text(table.Point(a.startTriple[2]).Name)
            .Text(gbk::kStartAngle.bytes)
            .Text(FormatNumber(RoundToPlaces(a.startAngle, 1)))
            .Text(gbk::kDegrees.bytes)
            .EndLine();
        out.Text(gbk::kStartWaiting.bytes)
            .Text(FormatNumber(RoundToSignificant(std::sqrt(lsq::kChiSquareWaiting[3]), 4)))
            .Text(gbk::kStartScale.bytes)
            .Text(FormatNumber(RoundToSignificant(a.robustScale, 4)))
            .Text(gbk::kRobustLimit.bytes)
            .Text(FormatNumber(RoundToSignificant(a.robustLimit, 4)))
            .Text(gbk::kRobustCount.bytes)
            .Text(std::to_string(a.setAsideAtStart))
            .Text(gbk::kCountEnd.bytes)
            .EndLine();
    } else {
        out.Text(a.used + a.blunders < 5 ? gbk::kNoRobustStartFew.bytes
                                         : gbk::kNoRobustStartShape.bytes)
            .EndLine();
    }
    out.Text(gbk::kSnooping.bytes).EndLine();
    out.Text(gbk::kAlpha.bytes)
        .Text(FormatNumber(a.alpha))
        .Text(gbk::kCriticalUsed.bytes)
        .Text(FormatNumber(RoundToPlaces(a.criticalUsed, 4)))
        .Text(gbk::kCriticalUsedEnd.bytes)
        .Text(gbk::kCriticalOthers.bytes)
        .Text(FormatNumber(RoundToPlaces(a.criticalOthers, 4)))
        .Text(gbk::kCriticalOthersEnd.bytes)
        .EndLine();
    out.Text(gbk::kSigma0.bytes)
        .Text(FormatNumber(RoundToSignificant(a.sigma0, 4)))
        .Text(gbk::kRedundancy.bytes)
        .Text(std::to_string(a.redundancy))
        .EndLine();
    if (!a.settled)
        out.Text(gbk::kNotSettled.bytes).EndLine();
}

void WriteParameters(ColumnPrinter &out, const Adjustment &a) {
    Rule(out);
    out.Text(gbk::kParameter.bytes)
        .Column(10)
        .Text(gbk::kAdjustedValue.bytes)
        .Column(34)
        .Text(gbk::kStandardDeviation.bytes)
        .Column(50)
        .Text(gbk::kReadable.bytes)
        .Column(68)
        .Text(gbk::kReadableSigma.bytes)
        .EndLine();
    for (int n = DX; n <= RotZ; ++n) {
        out.Text(kNames[n]).Column(10).Number(a.params[n]).Column(34);
        out.Number(RoundToSignificant(a.sigma[n], 4));
        if (n >= Scale) {
            out.Column(50);
            Readable(out, n, a.params[n]);
            out.Column(68);
            Readable(out, n, a.sigma[n]);
        }
        out.EndLine();
    }
}

void WriteCentroid(ColumnPrinter &out, const Adjustment &a) {
    out.Text(gbk::kCentroidTitle.bytes).EndLine();
    out.Text(gbk::kCentroid.bytes).EndLine();
    out.Text("X").Column(10).Number(a.centroid.X).Column(34).Text("Y").Column(38);
    out.Number(a.centroid.Y).Column(62).Text("Z").Column(66).Number(a.centroid.Z).EndLine();
    out.Text(gbk::kCentroidShift.bytes).Column(34).Text(gbk::kStandardDeviation.bytes).EndLine();
    for (int k = 0; k < 3; ++k) {
        out.Text(kNames[DX + k]).Column(10).Number(a.centroidShift[k]).Column(34);
        out.Number(RoundToSignificant(a.centroidShiftSigma[k], 4)).EndLine();
    }
}

void WriteCorrelation(ColumnPrinter &out, const Adjustment &a) {
    out.Text(gbk::kCorrelationTitle.bytes).EndLine();
    for (int k = 0; k < 7; ++k)
        out.Column(8 + 9 * k).Text(kNames[DX + k]);
    out.EndLine();
    for (int k = 0; k < 7; ++k) {
        out.Text(kNames[DX + k]);
        for (int m = 0; m < 7; ++m)
            out.Column(7 + 9 * m).Number(RoundToPlaces(a.correlation[k][m], 4));
        out.EndLine();
    }
}

void WritePoints(ColumnPrinter &out, const CommonPointTable &table, const Adjustment &a) {
    out.Text(gbk::kPointsTitle.bytes).EndLine();
    out.Text(gbk::kPointName.bytes)
        .Column(20)
        .Text(gbk::kXResidual.bytes)
        .Column(35)
        .Text(gbk::kYResidual.bytes)
        .Column(50)
        .Text(gbk::kZResidual.bytes)
        .Column(65)
        .Text(gbk::kRedundancyNumbers.bytes)
        .Column(87)
        .Text(gbk::kTestValue.bytes)
        .Column(100)
        .Text(gbk::kCriticalValue.bytes)
        .Column(113)
        .Text(gbk::kState.bytes)
        .EndLine();
    for (int n = 1; n <= table.PointCount(); ++n) {
        const AdjustedPoint &p = a.points[n - 1];
        out.Text(table.Point(n).Name);
        for (int k = 0; k < 3; ++k)
            out.Column(20 + 15 * k).Number(RoundToPlaces(p.residual[k], 5));
        if (p.state == PointState::Used) {
            for (int k = 0; k < 3; ++k)
                out.Column(65 + 7 * k).Number(RoundToPlaces(p.redundancy[k], 3));
        }
        out.Column(87);
        if (p.test)
            out.Number(RoundToSignificant(*p.test, 6));
        else
            out.Text(gbk::kUntestable.bytes);
        out.Column(100).Number(RoundToPlaces(p.critical, 4)).Column(113);
        switch (p.state) {
        case PointState::Used:
            out.Text(!p.passed           ? gbk::kUsedFailing.bytes
                     : p.setAsideAtStart ? gbk::kCameBack.bytes
                                         : gbk::kUsed.bytes);
            break;
        case PointState::Blunder:
            out.Text(gbk::kBlunder.bytes);
            break;
        case PointState::Check:
            out.Text(p.passed ? gbk::kCheck.bytes : gbk::kCheckFailing.bytes);
            break;
        }
        out.EndLine();
    }
    if (a.checks > 0) {
        out.Text(gbk::kCheckRms.bytes);
        for (int k = 0; k < 3; ++k)
            out.Column(20 + 15 * k).Number(RoundToPlaces(a.checkRms[k], 5));
        out.Column(65).Text(gbk::kThreeD.bytes).Number(RoundToPlaces(a.checkRms3d, 5)).EndLine();
    }
}

void WriteTripleComparison(ColumnPrinter &out, const CommonPointTable &table, const Adjustment &a) {
    out.Text(gbk::kTripleTitle.bytes).EndLine();
    if (!a.tripleParams) {
        out.Text(gbk::kNone.bytes).EndLine();
        return;
    }
    out.Text(gbk::kTripleOpen.bytes)
        .Text(table.Point(a.triple[0]).Name)
        .Text("--")
        .Text(table.Point(a.triple[1]).Name)
        .Text("--")
        .Text(table.Point(a.triple[2]).Name)
        .Text(")")
        .EndLine();
    out.Text(gbk::kParameter.bytes)
        .Column(10)
        .Text(gbk::kTripleValue.bytes)
        .Column(34)
        .Text(gbk::kAdjustedValue.bytes)
        .Column(58)
        .Text(gbk::kDifferenceInSigma.bytes)
        .EndLine();
    for (int n = DX; n <= RotZ; ++n) {
        out.Text(kNames[n]).Column(10).Number((*a.tripleParams)[n]).Column(34);
        out.Number(a.params[n]).Column(58);
        // No ratio for a parameter known exactly (exact data give σ = 0).
        if (a.sigma[n] > 0.0)
            out.Number(RoundToSignificant(((*a.tripleParams)[n] - a.params[n]) / a.sigma[n], 3));
        else
            out.Text(gbk::kNone.bytes);
        out.EndLine();
    }
}

} // namespace

double RoundToSignificant(double value, int digits) {
    if (value == 0.0 || !std::isfinite(value))
        return value;
    const int places = digits - 1 - static_cast<int>(std::floor(std::log10(std::fabs(value))));
    if (places > 300 || places < -300)
        return value;
    return RoundToPlaces(value, places);
}

std::string AdjustmentReportPathFor(const std::string &commonPointPath) {
    return DropLastCharacters(commonPointPath, 4) + "七参数平差报告.txt";
}

void WriteAdjustmentReport(TextFileWriter &report, const CommonPointTable &table,
                           const Adjustment &adjustment) {
    ColumnPrinter out(report);
    WriteSummary(out, table, adjustment);
    WriteParameters(out, adjustment);
    WriteCentroid(out, adjustment);
    WriteCorrelation(out, adjustment);
    WritePoints(out, table, adjustment);
    WriteTripleComparison(out, table, adjustment);
}

std::unique_ptr<ReplacementFile> PrepareAdjustmentReport(const std::string &path,
                                                         const CommonPointTable &table,
                                                         const Adjustment &adjustment) {
    auto report = ReportFor(path, AdjustmentReportPathFor(path));
    WriteAdjustmentReport(report->writer(), table, adjustment);
    report->Finish();
    return report;
}

AdjustedFile AdjustCommonPointFile(const std::string &path, const AdjustmentOptions &options) {
    AdjustedFile result{ReadCommonPointFile(path), {}, nullptr};
    result.adjustment = Adjust(result.table, options, path);
    result.report = PrepareAdjustmentReport(path, result.table, result.adjustment);
    return result;
}

} // namespace kovarim
