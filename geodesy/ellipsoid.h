#pragma once

#include <array>
#include <string>
#include <string_view>

namespace kovarim {

// An ellipsoid of revolution, given by its semi-major axis a (metres) and its
// inverse flattening 1/f, with every constant the conversions use derived
// once. Two ellipsoids are the same when a and 1/f are the same doubles
// (CGCS2000 and WGS84 differ in 1/f: they are different ellipsoids).
class Ellipsoid {
  public:
    // Throws Error unless a is a positive finite number and 1/f a finite
    // number above 1 (f = 1 would leave no minor axis). NaN fails both.
    Ellipsoid(double a, double inverseFlattening);

    double a() const { return a_; }                                 // semi-major axis, metres
    double inverseFlattening() const { return inverseFlattening_; } // 1/f
    double f() const { return f_; }
    double b() const { return b_; }     // semi-minor axis a(1 − f), metres
    double e2() const { return e2_; }   // first eccentricity squared f(2 − f)
    double e() const { return e_; }     // first eccentricity
    double e2m() const { return e2m_; } // 1 − e²
    double ep2() const { return ep2_; } // second eccentricity squared e²/(1 − e²)
    double n() const { return n_; }     // third flattening f/(2 − f)

    // The transverse Mercator constants (Karney 2011): the rectifying radius
    // A = a/(1 + n)·(1 + n²/4 + n⁴/64 + n⁶/256), the Krüger series' α₁..α₆
    // (conformal to rectifying) and β₁..β₆ (back), index 0 unused.
    double rectifyingRadius() const { return rectifyingRadius_; }
    const std::array<double, 7> &alpha() const { return alpha_; }
    const std::array<double, 7> &beta() const { return beta_; }

    // The scale of the Gauss-Schreiber projection at the poles,
    // √(1 − e²)·exp(e·atanh e).
    double poleScale() const { return poleScale_; }

    bool operator==(const Ellipsoid &other) const {
        return a_ == other.a_ && inverseFlattening_ == other.inverseFlattening_;
    }

  private:
    double a_, inverseFlattening_, f_, b_, e2_, e_, e2m_, ep2_, n_;
    double rectifyingRadius_, poleScale_;
    std::array<double, 7> alpha_{}, beta_{};
};

// The named ellipsoids: "cgcs2000" (6378137, 298.257222101), "wgs84"
// (6378137, 298.257223563), "bj54" (Krassovsky, 6378245, 298.3) and
// "xian80" (IAG-75, 6378140, 298.257).
const Ellipsoid &Cgcs2000();
const Ellipsoid &Wgs84();
const Ellipsoid &Beijing54();
const Ellipsoid &Xian80();

// Reads an ellipsoid's text: a name above (in any case), or "A/RF" with the
// semi-major axis and the inverse flattening as decimal numbers (e.g.
// 6378245/298.3, which is bj54). Throws Error for anything else, with a
// Chinese message that names the text and the forms accepted.
Ellipsoid ParseEllipsoid(std::string_view text);

// The canonical text: the name when a and 1/f are a named ellipsoid's, "A/RF"
// in the shortest digits that read back to the same doubles otherwise.
// ParseEllipsoid(EllipsoidText(e)) == e.
std::string EllipsoidText(const Ellipsoid &e);

// The ellipsoid for a message: its canonical text, with a and 1/f after a
// name (e.g. "bj54（6378245/298.3）").
std::string EllipsoidDescription(const Ellipsoid &e);

} // namespace kovarim
