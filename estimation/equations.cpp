#include "estimation/equations.h"

#include "estimation/common_points.h"

namespace kovarim {

void BuildEquations(const CommonPointTable &table, int i, int j, int k, EquationSystem &system) {
    static const CommonPoint noPoint{};
    const int numbers[3] = {i, j, k};
    system.EquationCount = 9;
    for (int p = 0; p < 3; ++p) {
        const CommonPoint &q = numbers[p] > 0 ? table.Point(numbers[p]) : noPoint;
        const int r = 3 * p + 1;
        system.A[r] = {0, 1, 0, 0, q.x1, 0, -q.z1, q.y1};
        system.A[r + 1] = {0, 0, 1, 0, q.y1, q.z1, 0, -q.x1};
        system.A[r + 2] = {0, 0, 0, 1, q.z1, -q.y1, q.x1, 0};
        system.b[r] = q.x2 - q.x1;
        system.b[r + 1] = q.y2 - q.y1;
        system.b[r + 2] = q.z2 - q.z1;
        system.labels[r] = q.Name + "-1";
        system.labels[r + 1] = q.Name + "-2";
        system.labels[r + 2] = q.Name + "-3";
    }
}

} // namespace kovarim
