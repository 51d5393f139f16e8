#include "geodesy/proj_steps.h"

namespace kovarim {
namespace {

std::string EllipsoidParameters(const Ellipsoid &e) {
    return "+a=" + ShortestText(e.a()) + " +rf=" + ShortestText(e.inverseFlattening());
}

// PROJ's tmerc for the grid: its x is the easting, so the false easting and
// the zone prefix go into +x_0.
std::string Tmerc(const CoordinateSystem &s) {
    return "+proj=tmerc +lon_0=" + ShortestText(s.centralMeridian()) +
           " +k=" + ShortestText(s.scale()) +
           " +x_0=" + ShortestText(s.falseEasting() + s.zone() * 1e6) + " +y_0=0 " +
           EllipsoidParameters(*s.ellipsoid());
}

// B L and x y come northing first; PROJ takes longitude and easting first.
constexpr const char *kSwap = " +step +proj=axisswap +order=2,1";

} // namespace

std::string ProjStepsToGeocentric(const CoordinateSystem &s) {
    switch (s.kind()) {
    case SystemKind::Cartesian:
        return {};
    case SystemKind::Geodetic:
        return std::string(kSwap) + " +step +proj=unitconvert +xy_in=deg +xy_out=rad" +
               " +step +proj=cart " + EllipsoidParameters(*s.ellipsoid());
    case SystemKind::GaussKruger:
        break;
    }
    return std::string(kSwap) + " +step +inv " + Tmerc(s) + " +step +proj=cart " +
           EllipsoidParameters(*s.ellipsoid());
}

std::string ProjStepsFromGeocentric(const CoordinateSystem &s) {
    switch (s.kind()) {
    case SystemKind::Cartesian:
        return {};
    case SystemKind::Geodetic:
        return " +step +inv +proj=cart " + EllipsoidParameters(*s.ellipsoid()) +
               " +step +proj=unitconvert +xy_in=rad +xy_out=deg" + kSwap;
    case SystemKind::GaussKruger:
        break;
    }
    return " +step +inv +proj=cart " + EllipsoidParameters(*s.ellipsoid()) + " +step " + Tmerc(s) +
           kSwap;
}

std::string ProjPipeline(const CoordinateSystem &from, const std::string &middle,
                         const CoordinateSystem &to) {
    if (from.kind() == SystemKind::Cartesian && to.kind() == SystemKind::Cartesian)
        return middle.empty() ? "+proj=noop" : middle;
    return "+proj=pipeline" + ProjStepsToGeocentric(from) +
           (middle.empty() ? "" : " +step " + middle) + ProjStepsFromGeocentric(to);
}

std::string ProjProjection(const CoordinateSystem &grid) { return Tmerc(grid); }

bool ProjReadsColumns(const CoordinateSystem &s) { return !s.dms(); }

} // namespace kovarim
