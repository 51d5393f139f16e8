#include "conversion/single_point.h"

#include "base/error.h"
#include "textio/number_text.h"

namespace kovarim {
namespace {

double ReadBox(std::string_view text, const char *name) {
    const ParsedNumber parsed = ParseLeadingNumber(text);
    if (parsed.status != NumberParse::Ok)
        throw Error(std::string("原坐标系 ") + name + " 的数值超出双精度数的范围");
    return parsed.value;
}

} // namespace

void ConvertSinglePoint(const Params &params, std::string_view x, std::string_view y,
                        std::string_view z,
                        const std::function<void(Axis, const std::string &)> &show,
                        Direction direction) {
    const double X = ReadBox(x, "X"), Y = ReadBox(y, "Y"), Z = ReadBox(z, "Z");
    if (direction == Direction::Inverse) {
        const Point3 back = InverseTransformPoint(params, X, Y, Z);
        show(Axis::X, FormatNumber(RoundCoordinate(back.X)));
        show(Axis::Y, FormatNumber(RoundCoordinate(back.Y)));
        show(Axis::Z, FormatNumber(RoundCoordinate(back.Z)));
        return;
    }
    show(Axis::X, FormatNumber(RoundCoordinate(TransformX(params, X, Y, Z))));
    show(Axis::Y, FormatNumber(RoundCoordinate(TransformY(params, X, Y, Z))));
    show(Axis::Z, FormatNumber(RoundCoordinate(TransformZ(params, X, Y, Z))));
}

} // namespace kovarim
