#include "geodesy/coordinate_system.h"

#include <cmath>
#include <vector>

#include "base/ascii.h"
#include "geodesy/portable_math.h"
#include "geodesy/transverse_mercator.h"

namespace kovarim {
namespace {

// Beyond this the series' accuracy, and the grid's meaning, end; 10⁻⁹° more
// (0.1 mm) for the last bits of a point converted to the line itself.
constexpr double kLargestGridLongitude = 9.0 + 1e-9;
// Gauss-Krüger grids on ellipsoids no flatter than this: at 1/f = 50 the
// sixth-order series is within 0.001 mm of the exact projection at 9° (0.3 mm
// at 1/f = 20, 5 cm at 10).
constexpr double kSmallestGridInverseFlattening = 50.0;
constexpr double kZoneUnit = 1e6;

constexpr const char *kAcceptedForms =
    "可用的写法：xyz（地心直角坐标 X Y Z，米）；blh:椭球（大地坐标 B L 为十进制度，H "
    "为椭球高，米）；"
    "blh:椭球,dms（B L 为度分秒 ddd.mmssss）；"
    "gk:椭球:中央子午线[,zone=带号][,k=比例因子][,fe=东偏]（高斯-克吕格 x 北、y 东、h 椭球高，米；"
    "中央子午线为十进制度，y 默认加 500000）；椭球为 cgcs2000、wgs84、bj54、xian80 或"
    "“长半轴/扁率倒数”（如 6378245/298.3）";

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(Trimmed(text.substr(0, at)));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

[[noreturn]] void Unreadable(std::string_view argument, const std::string &why) {
    throw Error("无法识别坐标系" + QuotedForMessage(std::string(argument)) + "：" + why + "。" +
                kAcceptedForms);
}

[[noreturn]] void RefuseValue(int index, const std::string &problem) {
    throw Error::AtField({}, 0, index + 1, problem);
}

[[noreturn]] void RefuseResult(const std::string &problem) {
    throw Error("换算结果无法写出：" + problem);
}

double Finite(double value) {
    if (!std::isfinite(value))
        throw Error("数值溢出：坐标超出双精度数的范围");
    return value;
}

const Ellipsoid &EllipsoidOf(const CoordinateSystem &s) { return *s.ellipsoid(); }

void CheckHeight(const CoordinateSystem &s, int index, double h) {
    if (h < LowestHeight(EllipsoidOf(s)))
        RefuseValue(index, std::string(ValueName(s, index)) + " = " + ShortestText(h) +
                               " 低于椭球面以下长半轴的十分之一，不是椭球高");
}

// The system's values (checked) to B, L, H on its ellipsoid; not for xyz.
Geodetic GeodeticOf(const CoordinateSystem &s, const Values &v) {
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(v[static_cast<std::size_t>(i)]))
            RefuseValue(i, std::string(ValueName(s, i)) + " 不是有限的数值");
    if (s.kind() == SystemKind::Geodetic) {
        if (!(std::fabs(v[0]) <= 90.0))
            RefuseValue(0, "B = " + SystemValueText(s, 0, v[0]) + " 超出 −90° 至 90°");
        if (!(std::fabs(v[1]) <= 360.0))
            RefuseValue(1, "L = " + SystemValueText(s, 1, v[1]) + " 超出 −360° 至 360°");
        CheckHeight(s, 2, v[2]);
        return {v[0], v[1], v[2]};
    }
    const Ellipsoid &e = EllipsoidOf(s);
    const double quarterMeridian = QuarterMeridian(e, s.scale());
    if (!(std::fabs(v[0]) <= quarterMeridian))
        RefuseValue(0, "x = " + ShortestText(v[0]) + " 超出子午线象限弧长 " +
                           FormatValue(ValueForm::Metres, quarterMeridian) + " m，不在椭球上");
    double easting = v[1];
    if (s.zone() != 0) {
        const double prefix = std::floor(v[1] / kZoneUnit);
        if (prefix != s.zone())
            RefuseValue(1, "y = " + ShortestText(v[1]) + " 的带号为 " + ShortestText(prefix) +
                               "，与 zone=" + std::to_string(s.zone()) + " 不符");
        easting -= s.zone() * kZoneUnit;
    }
    easting -= s.falseEasting();
    const std::string beyond = "y = " + ShortestText(v[1]) + " 离中央子午线超过 9°（经差 ";
    const std::string why = "，高斯-克吕格坐标只用于中央子午线两侧 9° 以内）";
    if (!(std::fabs(easting) <= LargestEasting(e, s.scale())))
        RefuseValue(1, beyond + "远大于 9°" + why +
                           (s.zone() == 0 && v[1] >= kZoneUnit
                                ? "；y 前面带带号时，坐标系要写明 zone=带号（如 gk:...,zone=" +
                                      ShortestText(std::floor(v[1] / kZoneUnit)) + "）"
                                : std::string()));
    CheckHeight(s, 2, v[2]);
    const GridInverse g = TransverseMercatorInverse(e, s.scale(), v[0], easting, false);
    if (!(std::fabs(g.l) <= kLargestGridLongitude))
        RefuseValue(1, beyond + FormatValue(ValueForm::Degrees, g.l) + "°" + why);
    double L = s.centralMeridian() + g.l;
    return {g.B, FromCentralMeridian(L, 0.0), v[2]};
}

// B, L, H on the system's ellipsoid to its values; `checked` false for the
// residuals, whose computed point may stand a hair beyond the limits.
Values ValuesOf(const CoordinateSystem &s, const Geodetic &g, bool checked) {
    if (s.kind() == SystemKind::Geodetic)
        return {g.B, g.L, g.H};
    const double l = FromCentralMeridian(g.L, s.centralMeridian());
    if (checked && !(std::fabs(l) <= kLargestGridLongitude))
        RefuseResult("点离中央子午线 " + FormatValue(ValueForm::Degrees, l) +
                     "°，超过 9°（高斯-克吕格坐标只用于中央子午线两侧 9° 以内）");
    const GridPoint p = TransverseMercatorForward(EllipsoidOf(s), s.scale(), g.B, l, false);
    const double y = Finite(p.y + s.falseEasting() + s.zone() * kZoneUnit);
    if (checked && s.zone() != 0 &&
        std::floor(RoundedToPlaces(y, 3) / kZoneUnit) != static_cast<double>(s.zone()))
        RefuseResult("y = " + FormatValue(ValueForm::Metres, y) + " 不能带带号 " +
                     std::to_string(s.zone()) + " 书写（去掉带号后的 y 应在 0 至 1000000 之间）");
    return {Finite(p.x), y, g.H};
}

} // namespace

