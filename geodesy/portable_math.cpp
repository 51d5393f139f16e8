#include "geodesy/portable_math.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

namespace kovarim::portable {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// π and π/2 as a double and what the double lacks, for sums that must not
// lose the constant's last bits.
constexpr double kPiLow = 1.2246467991473532e-16;
constexpr double kHalfPi = 1.5707963267948966, kHalfPiLow = 6.123233995736766e-17;
// π/2 in three parts of at most 33 significant bits, so that k times each of
// the first two is exact for |k| < 2^20 (Cody and Waite's reduction).
constexpr double kHalfPi1 = 1.5707963267341256, kHalfPi2 = 6.077100506303966e-11,
                 kHalfPi3 = 2.0222662487959506e-21;
constexpr double kTwoOverPi = 0.6366197723675814;
// ln 2 in two parts, the first of 32 significant bits (k times it is exact
// for the exponents of a double).
constexpr double kLn2 = 0.6931471805599453;
constexpr double kLn2High = 0.6931471803691238, kLn2Low = 1.9082149292705877e-10;
constexpr double kSqrtHalf = 0.7071067811865476;
constexpr double kDegreesPerRadian = 57.29577951308232; // 180/π rounded

// atan(i/8) for i = 0..8, as the nearest double and what it lacks (computed
// with 200 bits).
constexpr std::array<double, 9> kAtanHigh = {0.0,
                                             0.12435499454676144,
                                             0.24497866312686414,
                                             0.35877067027057225,
                                             0.4636476090008061,
                                             0.5585993153435624,
                                             0.6435011087932844,
                                             0.7188299996216245,
                                             0.7853981633974483};
constexpr std::array<double, 9> kAtanLow = {0.0,
                                            -3.1253241424539383e-18,
                                            1.0698755618734451e-17,
                                            -2.4623815582638635e-17,
                                            2.2698777452961687e-17,
                                            -5.4556305485916264e-18,
                                            1.5834785051444286e-17,
                                            -2.1478388444456983e-17,
                                            3.061616997868383e-17};

// Taylor coefficients, folded by the compiler (IEEE division, the same on
// every system).
constexpr double InverseFactorial(int n) {
    double f = 1.0;
    for (int i = 2; i <= n; ++i)
        f *= i;
    return 1.0 / f;
}

// The series' coefficients, highest power first, built at compile time.
constexpr auto kSinCoefficients = [] { // (−1)^k/(2k+1)!, k = 12..1
    std::array<double, 12> c{};
    for (int k = 12; k >= 1; --k)
        c[12 - k] = (k & 1 ? -1.0 : 1.0) * InverseFactorial(2 * k + 1);
    return c;
}();
constexpr auto kCosCoefficients = [] { // (−1)^k/(2k)!, k = 12..2
    std::array<double, 11> c{};
    for (int k = 12; k >= 2; --k)
        c[12 - k] = (k & 1 ? -1.0 : 1.0) * InverseFactorial(2 * k);
    return c;
}();
constexpr auto kAtanCoefficients = [] { // (−1)^k/(2k+1), k = 9..1
    std::array<double, 9> c{};
    for (int k = 9; k >= 1; --k)
        c[9 - k] = (k & 1 ? -1.0 : 1.0) / (2 * k + 1);
    return c;
}();
constexpr auto kExpCoefficients = [] { // 1/n!, n = 17..2
    std::array<double, 16> c{};
    for (int n = 17; n >= 2; --n)
        c[17 - n] = InverseFactorial(n);
    return c;
}();
constexpr auto kLogCoefficients = [] { // 1/(2k+1), k = 11..1
    std::array<double, 11> c{};
    for (int k = 11; k >= 1; --k)
        c[11 - k] = 1.0 / (2 * k + 1);
    return c;
}();

template <std::size_t N> double Horner(const std::array<double, N> &c, double z) {
    double p = 0.0;
    for (double coefficient : c)
        p = p * z + coefficient;
    return p;
}

// 2^k for the exponents of normal doubles, exactly.
double PowerOfTwo(int k) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(k + 1023) << 52);
}

// sin x for |x| ≤ π/4 (a little beyond is fine): x + x³·P(x²), P the
// Taylor series to x^25, whose remainder is below 10⁻²⁵ there.
double SinKernel(double x) {
    if (x == 0.0)
        return x; // keeps the sign of a zero
    const double z = x * x;
    return x + x * (z * Horner(kSinCoefficients, z));
}

