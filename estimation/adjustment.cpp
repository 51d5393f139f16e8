#include "estimation/adjustment.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/error.h"
#include "estimation/estimate.h"
#include "estimation/f_distribution.h"
#include "textio/encoding.h"

namespace kovarim {
namespace {

using Vec3 = Eigen::Vector3d;
using Mat3 = Eigen::Matrix3d;
using Vec7 = Eigen::Matrix<double, 7, 1>;
using Mat7 = Eigen::Matrix<double, 7, 7>;
using Mat37 = Eigen::Matrix<double, 3, 7>;

const char *const kTooFew = "可用的公共点不足 4 个（检核点不算在内），无法平差";
const char *const kSingular =
    "公共点的几何图形奇异（例如都在一条直线上），七个参数无法全部确定，无法平差";
const char *const kOverflow = "数值溢出：坐标太大，无法平差";

// One point's three equations in the unknowns (t_c, Scale, RotX, RotY, RotZ),
// its original coordinates reduced to the centre c: the rows of the model
// with x1 − c in place of x1.
struct PointEquations {
    Mat37 A;
    Vec3 l;
};

PointEquations EquationsOf(const CommonPoint &q, const Vec3 &c) {
    const double u = q.x1 - c.x(), v = q.y1 - c.y(), w = q.z1 - c.z();
    PointEquations e;
    e.A << 1, 0, 0, u, 0, -w, v, //
        0, 1, 0, v, w, 0, -u,    //
        0, 0, 1, w, -v, u, 0;
    e.l << q.x2 - q.x1, q.y2 - q.y1, q.z2 - q.z1;
    return e;
}

Vec3 CentroidOf(const CommonPointTable &table, const std::vector<bool> &inFit) {
    Vec3 sum = Vec3::Zero();
    int count = 0;
    for (int i = 0; i < table.PointCount(); ++i)
        if (inFit[i]) {
            const CommonPoint &q = table.points()[i];
            sum += Vec3(q.x1, q.y1, q.z1);
            ++count;
        }
    return count > 0 ? Vec3(sum / count) : sum;
}

// The normal equations of the points taking part, reduced to `centre`.
struct NormalEquations {
    Vec3 centre = Vec3::Zero();
    Mat7 N = Mat7::Zero();
    Vec7 n = Vec7::Zero();
    int count = 0;

