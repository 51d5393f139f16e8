#pragma once

#include "geodesy/ellipsoid.h"

namespace kovarim {

// The transverse Mercator projection (Gauss-Krüger) by Krüger's series to
// the sixth order in the third flattening n, after C. F. F. Karney,
// "Transverse Mercator with an accuracy of a few nanometers", J. Geodesy 85
// (2011): conformal latitude by τ′(τ) and Newton's method back, the series
// summed by Clenshaw's method on complex arguments, convergence and scale
// from the series' derivative. Against the exact projection (GeographicLib's
// TransverseMercatorProj) within 10 nm up to 9° from the central meridian,
// on the four named ellipsoids (tests/geodesy/oracle/).
//
// No false easting or northing: x is the northing from the equator, y the
// easting from the central meridian, both in metres; k0 is the scale on the
// central meridian.

struct GridPoint {
    double x = 0.0;           // northing, metres
    double y = 0.0;           // easting from the central meridian, metres
    double convergence = 0.0; // γ, degrees: the bearing of grid north clockwise
                              // from true north (positive east of the central
                              // meridian in the north)
    double scale = 1.0;       // point scale k (k0 included)
};

struct GridInverse {
    double B = 0.0;           // latitude, degrees
    double l = 0.0;           // longitude from the central meridian, degrees
    double convergence = 0.0; // γ, degrees, as above
    double scale = 1.0;       // k
};

// Latitude B (degrees, |B| ≤ 90) and longitude from the central meridian l
// (degrees, |l| ≤ 45; the coordinate systems refuse beyond 9°) to the grid.
// Throws Error outside that domain, or for k0 not positive and finite.
// Without convergence and scale (`withConvergenceAndScale` false) x and y
// come by the very same operations, and convergence 0, scale 1: the
// conversions need nothing else, and the two cost a fifth of the time.
GridPoint TransverseMercatorForward(const Ellipsoid &e, double k0, double B, double l,
                                    bool withConvergenceAndScale = true);

// Back: northing x with |x| up to the quarter meridian k0·A·π/2, easting y
// with |y| ≤ k0·A (the coordinate systems refuse what lies beyond 9° of
// longitude). Throws Error outside that domain.
// Without convergence and scale, B and l by the same operations, as above.
GridInverse TransverseMercatorInverse(const Ellipsoid &e, double k0, double x, double y,
                                      bool withConvergenceAndScale = true);

// The largest |x| TransverseMercatorInverse takes: k0·A·π/2, the quarter
// meridian (and 10⁻¹² of it more, for the last bits).
inline double QuarterMeridian(const Ellipsoid &e, double k0) {
    return k0 * e.rectifyingRadius() * (1.5707963267948966 * (1.0 + 1e-12));
}

// The largest |y| TransverseMercatorInverse takes.
inline double LargestEasting(const Ellipsoid &e, double k0) { return k0 * e.rectifyingRadius(); }

} // namespace kovarim
