#include "model/seven_parameters.h"

#include <cfenv>
#include <cmath>

#include "base/error.h"

namespace kovarim {
namespace {

double Checked(double value) {
    if (!std::isfinite(value))
        throw Error("数值溢出：坐标或参数超出双精度数的范围");
    return value;
}

} // namespace

double TransformX(const Params &p, double X, double Y, double Z) {
    return Checked((((X * p[Scale] + p[DX]) - Z * p[RotY]) + Y * p[RotZ]) + X);
}

double TransformY(const Params &p, double X, double Y, double Z) {
    return Checked((((Y * p[Scale] + p[DY]) + Z * p[RotX]) - X * p[RotZ]) + Y);
}

double TransformZ(const Params &p, double X, double Y, double Z) {
    return Checked((((Z * p[Scale] + p[DZ]) - Y * p[RotX]) + X * p[RotY]) + Z);
}

Point3 TransformPoint(const Params &p, double X, double Y, double Z) {
    return {TransformX(p, X, Y, Z), TransformY(p, X, Y, Z), TransformZ(p, X, Y, Z)};
}

namespace {

// (I + M)⁻¹·v for I + M = a·I + [ω×], a = 1 + Scale, ω = −(RotX, RotY, RotZ):
// (a²·v − a·(ω × v) + ω·(ω·v)) / (a·(a² + |ω|²)).
struct InverseOfIPlusM {
    double a, wx, wy, wz, det;
    explicit InverseOfIPlusM(const Params &p)
        : a(1.0 + p[Scale]), wx(-p[RotX]), wy(-p[RotY]), wz(-p[RotZ]),
          det(a * (a * a + (wx * wx + wy * wy + wz * wz))) {
        if (!(a != 0.0) || !(det != 0.0) || !std::isfinite(det))
            throw Error("参数不可逆：1 + Scale 为 0 或参数超出范围，无法反算");
    }
    Point3 Times(double vx, double vy, double vz) const {
        const double dot = wx * vx + wy * vy + wz * vz;
        const double cx = wy * vz - wz * vy, cy = wz * vx - wx * vz, cz = wx * vy - wy * vx;
        return {(a * a * vx - a * cx + wx * dot) / det, (a * a * vy - a * cy + wy * dot) / det,
                (a * a * vz - a * cz + wz * dot) / det};
    }
};

} // namespace

Point3 InverseTransformPoint(const Params &p, double Xn, double Yn, double Zn) {
    const InverseOfIPlusM inverse(p);
    const double s = p[Scale];
    // M·b for b = X' − T; b's own rounding is multiplied by M, which is small.
    const double bx = Xn - p[DX], by = Yn - p[DY], bz = Zn - p[DZ];
    const double mx = s * bx + (-p[RotY] * bz + p[RotZ] * by);
    const double my = s * by + (p[RotX] * bz - p[RotZ] * bx);
    const double mz = s * bz + (p[RotY] * bx - p[RotX] * by);
    const Point3 d = inverse.Times(mx, my, mz);
    Point3 X{Checked(Xn - (p[DX] + d.X)), Checked(Yn - (p[DY] + d.Y)), Checked(Zn - (p[DZ] + d.Z))};
    // One step against the forward map as the program evaluates it: what is
    // left is a few units in the last place of X', exact as a difference.
    const Point3 forward = TransformPoint(p, X.X, X.Y, X.Z);
    const Point3 step = inverse.Times(Xn - forward.X, Yn - forward.Y, Zn - forward.Z);
    return {Checked(X.X + step.X), Checked(X.Y + step.Y), Checked(X.Z + step.Z)};
}

double RoundToPlaces(double value, int places) {
    static const double powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
    const double factor = places >= 0 && places <= 8 ? powers[places] : std::pow(10.0, places);
    // nearbyint rounds in the current mode, which is round-to-nearest-even
    // unless someone changed it; make sure.
    if (std::fegetround() != FE_TONEAREST)
        std::fesetround(FE_TONEAREST);
    return Checked(std::nearbyint(Checked(value) * factor) / factor);
}

} // namespace kovarim
