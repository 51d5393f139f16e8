#include "estimation/common_points.h"

#include "base/error.h"
#include "textio/number_text.h"

namespace kovarim {
namespace {

constexpr int kFieldsPerRecord = 7;
const char *const kFieldNames[kFieldsPerRecord] = {"点号", "x1", "y1", "z1", "x2", "y2", "z2"};

// Only a plain number field is a coordinate here: a quoted or empty one is
// refused, since the estimation must not guess (the batch is more lenient).
double Coordinate(const FieldReader &reader, const Line &line, int index) {
    const Field &field = line.fields[index];
    if (field.kind == FieldKind::Number)
        return field.number;
    const Encoding encoding = reader.encoding();
    std::string what = std::string("坐标 ") + kFieldNames[index];
    if (field.kind == FieldKind::Empty)
        what += " 为空";
    else
        what += QuotedForMessage(ToUtf8(field.bytes, encoding)) +
                (field.outOfRange ? " 超出双精度数的范围"
                 : ParseFieldNumber(field.bytes).status == NumberParse::Ok ? " 在引号中，不是数值"
                                                                           : " 不是数值");
    const std::string name = ToUtf8(line.fields[0].bytes, encoding);
    if (!QuotedForMessage(name).empty())
        what += "（点号" + QuotedForMessage(name) + "）";
    throw Error::AtField(reader.path(), field.line, index + 1, what);
}

} // namespace

CommonPointTable ReadCommonPointFile(const std::string &path) {
    FieldReader reader(path);
    return ReadCommonPoints(reader);
}

CommonPointTable ReadCommonPoints(FieldReader &reader) {
    const std::string &path = reader.path();
    CommonPointTable table(path);
    Line line;
    while (reader.NextRecord(kFieldsPerRecord, "点号,x1,y1,z1,x2,y2,z2", line)) {
        CommonPoint point;
        point.Name = line.fields[0].bytes;
        point.NameKind = line.fields[0].kind;
        point.NameNumber = line.fields[0].number;
        point.line = line.number;
        point.x1 = Coordinate(reader, line, 1);
        point.y1 = Coordinate(reader, line, 2);
        point.z1 = Coordinate(reader, line, 3);
        point.x2 = Coordinate(reader, line, 4);
        point.y2 = Coordinate(reader, line, 5);
        point.z2 = Coordinate(reader, line, 6);
        if (table.PointCount() == kMaxCommonPoints)
            throw Error::AtLine(path, line.number,
                                "公共点太多：最多 " + std::to_string(kMaxCommonPoints) + " 个");
        table.Add(std::move(point));
    }
    // The whole file is read, so its encoding is known: the names go into the
    // report, which is GBK.
    if (const EncodingRefusal refusal = reader.EncodingRefusalAtEnd(); refusal.line != 0)
        throw Error::AtLine(path, refusal.line, refusal.message);
    if (reader.encoding() == Encoding::Utf8)
        table.ConvertNames(
            [](const std::string &name) { return ToReportEncoding(name, Encoding::Utf8); });
    return table;
}

} // namespace kovarim
