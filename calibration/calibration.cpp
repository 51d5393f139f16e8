#include "calibration/calibration.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

#include "adjustment/adjustment.h"
#include "adjustment/robust_start.h"
#include "adjustment/snooping.h"
#include "base/error.h"
#include "calibration/height_model.h"
#include "calibration/plane_model.h"
#include "textio/encoding.h"

namespace kovarim {
namespace {

using calibration::FixedScalePlaneModel;
using calibration::FreePlaneModel;
using calibration::HeightSurfaceModel;

// The plane's matrix as the conversions use it: a − 1 and b, small for a
// local plane close to the source, so that X = x + ((dx + (a − 1)·x) − b·y)
// rounds at the coordinates' own size only in the last addition.
struct PlaneMatrix {
    double a1, b, a, m2; // a − 1, b, a, a² + b²
};

PlaneMatrix MatrixOf(const PlaneParams &p) {
    const double m = 1.0 + p.scale, c = std::cos(p.rotation), s = std::sin(p.rotation);
    const double half = std::sin(p.rotation / 2);
    // m·cos α − 1 = scale·cos α − 2·sin²(α/2), without the cancellation of 1 − 1.
    const double a1 = p.scale * c - 2.0 * half * half;
    const double b = m * s, a = 1.0 + a1;
    return {a1, b, a, a * a + b * b};
}

double Finite(double v) {
    if (!std::isfinite(v))
        throw Error("数值溢出：结果不是有限的数，无法转换");
    return v;
}

std::array<double, 2> PlaneForward(const PlaneParams &p, const PlaneMatrix &M, double x, double y) {
    return {Finite(x + ((p.dx + M.a1 * x) - M.b * y)), Finite(y + ((p.dy + M.b * x) + M.a1 * y))};
}

} // namespace

int CoefficientCount(HeightModel model) {
    switch (model) {
    case HeightModel::Constant:
        return 1;
    case HeightModel::Plane:
        return 3;
    case HeightModel::Quadratic:
        return 6;
    default:
        return 0;
    }
}

const char *HeightModelName(HeightModel model) {
    switch (model) {
    case HeightModel::Auto:
        return "auto";
    case HeightModel::None:
        return "none";
    case HeightModel::Constant:
        return "constant";
    case HeightModel::Plane:
        return "plane";
    case HeightModel::Quadratic:
        return "quadratic";
    }
    return "";
}

double HeightAnomaly(const HeightSurface &s, double X, double Y) {
    const double u = (X - s.originX) / kHeightSurfaceUnit;
    const double v = (Y - s.originY) / kHeightSurfaceUnit;
    const std::array<double, 6> &c = s.c;
    switch (s.model) {
    case HeightModel::Constant:
        return c[0];
    case HeightModel::Plane:
        return c[0] + c[1] * u + c[2] * v;
    case HeightModel::Quadratic:
        return c[0] + c[1] * u + c[2] * v + c[3] * u * u + c[4] * u * v + c[5] * v * v;
    default:
        return 0.0;
    }
}

void CheckCalibrationParams(const CalibrationParams &p) {
    const PlaneParams &q = p.plane;
    bool finite = std::isfinite(q.dx) && std::isfinite(q.dy) && std::isfinite(q.scale) &&
                  std::isfinite(q.rotation) && std::isfinite(p.height.originX) &&
                  std::isfinite(p.height.originY);
    for (double c : p.height.c)
        finite = finite && std::isfinite(c);
    if (!finite)
        throw Error("四参数或高程拟合的系数不是有限的数，无法转换");
    if (!(1.0 + q.scale > 0.0))
        throw Error("四参数的尺度因子 m 不是正数，无法转换");
    if (p.height.model == HeightModel::Auto)
        throw Error("没有确定高程拟合的模型，无法转换");
}

Point3 CalibrateForward(const CalibrationParams &p, double x, double y, double H) {
    CheckCalibrationParams(p);
    const auto [X, Y] = PlaneForward(p.plane, MatrixOf(p.plane), x, y);
    return {X, Y, Finite(H - HeightAnomaly(p.height, X, Y))};
}

Point3 CalibrateInverse(const CalibrationParams &p, double X, double Y, double h) {
    CheckCalibrationParams(p);
    const PlaneParams &q = p.plane;
    const PlaneMatrix M = MatrixOf(q);
    // (I + M)·x = X − d with I + M = [a −b; b a], whose inverse is
    // [a b; −b a]/(a² + b²); written x = X − (d + (I + M)⁻¹·M·(X − d)) so
    // that only the last subtraction rounds at the coordinates' size.
    const auto solve = [&](double rx, double ry) {
        return std::array<double, 2>{(M.a * rx + M.b * ry) / M.m2, (M.a * ry - M.b * rx) / M.m2};
    };
    const double bx = X - q.dx, by = Y - q.dy;
    const auto d = solve(M.a1 * bx - M.b * by, M.b * bx + M.a1 * by);
    double x = Finite(X - (q.dx + d[0])), y = Finite(Y - (q.dy + d[1]));
    // One step against the forward map as evaluated: what is left is a few
    // units in the last place of X, exact as a difference.
    const auto forward = PlaneForward(q, M, x, y);
    const auto step = solve(X - forward[0], Y - forward[1]);
    x = Finite(x + step[0]), y = Finite(y + step[1]);
    return {x, y, Finite(h + HeightAnomaly(p.height, X, Y))};
}

Point3 ApplyCalibration(const CalibrationParams &p, Direction direction, double a, double b,
                        double c) {
    return direction == Direction::Forward ? CalibrateForward(p, a, b, c)
                                           : CalibrateInverse(p, a, b, c);
}

PointState CalibratedPoint::State() const {
    if (plane.state == PointState::Check)
        return PointState::Check;
    if (plane.state == PointState::Blunder || height.state == PointState::Blunder)
        return PointState::Blunder;
    return PointState::Used;
}

namespace {

std::string TooFew(int count, const char *model, int needs) {
    return "可用的公共点只有 " + std::to_string(count) + " 个（检核点不算在内），" + model +
           "至少需要 " + std::to_string(needs) + " 个点";
}

const char *HeightModelText(HeightModel model) {
    switch (model) {
    case HeightModel::Constant:
        return "高程拟合（常数）";
    case HeightModel::Plane:
        return "高程拟合（平面）";
    default:
        return "高程拟合（二次曲面）";
    }
}

template <class Model> void TakeStart(FitSummary &f, const lsq::RobustStart<Model> &start) {
    f.robustStart = start.made;
    if (start.made) {
        for (int i : start.subset)
            f.startSubset.push_back(i + 1);
        f.startShape = start.shape;
        f.startShapeLimit = start.shapeLimit;
        f.subsetsFitted = start.subsetsFitted;
        f.robustScale = start.scale;
        f.robustLimit = start.limit;
        f.setAsideAtStart = start.waiting;
    }
    f.solves += start.subsetsFitted;
}

// Each point's verdict in one fit and the fit's summary; `axis` is where the
// fit's redundancy numbers go in CalibratedPoint::redundancy.
template <class Model>
void TakeVerdicts(const lsq::Snooped<Model> &s, const std::vector<bool> &candidate,
                  const std::vector<bool> &waited, FitSummary &f, int axis,
                  std::vector<CalibratedPoint> &points, FitVerdict CalibratedPoint::*verdict) {
    constexpr int D = Model::kDimension;
    f.redundancy = s.redundancy;
    if (s.redundancy > 0)
        f.sigma0 = std::sqrt(s.vtv / s.redundancy);
    f.criticalUsed = s.criticalUsed;
    f.criticalOthers = s.criticalOthers;
    f.settled = s.settled;
    f.solves += s.solves;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const lsq::PointVerdict<Model> &p = s.points[i];
        FitVerdict &v = points[i].*verdict;
        v.setAsideAtStart = waited[i];
        v.state = !candidate[i] ? PointState::Check
                  : p.inFit     ? PointState::Used
                                : PointState::Blunder;
        v.test = p.test;
        v.critical = p.critical;
        v.passed = p.passed;
        if (v.state == PointState::Used) {
            ++f.used;
            f.failedButKept += !v.passed;
            for (int k = 0; k < D; ++k)
                points[i].redundancy[axis + k] = p.redundancy(k);
        } else if (v.state == PointState::Blunder) {
            ++f.blunders;
        }
    }
}

std::vector<bool> NotWaiting(const std::vector<bool> &candidate, const std::vector<bool> &waits) {
    std::vector<bool> inFit(candidate.size());
    for (std::size_t i = 0; i < candidate.size(); ++i)
        inFit[i] = candidate[i] && !waits[i];
    return inFit;
}

void FitPlane(const CommonPointTable &table, const std::vector<bool> &candidate, double alpha,
              bool fixedScale, SiteCalibration &out) {
    PlaneCalibration &plane = out.plane;
    plane.fixedScale = fixedScale;
    const FreePlaneModel free(table);
    // The geometry of all that may take part, before any search.
    lsq::Solve(free, lsq::Form(free, candidate));
    // The start needs no held scale: a pair fixes the free parameters exactly.
    const lsq::RobustStart<FreePlaneModel> start = lsq::StartRobustly(free, candidate);
    TakeStart(plane.fit, start);
    const std::vector<bool> inFit = NotWaiting(candidate, start.waits);

    calibration::PlaneCentre c;
    Eigen::Vector2d t;
    Eigen::Matrix4d J = Eigen::Matrix4d::Zero(); // origin form from the unknowns
    Eigen::MatrixXd Q;
    double sigma0 = 0.0;
    if (!fixedScale) {
        const lsq::Snooped<FreePlaneModel> s = lsq::Snoop(free, candidate, inFit, alpha);
        TakeVerdicts(s, candidate, start.waits, plane.fit, 0, out.points, &CalibratedPoint::plane);
        c = s.fit.centre;
        t = s.fit.x.head<2>();
        const double a = s.fit.x(2), b = s.fit.x(3), m = std::hypot(a, b);
        if (!(m > 0.0))
            throw Error("四参数的尺度 m 不是正数（局部平面上的公共点都在同一位置），无法计算");
        plane.params.scale = m - 1.0;
        plane.params.rotation = std::atan2(b, a);
        plane.params.dx = (c.X + t(0)) - (a * c.x - b * c.y);
        plane.params.dy = (c.Y + t(1)) - (b * c.x + a * c.y);
        J << 1, 0, -c.x, c.y,   //
            0, 1, -c.y, -c.x,   //
            0, 0, a / m, b / m, //
            0, 0, -b / (m * m), a / (m * m);
        Q = s.fit.Q;
        sigma0 = plane.fit.sigma0.value_or(0.0);
    } else {
        // Linearised at the free fit's rotation, which is already the held
        // scale's to first order.
        const lsq::Fit<FreePlaneModel> first = lsq::Solve(free, lsq::Form(free, inFit));
        FixedScalePlaneModel fixed(table, std::atan2(first.x(3), first.x(2)));
        const lsq::Snooped<FixedScalePlaneModel> s =
            lsq::SnoopRelinearised(fixed, candidate, inFit, alpha);
        TakeVerdicts(s, candidate, start.waits, plane.fit, 0, out.points, &CalibratedPoint::plane);
        c = s.fit.centre;
        t = s.fit.x.head<2>();
        const double alpha0 = fixed.rotation(), a = std::cos(alpha0), b = std::sin(alpha0);
        plane.params.scale = 0.0;
        plane.params.rotation = alpha0;
        plane.params.dx = (c.X + t(0)) - (a * c.x - b * c.y);
        plane.params.dy = (c.Y + t(1)) - (b * c.x + a * c.y);
        J << 1, 0, 0, b * c.x + a * c.y, //
            0, 1, 0, -a * c.x + b * c.y, //
            0, 0, 0, 0,                  //
            0, 0, 0, 1;
        // The unknowns (t_X, t_Y, δα) to the columns of J: scale has none.
        Eigen::Matrix4d Q4 = Eigen::Matrix4d::Zero();
        const int at[3] = {0, 1, 3};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                Q4(at[i], at[j]) = s.fit.Q(i, j);
        Q = Q4;
        sigma0 = plane.fit.sigma0.value_or(0.0);
    }
    const Eigen::Matrix4d Qo = J * Q * J.transpose();
    const double sigmaOf[4] = {std::sqrt(Qo(0, 0)), std::sqrt(Qo(1, 1)), std::sqrt(Qo(2, 2)),
                               std::sqrt(Qo(3, 3))};
    plane.sigma = {sigma0 * sigmaOf[0], sigma0 * sigmaOf[1], sigma0 * sigmaOf[2],
                   sigma0 * sigmaOf[3]};
    for (int k = 0; k < 4; ++k)
        for (int m = 0; m < 4; ++m)
            plane.correlation[k][m] = !(sigmaOf[k] > 0.0 && sigmaOf[m] > 0.0) ? 0.0
                                      : k == m ? 1.0 // not 1 ± an ulp of the division
                                               : Qo(k, m) / (sigmaOf[k] * sigmaOf[m]);
    plane.centroid = {c.x, c.y};
    plane.centroidLocal = {c.X + t(0), c.Y + t(1)};
    plane.centroidLocalSigma = {sigma0 * std::sqrt(Q(0, 0)), sigma0 * std::sqrt(Q(1, 1))};
}

// Whether the surface of U coefficients is determined by all that may take
// part; other errors (numbers too large) go on.
template <int U>
bool Determined(const CommonPointTable &table, const std::vector<bool> &candidate) {
    const HeightSurfaceModel<U> model(table);
    try {
        lsq::Solve(model, lsq::Form(model, candidate));
        return true;
    } catch (const Error &e) {
        if (e.problem() == HeightSurfaceModel<U>::kSingular)
            return false;
        throw;
    }
}

bool Determined(HeightModel model, const CommonPointTable &table,
                const std::vector<bool> &candidate) {
    switch (model) {
    case HeightModel::Plane:
        return Determined<3>(table, candidate);
    case HeightModel::Quadratic:
        return Determined<6>(table, candidate);
    default:
        return Determined<1>(table, candidate);
    }
}

template <int U>
void FitHeight(const CommonPointTable &table, const std::vector<bool> &candidate, double alpha,
               SiteCalibration &out) {
    using Model = HeightSurfaceModel<U>;
    HeightCalibration &height = out.height;
    const Model model(table);
    const lsq::RobustStart<Model> start = lsq::StartRobustly(model, candidate);
    TakeStart(height.fit, start);
    const lsq::Snooped<Model> s =
        lsq::Snoop(model, candidate, NotWaiting(candidate, start.waits), alpha);
    TakeVerdicts(s, candidate, start.waits, height.fit, 2, out.points, &CalibratedPoint::height);
    height.surface.originX = s.fit.centre.X;
    height.surface.originY = s.fit.centre.Y;
    const double sigma0 = height.fit.sigma0.value_or(0.0);
    for (int k = 0; k < U; ++k) {
        height.surface.c[k] = s.fit.x(k);
        height.sigma[k] = sigma0 * std::sqrt(s.fit.Q(k, k));
    }
}

} // namespace

