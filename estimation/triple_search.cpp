#include "estimation/triple_search.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "base/error.h"
#include "estimation/equations.h"
#include "estimation/solve_equations.h"

namespace kovarim {
namespace {

// Calls progress.advanced often enough for a display, rarely enough to cost
// nothing in the search loop.
class ProgressTicker {
  public:
    ProgressTicker(const SearchProgress &progress, long long tripleCount)
        : progress_(progress), step_(std::max(1LL, tripleCount / 1000)) {
        if (progress_.started)
            progress_.started(tripleCount);
    }
    void Tick(long long ordinal) {
        if (ordinal >= next_) {
            next_ = ordinal + step_;
            if (progress_.advanced)
                progress_.advanced(ordinal);
        }
    }
    void Finish(long long tripleCount) {
        if (tripleCount > 0 && progress_.advanced)
            progress_.advanced(tripleCount);
    }

  private:
    const SearchProgress &progress_;
    long long step_;
    long long next_ = 1;
};

void Consider(double misclosure, long long t, int i, int j, int k, TripleChoice &best) {
    // Strict: among equal misclosures the earliest triple keeps its place.
    // A NaN compares false and is never chosen.
    if (misclosure < best.BestMisclosure && std::isfinite(misclosure)) {
        best.BestMisclosure = misclosure;
        best.BestTriple = t;
        best.First = i;
        best.Second = j;
        best.Third = k;
    }
}

// Builds, solves and scores one triple the literal way; false when its solve
// fails.
bool ScoreLiterally(const CommonPointTable &table, int i, int j, int k, EquationSystem &system,
                    double &misclosure) {
    BuildEquations(table, i, j, k, system);
    if (!SolveEquations(system))
        return false;
    misclosure = std::fabs(system.b[8]) + std::fabs(system.b[9]);
    return true;
}

// Rows 4 to 9 of a triple's system after the first three pivot steps, reduced
// to columns 4–7 and the right-hand side. Rows 1–3 belong to point i, have
// unit pivots and never exchange, so rows 4–6 (point j) and 7–9 (point k)
// have then become plain differences against point i: these are the rows of
// one such point, computed exactly as the elimination computes them.
struct DifferenceRows {
    double row[3][5];
};

DifferenceRows Differences(const CommonPoint &pi, const CommonPoint &pm) {
    const double dX = pm.x1 - pi.x1, dY = pm.y1 - pi.y1, dZ = pm.z1 - pi.z1;
    // (−a) − (−b) rounds to exactly −(a − b); the sign of a zero never
    // reaches a non-zero result, since nothing is divided by a zero.
    const double bx = (pm.x2 - pm.x1) - (pi.x2 - pi.x1);
    const double by = (pm.y2 - pm.y1) - (pi.y2 - pi.y1);
    const double bz = (pm.z2 - pm.z1) - (pi.z2 - pi.z1);
    return {{{dX, 0.0, -dZ, dY, bx}, {dY, dZ, 0.0, -dX, by}, {dZ, -dY, dX, 0.0, bz}}};
}

// The literal elimination multiplies point i's rows by exact zeros. That is a
// no-op only while those rows are finite; otherwise 0·inf turns into NaN, and
// the shortcut would differ.
bool ShortcutHolds(const CommonPoint &p) {
    return std::isfinite(p.x1) && std::isfinite(p.y1) && std::isfinite(p.z1) &&
           std::isfinite(p.x2 - p.x1) && std::isfinite(p.y2 - p.y1) && std::isfinite(p.z2 - p.z1);
}

// The first `steps` pivot steps from step 4 on, over a block of rows 4 onward
// (columns 4–7 and the right-hand side), in the literal order of operations:
// a zero pivot is exchanged with the first non-zero row below it in the
// block. False when a pivot column has no non-zero entry in the block.
template <int Rows> bool PivotSteps(double (&M)[Rows][5], int steps) {
    for (int s = 0; s < steps; ++s) {
        if (M[s][s] == 0.0) {
            for (int r = s + 1; r < Rows; ++r) {
                if (M[r][s] != 0.0) {
                    for (int c = 0; c < 5; ++c)
                        std::swap(M[s][c], M[r][c]);
                    break;
                }
            }
        }
        const double p = M[s][s];
        if (p == 0.0)
            return false;
        for (int c = s; c < 5; ++c)
            M[s][c] = M[s][c] / p;
        for (int r = s + 1; r < Rows; ++r) {
            const double t = M[r][s];
            for (int c = s; c < 5; ++c)
                M[r][c] = M[r][c] - t * M[s][c];
        }
    }
    return true;
}

// Pivot steps 4 to 7 and the left-over steps 8 and 9 on the whole 6 × 4
// block of a triple.
bool ScoreFromDifferences(const DifferenceRows &j, const DifferenceRows &k, double &misclosure) {
    double M[6][5];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c) {
            M[r][c] = j.row[r][c];
            M[r + 3][c] = k.row[r][c];
        }
    if (!PivotSteps(M, 4))
        return false;
    for (int r = 4; r < 6; ++r)
        if (M[r][3] != 0.0)
            M[r][4] = M[r][4] / M[r][3];
    misclosure = std::fabs(M[4][4]) + std::fabs(M[5][4]);
    return true;
}

// Pivot steps 4 to 6 involve rows 7–9 (point k) only as rows to eliminate,
// as long as each pivot, or the row exchanged for it, comes from rows 4–6.
// Then the three pivot rows depend on the pair (i, j) alone and are reduced
// once for all k. False when some step would need a row of point k.
struct PairPivots {
    double row[3][5];
};

bool ReducePair(const DifferenceRows &j, PairPivots &pivots) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c)
            pivots.row[r][c] = j.row[r][c];
    return PivotSteps(pivots.row, 3);
}

