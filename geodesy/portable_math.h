#pragma once

// The elementary functions of the geodesy, computed from + − × ÷ and sqrt
// alone, which IEEE 754 rounds the same way on every machine. The C library's
// sin, atan or log differ in the last bits between glibc, the Windows runtime
// and wine (mingw's use x87 instructions), and a coordinate must come out to
// the same bits on every system. Accuracy: within 2 units in the last place of
// the exact value for the arguments the geodesy uses (tested against the C
// library and against a high-precision reference); not faster than libm.
//
// Inputs are finite unless a function says otherwise; NaN gives NaN, and so
// do two infinities for Atan2.

namespace kovarim::portable {

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kDegree = 0.017453292519943295; // π/180 rounded

// sin and cos of an angle in degrees. The reduction to ±45° is exact, so
// that multiples of 90° give exact 0 and ±1: sin 180° is 0, cos 90° is 0, and
// sin(±180°) keeps the sign of the argument (+0 or −0).
void SinCosDegrees(double degrees, double &sine, double &cosine);

// sin and cos of an angle in radians; as accurate as above below 10⁶ in
// magnitude, coarser beyond.
void SinCosRadians(double radians, double &sine, double &cosine);

double Atan(double x);                   // radians, in [−π/2, π/2]
double Atan2(double y, double x);        // radians, in [−π, π], C's conventions for zeros
double Atan2Degrees(double y, double x); // degrees, in [−180, 180]; exact on the axes

double Expm1(double x); // e^x − 1, accurate near 0; +inf beyond 709.78
double Log1p(double x); // ln(1 + x) for x > −1, accurate near 0
double Log(double x);   // ln x for x > 0
double Sinh(double x);
double Asinh(double x);
double Atanh(double x); // |x| < 1
double Hypot(double x, double y);

} // namespace kovarim::portable
