#pragma once

#include <Eigen/Dense>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "adjustment/least_squares.h"
#include "estimation/common_points.h"

// The four parameters in the plane as models of the shared least squares
// (adjustment/least_squares.h). Each point gives two equations, X and Y on
// the local plane from x, y on the source plane (x1, y1 → x2, y2 of the
// table); both sides are reduced to the centroids of the points taking part.
// Grid coordinates sit 3.5·10⁶ m (x) and up to 4·10⁷ m (a zone-prefixed y)
// from the data: reduced, every number in the normal equations is of the
// site's own size, and the translations at the centroids decouple from a, b.
namespace kovarim::calibration {

struct PlaneCentre {
    double x = 0.0, y = 0.0; // source plane
    double X = 0.0, Y = 0.0; // local plane
};

// What both forms of the plane share: the points, their centroids, the
// geometry's units, the rounding, and how well a pair of points fixes the
// parameters.
class PlaneModelBase {
  public:
    static constexpr int kDimension = 2, kSubset = 2, kLeastPoints = 3;
    // A pair's distance in units of the network's median radius (see Shape).
    static constexpr double kWellShaped = 0.5;
    static constexpr const char *kSingular =
        "公共点在原坐标系中都在同一位置，平面四参数无法确定，无法计算";
    static constexpr const char *kOverflow = "数值溢出：坐标太大，无法计算四参数";
    using Centre = PlaneCentre;

    explicit PlaneModelBase(const CommonPointTable &table) : table_(table) {
        // The median distance of the points from their median, on the source
        // plane: one wild point cannot change it.
        std::vector<double> xs, ys;
        for (const CommonPoint &q : table.points())
            xs.push_back(q.x1), ys.push_back(q.y1);
        if (xs.empty())
            return;
        const double mx = Median(xs), my = Median(ys);
        std::vector<double> d;
        for (const CommonPoint &q : table.points())
            d.push_back(std::hypot(q.x1 - mx, q.y1 - my));
        radius_ = Median(d);
    }

    int Count() const { return table_.PointCount(); }

    Centre CentreOf(const std::vector<bool> &inFit) const {
        Centre c;
        int count = 0;
        for (int i = 0; i < Count(); ++i)
            if (inFit[i]) {
                const CommonPoint &q = table_.points()[i];
                c.x += q.x1, c.y += q.y1, c.X += q.x2, c.Y += q.y2;
                ++count;
            }
        if (count > 0)
            c.x /= count, c.y /= count, c.X /= count, c.Y /= count;
        return c;
    }

    double RoundingVariance(const std::vector<bool> &inFit) const {
        double largest = 0.0;
        for (int i = 0; i < Count(); ++i)
            if (inFit[i]) {
                const CommonPoint &q = table_.points()[i];
                for (double v : {q.x1, q.y1, q.x2, q.y2})
                    largest = std::max(largest, std::fabs(v));
            }
        const double unit = 8.0 * std::numeric_limits<double>::epsilon() * largest;
        return unit * unit;
    }

    // The pair's distance on the source plane over the network's median
    // radius: a short base fixes the rotation and the scale badly at the far
    // points, and two stations a few metres apart (which may share an error)
    // never start the search. 0 for a pair in one place.
    double Shape(const std::array<int, 2> &pair) const {
        const CommonPoint &p = table_.points()[pair[0]], &q = table_.points()[pair[1]];
        const double d = std::hypot(q.x1 - p.x1, q.y1 - p.y1);
        if (!(radius_ > 0.0))
            return d > 0.0 ? kWellShaped : 0.0;
        const double shape = d / radius_;
        return std::isfinite(shape) ? shape : 0.0;
    }

  protected:
    static double Median(std::vector<double> values) {
        const auto middle = values.begin() + values.size() / 2;
        std::nth_element(values.begin(), middle, values.end());
        return *middle;
    }

    const CommonPointTable &table_;
    double radius_ = 0.0;
};

// The four parameters free: unknowns (t_X, t_Y, a, b), the translations at
// the centroids (t = 0 when the fit is formed afresh),
//     X − X̄ = t_X + a·(x − x̄) − b·(y − ȳ),   Y − Ȳ = t_Y + b·(x − x̄) + a·(y − ȳ).
class FreePlaneModel : public PlaneModelBase {
  public:
    static constexpr int kUnknowns = 4;
    using PlaneModelBase::PlaneModelBase;

    lsq::PointRows<2, 4> Rows(int point, const Centre &c) const {
        const CommonPoint &q = table_.points()[point];
        const double u = q.x1 - c.x, v = q.y1 - c.y;
        lsq::PointRows<2, 4> e;
        e.A << 1, 0, u, -v, //
            0, 1, v, u;
        e.l << q.x2 - c.X, q.y2 - c.Y;
        return e;
    }

    // a and b as the shifts they give at the network's size, the
    // translations as they are.
    Eigen::Matrix<double, 4, 1> GeometryScale(const Eigen::Matrix<double, 4, 4> &N) const {
        Eigen::Matrix<double, 4, 1> size;
        size << Eigen::Vector2d::Constant(1.0 / std::sqrt(N(0, 0))),
            Eigen::Vector2d::Constant(1.0 / std::sqrt(N(2, 2)));
        return size;
    }
};

// The scale held at 1: unknowns (t_X, t_Y, δα), the rotation's step from
// the angle α it is linearised at (the model is not linear in α):
//     X − X̄ ≈ t_X + (c·u − s·v) − δα·(s·u + c·v),
//     Y − Ȳ ≈ t_Y + (s·u + c·v) + δα·(c·u − s·v),   c = cos α, s = sin α.
class FixedScalePlaneModel : public PlaneModelBase {
  public:
    static constexpr int kUnknowns = 3;

    FixedScalePlaneModel(const CommonPointTable &table, double rotation)
        : PlaneModelBase(table), rotation_(rotation) {}

    double rotation() const { return rotation_; }

    lsq::PointRows<2, 3> Rows(int point, const Centre &c) const {
        const CommonPoint &q = table_.points()[point];
        const double u = q.x1 - c.x, v = q.y1 - c.y;
        const double cu = cos_ * u - sin_ * v, su = sin_ * u + cos_ * v;
        lsq::PointRows<2, 3> e;
        e.A << 1, 0, -su, //
            0, 1, cu;
        e.l << (q.x2 - c.X) - cu, (q.y2 - c.Y) - su;
        return e;
    }

    Eigen::Matrix<double, 3, 1> GeometryScale(const Eigen::Matrix<double, 3, 3> &N) const {
        return {1.0 / std::sqrt(N(0, 0)), 1.0 / std::sqrt(N(1, 1)), 1.0 / std::sqrt(N(2, 2))};
    }

    // Moves α by the step; true while the step still moves a point 10 km
    // from the centroid by more than a few units in the last place of a
    // grid coordinate.
    bool Relinearise(const lsq::Fit<FixedScalePlaneModel> &fit) {
        const double step = fit.x(2);
        rotation_ += step;
        cos_ = std::cos(rotation_), sin_ = std::sin(rotation_);
        return !(std::fabs(step) <= 1e-15);
    }

  private:
    double rotation_;
    double cos_ = std::cos(rotation_), sin_ = std::sin(rotation_);
};

} // namespace kovarim::calibration
