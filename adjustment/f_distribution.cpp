#include "adjustment/f_distribution.h"

#include <cmath>

namespace kovarim {
namespace {

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
    const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                  a * std::log(x) + b * std::log1p(-x));
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
