#include "estimation/solve_equations.h"

#include <utility>

namespace kovarim {

bool SolveEquations(const std::int16_t &EquationCount, CoefficientMatrix &A, RightHandSide &b,
                    RowLabels &labels) {
    const int n = EquationCount;
    if (n < 7 || n > 9)
        return false;

    for (int k = 1; k <= n; ++k) {
        if (k > 7) {
            // A left-over equation: after a complete forward pass A(k,7) is
            // already exactly 0 and this changes nothing.
            if (A[k][7] != 0.0) {
                b[k] = b[k] / A[k][7];
                A[k][7] = 1.0;
            }
            continue;
        }
        if (A[k][k] == 0.0) {
            for (int i = k + 1; i <= n; ++i) {
                if (A[i][k] != 0.0) {
                    for (int j = 1; j <= 7; ++j)
                        std::swap(A[k][j], A[i][j]);
                    std::swap(b[k], b[i]);
                    std::swap(labels[k], labels[i]);
                    break;
                }
            }
        }
        const double p = A[k][k];
        if (p == 0.0)
            return false;
        for (int j = k; j <= 7; ++j)
            A[k][j] = A[k][j] / p;
        b[k] = b[k] / p;
        // Only below the pivot: the rows above are cleared by the back
        // substitution, which leaves the left-over rows alone.
        for (int i = k + 1; i <= n; ++i) {
            const double t = A[i][k];
            for (int j = k; j <= 7; ++j)
                A[i][j] = A[i][j] - t * A[k][j];
            b[i] = b[i] - t * b[k];
        }
    }

    for (int i = 7; i >= 2; --i) {
        for (int j = i - 1; j >= 1; --j) {
            const double t = A[j][i];
            A[j][i] = A[j][i] - t;
            b[j] = b[j] - t * b[i];
        }
    }
    return true;
}

} // namespace kovarim
