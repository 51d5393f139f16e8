#include "calibration/calibration_points.h"

#include <cmath>

#include "base/error.h"
#include "textio/number_text.h"

namespace kovarim {
namespace {

constexpr int kFieldsPerRecord = 7;
const char *const kSides[2] = {"原坐标系 ", "局部坐标系 "};

// A field's name in messages and in the layout: x1, y1, h1 or B1, L1, H1 for
// the source, x2, y2, h2 for the local plane.
std::string FieldName(const CalibrationSource &source, int index) {
    if (index == 0)
        return "点号";
    static const char *const local[3] = {"x2", "y2", "h2"};
    if (index >= 4)
        return local[index - 4];
    return std::string(source.ValueName(index - 1)) + "1";
}

// The point's name for a message: "（点号 “P1”）", or nothing.
std::string NameNote(const FieldReader &reader, const Line &line) {
    const std::string name = QuotedForMessage(ToUtf8(line.fields[0].bytes, reader.encoding()));
    return name.empty() ? std::string() : "（点号" + name + "）";
}

// Only a plain number field is a coordinate: a quoted or empty one is
// refused, as in every common-point file.
void RequireNumber(const FieldReader &reader, const CalibrationSource &source, const Line &line,
                   int index) {
    const Field &field = line.fields[index];
    if (field.kind == FieldKind::Number)
        return;
    std::string what = kSides[index <= 3 ? 0 : 1] + ("坐标 " + FieldName(source, index));
    if (field.kind == FieldKind::Empty)
        what += " 为空";
    else
        what += QuotedForMessage(ToUtf8(field.bytes, reader.encoding())) +
                (field.outOfRange ? " 超出双精度数的范围"
                 : ParseFieldNumber(field.bytes).status == NumberParse::Ok ? " 在引号中，不是数值"
                                                                           : " 不是数值");
    throw Error::AtField(reader.path(), field.line, index + 1, what + NameNote(reader, line));
}

} // namespace

CommonPointTable ReadCalibrationPointFile(const std::string &path,
                                          const CalibrationSource &source) {
    FieldReader reader(path);
    return ReadCalibrationPoints(reader, source);
}

CommonPointTable ReadCalibrationPoints(FieldReader &reader, const CalibrationSource &source) {
    const std::string &path = reader.path();
    CommonPointTable table(path);
    std::string layout = FieldName(source, 0);
    for (int index = 1; index < kFieldsPerRecord; ++index)
        layout += "," + FieldName(source, index);
    Line line;
    while (reader.NextRecord(kFieldsPerRecord, layout.c_str(), line)) {
        for (int index = 1; index < kFieldsPerRecord; ++index)
            RequireNumber(reader, source, line, index);
        CommonPoint point;
        point.Name = line.fields[0].bytes;
        point.NameKind = line.fields[0].kind;
        point.NameNumber = line.fields[0].number;
        point.line = line.number;
        Values plane;
        try {
            // The number's text, in the source's form: ddd.mmssss is not the
            // decimal number it looks like.
            Values given;
            for (int k = 0; k < 3; ++k)
                given[k] = source.Read(k, line.fields[1 + k].bytes);
            plane = source.ToPlane(given);
        } catch (const Error &e) {
            const Error placed = PlacedInFile(e, path, line.number, 2);
            throw placed.Restated(kSides[0] + placed.problem() + NameNote(reader, line));
        }
        point.x1 = plane[0], point.y1 = plane[1], point.z1 = plane[2];
        point.x2 = line.fields[4].number;
        point.y2 = line.fields[5].number;
        point.z2 = line.fields[6].number;
        if (!std::isfinite(point.x1) || !std::isfinite(point.y1))
            throw Error::AtLine(path, line.number,
                                kSides[0] + std::string("投影后的平面坐标不是有限的数") +
                                    NameNote(reader, line));
        if (table.PointCount() == kMaxCommonPoints)
            throw Error::AtLine(path, line.number,
                                "公共点太多：最多 " + std::to_string(kMaxCommonPoints) + " 个");
        table.Add(std::move(point));
    }
    NamesInReportEncoding(reader, table);
    return table;
}

} // namespace kovarim
