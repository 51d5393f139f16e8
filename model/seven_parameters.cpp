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
