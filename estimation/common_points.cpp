#include "estimation/common_points.h"

#include "base/error.h"

namespace kovarim {
namespace {

constexpr int kFieldsPerRecord = 7;
const char *const kFieldNames[kFieldsPerRecord] = {"点号", "x1", "y1", "z1", "x2", "y2", "z2"};

// Only a plain number field is a coordinate here: a quoted or empty one is
// refused, since the estimation must not guess (the batch is more lenient).
double Coordinate(const FieldReader &reader, const Field &field, int index) {
    std::string what = std::string("坐标 ") + kFieldNames[index];
    if (field.kind == FieldKind::Number)
        return field.number;
    if (field.kind == FieldKind::Empty)
        throw Error::AtField(reader.path(), field.line, index + 1, what + " 为空");
    if (field.outOfRange)
        throw Error::AtField(reader.path(), field.line, index + 1,
                             what + QuotedForMessage(field.bytes) + " 超出双精度数的范围");
    throw Error::AtField(reader.path(), field.line, index + 1, what + " 不是数值");
}

} // namespace

CommonPointTable ReadCommonPointFile(const std::string &path) {
    FieldReader reader(path);
    return ReadCommonPoints(reader);
}

CommonPointTable ReadCommonPoints(FieldReader &reader) {
    const std::string &path = reader.path();
    CommonPointTable table;
    while (!reader.AtEnd()) {
        // Fields up to the end of this line; only the first seven are kept.
        std::vector<Field> fields;
        long line = reader.line();
        long count = 0;
        for (bool lineEnded = false; !lineEnded;) {
            Field field = reader.Next();
            lineEnded = field.endsLine;
            if (++count <= kFieldsPerRecord)
                fields.push_back(std::move(field));
        }
        // A blank line (nothing, or only blanks) is one empty field.
        if (count == 1 && fields[0].kind == FieldKind::Empty)
            continue;
        if (count != kFieldsPerRecord)
            throw Error::AtLine(path, line,
                                "应有 7 个字段（点号,x1,y1,z1,x2,y2,z2），实际有 " +
                                    std::to_string(count) + " 个");
        CommonPoint point;
        point.Name = fields[0].bytes;
        point.NameKind = fields[0].kind;
        point.NameNumber = fields[0].number;
        point.x1 = Coordinate(reader, fields[1], 1);
        point.y1 = Coordinate(reader, fields[2], 2);
        point.z1 = Coordinate(reader, fields[3], 3);
        point.x2 = Coordinate(reader, fields[4], 4);
        point.y2 = Coordinate(reader, fields[5], 5);
        point.z2 = Coordinate(reader, fields[6], 6);
        if (table.PointCount() == kMaxCommonPoints)
            throw Error::AtLine(path, line,
                                "公共点太多：最多 " + std::to_string(kMaxCommonPoints) + " 个");
        table.Add(std::move(point));
    }
    return table;
}

} // namespace kovarim