double FromCentralMeridian(double L, double centralMeridian) {
    double l = L - centralMeridian;
    for (int i = 0; i < 2; ++i) {
        if (l > 180.0)
            l -= 360.0;
        else if (l <= -180.0)
            l += 360.0;
    }
    return l;
}

CoordinateSystem CoordinateSystem::Geodetic(const Ellipsoid &e, bool dms) {
    CoordinateSystem s;
    s.kind_ = SystemKind::Geodetic;
    s.ellipsoid_ = e;
    s.dms_ = dms;
    return s;
}

CoordinateSystem CoordinateSystem::GaussKruger(const Ellipsoid &e, double centralMeridian, int zone,
                                               double k, double falseEasting) {
    if (!(std::fabs(centralMeridian) <= 360.0))
        throw Error("中央子午线 " + ShortestText(centralMeridian) + " 超出 −360° 至 360°");
    if (!(zone >= 0 && zone <= 999))
        throw Error("带号 " + std::to_string(zone) + " 应为 1 至 999 的整数");
    if (!(std::isfinite(k) && k > 0.0))
        throw Error("比例因子 k 应为正数，而不是 " + ShortestText(k));
    if (!std::isfinite(falseEasting))
        throw Error("东偏 fe 不是有限的数值");
    if (!(e.inverseFlattening() >= kSmallestGridInverseFlattening))
        throw Error("高斯-克吕格投影只用于扁率倒数不小于 50 的椭球，" + EllipsoidDescription(e) +
                    " 太扁");
    CoordinateSystem s;
    s.kind_ = SystemKind::GaussKruger;
    s.ellipsoid_ = e;
    s.centralMeridian_ = centralMeridian == 0.0 ? 0.0 : centralMeridian; // no −0
    s.zone_ = zone;
    s.scale_ = k;
    s.falseEasting_ = falseEasting == 0.0 ? 0.0 : falseEasting;
    return s;
}

