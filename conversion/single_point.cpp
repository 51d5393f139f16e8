#include "conversion/single_point.h"

#include "base/error.h"
#include "geodesy/value_text.h"
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

std::array<std::string, 3> ConvertSitePoint(const CalibrationFile &calibration,
                                            const std::array<std::string_view, 3> &texts,
                                            Direction direction) {
    const bool forward = direction == Direction::Forward;
    const std::string side = forward ? "原坐标系 " : "局部坐标系 ";
    static const char *const local[3] = {"X", "Y", "h"};
    Values given{};
    for (int k = 0; k < 3; ++k) {
        try {
            given[k] = forward ? calibration.source.Read(k, texts[k])
                               : ReadValue(ValueForm::Metres, texts[k], local[k]);
        } catch (const Error &e) {
            throw Error(side + e.problem());
        }
    }
    Values to{};
    try {
        to = ApplySiteCalibration(calibration.source, calibration.params, direction, given);
    } catch (const Error &e) {
        // A value the source refuses is the user's; the result's own failure is not.
        throw Error((e.field() > 0 ? side : std::string()) + e.problem());
    }
    std::array<std::string, 3> shown;
    for (int k = 0; k < 3; ++k) {
        if (forward)
            shown[k] = FormatNumber(RoundCoordinate(to[k]));
        else
            calibration.source.Append(shown[k], k, to[k]);
    }
    return shown;
}

} // namespace kovarim
