#include "conversion/system_conversion.h"

#include "base/error.h"
#include "textio/number_text.h"

namespace kovarim {

std::optional<std::string> DifferentEllipsoids(const PointSystems &systems) {
    if (OnOneEllipsoid(systems.from, systems.to))
        return std::nullopt;
    return "原坐标系 " + CoordinateSystemText(systems.from) + " 与新坐标系 " +
           CoordinateSystemText(systems.to) + " 的椭球不同（" +
           EllipsoidDescription(*systems.from.ellipsoid()) + " 与 " +
           EllipsoidDescription(*systems.to.ellipsoid()) + "），没有七参数不能换算";
}

SystemConversion::SystemConversion(const PointSystems &systems, const Params &params,
                                   Direction direction)
    : source_(direction == Direction::Forward ? systems.from : systems.to),
      target_(direction == Direction::Forward ? systems.to : systems.from), params_(params),
      direction_(direction), cartesian_(systems.Cartesian()) {}

SystemConversion::SystemConversion(const PointSystems &systems)
    : source_(systems.from), target_(systems.to) {
    if (const auto different = DifferentEllipsoids(systems))
        throw Error(*different);
}

Values SystemConversion::Convert(const Values &values) const {
    if (!params_)
        return ConvertBetween(source_, target_, values);
    const Geocentric g = ToGeocentric(source_, values);
    const Point3 p = TransformPoint(*params_, direction_, g.X, g.Y, g.Z);
    return FromGeocentric(target_, {p.X, p.Y, p.Z});
}

void SystemConversion::Append(std::string &out, const Values &values, char separator) const {
    for (int k = 0; k < 3; ++k) {
        if (target_.kind() == SystemKind::Cartesian)
            AppendDelimitedNumber(out, RoundCoordinate(values[k]));
        else
            AppendSystemValue(out, target_, k, values[k]);
        if (k < 2)
            out += separator;
    }
}

} // namespace kovarim
