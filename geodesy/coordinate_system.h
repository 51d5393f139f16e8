#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"
#include "geodesy/ellipsoid.h"
#include "geodesy/geocentric.h"
#include "geodesy/value_text.h"

namespace kovarim {

// The coordinate systems a file's three values may be in, each named by one
// argument, KIND:ELLIPSOID[:...] with options after commas:
//
//   xyz                   geocentric X, Y, Z in metres (on no ellipsoid of its own)
//   blh:ELL               B, L in decimal degrees, H the ellipsoidal height in metres
//   blh:ELL,dms           the same with B and L in ddd.mmssss (30.302515 is 30°30′25.15″)
//   gk:ELL:CM[,zone=N][,k=K][,fe=E]
//                         Gauss-Krüger x (northing), y (easting plus the false
//                         easting E, 500000 unless said), h (the ellipsoidal
//                         height on ELL, metres); CM the central meridian in
//                         decimal degrees; K the scale on it (1 unless said);
//                         with zone=N, y carries N·10⁶ in front
//
// ELL is cgcs2000, wgs84, bj54, xian80 or A/RF (ellipsoid.h). Kinds,
// ellipsoid names, options and "dms" are read in any case; the canonical text
// is lower case.
//
// The road of a point: a file's three texts → ReadSystemValue → Values in
// the system's own order → ToGeocentric (which checks them) → X, Y, Z on the
// system's ellipsoid → (the seven parameters, if any) → FromGeocentric (which
// checks that the result can be written) → AppendSystemValue. Without
// parameters, ConvertBetween does the same between two systems on one
// ellipsoid.
//
// Errors about a point's values are Error with the problem naming the value
// (B, L, x, y ...) and field() = its position among the three (1 to 3), or 0
// when the point as a whole is refused (a result that cannot be written); no
// file, no line. PlacedInFile adds them.

enum class SystemKind { Cartesian, Geodetic, GaussKruger };

class CoordinateSystem {
  public:
    // xyz.
    CoordinateSystem() = default;
    static CoordinateSystem Cartesian() { return {}; }
    static CoordinateSystem Geodetic(const Ellipsoid &e, bool dms = false);
    // Throws Error for |centralMeridian| > 360 or not finite, zone outside
    // 0..999 (0: no zone prefix), k not positive and finite, fe not finite,
    // or an ellipsoid with 1/f below 50 (the series would lose its accuracy).
    static CoordinateSystem GaussKruger(const Ellipsoid &e, double centralMeridian, int zone = 0,
                                        double k = 1.0, double falseEasting = 500000.0);

    SystemKind kind() const { return kind_; }
    // The ellipsoid of blh and gk; none for xyz.
    const std::optional<Ellipsoid> &ellipsoid() const { return ellipsoid_; }
    bool dms() const { return dms_; }                           // blh
    double centralMeridian() const { return centralMeridian_; } // gk, degrees
    int zone() const { return zone_; }                          // gk, 0 for none
    double scale() const { return scale_; }                     // gk, k
    double falseEasting() const { return falseEasting_; }       // gk, metres

    bool operator==(const CoordinateSystem &other) const = default;

