#include "estimation/solve_equations.h"

#include <cmath>

#include <gtest/gtest.h>

#include "estimation/common_points.h"
#include "model/seven_parameters.h"

namespace kovarim {
namespace {

// A full-rank system with a known solution x: rows 1–7 exact, rows 8 and 9
// off by 0.5 and −0.25, so their misclosures are known too.
EquationSystem KnownSystem() {
    const double coefficients[9][7] = {
        {3, 1, 0, 2, 0, 1, 1}, {1, 4, 1, 0, 2, 0, 1}, {0, 1, 5, 1, 0, 2, 0},
        {2, 0, 1, 6, 1, 0, 1}, {0, 2, 0, 1, 7, 1, 0}, {1, 0, 2, 0, 1, 8, 1},
        {1, 1, 0, 1, 0, 1, 9}, {1, 2, 3, 4, 5, 6, 7}, {7, 6, 5, 4, 3, 2, 1},
    };
    const double x[8] = {0, 1, -2, 3, 0.5, -1, 2, 0.25};
    EquationSystem s;
    for (int m = 1; m <= 9; ++m) {
        double lhs = 0;
        for (int c = 1; c <= 7; ++c) {
            s.A[m][c] = coefficients[m - 1][c - 1];
            lhs += s.A[m][c] * x[c];
        }
        s.b[m] = lhs + (m == 8 ? 0.5 : m == 9 ? -0.25 : 0.0);
        s.labels[m] = "L" + std::to_string(m);
    }
    return s;
}

bool Solve(EquationSystem &s) { return SolveEquations(s); }

TEST(SolveEquations, LeavesSolutionIdentityAndMisclosures) {
    EquationSystem s = KnownSystem();
    ASSERT_TRUE(Solve(s));
    const double x[8] = {0, 1, -2, 3, 0.5, -1, 2, 0.25};
    for (int m = 1; m <= 7; ++m) {
        EXPECT_NEAR(s.b[m], x[m], 1e-12) << m;
        EXPECT_EQ(s.labels[m], "L" + std::to_string(m)) << "no exchange was needed";
        for (int c = 1; c <= 7; ++c)
            EXPECT_EQ(s.A[m][c], m == c ? 1.0 : 0.0) << m << "," << c;
    }
    for (int m = 8; m <= 9; ++m)
        for (int c = 1; c <= 7; ++c)
            EXPECT_EQ(s.A[m][c], 0.0) << m << "," << c;
    EXPECT_NEAR(s.b[8], 0.5, 1e-12);
    EXPECT_NEAR(s.b[9], -0.25, 1e-12);
    EXPECT_EQ(s.EquationCount, 9);
}

TEST(SolveEquations, ExchangesWithTheFirstNonZeroRowNotTheLargest) {
    EquationSystem s = KnownSystem();
    s.A[1][1] = 0.0; // zero pivot
    s.A[2][1] = 0.0; // skipped: zero
    s.A[3][1] = 2.0; // the first non-zero: taken
    s.A[4][1] = 50.0;
    const double rhs3 = s.b[3];
    EquationSystem copy = s;
    ASSERT_TRUE(Solve(s));
    EXPECT_EQ(s.labels[1], "L3");
    EXPECT_EQ(s.labels[3], "L1");
    EXPECT_EQ(s.labels[4], "L4");
    // The exchanged rows' right-hand sides went along: solving the system with
    // rows 1 and 3 exchanged beforehand gives the very same bits.
    std::swap(copy.A[1], copy.A[3]);
    std::swap(copy.b[1], copy.b[3]);
    std::swap(copy.labels[1], copy.labels[3]);
    EXPECT_EQ(copy.b[1], rhs3);
    ASSERT_TRUE(Solve(copy));
    for (int m = 1; m <= 9; ++m)
        EXPECT_EQ(s.b[m], copy.b[m]) << m;
}

TEST(SolveEquations, AcceptsATinyPivotAndDividesByIt) {
    EquationSystem s = KnownSystem();
    s.A[1] = {0, 1e-300, 0, 0, 0, 0, 0, 0};
    s.b[1] = 1e-300;
    ASSERT_TRUE(Solve(s));
    EXPECT_EQ(s.labels[1], "L1");
    EXPECT_EQ(s.b[1], 1.0);
}

TEST(SolveEquations, FailsWhenAColumnHasNoPivotAndExchangesNothing) {
    EquationSystem s = KnownSystem();
    for (int m = 1; m <= 9; ++m)
        s.A[m][4] = 0.0;
    EXPECT_FALSE(Solve(s));
    for (int m = 1; m <= 9; ++m)
        EXPECT_EQ(s.labels[m], "L" + std::to_string(m));
}

TEST(SolveEquations, ReproducesTheParametersOfExactlyFittingPoints) {
    const Params truth = MakeParams(12.3, -45.6, 7.8, 4e-6, 1.5e-6, -2.5e-6, 3e-6);
    CommonPointTable table;
    const double plan[3][3] = {
        {2860100.0, 592200.0, 10.0}, {2863400.0, 592900.0, 55.0}, {2861800.0, 595100.0, 140.0}};
    for (const auto &q : plan) {
        CommonPoint p;
        p.x1 = q[0], p.y1 = q[1], p.z1 = q[2];
        const Point3 out = TransformPoint(truth, q[0], q[1], q[2]);
        p.x2 = out.X, p.y2 = out.Y, p.z2 = out.Z;
        table.Add(p);
    }
    EquationSystem s;
    BuildEquations(table, 1, 2, 3, s);
    ASSERT_TRUE(Solve(s));
    for (int m = 1; m <= 3; ++m)
        EXPECT_NEAR(s.b[m], truth[m], 1e-3) << m;
    for (int m = 4; m <= 7; ++m)
        EXPECT_NEAR(s.b[m], truth[m], 1e-9) << m;
    EXPECT_NEAR(s.b[8], 0.0, 1e-6);
    EXPECT_NEAR(s.b[9], 0.0, 1e-6);
}

} // namespace
} // namespace kovarim