// The rest of the elimination for one k: rows 7–9 through the pair's three
// pivots, then pivot step 7 and the left-over steps. Entries that the
// elimination sets to zero and never reads again are not computed.
bool ScoreWithPair(const PairPivots &pivots, const DifferenceRows &k, double &misclosure) {
    const auto &P = pivots.row;
    double R[3][5];
    for (int r = 0; r < 3; ++r) {
        double a5 = k.row[r][1], a6 = k.row[r][2], a7 = k.row[r][3], b = k.row[r][4];
        double t = k.row[r][0];
        a5 = a5 - t * P[0][1];
        a6 = a6 - t * P[0][2];
        a7 = a7 - t * P[0][3];
        b = b - t * P[0][4];
        t = a5;
        a6 = a6 - t * P[1][2];
        a7 = a7 - t * P[1][3];
        b = b - t * P[1][4];
        t = a6;
        a7 = a7 - t * P[2][3];
        b = b - t * P[2][4];
        R[r][3] = a7;
        R[r][4] = b;
    }
    if (R[0][3] == 0.0) {
        const int r = R[1][3] != 0.0 ? 1 : R[2][3] != 0.0 ? 2 : 0;
        std::swap(R[0][3], R[r][3]);
        std::swap(R[0][4], R[r][4]);
    }
    const double p = R[0][3];
    if (p == 0.0)
        return false;
    const double unit = p / p; // exactly 1 unless p is not finite
    const double b7 = R[0][4] / p;
    for (int r = 1; r < 3; ++r) {
        const double t = R[r][3];
        R[r][3] = R[r][3] - t * unit;
        R[r][4] = R[r][4] - t * b7;
        if (R[r][3] != 0.0)
            R[r][4] = R[r][4] / R[r][3];
    }
    misclosure = std::fabs(R[1][4]) + std::fabs(R[2][4]);
    return true;
}

} // namespace

long long CountTriples(int pointCount) {
    if (pointCount < 3)
        return 0;
    const long long n = pointCount;
    long long product = 0; // n·(n−1)/2·(n−2), always a multiple of 3
    if (__builtin_mul_overflow(n * (n - 1) / 2, n - 2, &product))
        throw Error("公共点太多，无法计算（" + std::to_string(pointCount) + " 个）");
    return product / 3;
}

RepeatedStations::RepeatedStations(const CommonPointTable &table)
    : partners_(static_cast<std::size_t>(table.PointCount()) + 1) {
    const int n = table.PointCount();
    if (n < 2)
        return;
    double minX = table.Point(1).x1, maxX = minX, minY = table.Point(1).y1, maxY = minY;
    for (const CommonPoint &p : table.points()) {
        minX = std::min(minX, p.x1), maxX = std::max(maxX, p.x1);
        minY = std::min(minY, p.y1), maxY = std::max(maxY, p.y1);
    }
    const double extent = std::sqrt((maxX - minX) * (maxX - minX) + (maxY - minY) * (maxY - minY));
    const double limit = extent / 1000;
    for (int a = 1; a <= n; ++a) {
        const CommonPoint &pa = table.Point(a);
        for (int b = a + 1; b <= n; ++b) {
            const CommonPoint &pb = table.Point(b);
            const double dx = pa.x1 - pb.x1, dy = pa.y1 - pb.y1;
            if (std::sqrt(dx * dx + dy * dy) < limit) {
                partners_[a].push_back(b);
                partners_[b].push_back(a);
                any_ = true;
            }
        }
    }
    for (auto &list : partners_)
        std::sort(list.begin(), list.end());
}

