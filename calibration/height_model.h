#pragma once

#include <Eigen/Dense>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "adjustment/least_squares.h"
#include "calibration/calibration.h"
#include "estimation/common_points.h"

// The height surface as a model of the shared least squares: each point
// gives one equation, ζ = H − h (z1 − z2 of the table) as a polynomial in
// the local plane's X, Y (x2, y2) reduced to the centroid of the points
// taking part and in kilometres, u = (X − X0)/1000, v = (Y − Y0)/1000:
//   1 unknown:  ζ = c0                                      (a constant)
//   3 unknowns: ζ = c0 + c1·u + c2·v                        (a plane)
//   6 unknowns: ζ = c0 + c1·u + c2·v + c3·u² + c4·u·v + c5·v² (a quadratic)
// In kilometres about the centroid the coefficients are of the size they
// have on a site (metres, metres per kilometre), not 10⁻¹² m/m² at 3000 km.
namespace kovarim::calibration {

struct HeightCentre {
    double X = 0.0, Y = 0.0; // local plane
};

// The terms at u, v (kilometres from the origin), as many as the surface has.
template <int U> Eigen::Matrix<double, 1, U> HeightTerms(double u, double v) {
    static_assert(U == 1 || U == 3 || U == 6);
    Eigen::Matrix<double, 1, U> t;
    if constexpr (U == 1)
        t << 1;
    else if constexpr (U == 3)
        t << 1, u, v;
    else
        t << 1, u, v, u * u, u * v, v * v;
    return t;
}

template <int U> class HeightSurfaceModel {
    static_assert(U == 1 || U == 3 || U == 6);

  public:
    static constexpr int kDimension = 1, kUnknowns = U, kSubset = U, kLeastPoints = U + 1;
    // A single point always; a triangle's smallest angle in degrees; the
    // reciprocal condition of six points' terms (see Shape).
    static constexpr double kWellShaped = U == 1 ? 1.0 : U == 3 ? 20.0 : 0.02;
    static constexpr const char *kSingular =
        U == 1   ? "没有可用于拟合高程异常的点"
        : U == 3 ? "公共点在局部平面上都在一条直线上（或几乎如此），高程异常的拟合平面无法确定"
                 : "公共点在局部平面上都在一条二次曲线上（例如一条直线或一个圆），"
                   "高程异常的二次曲面无法确定";
    static constexpr const char *kOverflow = "数值溢出：坐标或高程太大，无法拟合高程异常";
    using Centre = HeightCentre;

    explicit HeightSurfaceModel(const CommonPointTable &table) : table_(table) {}

    int Count() const { return table_.PointCount(); }

    Centre CentreOf(const std::vector<bool> &inFit) const {
        Centre c;
        int count = 0;
        for (int i = 0; i < Count(); ++i)
            if (inFit[i]) {
                c.X += table_.points()[i].x2, c.Y += table_.points()[i].y2;
                ++count;
            }
        if (count > 0)
            c.X /= count, c.Y /= count;
        return c;
    }

    lsq::PointRows<1, U> Rows(int point, const Centre &c) const {
        const CommonPoint &q = table_.points()[point];
        lsq::PointRows<1, U> e;
        e.A = HeightTerms<U>((q.x2 - c.X) / kHeightSurfaceUnit, (q.y2 - c.Y) / kHeightSurfaceUnit);
        e.l << q.z1 - q.z2;
        return e;
    }

    // Each coefficient as the change it makes at the network's mean distance
    // R from the centroid: c0 as it is, the slopes times R, the second-order
    // terms times R². Then points on a line (or, for the quadratic, on a
    // conic) leave an eigenvalue near 0.
    Eigen::Matrix<double, U, 1> GeometryScale(const Eigen::Matrix<double, U, U> &N) const {
        Eigen::Matrix<double, U, 1> size;
        size(0) = 1.0 / std::sqrt(N(0, 0));
        if constexpr (U > 1) {
            const double r2 = (N(1, 1) + N(2, 2)) / N(0, 0);
            size(1) = size(2) = size(0) / std::sqrt(r2);
            if constexpr (U > 3)
                size(3) = size(4) = size(5) = size(0) / r2;
        }
        return size;
    }

    double RoundingVariance(const std::vector<bool> &inFit) const {
        double largest = 0.0;
        for (int i = 0; i < Count(); ++i)
            if (inFit[i])
                largest = std::max(
                    {largest, std::fabs(table_.points()[i].z1), std::fabs(table_.points()[i].z2)});
        const double unit = 8.0 * std::numeric_limits<double>::epsilon() * largest;
        return unit * unit;
    }

    double Shape(const std::array<int, U> &points) const {
        if constexpr (U == 1) {
            return kWellShaped;
        } else if constexpr (U == 3) {
            // The triangle's smallest angle on the local plane, degrees.
            const auto at = [&](int k) {
                const CommonPoint &q = table_.points()[points[k]];
                return Eigen::Vector2d(q.x2, q.y2);
            };
            const Eigen::Vector2d a = at(1) - at(0), b = at(2) - at(0), c = at(2) - at(1);
            const auto angle = [](const Eigen::Vector2d &p, const Eigen::Vector2d &q) {
                return std::atan2(std::fabs(p.x() * q.y() - p.y() * q.x()), p.dot(q));
            };
            const double smallest = std::min({angle(a, b), angle(-a, c), angle(-b, -c)});
            constexpr double degreesPerRadian = 180.0 / 3.14159265358979323846;
            return std::isfinite(smallest) ? smallest * degreesPerRadian : 0.0;
        } else {
            // The six points' terms, in units of their own spread about their
            // own centroid, by their smallest singular value over their
            // largest: 0 for points on a conic, which leave a quadratic
            // undetermined, whatever the size of the subset.
            Eigen::Vector2d centre = Eigen::Vector2d::Zero();
            for (int k = 0; k < U; ++k)
                centre +=
                    Eigen::Vector2d(table_.points()[points[k]].x2, table_.points()[points[k]].y2);
            centre /= U;
            double spread = 0.0;
            for (int k = 0; k < U; ++k)
                spread +=
                    (Eigen::Vector2d(table_.points()[points[k]].x2, table_.points()[points[k]].y2) -
                     centre)
                        .squaredNorm();
            spread = std::sqrt(spread / U);
            if (!(spread > 0.0) || !std::isfinite(spread))
                return 0.0;
            Eigen::Matrix<double, U, U> terms;
            for (int k = 0; k < U; ++k) {
                const CommonPoint &q = table_.points()[points[k]];
                terms.row(k) =
                    HeightTerms<U>((q.x2 - centre.x()) / spread, (q.y2 - centre.y()) / spread);
            }
            // Singular values as the roots of the Gram matrix's eigenvalues:
            // many times faster than an SVD, and exact enough for a limit of
            // a few hundredths.
            const Eigen::SelfAdjointEigenSolver<Eigen::Matrix<double, U, U>> eigen(
                terms.transpose() * terms, Eigen::EigenvaluesOnly);
            if (eigen.info() != Eigen::Success)
                return 0.0;
            const auto &l = eigen.eigenvalues();
            const double shape = std::sqrt(std::max(l(0), 0.0) / l(U - 1));
            return std::isfinite(shape) ? shape : 0.0;
        }
    }

  private:
    const CommonPointTable &table_;
};

} // namespace kovarim::calibration
