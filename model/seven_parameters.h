#pragma once

#include <array>

namespace kovarim {

// The linearised seven-parameter similarity transformation from the original
// coordinate system (原坐标系) to the new one (新坐标系):
//
//   X' = X + DX + Scale·X + RotZ·Y − RotY·Z
//   Y' = Y + DY − RotZ·X + Scale·Y + RotX·Z
//   Z' = Z + DZ + RotY·X − RotX·Y + Scale·Z
//
// No trigonometry and no products of scale and rotation: every parameter is a
// plain multiplier or addend. The translations are in the unit of the
// coordinates; Scale is a plain ratio (0 means no change of scale, not ppm)
// and the rotations are small angles in radians (not arc-seconds). A positive
// RotZ turns +Y towards +X in X' (the rows of R are (0, RotZ, −RotY),
// (−RotZ, 0, RotX), (RotY, −RotX, 0)).
//
// Params holds them at indices 1 to 7; index 0 exists and is never used, so
// that index n is the coefficient column n of the estimation's equations.
using Params = std::array<double, 8>;

enum ParamIndex { DX = 1, DY = 2, DZ = 3, Scale = 4, RotX = 5, RotY = 6, RotZ = 7 };

// The seven parameters in their order; index 0 stays 0.
constexpr Params MakeParams(double dx, double dy, double dz, double scale, double rotX, double rotY,
                            double rotZ) {
    return {0.0, dx, dy, dz, scale, rotX, rotY, rotZ};
}

struct Point3 {
    double X = 0.0, Y = 0.0, Z = 0.0;
};

// Each coordinate of TransformPoint, evaluated strictly in the order
// ((X·Scale + DX) − Z·RotY) + Y·RotZ, then + X (likewise for Y' and Z'): that
// order fixes the last bits of the result, and the single-point conversion,
// the batch conversion and the report's residuals all rely on the same bits.
// Throws Error when the result is not a finite number (overflow, invalid
// operation), never returns inf or NaN.
double TransformX(const Params &p, double X, double Y, double Z);
double TransformY(const Params &p, double X, double Y, double Z);
double TransformZ(const Params &p, double X, double Y, double Z);

// Original X, Y, Z (any unit) to new X', Y', Z' (the same unit), unrounded.
Point3 TransformPoint(const Params &p, double X, double Y, double Z);

// The exact inverse of TransformPoint: the original X, Y, Z whose forward
// transformation is the given new X', Y', Z'. The forward map is
// X' = T + (I + M)·X with M = Scale·I + R (R as above), so this solves
// (I + M)·X = X' − T, a 3 × 3 system, in closed form: I + M is (1 + Scale)·I
// plus a skew-symmetric matrix, whose inverse is known. Not PROJ's inverse,
// which applies the negated parameters and drifts by their square.
//
// Written as X = X' − (T + (I + M)⁻¹·M·(X' − T)), so that the only rounding
// at the coordinates' own magnitude is the last subtraction; then one step of
// refinement against the forward map as evaluated above, so that X → X' → X
// returns X within one unit in the last place of the point's largest
// coordinate always, and exactly for nearly every geocentric point; of grid
// coordinates the height, rounded with terms of the northing's size, often
// misses by a few of its own last units. Throws Error when 1 + Scale is 0 (no
// inverse) or the result is not a finite number.
Point3 InverseTransformPoint(const Params &p, double Xn, double Yn, double Zn);

// Which way a conversion goes: original to new (the window's), or back.
enum class Direction { Forward, Inverse };

inline Point3 TransformPoint(const Params &p, Direction direction, double X, double Y, double Z) {
    return direction == Direction::Forward ? TransformPoint(p, X, Y, Z)
                                           : InverseTransformPoint(p, X, Y, Z);
}

// value·10^places rounded to the nearest integer, exact halves to the even
// one, divided by 10^places. Throws Error on overflow. A zero from below comes
// out as −0.0; the text forms write it as 0.
double RoundToPlaces(double value, int places);

// The rounding of every converted coordinate: 3 decimal places.
inline double RoundCoordinate(double value) { return RoundToPlaces(value, 3); }

} // namespace kovarim
