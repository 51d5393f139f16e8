#pragma once

#include "geodesy/ellipsoid.h"

namespace kovarim {

// Geodetic latitude B and longitude L in degrees, ellipsoidal height H in
// metres.
struct Geodetic {
    double B = 0.0, L = 0.0, H = 0.0;
};

// Geocentric (Earth-centred) Cartesian X, Y, Z in metres: X towards L = 0 on
// the equator, Y towards L = 90°, Z towards the north pole.
struct Geocentric {
    double X = 0.0, Y = 0.0, Z = 0.0;
};

// B, L, H to X, Y, Z on `e`, in closed form:
//   X = (N + H)·cos B·cos L,  Y = (N + H)·cos B·sin L,  Z = (N·(1 − e²) + H)·sin B,
//   N = a / √(1 − e²·sin²B).
// Any B and L (the sines and cosines are taken in degrees, exact at multiples
// of 90°: the poles give X = Y = 0). Throws Error when a result is not finite.
Geocentric ToGeocentric(const Ellipsoid &e, const Geodetic &point);

// X, Y, Z to B, L, H on `e`: B in [−90°, 90°], L in (−180°, 180°] (0 on the
// axis), H the height above the ellipsoid along its normal. Bowring's
// iteration on the parametric latitude, from his starting value, until it no
// longer moves (two or three steps for points near the surface); H from
// p·cos B + Z·sin B − a·√(1 − e²·sin²B), which has no singularity at the
// poles or the equator. B, L, H → X, Y, Z → B, L, H returns B and L within
// 10⁻¹¹° and H within 10⁻⁶ m for heights from −100 km to 100 km, the poles
// exactly (tested; 10⁻⁴ m in H at the Moon's distance).
//
// Throws Error for a point more than a/10 below the ellipsoid (some 640 km
// on the Earth): no surveyed point lies there, and near the centre the normal
// is not unique, so such X, Y, Z are not geocentric coordinates on `e` (local
// plane coordinates given as X, Y, Z, say). Also when a result is not finite,
// and when B, H would not give the point back within 10⁻¹² of a + |H|, which
// happens only on ellipsoids with 1/f near 1, where the iteration may not
// settle.
Geodetic ToGeodetic(const Ellipsoid &e, const Geocentric &point);

// The height below which ToGeodetic refuses a point: −a/10.
inline double LowestHeight(const Ellipsoid &e) { return -0.1 * e.a(); }

} // namespace kovarim