    void Add(const PointEquations &e, int sign) {
        N.noalias() += sign * (e.A.transpose() * e.A);
        n.noalias() += sign * (e.A.transpose() * e.l);
        count += sign;
    }
};

NormalEquations Form(const CommonPointTable &table, const std::vector<bool> &inFit) {
    NormalEquations ne;
    ne.centre = CentroidOf(table, inFit);
    for (int i = 0; i < table.PointCount(); ++i)
        if (inFit[i])
            ne.Add(EquationsOf(table.points()[i], ne.centre), 1);
    return ne;
}

struct Solution {
    Vec3 centre;
    Vec7 x; // t_c, Scale, RotX, RotY, RotZ
    Mat7 Q; // N⁻¹
};

Solution Solve(const NormalEquations &ne) {
    if (!ne.N.allFinite() || !ne.n.allFinite())
        throw Error(kOverflow);
    // Scaled to a unit diagonal, the geometry's test does not depend on the
    // unit of the coordinates.
    const Vec7 diagonal = ne.N.diagonal();
    if (!(diagonal.minCoeff() > 0.0))
        throw Error(kSingular);
    // The geometry's test takes the scale and the rotations as the shifts they
    // give at the network's mean distance from its centre: then points on or
    // next to a line leave an eigenvalue near 0 (scaling each column alone
    // would not: a rotation fixed by a nanometre of lever arm would look as
    // well determined as any).
    Vec7 size;
    size << Vec3::Constant(1.0 / std::sqrt(diagonal(0))),
        Eigen::Vector4d::Constant(1.0 / std::sqrt(diagonal(3)));
    const Eigen::SelfAdjointEigenSolver<Mat7> eigen(size.asDiagonal() * ne.N * size.asDiagonal(),
                                                    Eigen::EigenvaluesOnly);
    const Vec7 scale = diagonal.cwiseSqrt().cwiseInverse();
    const Mat7 M = scale.asDiagonal() * ne.N * scale.asDiagonal();
    const Eigen::LLT<Mat7> cholesky(M);
    if (eigen.info() != Eigen::Success || cholesky.info() != Eigen::Success ||
        !(eigen.eigenvalues()(0) > 1e-12 * eigen.eigenvalues()(6)))
        throw Error(kSingular);
    Solution s;
    s.centre = ne.centre;
    s.Q = scale.asDiagonal() * cholesky.solve(Mat7::Identity()) * scale.asDiagonal();
    s.x = scale.asDiagonal() * cholesky.solve(scale.asDiagonal() * ne.n);
    if (!s.x.allFinite() || !s.Q.allFinite())
        throw Error(kOverflow);
    return s;
}

// What one point says of a fit: its residuals, and Ω = vᵀ·W⁻¹·v with
// W = I ∓ A·Q·Aᵀ (− for a point taking part, + for one that does not).
struct PointCheck {
    Vec3 v;
    Mat3 H; // A·Q·Aᵀ
    std::optional<double> omega;
};

// Every point is checked after every refit, so this uses A = [I | B(u)]
// rather than multiplying out its zeros, and factors W by hand.
PointCheck Check(const Solution &s, const CommonPoint &q, bool inFit) {
    const double u = q.x1 - s.centre.x(), v = q.y1 - s.centre.y(), w = q.z1 - s.centre.z();
    Eigen::Matrix<double, 3, 4> B;
    B << u, 0, -w, v, //
        v, w, 0, -u,  //
        w, -v, u, 0;
    PointCheck c;
    c.v = s.x.head<3>() + B * s.x.tail<4>() - Vec3(q.x2 - q.x1, q.y2 - q.y1, q.z2 - q.z1);
    const Mat37 P = s.Q.topRows<3>() + B * s.Q.bottomRows<4>(); // A·Q
    c.H = P.leftCols<3>() + P.rightCols<4>() * B.transpose();
    const Mat3 W = inFit ? Mat3(Mat3::Identity() - c.H) : Mat3(Mat3::Identity() + c.H);
    // W = L·D·Lᵀ. A pivot this close to 0 is a redundancy of nearly 0 in
    // some direction: without the point the geometry would be singular, so
    // nothing can test it.
    constexpr double smallest = 1e-9;
    const double d0 = W(0, 0);
    if (!(d0 > smallest))
        return c;
    const double l10 = W(1, 0) / d0, l20 = W(2, 0) / d0;
    const double d1 = W(1, 1) - l10 * l10 * d0;
    if (!(d1 > smallest))
        return c;
    const double l21 = (W(2, 1) - l20 * l10 * d0) / d1;
    const double d2 = W(2, 2) - l20 * l20 * d0 - l21 * l21 * d1;
    if (!(d2 > smallest))
        return c;
    const double y0 = c.v(0), y1 = c.v(1) - l10 * y0, y2 = c.v(2) - l20 * y0 - l21 * y1;
    c.omega = y0 * y0 / d0 + y1 * y1 / d1 + y2 * y2 / d2;
    return c;
}

double TestValue(double omega, double variance, double floor) {
    const double v = std::max(variance, floor);
    if (!(omega > 0.0))
        return 0.0;
    const double f = (omega / 3.0) / v;
    return std::isfinite(f) ? f : std::numeric_limits<double>::max();
}

// The variance below which the coordinates' own rounding would rule.
double RoundingVariance(const CommonPointTable &table, const std::vector<bool> &inFit) {
    double largest = 0.0;
    for (int i = 0; i < table.PointCount(); ++i)
        if (inFit[i]) {
            const CommonPoint &q = table.points()[i];
            for (double v : {q.x1, q.y1, q.z1, q.x2, q.y2, q.z2})
                largest = std::max(largest, std::fabs(v));
        }
    const double unit = 8.0 * std::numeric_limits<double>::epsilon() * largest;
    return unit * unit;
}

std::array<double, 3> ResidualsUnder(const Params &p, const CommonPoint &q) {
    return {TransformX(p, q.x1, q.y1, q.z1) - q.x2, TransformY(p, q.x1, q.y1, q.z1) - q.y2,
            TransformZ(p, q.x1, q.y1, q.z1) - q.z2};
}

// The robust start: marks the points outside the triple whose residuals
// under the triple's parameters are far beyond the others'.
void SetAsideAtStart(const CommonPointTable &table, const std::vector<bool> &candidate,
                     const std::array<int, 3> &triple, const Params &tripleParams,
                     double roundingVariance, Adjustment &result, std::vector<bool> &setAside) {
    std::vector<int> outside;
    for (int i = 0; i < table.PointCount(); ++i)
        if (candidate[i] && i + 1 != triple[0] && i + 1 != triple[1] && i + 1 != triple[2])
            outside.push_back(i);
    if (outside.size() < 5)
        return;
    std::vector<std::array<double, 3>> residuals;
    for (int i : outside)
        residuals.push_back(ResidualsUnder(tripleParams, table.points()[i]));
    result.robustStart = true;
    for (int axis = 0; axis < 3; ++axis) {
        std::vector<double> magnitudes;
        for (const auto &v : residuals)
            magnitudes.push_back(std::fabs(v[axis]));
        auto middle = magnitudes.begin() + static_cast<std::ptrdiff_t>(magnitudes.size() / 2);
        std::nth_element(magnitudes.begin(), middle, magnitudes.end());
        result.robustLimit[axis] =
            std::max(kRobustK * 1.4826 * *middle, std::sqrt(roundingVariance));
    }
    // How far beyond its limits each point lies: beyond them when above 1.
    std::vector<double> excess(outside.size());
    std::vector<std::size_t> aside;
    for (std::size_t k = 0; k < outside.size(); ++k) {
        for (int axis = 0; axis < 3; ++axis)
            excess[k] =
                std::max(excess[k], std::fabs(residuals[k][axis]) / result.robustLimit[axis]);
        if (excess[k] > 1.0)
            aside.push_back(k);
    }
    // The triple and at least one more point always take part.
    const std::size_t mayLeave = outside.size() - 1;
    if (aside.size() > mayLeave) {
        std::sort(aside.begin(), aside.end(),
                  [&](std::size_t a, std::size_t b) { return excess[a] > excess[b]; });
        aside.resize(mayLeave);
    }
    for (std::size_t k : aside)
        setAside[outside[k]] = true;
    result.setAsideAtStart = static_cast<int>(aside.size());
}

} // namespace

Adjustment AdjustFromTriple(const CommonPointTable &table, const std::vector<bool> &heldOut,
                            const TripleChoice &triple, double alpha) {
    if (!(alpha >= kSmallestAlpha && alpha <= kLargestAlpha))
        throw Error("显著水平 α 应在 1e-10 与 0.05 之间");
    const int count = table.PointCount();
    Adjustment result;
    result.alpha = alpha;
    result.points.resize(static_cast<std::size_t>(count));

    std::vector<bool> candidate(static_cast<std::size_t>(count));
    int candidates = 0;
    for (int i = 0; i < count; ++i) {
        candidate[i] = !(i < static_cast<int>(heldOut.size()) && heldOut[i]);
        candidates += candidate[i];
    }
    if (candidates < 4)
        throw Error(kTooFew);
    const double roundingVariance = RoundingVariance(table, candidate);

    std::vector<bool> setAside(static_cast<std::size_t>(count), false);
    if (triple.BestTriple > 0) {
        if (const auto solved = SolveChosenTriple(table, triple)) {
            result.triple = {triple.First, triple.Second, triple.Third};
            result.tripleParams = ParametersOf(*solved);
            SetAsideAtStart(table, candidate, result.triple, *result.tripleParams, roundingVariance,
                            result, setAside);
        }
    }

    std::vector<bool> inFit(static_cast<std::size_t>(count)), cameBack(inFit), removed(inFit);
    for (int i = 0; i < count; ++i)
        inFit[i] = candidate[i] && !setAside[i];

    // Data snooping. `fresh` says the normal equations were formed from
    // scratch rather than by subtracting points: only such a fit may end it.
    NormalEquations ne = Form(table, inFit);
    bool fresh = true;
    Solution s;
    std::vector<std::optional<double>> omega(static_cast<std::size_t>(count));
    for (;;) {
        s = Solve(ne);
        ++result.solves;
        const int r = 3 * ne.count - 7;
        double vtv = 0.0;
        for (int i = 0; i < count; ++i)
            if (inFit[i]) {
                const PointCheck c = Check(s, table.points()[i], true);
                vtv += c.v.squaredNorm();
                omega[i] = c.omega;
            }
        int worst = -1;
        double worstValue = FCriticalValue(alpha, 3, r - 3);
        for (int i = 0; i < count; ++i) {
            if (!inFit[i] || !omega[i])
                continue;
            const double f = TestValue(*omega[i], (vtv - *omega[i]) / (r - 3), roundingVariance);
            if (f > worstValue)
                worst = i, worstValue = f;
        }
        if (worst >= 0 && ne.count > 4) {
            ne.Add(EquationsOf(table.points()[worst], ne.centre), -1);
            inFit[worst] = false;
            removed[worst] = true;
            fresh = false;
            continue;
        }
        if (!fresh) {
            ne = Form(table, inFit);
            fresh = true;
            continue;
        }
        // Points set aside at the start come back, once, if they pass.
        const double criticalOthers = FCriticalValue(alpha, 3, r);
        bool anyBack = false;
        for (int i = 0; i < count; ++i) {
            if (!setAside[i] || inFit[i] || cameBack[i] || removed[i])
                continue;
            const PointCheck c = Check(s, table.points()[i], false);
            if (c.omega && TestValue(*c.omega, vtv / r, roundingVariance) <= criticalOthers)
                inFit[i] = cameBack[i] = anyBack = true;
        }
        if (!anyBack)
            break;
        ne = Form(table, inFit);
    }

    // The final fit, in both forms.
    const int n = ne.count;
    const int r = 3 * n - 7;
    const Vec3 c = s.centre;
    const double scale = s.x(3), rx = s.x(4), ry = s.x(5), rz = s.x(6);
    // M·c with M = Scale·I + R: what the translations differ by between the forms.
    const Vec3 Mc(scale * c.x() + rz * c.y() - ry * c.z(), scale * c.y() - rz * c.x() + rx * c.z(),
                  scale * c.z() + ry * c.x() - rx * c.y());
    Mat7 J = Mat7::Identity();
    J.block<3, 4>(0, 3) << -c.x(), 0, c.z(), -c.y(), //
        -c.y(), -c.z(), 0, c.x(),                    //
        -c.z(), c.y(), -c.x(), 0;
    const Mat7 Qorigin = J * s.Q * J.transpose();
    for (int k = 0; k < 3; ++k)
        result.params[DX + k] = s.x(k) - Mc(k);
    for (int k = 3; k < 7; ++k)
        result.params[DX + k] = s.x(k);
    result.centroid = {c.x(), c.y(), c.z()};
    result.centroidShift = {s.x(0), s.x(1), s.x(2)};

    double vtv = 0.0;
    for (int i = 0; i < count; ++i)
        if (inFit[i]) {
            const PointEquations e = EquationsOf(table.points()[i], c);
            vtv += (e.A * s.x - e.l).squaredNorm();
        }
    result.redundancy = r;
    result.sigma0 = std::sqrt(vtv / r);
    for (int k = 0; k < 7; ++k) {
        result.sigma[DX + k] = result.sigma0 * std::sqrt(Qorigin(k, k));
        for (int m = 0; m < 7; ++m)
            result.correlation[k][m] = Qorigin(k, m) / std::sqrt(Qorigin(k, k) * Qorigin(m, m));
    }
    for (int k = 0; k < 3; ++k)
        result.centroidShiftSigma[k] = result.sigma0 * std::sqrt(s.Q(k, k));
    result.criticalUsed = FCriticalValue(alpha, 3, r - 3);
    result.criticalOthers = FCriticalValue(alpha, 3, r);

    double checkSums[3] = {0.0, 0.0, 0.0};
    for (int i = 0; i < count; ++i) {
        AdjustedPoint &p = result.points[i];
        const CommonPoint &q = table.points()[i];
        p.setAsideAtStart = setAside[i];
        p.state = !candidate[i] ? PointState::Check
                  : inFit[i]    ? PointState::Used
                                : PointState::Blunder;
        p.residual = ResidualsUnder(result.params, q);
        const PointCheck check = Check(s, q, inFit[i]);
        if (inFit[i]) {
            ++result.used;
            for (int k = 0; k < 3; ++k)
                p.redundancy[k] = 1.0 - check.H(k, k);
            p.critical = result.criticalUsed;
            if (check.omega)
                p.test = TestValue(*check.omega, (vtv - *check.omega) / (r - 3), roundingVariance);
        } else {
            p.critical = result.criticalOthers;
            if (check.omega)
                p.test = TestValue(*check.omega, vtv / r, roundingVariance);
            if (candidate[i]) {
                ++result.blunders;
            } else {
                ++result.checks;
                for (int k = 0; k < 3; ++k)
                    checkSums[k] += p.residual[k] * p.residual[k];
            }
        }
    }
    if (result.checks > 0) {
        for (int k = 0; k < 3; ++k)
            result.checkRms[k] = std::sqrt(checkSums[k] / result.checks);
        result.checkRms3d = std::sqrt((checkSums[0] + checkSums[1] + checkSums[2]) / result.checks);
    }
    auto finite = [](double v) { return std::isfinite(v); };
    if (!std::all_of(result.params.begin(), result.params.end(), finite) ||
        !std::all_of(result.sigma.begin(), result.sigma.end(), finite) || !finite(result.sigma0))
        throw Error(kOverflow);
    return result;
}

Adjustment Adjust(const CommonPointTable &table, const AdjustmentOptions &options,
                  const std::string &path) {
    const int count = table.PointCount();
    std::vector<bool> heldOut(static_cast<std::size_t>(count), false);
    for (const std::string &name : options.checkNames) {
        bool found = false;
        for (int i = 0; i < count; ++i)
            if (ToUtf8(table.points()[i].Name, Encoding::Gbk) == name)
                heldOut[i] = found = true;
        if (!found)
            throw Error::InFile(path, "检核点" + QuotedForMessage(name) + " 不在文件中");
    }
    // The best triple among the points that may take part, numbered as in `table`.
    CommonPointTable fitting;
    std::vector<int> number;
    for (int i = 0; i < count; ++i)
        if (!heldOut[i]) {
            fitting.Add(table.points()[i]);
            number.push_back(i + 1);
        }
    SearchProgress progress;
    progress.stop = options.stop;
    progress.started = options.searchStarted;
    progress.done = options.searchDone;
    TripleChoice triple = FindBestTriple(fitting, progress);
    if (triple.BestTriple > 0) {
        triple.First = number[triple.First - 1];
        triple.Second = number[triple.Second - 1];
        triple.Third = number[triple.Third - 1];
    }
    try {
        return AdjustFromTriple(table, heldOut, triple, options.alpha);
    } catch (const Error &e) {
        if (!e.file().empty())
            throw;
        throw Error::InFile(path, e.problem());
    }
}

} // namespace kovarim
