#include "calibration/calibration_source.h"

#include <cmath>

#include "base/ascii.h"
#include "base/error.h"
#include "geodesy/value_text.h"

namespace kovarim {
namespace {

// The grids' own limit (coordinate_system.cpp), for B and L before they are
// projected: beyond 9° of longitude the series and the grid's meaning end.
constexpr double kLargestLongitude = 9.0 + 1e-9;

[[noreturn]] void RefuseValue(int index, const std::string &problem) {
    throw Error::AtField({}, 0, index + 1, problem);
}

// B, L of the source on the projection's ellipsoid, in the source's form.
CoordinateSystem OnProjectionEllipsoid(const CoordinateSystem &geodetic,
                                       const CoordinateSystem &via) {
    return CoordinateSystem::Geodetic(*via.ellipsoid(), geodetic.dms());
}

enum Argument { kFrom = 1, kVia = 2 };

[[noreturn]] void Unreadable(Argument argument, const std::string &problem) {
    throw Error::AtField({}, 0, argument, problem);
}

constexpr const char *kFromForms =
    "原坐标系可用 plane（局部平面 x 北、y 东、h，米）、gk:椭球:中央子午线[,...]（高斯-克吕格平面）"
    "或 blh:椭球[,dms]（大地坐标，须以 --via gk:椭球:中央子午线[,...] 给出投影）";

} // namespace

CalibrationSource CalibrationSource::Grid(const CoordinateSystem &grid) {
    if (grid.kind() != SystemKind::GaussKruger)
        throw Error("场地校正的平面原坐标系应为高斯-克吕格坐标 gk");
    CalibrationSource s;
    s.system_ = grid;
    return s;
}

CalibrationSource CalibrationSource::Geodetic(const CoordinateSystem &geodetic,
                                              const CoordinateSystem &via) {
    if (geodetic.kind() != SystemKind::Geodetic || via.kind() != SystemKind::GaussKruger)
        throw Error("场地校正的大地坐标 blh 须以高斯-克吕格投影 gk 投影到平面");
    CalibrationSource s;
    s.system_ = geodetic;
    s.via_ = via;
    return s;
}

std::string CalibrationSource::FromText() const {
    return system_ ? CoordinateSystemText(*system_) : std::string(kLocalPlane);
}

std::string CalibrationSource::ViaText() const {
    return via_ ? CoordinateSystemText(*via_) : std::string();
}

const char *CalibrationSource::ValueName(int index) const {
    static const char *const plane[3] = {"x", "y", "h"};
    return system_ ? kovarim::ValueName(*system_, index) : plane[index];
}

double CalibrationSource::Read(int index, std::string_view text) const {
    if (system_)
        return ReadSystemValue(*system_, index, text);
    try {
        return ReadValue(ValueForm::Metres, text, ValueName(index));
    } catch (const Error &e) {
        RefuseValue(index, e.problem());
    }
}

void CalibrationSource::Append(std::string &out, int index, double value) const {
    if (system_)
        AppendSystemValue(out, *system_, index, value);
    else
        AppendValue(out, ValueForm::Metres, value);
}

Values CalibrationSource::ToPlane(const Values &values) const {
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(values[static_cast<std::size_t>(i)]))
            RefuseValue(i, std::string(ValueName(i)) + " 不是有限的数值");
    if (!system_)
        return values;
    if (!via_) {
        CheckValues(*system_, values);
        return values;
    }
    // The projection's 9° are named by L, the value that lies beyond them.
    CheckValues(*system_, values);
    const double l = FromCentralMeridian(values[1], via_->centralMeridian());
    if (!(std::fabs(l) <= kLargestLongitude))
        RefuseValue(1, "L = " + SystemValueText(*system_, 1, values[1]) + " 离投影 " + ViaText() +
                           " 的中央子午线 " + FormatValue(ValueForm::Degrees, l) +
                           "°，超过 9°（高斯-克吕格投影只用于中央子午线两侧 9° 以内）");
    return ConvertBetween(OnProjectionEllipsoid(*system_, *via_), *via_, values);
}

Values CalibrationSource::FromPlane(const Values &plane) const {
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(plane[static_cast<std::size_t>(i)]))
            throw Error("数值溢出：坐标超出双精度数的范围");
    if (!system_)
        return plane;
    try {
        if (!via_) {
            CheckValues(*system_, plane);
            return plane;
        }
        return ConvertBetween(*via_, OnProjectionEllipsoid(*system_, *via_), plane);
    } catch (const Error &e) {
        if (e.field() == 0)
            throw;
        // A grid value out of bounds is no input of the user's here.
        throw Error("换算结果无法写出：" + e.problem());
    }
}

CalibrationSource ParseCalibrationSource(std::string_view from,
                                         const std::optional<std::string> &via) {
    if (AsciiLowercase(from) == kLocalPlane) {
        if (via)
            Unreadable(kVia, "只用于大地坐标 blh：原坐标系 plane 已是平面坐标，不再投影");
        return CalibrationSource::Plane();
    }
    CoordinateSystem system;
    try {
        system = ParseCoordinateSystem(from);
    } catch (const Error &e) {
        Unreadable(kFrom, e.problem() + "；" + kFromForms);
    }
    switch (system.kind()) {
    case SystemKind::Cartesian:
        Unreadable(kFrom,
                   std::string("xyz 是地心直角坐标，不能作场地校正的原坐标系；") + kFromForms);
    case SystemKind::GaussKruger:
        if (via)
            Unreadable(kVia, "只用于大地坐标 blh：原坐标系 " + CoordinateSystemText(system) +
                                 " 已是平面坐标，不再投影");
        return CalibrationSource::Grid(system);
    case SystemKind::Geodetic:
        break;
    }
    if (!via)
        Unreadable(kVia, "缺少投影：原坐标系 " + CoordinateSystemText(system) +
                             " 是大地坐标，须以 --via gk:椭球:中央子午线[,...] "
                             "给出投影到平面所用的高斯-克吕格投影（其椭球即投影椭球）");
    CoordinateSystem projection;
    try {
        projection = ParseCoordinateSystem(*via);
    } catch (const Error &e) {
        Unreadable(kVia, e.problem());
    }
    if (projection.kind() != SystemKind::GaussKruger)
        Unreadable(kVia, "应为高斯-克吕格投影 gk:椭球:中央子午线[,zone=带号][,k=比例因子][,fe="
                         "东偏]，而不是 " +
                             CoordinateSystemText(projection));
    return CalibrationSource::Geodetic(system, projection);
}

Values ApplySiteCalibration(const CalibrationSource &source, const CalibrationParams &params,
                            Direction direction, const Values &values) {
    if (direction == Direction::Forward) {
        const Values plane = source.ToPlane(values);
        const Point3 local = CalibrateForward(params, plane[0], plane[1], plane[2]);
        return {local.X, local.Y, local.Z};
    }
    static const char *const local[3] = {"X", "Y", "h"};
    for (int i = 0; i < 3; ++i)
        if (!std::isfinite(values[static_cast<std::size_t>(i)]))
            RefuseValue(i, std::string(local[i]) + " 不是有限的数值");
    const Point3 plane = CalibrateInverse(params, values[0], values[1], values[2]);
    return source.FromPlane({plane.X, plane.Y, plane.Z});
}

} // namespace kovarim
