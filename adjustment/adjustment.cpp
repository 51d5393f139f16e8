#include "adjustment/adjustment.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>

#include "adjustment/robust_start.h"
#include "adjustment/seven_parameter_model.h"
#include "adjustment/snooping.h"
#include "base/error.h"
#include "estimation/estimate.h"
#include "textio/encoding.h"

namespace kovarim {
namespace {

using Vec3 = Eigen::Vector3d;
using Mat7 = Eigen::Matrix<double, 7, 7>;

constexpr const char kTooFew[] = "可用的公共点不足 4 个（检核点不算在内），无法平差";

// The redundancy numbers of a used point along its residuals' axes: the
// diagonal of R·(I − H)·Rᵀ, R the axes' rows (the sum over all points stays
// r, a rotation keeping each point's trace).
std::array<double, 3> RedundancyAlong(const Axes &axes, const Eigen::Matrix3d &redundancy) {
    Eigen::Matrix3d R;
    for (int k = 0; k < 3; ++k)
        R.row(k) << axes[k][0], axes[k][1], axes[k][2];
    const Eigen::Matrix3d turned = R * redundancy * R.transpose();
    return {turned(0, 0), turned(1, 1), turned(2, 2)};
}

} // namespace

double RoundingUnit(const CommonPointTable &table, const std::vector<bool> &marked) {
    double largest = 0.0;
    for (int i = 0; i < table.PointCount(); ++i)
        if (marked.empty() || marked[i]) {
            const CommonPoint &q = table.points()[i];
            for (double v : {q.x1, q.y1, q.z1, q.x2, q.y2, q.z2})
                largest = std::max(largest, std::fabs(v));
        }
    return 8.0 * std::numeric_limits<double>::epsilon() * largest;
}

Adjustment AdjustTable(const CommonPointTable &table, const std::vector<bool> &heldOut,
                       double alpha, const TripleChoice *compared) {
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

    if (compared != nullptr && compared->BestTriple > 0) {
        if (const auto solved = SolveChosenTriple(table, *compared)) {
            result.triple = {compared->First, compared->Second, compared->Third};
            result.tripleParams = ParametersOf(*solved);
        }
    }

    const SevenParameterModel model(table);
    const lsq::RobustStart<SevenParameterModel> start = lsq::StartRobustly(model, candidate);
    result.robustStart = start.made;
    if (start.made) {
        for (int k = 0; k < 3; ++k)
            result.startTriple[k] = start.subset[k] + 1;
        result.startAngle = start.shape;
        result.startAngleLimit = start.shapeLimit;
        result.triplesFitted = start.subsetsFitted;
        result.robustScale = start.scale;
        result.robustLimit = start.limit;
        result.setAsideAtStart = start.waiting;
    }
    std::vector<bool> inFit(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        inFit[i] = candidate[i] && !start.waits[i];
    const lsq::Snooped<SevenParameterModel> snooped = lsq::Snoop(model, candidate, inFit, alpha);
    result.solves = start.subsetsFitted + snooped.solves;
    result.settled = snooped.settled;

    // The final fit, in both forms.
    const lsq::Fit<SevenParameterModel> &s = snooped.fit;
    const int r = snooped.redundancy;
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

    result.redundancy = r;
    result.sigma0 = std::sqrt(snooped.vtv / r);
    for (int k = 0; k < 7; ++k) {
        result.sigma[DX + k] = result.sigma0 * std::sqrt(Qorigin(k, k));
        for (int m = 0; m < 7; ++m)
            result.correlation[k][m] =
                k == m ? 1.0 // not 1 ± an ulp of the division
                       : Qorigin(k, m) / std::sqrt(Qorigin(k, k) * Qorigin(m, m));
    }
    for (int k = 0; k < 3; ++k)
        result.centroidShiftSigma[k] = result.sigma0 * std::sqrt(s.Q(k, k));
    result.criticalUsed = snooped.criticalUsed;
    result.criticalOthers = snooped.criticalOthers;

    double checkSums[3] = {0.0, 0.0, 0.0};
    for (int i = 0; i < count; ++i) {
        AdjustedPoint &p = result.points[i];
        const lsq::PointVerdict<SevenParameterModel> &verdict = snooped.points[i];
        p.setAsideAtStart = start.waits[i];
        p.state = !candidate[i]   ? PointState::Check
                  : verdict.inFit ? PointState::Used
                                  : PointState::Blunder;
        // The residuals as the conversions give them, in the origin form, in
        // the new system's own terms.
        const CommonPoint &q = table.points()[i];
        const Values residual = ResidualsOf(table, result.params, q);
        p.residual = {residual[0], residual[1], residual[2]};
        p.test = verdict.test;
        p.critical = verdict.critical;
        p.passed = verdict.passed;
        switch (p.state) {
        case PointState::Used:
            ++result.used;
            result.failedButKept += !p.passed;
            if (table.systems().to.kind() == SystemKind::Cartesian) {
                for (int k = 0; k < 3; ++k)
                    p.redundancy[k] = verdict.redundancy(k);
            } else {
                p.redundancy = RedundancyAlong(ResidualAxes(table.systems().to, q.given2),
                                               verdict.redundancyMatrix);
            }
            break;
        case PointState::Blunder:
            ++result.blunders;
            break;
        case PointState::Check:
            ++result.checks;
            for (int k = 0; k < 3; ++k)
                checkSums[k] += p.residual[k] * p.residual[k];
            break;
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
        throw Error(SevenParameterModel::kOverflow);
    return result;
}

std::vector<bool> HeldOutByName(const CommonPointTable &table,
                                const std::vector<std::string> &names, const std::string &path) {
    const int count = table.PointCount();
    std::vector<bool> heldOut(static_cast<std::size_t>(count), false);
    for (const std::string &name : names) {
        bool found = false;
        for (int i = 0; i < count; ++i)
            if (ToUtf8(table.points()[i].Name, Encoding::Gbk) == name)
                heldOut[i] = found = true;
        if (!found)
            throw Error::InFile(path, "检核点" + QuotedForMessage(name) + " 不在文件中");
    }
    return heldOut;
}

Adjustment Adjust(const CommonPointTable &table, const AdjustmentOptions &options,
                  const std::string &path) {
    const int count = table.PointCount();
    const std::vector<bool> heldOut = HeldOutByName(table, options.checkNames, path);
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
        return AdjustTable(table, heldOut, options.alpha, &triple);
    } catch (const Error &e) {
        if (!e.file().empty())
            throw;
        throw Error::InFile(path, e.problem());
    }
}

} // namespace kovarim
