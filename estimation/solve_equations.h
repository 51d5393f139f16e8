#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kovarim {

// The nine equations of one triple of common points in the seven unknowns of
// Params. Row m (1 to 9) is equation m, column c (1 to 7) the coefficient of
// parameter c; row 0 and column 0 exist and are never used.
using CoefficientMatrix = std::array<std::array<double, 8>, 10>;
using RightHandSide = std::array<double, 10>;
using RowLabels = std::array<std::string, 10>;

struct EquationSystem {
    std::int16_t EquationCount = 9;
    CoefficientMatrix A{};
    RightHandSide b{};
    RowLabels labels;
};

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
bool SolveEquations(std::int16_t &EquationCount, CoefficientMatrix &A, RightHandSide &b,
                    RowLabels &labels);

} // namespace kovarim
