#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "geodesy/coordinate_system.h"
#include "model/seven_parameters.h"

namespace kovarim {

// The road of one point between two coordinate systems: its three values in
// the source system → X, Y, Z on the source's ellipsoid → the seven
// parameters (forward, or solved back with Direction::Inverse) → X, Y, Z on
// the target's ellipsoid → the target's three values. Without parameters the
// two systems must lie on one ellipsoid (B L H ↔ X Y Z ↔ x y h, a zone
// change), and the point goes through B, L, H so that nothing is lost.
//
// Forward goes from systems.from to systems.to; Inverse from systems.to back
// to systems.from. The seven parameters always map X, Y, Z of `from` to those
// of `to`, as the estimation found them.
class SystemConversion {
  public:
    // With parameters.
    SystemConversion(const PointSystems &systems, const Params &params, Direction direction);
    // Without: throws Error naming both ellipsoids when they differ (CGCS2000
    // and WGS84 among them: the user must say what is meant).
    explicit SystemConversion(const PointSystems &systems);

    const CoordinateSystem &source() const { return source_; }
    const CoordinateSystem &target() const { return target_; }
    // xyz to xyz with parameters: the conversion the window has always made,
    // with these parameters in this direction.
    bool Cartesian() const { return cartesian_; }
    const Params &params() const { return params_ ? *params_ : kNoParams; }
    Direction direction() const { return direction_; }

    // The text of source value `index` read in its form (ddd.mmssss for
    // dms); Error with field() = index + 1.
    double Read(int index, std::string_view text) const {
        return ReadSystemValue(source_, index, text);
    }

    // The target's values, unrounded. Throws Error: about a source value with
    // field() = its index + 1 (ToGeocentric's refusals), about the result with
    // field() = 0 (an overflow, a point the target cannot write).
    Values Convert(const Values &values) const;

    // Values of the target in its forms (metres with 3 decimals, degrees with
    // 9, ddd.mmssss with 5 decimals of seconds), each followed by `separator`
    // but the last. xyz uses the batch output's delimited form, the same bytes
    // as always.
    void Append(std::string &out, const Values &values, char separator) const;

  private:
    static constexpr Params kNoParams{};
    CoordinateSystem source_, target_;
    std::optional<Params> params_;
    Direction direction_ = Direction::Forward;
    bool cartesian_ = false;
};

// What a conversion without parameters between `systems` says when they lie
// on different ellipsoids; nothing when it may go.
std::optional<std::string> DifferentEllipsoids(const PointSystems &systems);

} // namespace kovarim
