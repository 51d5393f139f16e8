#include "estimation/triple_scoring.h"

#include <cmath>
#include <utility>

#include "estimation/solve_equations.h"

namespace kovarim {
namespace {

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

} // namespace

bool ScoreLiterally(const CommonPointTable &table, int i, int j, int k, EquationSystem &system,
                    double &misclosure) {
    BuildEquations(table, i, j, k, system);
    if (!SolveEquations(system))
        return false;
    misclosure = std::fabs(system.b[8]) + std::fabs(system.b[9]);
    return true;
}

DifferenceRows Differences(const CommonPoint &pi, const CommonPoint &pm) {
    const double dX = pm.x1 - pi.x1, dY = pm.y1 - pi.y1, dZ = pm.z1 - pi.z1;
    // (−a) − (−b) rounds to exactly −(a − b); the sign of a zero never
    // reaches a non-zero result, since nothing is divided by a zero.
    const double bx = (pm.x2 - pm.x1) - (pi.x2 - pi.x1);
    const double by = (pm.y2 - pm.y1) - (pi.y2 - pi.y1);
    const double bz = (pm.z2 - pm.z1) - (pi.z2 - pi.z1);
    return {{{dX, 0.0, -dZ, dY, bx}, {dY, dZ, 0.0, -dX, by}, {dZ, -dY, dX, 0.0, bz}}};
}

bool ShortcutHolds(const CommonPoint &p) {
    return std::isfinite(p.x1) && std::isfinite(p.y1) && std::isfinite(p.z1) &&
           std::isfinite(p.x2 - p.x1) && std::isfinite(p.y2 - p.y1) && std::isfinite(p.z2 - p.z1);
}

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

bool ReducePair(const DifferenceRows &j, PairPivots &pivots) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c)
            pivots.row[r][c] = j.row[r][c];
    return PivotSteps(pivots.row, 3);
}

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

} // namespace kovarim