  private:
    SystemKind kind_ = SystemKind::Cartesian;
    std::optional<Ellipsoid> ellipsoid_;
    bool dms_ = false;
    double centralMeridian_ = 0.0;
    int zone_ = 0;
    double scale_ = 1.0;
    double falseEasting_ = 500000.0;
};

// The two systems of a transformation: the original one (原坐标系, the
// first three coordinates of a common-point file) and the new one (新坐标系).
struct PointSystems {
    CoordinateSystem from, to; // xyz, both, unless said
    bool Cartesian() const {
        return from.kind() == SystemKind::Cartesian && to.kind() == SystemKind::Cartesian;
    }
    bool operator==(const PointSystems &other) const = default;
};

// Reads a system's argument. Throws Error for anything it cannot read, the
// problem naming the argument and listing the accepted forms (kovarim-cli
// exits 2 on it).
CoordinateSystem ParseCoordinateSystem(std::string_view argument);

// The canonical text: ParseCoordinateSystem(CoordinateSystemText(s)) == s.
// Numbers in the shortest digits that read back the same, options only where
// they differ from the defaults, in the order zone, k, fe:
// "xyz", "blh:wgs84,dms", "gk:bj54:117,zone=39", "gk:6378137/298.25:114.5,k=0.9996".
std::string CoordinateSystemText(const CoordinateSystem &s);

// The accepted forms, in Chinese, as the parser's messages list them (for a
// help text).
std::string AcceptedSystemForms();

// The system's three values: X Y Z, B L H or x y h.
using Values = std::array<double, 3>;

// The name of value `index` (0 to 2): "X", "Y", "Z" / "B", "L", "H" / "x", "y", "h".
const char *ValueName(const CoordinateSystem &s, int index);
// The text form of value `index`: Degrees or Dms for B and L, Metres for the rest.
ValueForm FormOf(const CoordinateSystem &s, int index);

// A value's text read in its form (value_text.h); Error with field() = index + 1.
double ReadSystemValue(const CoordinateSystem &s, int index, std::string_view text);
// A value written in its form.
void AppendSystemValue(std::string &out, const CoordinateSystem &s, int index, double value);
std::string SystemValueText(const CoordinateSystem &s, int index, double value);

// Whether the two systems' points may be converted without parameters: both
// on the same ellipsoid (the same a and 1/f), or either one xyz.
bool OnOneEllipsoid(const CoordinateSystem &a, const CoordinateSystem &b);

// The system's values to X, Y, Z on its ellipsoid (xyz: as they are). Checks
// them first, each refusal an Error naming the value: a value not finite; B
// outside ±90°; L outside ±360°; H or h more than a/10 below the ellipsoid;
// x beyond the quarter meridian; a y whose zone prefix (⌊y/10⁶⌋) is not
// zone=N; a grid point more than 9° of longitude from the central meridian
// (named by y).
Geocentric ToGeocentric(const CoordinateSystem &s, const Values &values);

// Only the checks of ToGeocentric.
void CheckValues(const CoordinateSystem &s, const Values &values);

// X, Y, Z on the system's ellipsoid to its values: B in [−90°, 90°], L in
// (−180°, 180°]; x, y with the false easting and the zone prefix. Refuses
// (Error with field() = 0, the problem naming the target's value) a point more
// than a/10 below the ellipsoid, more than 9° of longitude from a grid's
// central meridian, or whose y written with 3 decimals would not carry the
// zone prefix (the easting without it outside 0 to 10⁶ m).
Values FromGeocentric(const CoordinateSystem &s, const Geocentric &point);

// One point from `from` to `to` on one ellipsoid (the zone change of
// Gauss-Krüger grids among them): through B, L, H when neither is xyz, so
// that nothing is lost on the way. Checks as the two above. Throws Error
// (field() = 0) when !OnOneEllipsoid(from, to), naming both ellipsoids.
Values ConvertBetween(const CoordinateSystem &from, const CoordinateSystem &to,
                      const Values &values);

// The residual computed − given of a point of the new system, in that
// system's own terms, for the reports: xyz: ΔX, ΔY, ΔZ; blh: metres north,
// east and up at the given point (the geocentric difference turned to the
// local horizon there); gk: Δx, Δy, Δh on the grid. `computed` is X, Y, Z on
// the system's ellipsoid, `given` the point's values as read (checked).
// The 9° limit does not apply to the computed point here.
Values Residuals(const CoordinateSystem &s, const Geocentric &computed, const Values &given);
// L − CM in (−180°, 180°]; exact for |L|, |CM| ≤ 360°.
double FromCentralMeridian(double L, double centralMeridian);

// The residuals' names: "X", "Y", "Z" / "N", "E", "U" / "x", "y", "h".
const char *ResidualName(const CoordinateSystem &s, int index);

// The directions of the residuals at the given point (checked), as rows of
// unit vectors in X, Y, Z: a small geocentric difference d has the residuals
// Axes·d (for gk times the point scale k in x and y, which the directions
// leave out). xyz: the identity; blh: north, east and up; gk: grid north and
// grid east (north and east turned by the meridian convergence γ) and up. For
// what transforms with the residuals' directions, such as the redundancy
// numbers of an adjustment made in X, Y, Z.
using Axes = std::array<std::array<double, 3>, 3>;
Axes ResidualAxes(const CoordinateSystem &s, const Values &given);

// An Error about a point's values placed in a file: the same problem at
// `line`, in field firstField + field() − 1 (`firstField` that of the
// system's first value), or at the line alone for field() = 0.
Error PlacedInFile(const Error &e, const std::string &file, long long line, int firstField);

} // namespace kovarim