namespace {

// A zone number names a standard zone: the central meridian must lie in it,
// as a 3° zone (3N ± 1.5°) or a 6° zone (6N − 3 ± 3°); a local meridian
// inside the zone is allowed. A meridian outside it is a typo that would
// move every point by whole degrees without a word.
void CheckMeridianInZone(std::string_view argument, double centralMeridian, int zone) {
    const auto within = [&](double middle, double half) {
        const double d = std::remainder(centralMeridian - middle, 360.0);
        return std::fabs(d) <= half;
    };
    if (within(3.0 * zone, 1.5) || (zone <= 60 && within(6.0 * zone - 3.0, 3.0)))
        return;
    const auto degrees = [](double v) { return ShortestText(v) + "°"; };
    std::string zones = "3° 带第 " + std::to_string(zone) + " 带为 " + degrees(3.0 * zone - 1.5) +
                        " 至 " + degrees(3.0 * zone + 1.5);
    if (zone <= 60)
        zones += "，6° 带第 " + std::to_string(zone) + " 带为 " + degrees(6.0 * zone - 6.0) +
                 " 至 " + degrees(6.0 * zone);
    Unreadable(argument, "中央子午线 " + degrees(centralMeridian) + " 不在第 " +
                             std::to_string(zone) + " 带内（" + zones +
                             "）；带号与中央子午线要相符");
}

} // namespace

CoordinateSystem ParseCoordinateSystem(std::string_view argument) {
    const std::vector<std::string_view> items = Split(argument, ',');
    const std::vector<std::string_view> parts = Split(items[0], ':');
    const std::string kind = AsciiLowercase(parts[0]);
    const auto ellipsoid = [&]() {
        try {
            return ParseEllipsoid(parts[1]);
        } catch (const Error &e) {
            Unreadable(argument, e.problem());
        }
    };
    const std::vector<std::string_view> options(items.begin() + 1, items.end());
    if (kind == "xyz") {
        if (parts.size() != 1 || !options.empty())
            Unreadable(argument, "xyz 不带椭球或选项");
        return CoordinateSystem::Cartesian();
    }
    if (kind == "blh") {
        if (parts.size() != 2)
            Unreadable(argument,
                       parts.size() < 2 ? "blh 后缺少椭球" : "blh 只带椭球，不带中央子午线");
        bool dms = false;
        for (std::string_view option : options) {
            if (AsciiLowercase(option) != "dms")
                Unreadable(argument,
                           "blh 的选项只有 dms，没有" + QuotedForMessage(std::string(option)));
            if (dms)
                Unreadable(argument, "dms 写了两次");
            dms = true;
        }
        return CoordinateSystem::Geodetic(ellipsoid(), dms);
    }
    if (kind == "gk") {
        if (parts.size() != 3)
            Unreadable(argument, parts.size() < 3 ? "gk 需要椭球和中央子午线（gk:椭球:中央子午线）"
                                                  : "gk 只带椭球和中央子午线");
        const Ellipsoid e = ellipsoid();
        const auto centralMeridian = ReadDecimal(parts[2]);
        if (!centralMeridian)
            Unreadable(argument,
                       "中央子午线" + QuotedForMessage(std::string(parts[2])) + " 不是十进制度数");
        std::optional<double> zone, k, fe;
        for (std::string_view option : options) {
            const auto equals = option.find('=');
            const std::string key = AsciiLowercase(Trimmed(option.substr(0, equals)));
            std::optional<double> *target = key == "zone" ? &zone
                                            : key == "k"  ? &k
                                            : key == "fe" ? &fe
                                                          : nullptr;
            if (target == nullptr || equals == std::string_view::npos)
                Unreadable(argument, "gk 的选项只有 zone=带号、k=比例因子、fe=东偏，没有" +
                                         QuotedForMessage(std::string(option)));
            if (*target)
                Unreadable(argument, key + " 写了两次");
            const std::string_view value = Trimmed(option.substr(equals + 1));
            *target = ReadDecimal(value);
            if (!*target)
                Unreadable(argument,
                           key + " 的值" + QuotedForMessage(std::string(value)) + " 不是数值");
        }
        if (zone && !(*zone >= 1 && *zone <= 999 && std::floor(*zone) == *zone))
            Unreadable(argument, "带号 zone 应为 1 至 999 的整数");
        if (zone)
            CheckMeridianInZone(argument, *centralMeridian, static_cast<int>(*zone));
        try {
            return CoordinateSystem::GaussKruger(e, *centralMeridian,
                                                 zone ? static_cast<int>(*zone) : 0,
                                                 k.value_or(1.0), fe.value_or(500000.0));
        } catch (const Error &error) {
            Unreadable(argument, error.problem());
        }
    }
    Unreadable(argument, parts[0].empty() ? "没有写坐标系" : "坐标系的种类只有 xyz、blh、gk");
}