bool RepeatedStations::Same(int a, int b) const {
    const auto &list = partners_[a];
    return std::binary_search(list.begin(), list.end(), b);
}

bool IsDegenerate(const CommonPoint &pi, const CommonPoint &pj, const CommonPoint &pk) {
    // Exact comparisons on purpose: only what coincides or is collinear in the
    // computed values is rejected; nearly collinear triples are solved.
    if (pi.x1 == pj.x1 && pi.y1 == pj.y1)
        return true;
    if (pi.x1 == pk.x1 && pi.y1 == pk.y1)
        return true;
    if (pj.x1 == pk.x1 && pj.y1 == pk.y1)
        return true;
    const double dx1 = pj.x1 - pi.x1, dy1 = pj.y1 - pi.y1;
    const double dx2 = pk.x1 - pj.x1, dy2 = pk.y1 - pj.y1;
    if (dy1 == 0.0 && dy2 == 0.0)
        return true;
    return dy1 != 0.0 && dy2 != 0.0 && dx1 / dy1 == dx2 / dy2;
}

TripleChoice FindBestTripleLiteral(const CommonPointTable &table, const SearchProgress &progress) {
    const int n = table.PointCount();
    const long long count = CountTriples(n);
    ProgressTicker ticker(progress, count);
    const RepeatedStations stations(table);
    TripleChoice best;
    EquationSystem system;
    long long t = 0;
    for (int i = 1; i <= n - 2; ++i)
        for (int j = i + 1; j <= n - 1; ++j)
            for (int k = j + 1; k <= n; ++k) {
                ticker.Tick(++t);
                if (stations.Same(i, j) || stations.Same(i, k) || stations.Same(j, k))
                    continue;
                if (IsDegenerate(table.Point(i), table.Point(j), table.Point(k)))
                    continue;
                double misclosure = 0.0;
                if (ScoreLiterally(table, i, j, k, system, misclosure))
                    Consider(misclosure, t, i, j, k, best);
            }
    ticker.Finish(count);
    return best;
}

TripleChoice FindBestTriple(const CommonPointTable &table, const SearchProgress &progress) {
    const int n = table.PointCount();
    const long long count = CountTriples(n);
    ProgressTicker ticker(progress, count);
    const RepeatedStations stations(table);
    // near[m] > 0: point m is one station with point i or point j.
    std::vector<int> near(static_cast<std::size_t>(n) + 1, 0);
    auto mark = [&](int a, int by) {
        for (int m : stations.Partners(a))
            near[m] += by;
    };
    TripleChoice best;
    EquationSystem system; // only for the literal fallback
    std::vector<DifferenceRows> rows(static_cast<std::size_t>(n) + 1);
    long long t = 0;
    for (int i = 1; i <= n - 2; ++i) {
        const CommonPoint &pi = table.Point(i);
        const bool shortcut = ShortcutHolds(pi);
        if (shortcut)
            for (int m = i + 1; m <= n; ++m)
                rows[m] = Differences(pi, table.Point(m));
        mark(i, +1);
        for (int j = i + 1; j <= n - 1; ++j) {
            if (near[j] > 0) { // i and j are one station: every k is rejected
                for (int k = j + 1; k <= n; ++k)
                    ticker.Tick(++t);
                continue;
            }
            mark(j, +1);
            const CommonPoint &pj = table.Point(j);
            PairPivots pivots;
            const bool pairReduced = shortcut && ReducePair(rows[j], pivots);
            for (int k = j + 1; k <= n; ++k) {
                ticker.Tick(++t);
                if (near[k] > 0 || IsDegenerate(pi, pj, table.Point(k)))
                    continue;
                double misclosure = 0.0;
                const bool solved = pairReduced ? ScoreWithPair(pivots, rows[k], misclosure)
                                    : shortcut  ? ScoreFromDifferences(rows[j], rows[k], misclosure)
                                               : ScoreLiterally(table, i, j, k, system, misclosure);
                if (solved)
                    Consider(misclosure, t, i, j, k, best);
            }
            mark(j, -1);
        }
        mark(i, -1);
    }
    ticker.Finish(count);
    return best;
}

} // namespace kovarim
