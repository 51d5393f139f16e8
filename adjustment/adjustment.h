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
// Blunders (least_squares.h, robust_start.h and snooping.h say it whole).
//  1. Robust start: least median of squares over well-shaped triples
//     (smallest angle 20° or more), every triple of a small file and 1000
//     drawn with a fixed seed from a large one. The triple's fit that the
//     best half of the points agree with gives a scale σ̂; a point whose
//     residual vector is longer than √χ²(0.99; 3)·σ̂ waits, and least
//     squares over the others sharpens the scale and the set.
//  2. Data snooping, one point at a time, F_i = (Ω_i/3)/s_i² against
//     F(α; 3, r − 3) (α per test, default 0.001): the worst failing point
//     leaves and the fit is solved again; every point outside that passes
//     its test against F(α; 3, r) comes back, at every stage, until every
//     point taking part passes and every point outside fails. Never fewer
//     than 4 points take part: a point that fails with none to spare stays,
//     and says so (passed false). A point whose leaving would make the
//     geometry singular cannot be tested.
//
// Every point ends used, blunder or check point (held out with --check: its
// residuals under the final parameters and their RMS are reported apart).
// The best triple of the estimation takes no part in any of this; it is
// only set beside the result.

inline constexpr double kDefaultAlpha = 0.001;
// A larger significance would make a good share of any set of good points
// fail, and each failing point costs a refit: with α = 0.1, 32,767 good
// points lose a third of themselves, one refit at a time.
inline constexpr double kSmallestAlpha = 1e-10, kLargestAlpha = 0.05;

enum class PointState { Used, Blunder, Check };

struct AdjustedPoint {
    PointState state = PointState::Used;
    bool setAsideAtStart = false; // by the robust start (it may have come back)
    bool passed = true;           // no test, or a test within its critical value
    // computed − given under the adjusted parameters, in the new system's
    // own terms (ResidualsOf), and the redundancy numbers along the same axes
    // (of a used point; 0 for the others)
    std::array<double, 3> residual{};
    std::array<double, 3> redundancy{};
    std::optional<double> test; // F_i; nothing where the point cannot be tested
    double critical = 0.0;      // the critical value its test is held against
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
    int failedButKept = 0; // used points that fail their test: none could be spared
    double alpha = kDefaultAlpha;
    double criticalUsed = 0.0;   // F(α; 3, r − 3)
    double criticalOthers = 0.0; // F(α; 3, r)

    // The robust start: none with fewer than 5 points that may take part.
    bool robustStart = false;
    std::array<int, 3> startTriple{}; // its triple's point numbers
    double startAngle = 0.0;          // that triangle's smallest angle, degrees
    double startAngleLimit = 0.0;     // the smallest angle a triple needed (20°, or less)
    int triplesFitted = 0;
    double robustScale = 0.0; // σ̂
    double robustLimit = 0.0; // the residual vector's length beyond which a point waited
    int setAsideAtStart = 0;
    bool settled = true; // false when the snooping went round in a circle (snooping.h)

    // The best triple of the search, set beside the result.
    std::array<int, 3> triple{}; // its point numbers; 0 when there was none
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

// Which points of `table` the names (UTF-8) hold out as check points; Error
// naming `path` for a name that no point has.
std::vector<bool> HeldOutByName(const CommonPointTable &table,
                                const std::vector<std::string> &names, const std::string &path);

// The whole adjustment of a table read from `path` (named in the messages):
// the check points found by name, the best triple among the other points
// (for the comparison only), then AdjustTable. Throws Error naming the file
// for a check name that no point has, fewer than 4 usable points, a
// singular geometry, numbers too large, or an alpha outside
// [kSmallestAlpha, kLargestAlpha].
Adjustment Adjust(const CommonPointTable &table, const AdjustmentOptions &options,
                  const std::string &path);

// The adjustment proper. `heldOut[n − 1]` marks point n a check point;
// `compared` (optional) is a triple already found, its parameters set
// beside the result. Errors as Adjust, without the file.
Adjustment AdjustTable(const CommonPointTable &table, const std::vector<bool> &heldOut,
                       double alpha, const TripleChoice *compared = nullptr);

// The unit of the coordinates' own rounding: a few units in the last place
// of the largest coordinate of the points marked (all when `marked` is
// empty). Variances and scales are never taken below it.
double RoundingUnit(const CommonPointTable &table, const std::vector<bool> &marked = {});

} // namespace kovarim
