#include "geodesy/geocentric.h"

#include <cmath>

#include "base/error.h"
#include "geodesy/portable_math.h"
#include "geodesy/value_text.h"

namespace kovarim {
namespace {

double Finite(double value) {
    if (!std::isfinite(value))
        throw Error("数值溢出：坐标超出双精度数的范围");
    return value;
}

// (y, x) scaled to the unit circle; (1, 0) for a zero vector.
void Normalize(double y, double x, double &sine, double &cosine) {
    const double r = portable::Hypot(y, x);
    if (!(r > 0.0)) {
        sine = 1.0, cosine = 0.0;
        return;
    }
    sine = y / r;
    cosine = x / r;
}

} // namespace

Geocentric ToGeocentric(const Ellipsoid &e, const Geodetic &point) {
    double sB, cB, sL, cL;
    portable::SinCosDegrees(point.B, sB, cB);
    portable::SinCosDegrees(point.L, sL, cL);
    const double N = e.a() / std::sqrt(1.0 - e.e2() * (sB * sB));
    const double r = (N + point.H) * cB;
    return {Finite(r * cL), Finite(r * sL), Finite((N * e.e2m() + point.H) * sB)};
}

Geodetic ToGeodetic(const Ellipsoid &e, const Geocentric &point) {
    const double X = Finite(point.X), Y = Finite(point.Y), Z = Finite(point.Z);
    const double p = portable::Hypot(X, Y);
    double L = p == 0.0 ? 0.0 : portable::Atan2Degrees(Y, X);
    if (L == -180.0)
        L = 180.0; // the same meridian; one text for it
    const double oneMinusF = 1.0 - e.f();
    double sPhi, cPhi;
    if (p == 0.0) {
        sPhi = std::signbit(Z) ? -1.0 : 1.0;
        cPhi = 0.0;
    } else {
        // Parametric latitude β, tan β = (1 − f)·tan φ; Bowring's start
        // tan β = Z / ((1 − f)·p) is exact on the surface.
        double sBeta, cBeta;
        Normalize(Z, oneMinusF * p, sBeta, cBeta);
        for (int step = 0;; ++step) {
            Normalize(Z + e.ep2() * e.b() * (sBeta * sBeta * sBeta),
                      p - e.e2() * e.a() * (cBeta * cBeta * cBeta), sPhi, cPhi);
            double s, c;
            Normalize(oneMinusF * sPhi, cPhi, s, c);
            // A bounded count: the last step may only move by an ulp.
            if ((s == sBeta && c == cBeta) || step == 8)
                break;
            sBeta = s, cBeta = c;
        }
    }
    const double W = std::sqrt(1.0 - e.e2() * (sPhi * sPhi));
    const double H = Finite(p * cPhi + Z * sPhi - e.a() * W);
    // The iteration fails only on ellipsoids flatter than any planet's (1/f
    // near 1); then the answer does not give the point back, and is refused.
    const double N = e.a() / W;
    if (!(std::fabs((N + H) * cPhi - p) + std::fabs((N * e.e2m() + H) * sPhi - Z) <=
          1e-12 * (e.a() + std::fabs(H))))
        throw Error("X、Y、Z 无法换算为该椭球的大地坐标（椭球过扁）");
    if (H < LowestHeight(e))
        throw Error("X、Y、Z 在椭球面下 " + ShortestText(std::round(-H / 1000.0)) +
                    " km，不是该椭球的地心坐标（椭球高不能低于长半轴的十分之一）");
    return {portable::Atan2Degrees(sPhi, cPhi), L, H};
}

} // namespace kovarim