// cos x for |x| ≤ π/4: 1 − x²/2 + x⁴·Q(x²). w = 1 − x²/2 rounds; (1 − w) − x²/2
// is that rounding, exactly, and goes back into the sum.
double CosKernel(double x) {
    const double z = x * x;
    const double q = Horner(kCosCoefficients, z);
    const double half = 0.5 * z;
    const double w = 1.0 - half;
    return w + (((1.0 - w) - half) + z * z * q);
}

void Quadrant(long long quadrant, double s, double c, double &sine, double &cosine) {
    switch (quadrant & 3) {
    case 0:
        sine = s, cosine = c;
        break;
    case 1:
        sine = c, cosine = -s;
        break;
    case 2:
        sine = -s, cosine = -c;
        break;
    default:
        sine = -c, cosine = s;
        break;
    }
}

// atan t for 0 ≤ t ≤ 1: atan(c) + atan((t − c)/(1 + t·c)) with c the nearest
// eighth, so that the series runs on |u| ≤ 1/16 (t − c is exact).
double AtanUnit(double t) {
    // NaN (∞/∞ from Atan2) must not become a table index.
    if (!(t >= 0.0 && t <= 1.0))
        return kNaN;
    const int i = static_cast<int>(std::round(t * 8.0));
    const double c = i / 8.0;
    const double u = i == 0 ? t : (t - c) / (1.0 + t * c);
    const double z = u * u;
    return kAtanHigh[i] + (kAtanLow[i] + (u + u * (z * Horner(kAtanCoefficients, z))));
}

} // namespace

void SinCosDegrees(double degrees, double &sine, double &cosine) {
    if (!std::isfinite(degrees)) {
        sine = cosine = kNaN;
        return;
    }
    double r = std::fabs(degrees) >= 0x1p52 ? std::fmod(degrees, 360.0) : degrees; // exact
    const double q = std::round(r / 90.0);
    // Exact: q·90 is an integer and r − q·90 a multiple of r's last place.
    if (q != 0.0) // (−0 − 0 would be +0)
        r -= q * 90.0;
    Quadrant(static_cast<long long>(q), SinKernel(r * kDegree), CosKernel(r * kDegree), sine,
             cosine);
    if (degrees != 0.0) { // zeros come out as +0, but sin(−0) is −0
        sine += 0.0;
        cosine += 0.0;
    }
}

