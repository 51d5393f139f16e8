#include "conversion/single_point.h"

#include "base/error.h"
#include "textio/number_text.h"

namespace kovarim {
namespace {

// `system`: the system the typed point is in.
double ReadBox(std::string_view text, const char *system, const char *name) {
    const ParsedNumber parsed = ParseLeadingNumber(text);
    if (parsed.status != NumberParse::Ok)
        throw Error(std::string(system) + " " + name + " 的数值超出双精度数的范围");
    return parsed.value;
}

} // namespace

void ConvertSinglePoint(const Params &params, std::string_view x, std::string_view y,
                        std::string_view z,
                        const std::function<void(Axis, const std::string &)> &show,
                        Direction direction) {
    const char *system = direction == Direction::Inverse ? "新坐标系" : "原坐标系";
    const double X = ReadBox(x, system, "X"), Y = ReadBox(y, system, "Y"),
                 Z = ReadBox(z, system, "Z");
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
