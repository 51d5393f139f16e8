#include "estimation/accuracy_report.h"

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

// A residual as printed: rounded to 5 decimal places. One that overflows
// names its point and axis.
template <class Compute>
double Residual(const CommonPointTable &table, const CommonPoint &point, char axis,
                Compute compute) {
    try {
        return RoundToPlaces(compute(), 5);
    } catch (const Error &overflow) {
        const std::string name = QuotedForMessage(ToUtf8(point.Name, Encoding::Gbk));
        throw Error::AtLine(table.source(), point.line,
                            (name.empty() ? std::string() : "点号" + name + " 的 ") + axis +
                                " 残差：" + overflow.problem());
    }
}

} // namespace

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

    out.Text(gbk::kResidualTitle.bytes).EndLine();
    out.Text(gbk::kPointName.bytes)
        .Column(20)
        .Text(gbk::kXResidual.bytes)
        .Column(32)
        .Text(gbk::kYResidual.bytes)
        .Column(44)
        .Text(gbk::kZResidual.bytes)
        .EndLine();
    const Params params = ParametersOf(system);
    LargestResidual largest;
    for (int n = 1; n <= table.PointCount(); ++n) {
        const CommonPoint &q = table.Point(n);
        const double residuals[3] = {
            Residual(table, q, 'X', [&] { return TransformX(params, q.x1, q.y1, q.z1) - q.x2; }),
            Residual(table, q, 'Y', [&] { return TransformY(params, q.x1, q.y1, q.z1) - q.y2; }),
            Residual(table, q, 'Z', [&] { return TransformZ(params, q.x1, q.y1, q.z1) - q.z2; })};
        WriteName(out, q);
        out.Column(20).Number(residuals[0]).Column(35).Number(residuals[1]).Column(50);
        out.Number(residuals[2]).EndLine();
        for (int axis = 0; axis < 3; ++axis)
            if (std::fabs(residuals[axis]) > std::fabs(largest.value))
                largest = {residuals[axis], n, "XYZ"[axis]};
    }
    return largest;
}

} // namespace kovarim
