#include "adjustment/f_distribution.h"

#include <cmath>

namespace kovarim {
namespace {

// The logarithm, the exponential and the log-gamma function in plain
// arithmetic, by argument reduction and series: the C libraries' own differ
// in their last bits from one system to another, and the critical values,
// which a test compares with, with them. These give every system the same
// bits, to within a few units in the last place.

// ln 2 in two parts, the first with trailing zeros so that k·ln2Hi is exact.
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;

// 2·atanh(s) = ln((1 + s) / (1 − s)), for |s| below 0.18.
double TwiceAtanh(double s) {
    const double s2 = s * s;
    double sum = 0.0, power = s;
    for (int k = 0; k < 40 && std::fabs(power) > 1e-20 * std::fabs(s); ++k, power *= s2)
        sum += power / (2 * k + 1);
    return 2.0 * sum;
}

// ln x for finite x > 0.
double Log(double x) {
    int exponent = 0;
    double m = std::frexp(x, &exponent); // x = m·2^exponent, exact, m in [0.5, 1)
    if (m < 0.70710678118654752440) {    // into [√½, √2)
        m *= 2.0;
        --exponent;
    }
    const double e = exponent;
    return e * kLn2Hi + (TwiceAtanh((m - 1.0) / (m + 1.0)) + e * kLn2Lo);
}

// ln(1 + y) for y > −1, without losing a small y.
double Log1p(double y) {
    if (std::fabs(y) < 0.25)
        return TwiceAtanh(y / (2.0 + y));
    return Log(1.0 + y);
}

// e^x; 0 far below, where it underflows.
double Exp(double x) {
    if (x < -746.0)
        return 0.0;
    const double k = std::nearbyint(x / (kLn2Hi + kLn2Lo));
    const double r = (x - k * kLn2Hi) - k * kLn2Lo; // |r| ≤ 0.35
    double sum = 1.0, term = 1.0;
    for (int n = 1; n < 30 && std::fabs(term) > 1e-20; ++n) {
        term *= r / n;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(k));
}

// ln Γ(x) for x > 0: Stirling's series once x is at least 15, the steps
// below it by Γ(x + 1) = x·Γ(x).
double LogGamma(double x) {
    double shift = 1.0;
    for (; x < 15.0; x += 1.0)
        shift *= x;
    const double inverse = 1.0 / x, inverse2 = inverse * inverse;
    const double series =
        inverse *
        (1.0 / 12 -
         inverse2 *
             (1.0 / 360 -
              inverse2 * (1.0 / 1260 -
                          inverse2 * (1.0 / 1680 -
                                      inverse2 * (1.0 / 1188 - inverse2 * (691.0 / 360360))))));
    constexpr double kHalfLog2Pi = 0.91893853320467274178;
    return (x - 0.5) * Log(x) - x + kHalfLog2Pi + series - Log(shift);
}

// The continued fraction of the incomplete beta function by the modified
// Lentz method; it converges fast for x < (a + 1) / (a + b + 2).
double BetaContinuedFraction(double a, double b, double x) {
    constexpr double tiny = 1e-300;
    auto guard = [](double v) { return std::fabs(v) < tiny ? tiny : v; };
    double c = 1.0, d = 1.0 / guard(1.0 - (a + b) * x / (a + 1.0));
    double h = d;
    for (int m = 1; m <= 100000; ++m) {
        const double m2 = 2.0 * m;
        double term = m * (b - m) * x / ((a - 1.0 + m2) * (a + m2));
        d = 1.0 / guard(1.0 + term * d);
        c = guard(1.0 + term / c);
        h *= d * c;
        term = -(a + m) * (a + b + m) * x / ((a + m2) * (a + 1.0 + m2));
        d = 1.0 / guard(1.0 + term * d);
        c = guard(1.0 + term / c);
        const double step = d * c;
        h *= step;
        if (std::fabs(step - 1.0) < 1e-15)
            break;
    }
    return h;
}

// I_x(a, b), the regularized incomplete beta function.
double RegularizedBeta(double a, double b, double x) {
    if (!(x > 0.0))
        return 0.0;
    if (!(x < 1.0))
        return 1.0;
    const double front =
        Exp(LogGamma(a + b) - LogGamma(a) - LogGamma(b) + a * Log(x) + b * Log1p(-x));
    if (x < (a + 1.0) / (a + b + 2.0))
        return front * BetaContinuedFraction(a, b, x) / a;
    return 1.0 - front * BetaContinuedFraction(b, a, 1.0 - x) / b;
}

} // namespace

double FUpperTail(double f, double d1, double d2) {
    if (!(f > 0.0))
        return 1.0;
    // y = d2 / (d2 + d1·f), written so that a large f does not lose it.
    const double y = 1.0 / (1.0 + d1 * f / d2);
    return RegularizedBeta(d2 / 2.0, d1 / 2.0, y);
}

double FCriticalValue(double alpha, double d1, double d2) {
    // I_y(d2/2, d1/2) grows with y from 0 to 1; halve the interval of y until
    // it can shrink no more, then turn y back into f.
    double low = 0.0, high = 1.0;
    for (int i = 0; i < 2000; ++i) {
        const double middle = 0.5 * (low + high);
        if (!(middle > low && middle < high))
            break;
        if (RegularizedBeta(d2 / 2.0, d1 / 2.0, middle) < alpha)
            low = middle;
        else
            high = middle;
    }
    const double y = 0.5 * (low + high);
    return d2 * (1.0 - y) / (d1 * y);
}

double ChiSquareLowerTail(double x, int dof) {
    if (!(x > 0.0))
        return 0.0;
    constexpr double pi = 3.14159265358979323846;
    switch (dof) {
    case 1:
        return std::erf(std::sqrt(x / 2.0));
    case 2:
        return -std::expm1(-x / 2.0);
    case 3:
        return std::erf(std::sqrt(x / 2.0)) - std::sqrt(2.0 * x / pi) * std::exp(-x / 2.0);
    default:
        return std::nan("");
    }
}

double ChiSquareQuantile(double p, int dof) {
    // The tail grows with x; 200 is beyond any p below 1 − 1e-40.
    double low = 0.0, high = 200.0;
    for (int i = 0; i < 200; ++i) {
        const double middle = 0.5 * (low + high);
        if (!(middle > low && middle < high))
            break;
        if (ChiSquareLowerTail(middle, dof) < p)
            low = middle;
        else
            high = middle;
    }
    return 0.5 * (low + high);
}

} // namespace kovarim