std::string CoordinateSystemText(const CoordinateSystem &s) {
    switch (s.kind()) {
    case SystemKind::Cartesian:
        return "xyz";
    case SystemKind::Geodetic:
        return "blh:" + EllipsoidText(EllipsoidOf(s)) + (s.dms() ? ",dms" : "");
    case SystemKind::GaussKruger:
        break;
    }
    std::string text =
        "gk:" + EllipsoidText(EllipsoidOf(s)) + ":" + ShortestText(s.centralMeridian());
    if (s.zone() != 0)
        text += ",zone=" + std::to_string(s.zone());
    if (s.scale() != 1.0)
        text += ",k=" + ShortestText(s.scale());
    if (s.falseEasting() != 500000.0)
        text += ",fe=" + ShortestText(s.falseEasting());
    return text;
}

std::string AcceptedSystemForms() { return kAcceptedForms; }

const char *ValueName(const CoordinateSystem &s, int index) {
    static const char *const names[3][3] = {{"X", "Y", "Z"}, {"B", "L", "H"}, {"x", "y", "h"}};
    return names[static_cast<int>(s.kind())][index];
}

ValueForm FormOf(const CoordinateSystem &s, int index) {
    if (s.kind() == SystemKind::Geodetic && index < 2)
        return s.dms() ? ValueForm::Dms : ValueForm::Degrees;
    return ValueForm::Metres;
}

double ReadSystemValue(const CoordinateSystem &s, int index, std::string_view text) {
    try {
        return ReadValue(FormOf(s, index), text, ValueName(s, index));
    } catch (const Error &e) {
        RefuseValue(index, e.problem());
    }
}

void AppendSystemValue(std::string &out, const CoordinateSystem &s, int index, double value) {
    AppendValue(out, FormOf(s, index), value);
}

std::string SystemValueText(const CoordinateSystem &s, int index, double value) {
    std::string text;
    AppendSystemValue(text, s, index, value);
    return text;
}

bool OnOneEllipsoid(const CoordinateSystem &a, const CoordinateSystem &b) {
    return !a.ellipsoid() || !b.ellipsoid() || *a.ellipsoid() == *b.ellipsoid();
}

Geocentric ToGeocentric(const CoordinateSystem &s, const Values &values) {
    if (s.kind() == SystemKind::Cartesian) {
        for (int i = 0; i < 3; ++i)
            if (!std::isfinite(values[static_cast<std::size_t>(i)]))
                RefuseValue(i, std::string(ValueName(s, i)) + " 不是有限的数值");
        return {values[0], values[1], values[2]};
    }
    return ToGeocentric(EllipsoidOf(s), GeodeticOf(s, values));
}

