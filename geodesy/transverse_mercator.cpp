#include "geodesy/transverse_mercator.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "geodesy/portable_math.h"

namespace kovarim {
namespace {

using portable::Asinh;
using portable::Atan2;
using portable::Atanh;
using portable::Hypot;
using portable::Sinh;

constexpr double kHalfPi = 1.5707963267948966;

// τ′ = tan φ′ (conformal latitude) from τ = tan φ: τ′ = τ·√(1 + σ²) − σ·√(1 + τ²),
// σ = sinh(e·atanh(e·τ/√(1 + τ²))) (Karney 2011, eqs. 7 and 9).
double Taup(const Ellipsoid &e, double tau) {
    const double tau1 = Hypot(1.0, tau);
    const double sigma = Sinh(e.e() * Atanh(e.e() * tau / tau1));
    return Hypot(1.0, sigma) * tau - sigma * tau1;
}

// τ from τ′ by Newton's method (eqs. 19 and 20), from τ′/(1 − e²); at most
// five steps, the last one taken below √ε/10 relative.
double Tau(const Ellipsoid &e, double taup) {
    const double tolerance = 0.1 * std::sqrt(0x1p-52) * std::max(1.0, std::fabs(taup));
    double tau = std::fabs(taup) > 70.0 ? taup * (portable::Expm1(e.e() * Atanh(e.e())) + 1.0)
                                        : taup / e.e2m();
    for (int step = 0; step < 5; ++step) {
        const double taupa = Taup(e, tau);
        const double delta = (taup - taupa) * (1.0 + e.e2m() * (tau * tau)) /
                             (e.e2m() * Hypot(1.0, tau) * Hypot(1.0, taupa));
        tau += delta;
        if (!(std::fabs(delta) >= tolerance))
            break;
    }
    return tau;
}

struct Complex {
    double re, im;
};
Complex operator*(Complex a, Complex b) {
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
Complex operator+(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }
Complex operator-(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }

// Σ c_j·sin(2jζ) and 1 + Σ 2j·c_j·cos(2jζ) for j = 1..6 by Clenshaw's
// recurrence b_j = c_j + 2cos(2ζ)·b_{j+1} − b_{j+2}, given sin 2ζ and cos 2ζ
// (ζ complex). `sign` is +1 for the α (forward), −1 for the β (back).
// Without `derivative` (nullptr) only the sum, by the same operations.
void Clenshaw(const std::array<double, 7> &c, double sign, Complex sin2, Complex cos2, Complex &sum,
              Complex *derivative) {
    const Complex twoCos = {2.0 * cos2.re, 2.0 * cos2.im};
    Complex b1{0, 0}, b2{0, 0}, d1{0, 0}, d2{0, 0};
    for (int j = 6; j >= 1; --j) {
        const Complex b = twoCos * b1 - b2 + Complex{sign * c[j], 0.0};
        b2 = b1, b1 = b;
        if (derivative != nullptr) {
            const Complex d = twoCos * d1 - d2 + Complex{sign * (2 * j) * c[j], 0.0};
            d2 = d1, d1 = d;
        }
    }
    sum = b1 * sin2;
    if (derivative != nullptr)
        *derivative = Complex{1.0, 0.0} + (d1 * cos2 - d2);
}

} // namespace

GridPoint TransverseMercatorForward(const Ellipsoid &e, double k0, double B, double l,
                                    bool withConvergenceAndScale) {
    if (!(std::isfinite(k0) && k0 > 0.0))
        throw Error("投影的中央子午线比例因子应为正数");
    if (!(std::fabs(B) <= 90.0))
        throw Error("纬度超出 −90° 至 90°");
    if (!(std::fabs(l) <= 45.0))
        throw Error("经度距中央子午线超过 45°，不能作横轴墨卡托投影");
    // The projection is odd in B and in l: work in the first quadrant.
    const double latSign = std::signbit(B) ? -1.0 : 1.0, lonSign = std::signbit(l) ? -1.0 : 1.0;
    double sPhi, cPhi, sLam, cLam;
    portable::SinCosDegrees(std::fabs(B), sPhi, cPhi);
    portable::SinCosDegrees(std::fabs(l), sLam, cLam);

    // Gauss-Schreiber coordinates ζ′ = ξ′ + iη′ with their sines and
    // cosines of 2ξ′, 2η′ in closed form, and that projection's γ′ and k′.
    double xip, etap, gamma, k, s2, c2, sh2, ch2;
    if (cPhi == 0.0) { // the pole
        xip = kHalfPi, etap = 0.0;
        s2 = 0.0, c2 = -1.0, sh2 = 0.0, ch2 = 1.0;
        gamma = std::fabs(l) * portable::kDegree;
        k = e.poleScale();
    } else {
        const double tau = sPhi / cPhi;
        const double taup = Taup(e, tau);
        const double r = Hypot(taup, cLam); // cos φ′·cosh η′ = 1/r
        xip = Atan2(taup, cLam);
        const double sinhEtap = sLam / r;
        etap = Asinh(sinhEtap);
        const double sXip = taup / r, cXip = cLam / r;
        s2 = 2.0 * sXip * cXip;
        c2 = (cXip - sXip) * (cXip + sXip);
        sh2 = 2.0 * sinhEtap * std::sqrt(1.0 + sinhEtap * sinhEtap);
        ch2 = 1.0 + 2.0 * (sinhEtap * sinhEtap);
        if (withConvergenceAndScale) {
            gamma = Atan2(sLam * taup, cLam * Hypot(1.0, taup));
            k = std::sqrt(e.e2m() + e.e2() * (cPhi * cPhi)) * Hypot(1.0, tau) / r;
        }
    }
    // ζ = ζ′ + Σ α_j sin 2jζ′ (Karney 2011, eq. 11).
    Complex sum, derivative;
    Clenshaw(e.alpha(), 1.0, {s2 * ch2, c2 * sh2}, {c2 * ch2, -s2 * sh2}, sum,
             withConvergenceAndScale ? &derivative : nullptr);
    const double xi = xip + sum.re, eta = etap + sum.im;
    const double scale = k0 * e.rectifyingRadius();
    if (!withConvergenceAndScale)
        return {scale * xi * latSign, scale * eta * lonSign, 0.0, 1.0};
    gamma -= Atan2(derivative.im, derivative.re);
    k *= e.rectifyingRadius() / e.a() * Hypot(derivative.re, derivative.im);
    return {scale * xi * latSign, scale * eta * lonSign,
            gamma / portable::kDegree * latSign * lonSign, k * k0};
}

GridInverse TransverseMercatorInverse(const Ellipsoid &e, double k0, double x, double y,
                                      bool withConvergenceAndScale) {
    if (!(std::isfinite(k0) && k0 > 0.0))
        throw Error("投影的中央子午线比例因子应为正数");
    const double scale = k0 * e.rectifyingRadius();
    double xi = x / scale, eta = y / scale;
    // The quarter meridian itself may come out a few units in the last place
    // beyond π/2.
    if (!(std::fabs(xi) <= kHalfPi * (1.0 + 1e-12)))
        throw Error("北坐标超出子午线象限弧长，不在椭球上");
    xi = std::clamp(xi, -kHalfPi, kHalfPi);
    if (!(std::fabs(eta) <= 1.0))
        throw Error("东坐标离中央子午线过远，不能作横轴墨卡托反算");
    const double xiSign = std::signbit(xi) ? -1.0 : 1.0, etaSign = std::signbit(eta) ? -1.0 : 1.0;
    xi = std::fabs(xi), eta = std::fabs(eta);
    double s2, c2;
    portable::SinCosRadians(2.0 * xi, s2, c2);
    const double sh2 = Sinh(2.0 * eta), ch2 = std::sqrt(1.0 + sh2 * sh2);
    // ζ′ = ζ − Σ β_j sin 2jζ (eq. 36).
    Complex sum, derivative;
    Clenshaw(e.beta(), -1.0, {s2 * ch2, c2 * sh2}, {c2 * ch2, -s2 * sh2}, sum,
             withConvergenceAndScale ? &derivative : nullptr);
    const double xip = xi + sum.re, etap = eta + sum.im;
    double gamma = 0.0, k = 1.0;
    if (withConvergenceAndScale) {
        gamma = Atan2(derivative.im, derivative.re);
        k = e.rectifyingRadius() / e.a() / Hypot(derivative.re, derivative.im);
    }

    const double s = Sinh(etap);
    double sXip, cXip;
    portable::SinCosRadians(xip, sXip, cXip);
    cXip = std::max(0.0, cXip); // cos(π/2) may come out a little below 0
    const double r = Hypot(s, cXip);
    double B, l;
    if (r != 0.0) {
        l = portable::Atan2Degrees(s, cXip);
        const double tau = Tau(e, sXip / r);
        B = portable::Atan2Degrees(tau, 1.0);
        if (withConvergenceAndScale) {
            gamma += Atan2(sXip * (s / std::sqrt(1.0 + s * s)), cXip);
            k *= std::sqrt(e.e2m() + e.e2() / (1.0 + tau * tau)) * Hypot(1.0, tau) * r;
        }
    } else { // the pole
        B = 90.0, l = 0.0;
        k *= e.poleScale();
    }
    if (!withConvergenceAndScale)
        return {B * xiSign, l * etaSign, 0.0, 1.0};
    return {B * xiSign, l * etaSign, gamma / portable::kDegree * xiSign * etaSign, k * k0};
}

} // namespace kovarim