SiteCalibration CalibrateTable(const CommonPointTable &table, const std::vector<bool> &heldOut,
                               const CalibrationOptions &options) {
    if (!(options.alpha >= kSmallestAlpha && options.alpha <= kLargestAlpha))
        throw Error("显著水平 α 应在 1e-10 与 0.05 之间");
    const int count = table.PointCount();
    SiteCalibration result;
    result.systems = options.systems;
    result.alpha = options.alpha;
    result.points.resize(static_cast<std::size_t>(count));

    std::vector<bool> candidate(static_cast<std::size_t>(count));
    int candidates = 0;
    for (int i = 0; i < count; ++i) {
        candidate[i] = !(i < static_cast<int>(heldOut.size()) && heldOut[i]);
        candidates += candidate[i];
    }
    if (candidates < 2)
        throw Error(
            TooFew(candidates, options.fixedScale ? "平面四参数（固定尺度）" : "平面四参数", 2));

    // The richest surface the points leave redundancy for, or what was asked.
    HeightModel model = options.height;
    result.height.asked = model;
    if (model == HeightModel::Auto) {
        model = candidates >= 7   ? HeightModel::Quadratic
                : candidates >= 4 ? HeightModel::Plane
                                  : HeightModel::Constant;
        while (model != HeightModel::Constant && !Determined(model, table, candidate)) {
            model = model == HeightModel::Quadratic ? HeightModel::Plane : HeightModel::Constant;
            result.height.steppedDown = true;
        }
    } else if (model != HeightModel::None && candidates < CoefficientCount(model)) {
        throw Error(TooFew(candidates, HeightModelText(model), CoefficientCount(model)));
    }
    result.height.surface.model = model;

    FitPlane(table, candidate, options.alpha, options.fixedScale, result);
    switch (model) {
    case HeightModel::Constant:
        FitHeight<1>(table, candidate, options.alpha, result);
        break;
    case HeightModel::Plane:
        FitHeight<3>(table, candidate, options.alpha, result);
        break;
    case HeightModel::Quadratic:
        FitHeight<6>(table, candidate, options.alpha, result);
        break;
    default:
        for (int i = 0; i < count; ++i)
            result.points[i].height.state = candidate[i] ? PointState::Used : PointState::Check;
        break;
    }

    // Every number a conversion or a script will take must be finite.
    const CalibrationParams params = result.Params();
    bool finite = std::isfinite(result.plane.sigma.dx) && std::isfinite(result.plane.sigma.dy) &&
                  std::isfinite(result.plane.sigma.scale) &&
                  std::isfinite(result.plane.sigma.rotation);
    for (double s : result.height.sigma)
        finite = finite && std::isfinite(s);
    for (const FitSummary *f : {&result.plane.fit, &result.height.fit})
        finite = finite && std::isfinite(f->sigma0.value_or(0.0));
    try {
        CheckCalibrationParams(params);
    } catch (const Error &) {
        finite = false;
    }
    if (!finite)
        throw Error(calibration::PlaneModelBase::kOverflow);

    double sums[3] = {0.0, 0.0, 0.0};
    for (int i = 0; i < count; ++i) {
        const CommonPoint &q = table.points()[i];
        CalibratedPoint &p = result.points[i];
        const Point3 computed = CalibrateForward(params, q.x1, q.y1, q.z1);
        p.residual = {computed.X - q.x2, computed.Y - q.y2, computed.Z - q.z2};
        if (!candidate[i]) {
            ++result.checks;
            for (int k = 0; k < 3; ++k)
                sums[k] += p.residual[k] * p.residual[k];
        }
    }
    if (result.checks > 0) {
        for (int k = 0; k < 3; ++k)
            result.checkRms[k] = std::sqrt(sums[k] / result.checks);
        result.checkRmsPlan = std::sqrt((sums[0] + sums[1]) / result.checks);
    }
    return result;
}

SiteCalibration Calibrate(const CommonPointTable &table, const CalibrationOptions &options,
                          const std::string &path) {
    const std::vector<bool> heldOut = HeldOutByName(table, options.checkNames, path);
    try {
        return CalibrateTable(table, heldOut, options);
    } catch (const Error &e) {
        if (!e.file().empty())
            throw;
        throw Error::InFile(path, e.problem());
    }
}

} // namespace kovarim
