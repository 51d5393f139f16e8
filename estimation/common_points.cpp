#include "estimation/common_points.h"

#include "base/error.h"
#include "textio/number_text.h"

namespace kovarim {
namespace {

constexpr int kFieldsPerRecord = 7;
const char *const kFieldNames[kFieldsPerRecord] = {"点号", "x1", "y1", "z1", "x2", "y2", "z2"};
const char *const kSides[2] = {"原坐标系 ", "新坐标系 "};

// A field's name in messages and in the layout: x1 ... z2 for xyz, as
// always; B1, L1, H1, x2, y2, h2 ... for the other systems.
std::string FieldName(const PointSystems &systems, int index) {
    if (index == 0)
        return kFieldNames[0];
    const CoordinateSystem &s = index <= 3 ? systems.from : systems.to;
    if (s.kind() == SystemKind::Cartesian)
        return kFieldNames[index];
    return ValueName(s, (index - 1) % 3) + std::to_string(index <= 3 ? 1 : 2);
}

// The point's name for a message: "（点号 “P1”）", or nothing.
std::string NameNote(const FieldReader &reader, const Line &line) {
    const std::string name = QuotedForMessage(ToUtf8(line.fields[0].bytes, reader.encoding()));
    return name.empty() ? std::string() : "（点号" + name + "）";
}

// Only a plain number field is a coordinate here: a quoted or empty one is
// refused, since the estimation must not guess (the batch is more lenient).
double Coordinate(const FieldReader &reader, const PointSystems &systems, const Line &line,
                  int index) {
    const Field &field = line.fields[index];
    if (field.kind == FieldKind::Number)
        return field.number;
    const Encoding encoding = reader.encoding();
    std::string what = "坐标 " + FieldName(systems, index);
    if (field.kind == FieldKind::Empty)
        what += " 为空";
    else
        what += QuotedForMessage(ToUtf8(field.bytes, encoding)) +
                (field.outOfRange ? " 超出双精度数的范围"
                 : ParseFieldNumber(field.bytes).status == NumberParse::Ok ? " 在引号中，不是数值"
                                                                           : " 不是数值");
    throw Error::AtField(reader.path(), field.line, index + 1, what + NameNote(reader, line));
}

// One side's three values (fields first to first + 2) in its system, as X, Y,
// Z; `given` the values as read. xyz takes the numbers as they are.
Geocentric Side(const FieldReader &reader, const PointSystems &systems, const Line &line, int first,
                Values &given) {
    const CoordinateSystem &s = first == 1 ? systems.from : systems.to;
    for (int k = 0; k < 3; ++k)
        given[k] = Coordinate(reader, systems, line, first + k);
    if (s.kind() == SystemKind::Cartesian)
        return {given[0], given[1], given[2]};
    try {
        // The number's text, in the system's form: ddd.mmssss is not the
        // decimal number it looks like.
        for (int k = 0; k < 3; ++k)
            given[k] = ReadSystemValue(s, k, line.fields[first + k].bytes);
        return ToGeocentric(s, given);
    } catch (const Error &e) {
        const Error placed = PlacedInFile(e, reader.path(), line.number, first + 1);
        throw placed.Restated(kSides[first == 1 ? 0 : 1] + placed.problem() +
                              NameNote(reader, line));
    }
}

} // namespace

CommonPointTable ReadCommonPointFile(const std::string &path, const PointSystems &systems) {
    FieldReader reader(path);
    return ReadCommonPoints(reader, systems);
}

void NamesInReportEncoding(const FieldReader &reader, CommonPointTable &table) {
    // The whole file is read, so its encoding is known: the names go into the
    // report, which is GBK.
    if (const EncodingRefusal refusal = reader.EncodingRefusalAtEnd(); refusal.line != 0)
        throw Error::AtLine(reader.path(), refusal.line, refusal.message);
    if (reader.encoding() == Encoding::Utf8)
        table.ConvertNames(
            [](const std::string &name) { return ToReportEncoding(name, Encoding::Utf8); });
}

CommonPointTable ReadCommonPoints(FieldReader &reader, const PointSystems &systems) {
    const std::string &path = reader.path();
    CommonPointTable table(path, systems);
    std::string layout = FieldName(systems, 0);
    for (int index = 1; index < kFieldsPerRecord; ++index)
        layout += "," + FieldName(systems, index);
    Line line;
    while (reader.NextRecord(kFieldsPerRecord, layout.c_str(), line)) {
        CommonPoint point;
        point.Name = line.fields[0].bytes;
        point.NameKind = line.fields[0].kind;
        point.NameNumber = line.fields[0].number;
        point.line = line.number;
        Values given1;
        const Geocentric original = Side(reader, systems, line, 1, given1);
        const Geocentric target = Side(reader, systems, line, 4, point.given2);
        point.x1 = original.X, point.y1 = original.Y, point.z1 = original.Z;
        point.x2 = target.X, point.y2 = target.Y, point.z2 = target.Z;
        if (table.PointCount() == kMaxCommonPoints)
            throw Error::AtLine(path, line.number,
                                "公共点太多：最多 " + std::to_string(kMaxCommonPoints) + " 个");
        table.Add(std::move(point));
    }
    NamesInReportEncoding(reader, table);
    return table;
}

Values ResidualsOf(const CommonPointTable &table, const Params &params, const CommonPoint &q) {
    const CoordinateSystem &to = table.systems().to;
    if (to.kind() == SystemKind::Cartesian) {
        Values v;
        double (*const transform[3])(const Params &, double, double,
                                     double) = {TransformX, TransformY, TransformZ};
        const double given[3] = {q.x2, q.y2, q.z2};
        for (int k = 0; k < 3; ++k) {
            try {
                v[k] = transform[k](params, q.x1, q.y1, q.z1) - given[k];
            } catch (const Error &overflow) {
                throw Error(std::string(1, "XYZ"[k]) + " 残差：" + overflow.problem());
            }
        }
        return v;
    }
    try {
        const Point3 p = TransformPoint(params, q.x1, q.y1, q.z1);
        return Residuals(to, {p.X, p.Y, p.Z}, q.given2);
    } catch (const Error &e) {
        throw Error("残差：" + e.problem());
    }
}

} // namespace kovarim