void SinCosRadians(double radians, double &sine, double &cosine) {
    if (!std::isfinite(radians)) {
        sine = cosine = kNaN;
        return;
    }
    if (std::fabs(radians) <= 0.7853981633974483) {
        sine = SinKernel(radians);
        cosine = CosKernel(radians);
        return;
    }
    if (!(std::fabs(radians) < 1e6)) { // beyond the exact reduction: coarser, but finite
        SinCosDegrees(std::fmod(radians, 2.0 * kPi) * kDegreesPerRadian, sine, cosine);
        return;
    }
    const double k = std::round(radians * kTwoOverPi);
    const double r = ((radians - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
    Quadrant(static_cast<long long>(k), SinKernel(r), CosKernel(r), sine, cosine);
}

double Atan(double x) {
    if (std::isnan(x))
        return x;
    const double t = std::fabs(x);
    const double a = t <= 1.0 ? AtanUnit(t) : kHalfPi + (kHalfPiLow - AtanUnit(1.0 / t));
    return std::copysign(a, x);
}

double Atan2(double y, double x) {
    if (std::isnan(x) || std::isnan(y))
        return kNaN;
    const double ax = std::fabs(x), ay = std::fabs(y);
    double a;
    if (ay == 0.0 && ax == 0.0)
        a = std::signbit(x) ? kPi : 0.0;
    else if (ay <= ax) {
        const double t = AtanUnit(ay / ax);
        a = std::signbit(x) ? kPi + (kPiLow - t) : t;
    } else {
        const double t = AtanUnit(ax / ay);
        a = std::signbit(x) ? kHalfPi + (kHalfPiLow + t) : kHalfPi + (kHalfPiLow - t);
    }
    return std::copysign(a, y);
}

double Atan2Degrees(double y, double x) {
    if (std::isnan(x) || std::isnan(y))
        return kNaN;
    const double ax = std::fabs(x), ay = std::fabs(y);
    double a;
    if (ay == 0.0 && ax == 0.0)
        a = std::signbit(x) ? 180.0 : 0.0;
    else if (ay <= ax) {
        const double t = AtanUnit(ay / ax) * kDegreesPerRadian;
        a = std::signbit(x) ? 180.0 - t : t;
    } else {
        const double t = AtanUnit(ax / ay) * kDegreesPerRadian;
        a = std::signbit(x) ? 90.0 + t : 90.0 - t;
    }
    return std::copysign(a, y);
}

double Expm1(double x) {
    if (std::isnan(x))
        return x;
    if (x > 709.782712893384)
        return kInf;
    if (x < -40.0)
        return -1.0; // e^x is below half a unit of 1 there
    if (std::fabs(x) < 0x1p-54)
        return x;
    // x = k·ln 2 + r with |r| ≤ ln 2 / 2; r − k·ln2High is exact.
    const double k = std::round(x / kLn2);
    const double r = (x - k * kLn2High) - k * kLn2Low;
    // e^r − 1 = r + r²·P(r), the Taylor series to r^17.
    const double m = r + r * (r * Horner(kExpCoefficients, r));
    if (k == 0.0)
        return m;
    const int n = static_cast<int>(k);
    if (n == 1024) // 2^1024 overflows; e^x is still finite just below 709.78
        return 2.0 * (PowerOfTwo(1023) * m + (PowerOfTwo(1023) - 0.5));
    const double twoToK = PowerOfTwo(n);
    return twoToK * m + (twoToK - 1.0);
}

double Log(double x) {
    if (std::isnan(x) || x < 0.0)
        return kNaN;
    if (x == 0.0)
        return -kInf;
    if (std::isinf(x))
        return x;
    int exponent = 0;
    if (x < std::numeric_limits<double>::min()) { // subnormal
        x *= 0x1p54;
        exponent = -54;
    }
    const auto bits = std::bit_cast<std::uint64_t>(x);
    exponent += static_cast<int>(bits >> 52) - 1023;
    double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    if (m > 2.0 * kSqrtHalf) { // m in [√½, √2): the series' argument stays small
        m *= 0.5;
        ++exponent;
    }
    // ln m = 2·atanh(s) with s = f/(2 + f), f = m − 1 (exact), |s| ≤ 0.1716:
    // f − (f²/2 − s·(f²/2 + R)), R = 2s²/3 + 2s⁴/5 + …, so that the leading f
    // carries no rounding.
    const double f = m - 1.0;
    const double s = f / (2.0 + f);
    const double z = s * s;
    const double R = 2.0 * z * Horner(kLogCoefficients, z);
    const double halfSquare = 0.5 * f * f;
    const double e = exponent;
    return e * kLn2High + (f - (halfSquare - (s * (halfSquare + R) + e * kLn2Low)));
}

double Log1p(double x) {
    if (std::isnan(x) || x < -1.0)
        return kNaN;
    if (x == -1.0)
        return -kInf;
    if (std::isinf(x))
        return x;
    const double u = 1.0 + x;
    if (u == 1.0)
        return x;
    // Goldberg's correction: u − 1 is exact, and x/(u − 1) undoes the
    // rounding of 1 + x to first order.
    return Log(u) * (x / (u - 1.0));
}

double Sinh(double x) {
    const double ax = std::fabs(x);
    const double t = Expm1(ax);
    const double h = ax < 22.0 ? 0.5 * (t + t / (t + 1.0)) : 0.5 * (t + 1.0);
    return std::copysign(h, x);
}

double Asinh(double x) {
    const double ax = std::fabs(x);
    double a;
    if (ax < 0x1p-28)
        a = ax;
    else if (ax > 0x1p28)
        a = Log(ax) + kLn2;
    else if (ax > 2.0)
        a = Log(2.0 * ax + 1.0 / (std::sqrt(ax * ax + 1.0) + ax));
    else // ln(1 + ax + (√(1 + ax²) − 1)), the last term without cancellation
        a = Log1p(ax + ax * ax / (1.0 + std::sqrt(1.0 + ax * ax)));
    return std::copysign(a, x);
}

double Atanh(double x) {
    // atanh x = ½·ln((1 + x)/(1 − x)) = ½·log1p(2x/(1 − x)); below ½ the
    // argument as 2x + 2x²/(1 − x), its leading term exact.
    const double ax = std::fabs(x);
    const double t = ax < 0.5 ? 2.0 * ax + 2.0 * ax * ax / (1.0 - ax) : 2.0 * ax / (1.0 - ax);
    return std::copysign(0.5 * Log1p(t), x);
}

double Hypot(double x, double y) {
    double ax = std::fabs(x), ay = std::fabs(y);
    if (std::isinf(ax) || std::isinf(ay))
        return kInf;
    if (ax < ay)
        std::swap(ax, ay);
    if (ay == 0.0)
        return ax;
    if (ax < 0x1p500 && ay > 0x1p-500)
        return std::sqrt(ax * ax + ay * ay);
    const double r = ay / ax; // scaled: the squares would overflow or underflow
    return ax * std::sqrt(1.0 + r * r);
}

} // namespace kovarim::portable
