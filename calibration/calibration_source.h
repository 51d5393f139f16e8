#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "calibration/calibration.h"
#include "geodesy/coordinate_system.h"

namespace kovarim {

// The source side of a site calibration: the system its first three values
// are in, and how they reach the source plane the four parameters start from
// (x north, y east, metres; the height H passes unchanged):
//
//   plane               a local plane already: x, y, h taken as they are
//   gk:ELL:CM[,...]     a Gauss-Krüger grid: x and y as written (with the
//                       false easting, and the zone prefix where zone=N says
//                       so), checked as the grid checks them
//   blh:ELL[,dms] with a projection (via) gk:ELL2:CM[,...]
//                       B and L projected on the via grid's ellipsoid ELL2,
//                       with its central meridian, scale, false easting and
//                       zone: the numbers B and L as they stand, without a
//                       change of datum. Field controllers project WGS84
//                       B, L with the local grid's ellipsoid; which one is
//                       the user's choice to state.
//
// The target is always a local plane: X north, Y east, h.
class CalibrationSource {
  public:
    static CalibrationSource Plane() { return {}; }
    // Throws Error unless `grid` is gk.
    static CalibrationSource Grid(const CoordinateSystem &grid);
    // Throws Error unless `geodetic` is blh and `via` gk.
    static CalibrationSource Geodetic(const CoordinateSystem &geodetic,
                                      const CoordinateSystem &via);

    bool IsPlane() const { return !system_; }
    // gk or blh; nothing for a plane.
    const std::optional<CoordinateSystem> &system() const { return system_; }
    // The projection of blh; nothing otherwise.
    const std::optional<CoordinateSystem> &via() const { return via_; }

    // "plane" or the system's canonical text; the projection's canonical
    // text, empty without one.
    std::string FromText() const;
    std::string ViaText() const;

    // The name of value `index` (0 to 2): "x", "y", "h" or "B", "L", "H".
    const char *ValueName(int index) const;
    // Reads value `index`'s text in its form (ddd.mmssss for blh,dms, decimal
    // numbers otherwise). Error with field() = index + 1.
    double Read(int index, std::string_view text) const;
    // Appends value `index` in its form (metres with 3 decimals, degrees with
    // 9, ddd.mmssss with 5 decimals of seconds).
    void Append(std::string &out, int index, double value) const;

    // The values to the source plane's x, y and the height H. Checks them,
    // each refusal an Error naming the value with field() = its index + 1: a
    // value not finite, and what the system refuses (B beyond ±90°, a zone
    // prefix that is not zone=N, a point more than 9° of longitude from the
    // central meridian of the grid or of the projection, ...).
    Values ToPlane(const Values &values) const;
    // Back: the source plane's x, y, H to the values. Throws Error (field()
    // = 0) for a point the source system cannot write.
    Values FromPlane(const Values &plane) const;

    bool operator==(const CalibrationSource &other) const = default;

  private:
    std::optional<CoordinateSystem> system_, via_;
};

// The source as the command line and the parameter file name it: `from`
// "plane" (in any case), a gk or a blh system; `via` a gk system, to be
// given for blh and only for it. Throws Error saying what is wrong and what
// is accepted, with field() 1 where `from` is at fault and 2 where `via` is
// (missing, given where it has no place, or not a gk system); the caller
// names the argument or the key.
CalibrationSource ParseCalibrationSource(std::string_view from,
                                         const std::optional<std::string> &via);

// The target's name on the command line and in the files.
inline constexpr const char *kLocalPlane = "plane";

// The whole road of one point. Forward: the source's values (x y h, B L H)
// to the source plane, through the four parameters and the height surface
// to the local X, Y, h. Inverse: the local X, Y, h back to the source's
// values. Throws Error: about an input value with field() = its index + 1
// (what ToPlane refuses, a value not finite), about the result with field()
// = 0 (parameters CheckCalibrationParams refuses, an overflow, a point the
// source cannot write).
Values ApplySiteCalibration(const CalibrationSource &source, const CalibrationParams &params,
                            Direction direction, const Values &values);

} // namespace kovarim
