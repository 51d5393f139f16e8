#pragma once

#include <Eigen/Dense>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "adjustment/adjustment.h"
#include "adjustment/least_squares.h"
#include "estimation/common_points.h"
#include "geodesy/portable_math.h"

namespace kovarim {

// The seven parameters as a model of the shared least squares: each point's
// three equations in (t_c, Scale, RotX, RotY, RotZ), its original
// coordinates reduced to the centre c, the rows of the model with x1 − c in
// place of x1; the centroid of the points taking part as the centre
// (geocentric coordinates give a condition number near 10^7, reduced ones
// below 100).
class SevenParameterModel {
  public:
    static constexpr int kDimension = 3, kUnknowns = 7, kSubset = 3, kLeastPoints = 4;
    static constexpr double kWellShaped = 20.0; // degrees, the triangle's smallest angle
    static constexpr const char *kSingular =
        "公共点的几何图形奇异（例如都在一条直线上），七个参数无法全部确定，无法平差";
    static constexpr const char *kOverflow = "数值溢出：坐标太大，无法平差";
    using Centre = Eigen::Vector3d;

    explicit SevenParameterModel(const CommonPointTable &table) : table_(table) {}

    int Count() const { return table_.PointCount(); }

    Centre CentreOf(const std::vector<bool> &inFit) const {
        Eigen::Vector3d sum = Eigen::Vector3d::Zero();
        int count = 0;
        for (int i = 0; i < Count(); ++i)
            if (inFit[i]) {
                const CommonPoint &q = table_.points()[i];
                sum += Eigen::Vector3d(q.x1, q.y1, q.z1);
                ++count;
            }
        return count > 0 ? Eigen::Vector3d(sum / count) : sum;
    }

    lsq::PointRows<3, 7> Rows(int point, const Centre &c) const {
        const CommonPoint &q = table_.points()[point];
        const double u = q.x1 - c.x(), v = q.y1 - c.y(), w = q.z1 - c.z();
        lsq::PointRows<3, 7> e;
        e.A << 1, 0, 0, u, 0, -w, v, //
            0, 1, 0, v, w, 0, -u,    //
            0, 0, 1, w, -v, u, 0;
        e.l << q.x2 - q.x1, q.y2 - q.y1, q.z2 - q.z1;
        return e;
    }

    // Scale and rotations as the shifts they give at the network's mean
    // distance from its centre, the translations as they are.
    Eigen::Matrix<double, 7, 1> GeometryScale(const Eigen::Matrix<double, 7, 7> &N) const {
        Eigen::Matrix<double, 7, 1> size;
        size << Eigen::Vector3d::Constant(1.0 / std::sqrt(N(0, 0))),
            Eigen::Vector4d::Constant(1.0 / std::sqrt(N(3, 3)));
        return size;
    }

    double RoundingVariance(const std::vector<bool> &inFit) const {
        const double unit = RoundingUnit(table_, inFit);
        return unit * unit;
    }

    // The smallest angle of the triangle in space, in degrees: a triple on
    // a line, or with two points in one place, has 0.
    double Shape(const std::array<int, 3> &triple) const {
        const auto at = [&](int k) {
            const CommonPoint &q = table_.points()[triple[k]];
            return Eigen::Vector3d(q.x1, q.y1, q.z1);
        };
        const Eigen::Vector3d a = at(1) - at(0), b = at(2) - at(0), c = at(2) - at(1);
        // The geodesy's arctangent, not the C library's: the angle is printed
        // and compared, and must have the same bits on every system.
        const auto angle = [](const Eigen::Vector3d &u, const Eigen::Vector3d &v) {
            return portable::Atan2Degrees(u.cross(v).norm(), u.dot(v));
        };
        const double smallest = std::min({angle(a, b), angle(-a, c), angle(-b, -c)});
        return std::isfinite(smallest) ? smallest : 0.0;
    }

  private:
    const CommonPointTable &table_;
};

} // namespace kovarim
