#pragma once

#include <cstdint>

#include "estimation/equations.h"

namespace kovarim {

// Reduces n = EquationCount equations (7 to 9) in seven unknowns in place by
// Gauss–Jordan elimination.
//
// Pivots are taken in order down the diagonal. A pivot that is exactly 0.0 is
// replaced by exchanging its row with the first row below whose entry in that
// column is not exactly 0.0 (not the largest one: the choice of row is part of
// the result), carrying the right-hand side and the label along. There is no
// tolerance anywhere: the comparisons are exact on purpose.
//
// On success (true): b(1..7) is the solution, A rows 1–7 the identity, rows 8
// to n zero, b(8..n) the misclosure of each left-over equation (its right-hand
// side minus its left-hand side at the solution), and the labels permuted as
// the rows were. On false a column had no non-zero entry from the diagonal
// down; the arrays then hold a partly reduced state that must not be used.
bool SolveEquations(const std::int16_t &EquationCount, CoefficientMatrix &A, RightHandSide &b,
                    RowLabels &labels);

// The same for a whole system.
inline bool SolveEquations(EquationSystem &system) {
    return SolveEquations(system.EquationCount, system.A, system.b, system.labels);
}

} // namespace kovarim