void CheckValues(const CoordinateSystem &s, const Values &values) { ToGeocentric(s, values); }

Values FromGeocentric(const CoordinateSystem &s, const Geocentric &point) {
    if (s.kind() == SystemKind::Cartesian)
        return {Finite(point.X), Finite(point.Y), Finite(point.Z)};
    Geodetic g;
    try {
        g = ToGeodetic(EllipsoidOf(s), point);
    } catch (const Error &e) {
        RefuseResult(e.problem());
    }
    return ValuesOf(s, g, true);
}

Values ConvertBetween(const CoordinateSystem &from, const CoordinateSystem &to,
                      const Values &values) {
    if (!OnOneEllipsoid(from, to))
        throw Error("两个坐标系的椭球不同（" + EllipsoidDescription(*from.ellipsoid()) + " 与 " +
                    EllipsoidDescription(*to.ellipsoid()) + "），没有七参数不能换算");
    if (from.kind() == SystemKind::Cartesian || to.kind() == SystemKind::Cartesian)
        return FromGeocentric(to, ToGeocentric(from, values));
    return ValuesOf(to, GeodeticOf(from, values), true);
}

Values Residuals(const CoordinateSystem &s, const Geocentric &computed, const Values &given) {
    switch (s.kind()) {
    case SystemKind::Cartesian:
        return {computed.X - given[0], computed.Y - given[1], computed.Z - given[2]};
    case SystemKind::Geodetic: {
        const Geocentric g = ToGeocentric(s, given);
        const double dX = computed.X - g.X, dY = computed.Y - g.Y, dZ = computed.Z - g.Z;
        double sB, cB, sL, cL;
        portable::SinCosDegrees(given[0], sB, cB);
        portable::SinCosDegrees(given[1], sL, cL);
        const double horizontal = cL * dX + sL * dY; // along the meridian plane, outwards
        return {cB * dZ - sB * horizontal, cL * dY - sL * dX, cB * horizontal + sB * dZ};
    }
    case SystemKind::GaussKruger:
        break;
    }
    const Values c = ValuesOf(s, ToGeodetic(EllipsoidOf(s), computed), false);
    return {c[0] - given[0], c[1] - given[1], c[2] - given[2]};
}

Axes ResidualAxes(const CoordinateSystem &s, const Values &given) {
    if (s.kind() == SystemKind::Cartesian)
        return {{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}};
    const Geodetic g = GeodeticOf(s, given);
    double sB, cB, sL, cL;
    portable::SinCosDegrees(g.B, sB, cB);
    portable::SinCosDegrees(g.L, sL, cL);
    const std::array<double, 3> north = {-sB * cL, -sB * sL, cB}, east = {-sL, cL, 0.0},
                                up = {cB * cL, cB * sL, sB};
    if (s.kind() == SystemKind::Geodetic)
        return {north, east, up};
    // Grid north lies γ east of true north: x = cos γ·N + sin γ·E, y = −sin γ·N + cos γ·E.
    const double easting = given[1] - s.zone() * kZoneUnit - s.falseEasting();
    const GridInverse grid =
        TransverseMercatorInverse(EllipsoidOf(s), s.scale(), given[0], easting);
    double sG, cG;
    portable::SinCosDegrees(grid.convergence, sG, cG);
    Axes axes;
    for (int k = 0; k < 3; ++k) {
        axes[0][k] = cG * north[k] + sG * east[k];
        axes[1][k] = -sG * north[k] + cG * east[k];
    }
    axes[2] = up;
    return axes;
}

const char *ResidualName(const CoordinateSystem &s, int index) {
    static const char *const names[3][3] = {{"X", "Y", "Z"}, {"N", "E", "U"}, {"x", "y", "h"}};
    return names[static_cast<int>(s.kind())][index];
}

Error PlacedInFile(const Error &e, const std::string &file, long long line, int firstField) {
    if (e.field() == 0)
        return Error::AtLine(file, line, e.problem());
    return Error::AtField(file, line, firstField + e.field() - 1, e.problem());
}

} // namespace kovarim
