#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "estimation/common_points.h"
#include "estimation/triple_search.h"
#include "model/seven_parameters.h"

namespace kovarim {

// The least-squares adjustment of the seven parameters over all good common
// points, beside the best triple (which stays what the window uses).
//
// Model. The linearised model of seven_parameters.h with its unknowns in its
// order; each point taking part gives the observations x2 − x1, y2 − y1,
// z2 − z1, all of equal weight and independent: the statistics below assume
// equal, independent, normally distributed errors in the new system's
// coordinates (the original ones taken as exact). The normal equations are
// formed in the original coordinates reduced to the centroid c of the points
// taking part (geocentric coordinates give a condition number near 10^7,
// reduced ones below 100), scaled to a unit diagonal and solved by Cholesky.
// That gives the centroid form: the translations at c, t_c = T + M·c, and the
// same scale and rotations; the origin form T = t_c − M·c is what the
// conversions use, and its covariance is carried over whole.
//
// Precision. v = computed − given, as in the accuracy report; with n points
// taking part r = 3n − 7 and σ0 = √(vᵀv / r). Each parameter's standard
// deviation is σ0·√q_ii of the cofactor matrix Q = N⁻¹; the correlations come
// from Q alone. A used point's redundancy numbers are the diagonal of
// I − A_i·Q·A_iᵀ (they sum to r over all points).
//
// Blunders.
//  1. Robust start: under the best triple's parameters, every point outside
//     the triple has three residuals. Their robust scale, for each axis
//     apart, is 1.4826 · median |residual| (the MAD about zero, which is σ
//     for normal errors), over these points only: seven of the triple's own
//     nine residuals are zero by construction. Apart, because a triple fixes
//     the tilt of a flat network poorly: its height residuals grow with the
//     distance while those in plan stay small. A point with a residual beyond
//     kRobustK (5) times its axis's scale does not take part at first. With
//     fewer than five points outside the triple nothing is set aside, and
//     never so many that fewer than four points would take part.
//  2. Data snooping, one point at a time. For point i with residuals v_i,
//     Ω_i = v_iᵀ·Q_i⁻¹·v_i, Q_i = I − A_i·Q·A_iᵀ, is exactly what vᵀv loses
//     when the point leaves the fit; the test value is
//         F_i = (Ω_i / 3) / s_i²,   s_i² = (vᵀv − Ω_i) / (r − 3),
//     the variance of the fit without the point. Under the assumptions above
//     F_i follows F(3, r − 3); the point fails when F_i exceeds the critical
//     value F(α; 3, r − 3), α the significance per test (default 0.001).
//     The worst failing point leaves (its contribution is subtracted from
//     the normal equations), and the fit is solved again, until no point
//     fails; the last fit is always formed afresh. Never fewer than 4 points
//     take part, and a point whose leaving would make the geometry singular
//     (Q_i singular) cannot be tested.
//  3. A point that does not take part has the same test with P_i = I +
//     A_i·Q·A_iᵀ and s² = vᵀv / r, against F(α; 3, r): what its test would be
//     if it were added. A point set aside by the robust start that passes it
//     comes back, once, and the snooping goes on.
// Variances are never taken below the rounding of the coordinates (a few
// units in the last place of the largest one), so that exact data do not
// make rounding look like blunders.
//
// Every point ends used, blunder or check point (held out with --check: its
// residuals under the final parameters and their RMS are reported apart).

inline constexpr double kRobustK = 5.0;
inline constexpr double kDefaultAlpha = 0.001;
// A larger significance would make a good share of any set of good points
// fail, and each failing point costs a refit: with α = 0.1, 32,767 good
// points lose a third of themselves, one refit at a time.
inline constexpr double kSmallestAlpha = 1e-10, kLargestAlpha = 0.05;

enum class PointState { Used, Blunder, Check };

struct AdjustedPoint {
    PointState state = PointState::Used;
    bool setAsideAtStart = false;       // by the robust start (it may have come back)
    std::array<double, 3> residual{};   // computed − given under the adjusted parameters
    std::array<double, 3> redundancy{}; // of a used point; 0 for the others
    std::optional<double> test;         // F_i; nothing where the point cannot be tested
    double critical = 0.0;              // the critical value its test is held against
};

struct Adjustment {
    Params params{}; // origin form, as the conversions use it
    Params sigma{};  // their standard deviations, same indices
    // Correlations of the origin form, rows and columns DX, DY, DZ, Scale,
    // RotX, RotY, RotZ.
    std::array<std::array<double, 7>, 7> correlation{};
    Point3 centroid;                       // of the points used, original system
    std::array<double, 3> centroidShift{}; // t_c, the translations at the centroid
    std::array<double, 3> centroidShiftSigma{};

    double sigma0 = 0.0;
    int redundancy = 0; // r = 3n − 7
    int used = 0, blunders = 0, checks = 0;
    double alpha = kDefaultAlpha;
    double criticalUsed = 0.0;   // F(α; 3, r − 3)
    double criticalOthers = 0.0; // F(α; 3, r)

    bool robustStart = false; // enough points outside the triple to set any aside
    // kRobustK · 1.4826 · MAD for X, Y and Z, at least the rounding.
    std::array<double, 3> robustLimit{};
    int setAsideAtStart = 0;

    std::array<int, 3> triple{}; // the best triple's point numbers; 0 when there was none
    std::optional<Params> tripleParams;

    std::array<double, 3> checkRms{}; // of the check points' residuals, per axis
    double checkRms3d = 0.0;          // √(Σ(vx² + vy² + vz²) / m)

    std::vector<AdjustedPoint> points; // file order: points[n − 1] is point n
    int solves = 0;                    // normal-equation solves, for the benchmark
};

struct AdjustmentOptions {
    double alpha = kDefaultAlpha;
    std::vector<std::string> checkNames;     // UTF-8; every point of such a name is held out
    const std::atomic<bool> *stop = nullptr; // ends the triple search (SearchStopped)
    // How far the triple search has come, as SearchProgress tells it.
    std::function<void(long long tripleCount)> searchStarted;
    std::atomic<long long> *searchDone = nullptr;
};

// The whole adjustment of a table read from `path` (named in the messages):
// the check points found by name, the best triple among the other points,
// then AdjustFromTriple. Throws Error naming the file for a check name that
// no point has, fewer than 4 usable points, a singular geometry, numbers
// too large, or an alpha outside [kSmallestAlpha, kLargestAlpha].
Adjustment Adjust(const CommonPointTable &table, const AdjustmentOptions &options,
                  const std::string &path);

// The adjustment proper, from a triple already found. `heldOut[n − 1]`
// marks point n a check point; `triple` holds point numbers of `table`
// (BestTriple 0: none, so nothing is set aside at the start). Errors as
// Adjust, without the file.
Adjustment AdjustFromTriple(const CommonPointTable &table, const std::vector<bool> &heldOut,
                            const TripleChoice &triple, double alpha);

} // namespace kovarim
