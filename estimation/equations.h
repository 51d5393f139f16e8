#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kovarim {

class CommonPointTable;

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

// The nine equations of the triple (i, j, k): rows 1–3 from point i, 4–6 from
// j, 7–9 from k, each the forward formula for one coordinate with the original
// coordinates as input and the new one as observation; labels are the name
// followed by -1, -2, -3. Every entry is written, so nothing of an earlier
// triple's reduced system survives. Point number 0 stands for no point (empty
// name, coordinates 0): that is the system of "no triple chosen".
void BuildEquations(const CommonPointTable &table, int i, int j, int k, EquationSystem &system);

} // namespace kovarim
