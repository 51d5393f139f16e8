#include "estimation/accuracy_report.h"

#include <array>
#include <cmath>

#include "base/error.h"
#include "estimation/estimate.h"
#include "textio/column_printer.h"
#include "textio/encoding.h"
#include "textio/gbk_texts.h"
#include "textio/path_names.h"

namespace kovarim {
namespace {

void WriteName(ColumnPrinter &out, const CommonPoint &point) {
    // The residual rows write each field by its kind: a name that reads as a
    // number comes out as that number (" 12 "), an empty one as nothing.
    if (point.NameKind == FieldKind::Number)
        out.Number(point.NameNumber);
    else
        out.Text(point.Name);
}

// A point's name for a message: "点号 “P” 的 ", or nothing.
std::string NameForMessage(const CommonPoint &point) {
    const std::string name = QuotedForMessage(ToUtf8(point.Name, Encoding::Gbk));
    return name.empty() ? std::string() : "点号" + name + " 的 ";
}

// A residual as printed: rounded to 5 decimal places. One that overflows
// names its point and axis.
template <class Compute>
double Residual(const CommonPointTable &table, const CommonPoint &point, char axis,
                Compute compute) {
    try {
        return RoundToPlaces(compute(), 5);
    } catch (const Error &overflow) {
        throw Error::AtLine(table.source(), point.line,
                            NameForMessage(point) + axis + " 残差：" + overflow.problem());
    }
}

// The three residuals of a point as printed.
std::array<double, 3> PrintedResiduals(const CommonPointTable &table, const Params &params,
                                       const CommonPoint &q) {
    const CoordinateSystem &to = table.systems().to;
    if (to.kind() == SystemKind::Cartesian)
        return {
            Residual(table, q, 'X', [&] { return TransformX(params, q.x1, q.y1, q.z1) - q.x2; }),
            Residual(table, q, 'Y', [&] { return TransformY(params, q.x1, q.y1, q.z1) - q.y2; }),
            Residual(table, q, 'Z', [&] { return TransformZ(params, q.x1, q.y1, q.z1) - q.z2; })};
    Values v;
    try {
        v = ResidualsOf(table, params, q);
    } catch (const Error &e) {
        throw Error::AtLine(table.source(), q.line, NameForMessage(q) + e.problem());
    }
    std::array<double, 3> printed;
    for (int k = 0; k < 3; ++k)
        printed[k] = Residual(table, q, ResidualName(to, k)[0], [&] { return v[k]; });
    return printed;
}

} // namespace

void WriteSystemLines(ColumnPrinter &out, const PointSystems &systems, bool adjustment) {
    out.Text(gbk::kOriginalSystem.bytes)
        .Text(CoordinateSystemText(systems.from))
        .Text(gbk::kNewSystem.bytes)
        .Text(CoordinateSystemText(systems.to))
        .Text(gbk::kParametersOnXyz.bytes)
        .EndLine();
    out.Text(gbk::kResidualsAre.bytes);
    switch (systems.to.kind()) {
    case SystemKind::Cartesian:
        out.Text(gbk::kResidualsXyz.bytes);
        break;
    case SystemKind::Geodetic:
        out.Text(gbk::kResidualsNeu.bytes);
        break;
    case SystemKind::GaussKruger:
        out.Text(gbk::kResidualsGrid.bytes);
        break;
    }
    if (adjustment)
        out.Text(gbk::kAlongTheseAxes.bytes);
    out.EndLine();
}

std::string ResidualHeader(const PointSystems &systems, int index) {
    if (systems.to.kind() == SystemKind::Cartesian)
        return std::string(
            std::array{gbk::kXResidual, gbk::kYResidual, gbk::kZResidual}[index].bytes);
    return ResidualName(systems.to, index) + std::string(gbk::kResidual.bytes);
}

std::string ReportPathFor(const std::string &commonPointPath) {
    return DropLastCharacters(commonPointPath, 4) + "七参数精度评估.txt";
}

LargestResidual WriteAccuracyReport(TextFileWriter &report, const CommonPointTable &table,
                                    const TripleChoice &choice, const EquationSystem &system) {
    ColumnPrinter out(report);
    out.Text(gbk::kTotalOf.bytes)
        .Number(table.PointCount())
        .Text(gbk::kCommonPointsBestThree.bytes)
        .Text(table.Point(choice.First).Name)
        .Text("--")
        .Text(table.Point(choice.Second).Name)
        .Text("--")
        .Text(table.Point(choice.Third).Name)
        .Text(gbk::kComputedSevenParams.bytes)
        .EndLine();
    out.Text(gbk::kEquationNumber.bytes)
        .Text(gbk::kPointEquation.bytes)
        .Column(24)
        .Text(gbk::kSevenParams.bytes)
        .EndLine();

    // Row m holds parameter m; its label is that of the equation that served
    // as pivot row m, which after row exchanges need not be equation m.
    for (int m = 1; m <= 7; ++m) {
        out.Number(m)
            .Column(16)
            .Text(system.labels[m])
            .Column(30)
            .Number(system.A[m][7])
            .Column(34)
            .Text("  ")
            .Number(system.b[m])
            .EndLine();
    }
    out.Text(std::string(58, '=')).EndLine();

    const PointSystems &systems = table.systems();
    if (!systems.Cartesian())
        WriteSystemLines(out, systems, false);
    if (systems.to.kind() == SystemKind::Cartesian) {
        out.Text(gbk::kResidualTitle.bytes).EndLine();
    } else {
        const std::string rule(22, '=');
        out.Text(rule).Text(gbk::kResidualAnalysis.bytes);
        for (int k = 0; k < 3; ++k)
            out.Text("D").Text(ResidualName(systems.to, k));
        out.Text(rule).EndLine();
    }
    out.Text(gbk::kPointName.bytes)
        .Column(20)
        .Text(ResidualHeader(systems, 0))
        .Column(32)
        .Text(ResidualHeader(systems, 1))
        .Column(44)
        .Text(ResidualHeader(systems, 2))
        .EndLine();
    const Params params = ParametersOf(system);
    LargestResidual largest;
    for (int n = 1; n <= table.PointCount(); ++n) {
        const CommonPoint &q = table.Point(n);
        const std::array<double, 3> residuals = PrintedResiduals(table, params, q);
        WriteName(out, q);
        out.Column(20).Number(residuals[0]).Column(35).Number(residuals[1]).Column(50);
        out.Number(residuals[2]).EndLine();
        for (int axis = 0; axis < 3; ++axis)
            if (std::fabs(residuals[axis]) > std::fabs(largest.value))
                largest = {residuals[axis], n, ResidualName(systems.to, axis)[0]};
    }
    return largest;
}

} // namespace kovarim
