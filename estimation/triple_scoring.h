#pragma once

// The scalar pieces of the triple search: one triple's misclosure computed
// the literal way, or from what the elimination of the rows of point i and of
// the pair (i, j) leaves, bit for bit the same.

#include "estimation/common_points.h"
#include "estimation/equations.h"
#include "estimation/score_kernels.h"

namespace kovarim {

using kernels::PairPivots;

// Builds, solves and scores one triple the literal way; false when its solve
// fails.
bool ScoreLiterally(const CommonPointTable &table, int i, int j, int k, EquationSystem &system,
                    double &misclosure);

// Rows 4 to 9 of a triple's system after the first three pivot steps, reduced
// to columns 4–7 and the right-hand side. Rows 1–3 belong to point i, have
// unit pivots and never exchange, so rows 4–6 (point j) and 7–9 (point k)
// have then become plain differences against point i: these are the rows of
// one such point, computed exactly as the elimination computes them.
struct DifferenceRows {
    double row[3][5];
};

DifferenceRows Differences(const CommonPoint &pi, const CommonPoint &pm);

// The literal elimination multiplies point i's rows by exact zeros. That is a
// no-op only while those rows are finite; otherwise 0·inf turns into NaN, and
// the shortcut would differ.
bool ShortcutHolds(const CommonPoint &p);

// Pivot steps 4 to 7 and the left-over steps 8 and 9 on the whole 6 × 4
// block of a triple.
bool ScoreFromDifferences(const DifferenceRows &j, const DifferenceRows &k, double &misclosure);

// Pivot steps 4 to 6 involve rows 7–9 (point k) only as rows to eliminate,
// as long as each pivot, or the row exchanged for it, comes from rows 4–6.
// Then the three pivot rows depend on the pair (i, j) alone and are reduced
// once for all k. False when some step would need a row of point k.
bool ReducePair(const DifferenceRows &j, PairPivots &pivots);

// The rest of the elimination for one k: rows 7–9 through the pair's three
// pivots, then pivot step 7 and the left-over steps. Entries that the
// elimination sets to zero and never reads again are not computed.
bool ScoreWithPair(const PairPivots &pivots, const DifferenceRows &k, double &misclosure);

} // namespace kovarim
