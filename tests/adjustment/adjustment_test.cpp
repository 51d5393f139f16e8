#include "adjustment/adjustment.h"

#include "adjustment/seven_parameter_model.h"
#include "adjustment/snooping.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "base/error.h"
#include "testkit.h"

namespace kovarim {
namespace {

constexpr double kArcSecond = 3.14159265358979323846 / 648000.0;

CommonPoint Mapped(const std::string &name, double x, double y, double z, const Params &p,
                   double ex = 0, double ey = 0, double ez = 0) {
    CommonPoint q;
    q.Name = name;
    q.x1 = x, q.y1 = y, q.z1 = z;
    q.x2 = TransformX(p, x, y, z) + ex;
    q.y2 = TransformY(p, x, y, z) + ey;
    q.z2 = TransformZ(p, x, y, z) + ez;
    return q;
}

// The example file's parameters: what the surveyors' networks look like.
const Params kTruth = MakeParams(-112.456, 78.123, 45.678, 3.2e-6, 1.8 * kArcSecond,
                                 -2.4 * kArcSecond, 3.6 * kArcSecond);

// `count` points over some 6 km with normal noise of `sigma` in the new system.
CommonPointTable Noisy(int count, double sigma, unsigned seed, const Params &p = kTruth) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> plan(0, 6000), height(20, 180);
    std::normal_distribution<double> noise(0, sigma);
    CommonPointTable table;
    for (int i = 0; i < count; ++i) {
        const double x = 2858000 + plan(random), y = 589000 + plan(random), z = height(random);
        const double ex = noise(random), ey = noise(random), ez = noise(random);
        table.Add(Mapped("P" + std::to_string(i + 1), x, y, z, p, ex, ey, ez));
    }
    return table;
}

// `table` with an error added to the new coordinates of point `number`.
CommonPointTable WithError(const CommonPointTable &table, int number, double ex, double ey,
                           double ez) {
    CommonPointTable spoiled;
    for (int n = 1; n <= table.PointCount(); ++n) {
        CommonPoint q = table.Point(n);
        if (n == number)
            q.x2 += ex, q.y2 += ey, q.z2 += ez;
        spoiled.Add(q);
    }
    return spoiled;
}

CommonPointTable Without(const CommonPointTable &table, const std::vector<int> &numbers) {
    CommonPointTable rest;
    for (int n = 1; n <= table.PointCount(); ++n)
        if (std::find(numbers.begin(), numbers.end(), n) == numbers.end())
            rest.Add(table.Point(n));
    return rest;
}

Adjustment AdjustTable(const CommonPointTable &table, AdjustmentOptions options = {}) {
    return Adjust(table, options, "gps.txt");
}

std::vector<PointState> States(const Adjustment &a) {
    std::vector<PointState> states;
    for (const AdjustedPoint &p : a.points)
        states.push_back(p.state);
    return states;
}

// Grafarend, E. W. and Awange, J. L. (2003): Nonlinear analysis of the
// three-dimensional datum transformation [conformal group C7(3)]. Journal of
// Geodesy 77: 66–76. Seven stations of the Stuttgart network in a local
// system and in WGS 84; the published solution gives the scale factor
// 1.00000558 and the translations 641.8804, 68.6553 and 416.3982 m (its
// rotations are not compared here). Converted to ours: Scale = factor − 1.
// Tolerance: the translations were printed to 0.1 mm from the rigorous,
// non-linearised model, whose second-order terms (rotations of about 1″ and
// a scale of 5.6 ppm at 6400 km) are some 0.2 mm; so 0.5 mm, and 1e-8 for
// the scale printed to eight decimals.
TEST(Adjust, ReproducesThePublishedStuttgartExample) {
    const double stations[7][6] = {
        {4157222.543, 664789.307, 4774952.099, 4157870.237, 664818.678, 4775416.524},
        {4149043.336, 688836.443, 4778632.188, 4149691.049, 688865.785, 4779096.588},
        {4172803.511, 690340.078, 4758129.701, 4173451.354, 690369.375, 4758594.075},
        {4177148.376, 642997.635, 4760764.800, 4177796.064, 643026.700, 4761228.899},
        {4137012.190, 671808.029, 4791128.215, 4137659.549, 671837.337, 4791592.531},
        {4146292.729, 666952.887, 4783859.856, 4146940.228, 666982.151, 4784324.099},
        {4138759.902, 702670.738, 4785552.196, 4139407.506, 702700.227, 4786016.645},
    };
    CommonPointTable table;
    for (int i = 0; i < 7; ++i) {
        const double *s = stations[i];
        table.Add({std::to_string(i + 1), FieldKind::Text, 0, s[0], s[1], s[2], s[3], s[4], s[5]});
    }
    const Adjustment a = AdjustTable(table);
    EXPECT_NEAR(a.params[DX], 641.8804, 0.0005);
    EXPECT_NEAR(a.params[DY], 68.6553, 0.0005);
    EXPECT_NEAR(a.params[DZ], 416.3982, 0.0005);
    EXPECT_NEAR(a.params[Scale], 1.00000558 - 1, 1e-8);
    EXPECT_EQ(a.used, 7);
    EXPECT_EQ(a.redundancy, 14);
}

// The same data solved the plain way, from the whole unreduced design matrix
// by Householder QR: the same parameters and the same origin-form standard
// deviations, so that neither the reduction to the centroid nor carrying the
// covariance back to the origin has changed anything.
TEST(Adjust, AgreesWithAnUnreducedLeastSquaresSolution) {
    const CommonPointTable table = Noisy(15, 0.003, 7);
    const Adjustment a = AdjustTable(table);
    ASSERT_EQ(a.used, 15);
    Eigen::MatrixXd A(45, 7);
    Eigen::VectorXd l(45);
    for (int n = 1; n <= 15; ++n) {
        const CommonPoint &q = table.Point(n);
        const int r = 3 * (n - 1);
        A.row(r) << 1, 0, 0, q.x1, 0, -q.z1, q.y1;
        A.row(r + 1) << 0, 1, 0, q.y1, q.z1, 0, -q.x1;
        A.row(r + 2) << 0, 0, 1, q.z1, -q.y1, q.x1, 0;
        l.segment<3>(r) << q.x2 - q.x1, q.y2 - q.y1, q.z2 - q.z1;
    }
    const Eigen::HouseholderQR<Eigen::MatrixXd> qr(A);
    const Eigen::VectorXd x = qr.solve(l);
    const double sigma0 = std::sqrt((A * x - l).squaredNorm() / 38);
    const Eigen::MatrixXd R = qr.matrixQR().topRows(7).triangularView<Eigen::Upper>();
    const Eigen::MatrixXd Rinv = R.inverse();
    const Eigen::MatrixXd Q = Rinv * Rinv.transpose();
    EXPECT_NEAR(a.sigma0, sigma0, 1e-6 * sigma0);
    for (int k = 0; k < 7; ++k) {
        const double sigma = sigma0 * std::sqrt(Q(k, k));
        EXPECT_NEAR(a.params[DX + k], x(k), 1e-3 * sigma) << k;
        EXPECT_NEAR(a.sigma[DX + k], sigma, 1e-5 * sigma) << k;
        for (int m = 0; m < 7; ++m)
            EXPECT_NEAR(a.correlation[k][m], Q(k, m) / std::sqrt(Q(k, k) * Q(m, m)), 1e-6);
    }
    double total = 0.0;
    for (const AdjustedPoint &p : a.points)
        total += p.redundancy[0] + p.redundancy[1] + p.redundancy[2];
    EXPECT_NEAR(total, a.redundancy, 1e-9);
}

// Data that fit exactly in doubles: integer coordinates and parameters that
// are multiples of 2^-20, so that every new coordinate is exact. σ0 is then
// rounding only and every parameter comes back to its last few bits: the
// translations at the origin, 3000 km away, to 1e-11 m.
TEST(Adjust, RecoversExactDataToTheLastBits) {
    const Params p =
        MakeParams(-112.5, 78.25, 45.75, 3 * 0x1p-20, 5 * 0x1p-20, -7 * 0x1p-20, 9 * 0x1p-20);
    std::mt19937_64 random(3);
    std::uniform_int_distribution<int> plan(0, 6000), height(20, 180);
    CommonPointTable table;
    for (int i = 0; i < 12; ++i)
        table.Add(Mapped("E" + std::to_string(i), 2858000 + plan(random), 589000 + plan(random),
                         height(random), p));
    const Adjustment a = AdjustTable(table);
    EXPECT_EQ(a.used, 12);
    EXPECT_LT(a.sigma0, 1e-12);
    for (int n = DX; n <= DZ; ++n)
        EXPECT_NEAR(a.params[n], p[n], 1e-11) << n;
    // Scale and rotations: what is left moves no coordinate of the 6 km
    // network by 1e-13 m, a few units in the last place of x2 − x1.
    for (int n = Scale; n <= RotZ; ++n)
        EXPECT_NEAR(a.params[n], p[n], 1e-13 / 6000) << n;
    for (const AdjustedPoint &q : a.points)
        for (double v : q.residual)
            EXPECT_LT(std::fabs(v), 1e-9);
}

// Noise of known size: over many seeds σ0² averages σ², each σ0 lies within
// the spread of √(χ²(29)/29), and about 95 % of the parameters lie within
// 2σ of the truth (which holds the standard deviations to account).
TEST(Adjust, EstimatesTheNoiseAndItsOwnPrecision) {
    const double sigma = 0.003;
    const int seeds = 200;
    double sumRatio = 0.0;
    int within2Sigma = 0, parameters = 0;
    for (int seed = 1; seed <= seeds; ++seed) {
        const Adjustment a = AdjustTable(Noisy(12, sigma, seed));
        const double ratio = a.sigma0 / sigma;
        EXPECT_GT(ratio, 0.5) << seed;
        EXPECT_LT(ratio, 1.6) << seed;
        sumRatio += ratio * ratio;
        for (int n = DX; n <= RotZ; ++n, ++parameters)
            within2Sigma += std::fabs(a.params[n] - kTruth[n]) <= 2 * a.sigma[n];
    }
    EXPECT_NEAR(sumRatio / seeds, 1.0, 0.1);
    EXPECT_GT(within2Sigma, parameters * 88 / 100);
    EXPECT_LT(within2Sigma, parameters * 99 / 100);
}

// Gross errors among 12 noisy points. Found, they leave exactly the fit of
// the remaining points (formed afresh, bit for bit).
TEST(Adjust, FindsBlundersAndThenEqualsTheFitWithoutThem) {
    const struct {
        const char *name;
        std::vector<std::pair<int, std::array<double, 3>>> blunders; // point, error
    } cases[] = {
        {"one of 35 cm in X", {{7, {0.35, 0, 0}}}},
        {"one of 5 cm in height", {{2, {0, 0, -0.05}}}},
        {"two", {{3, {0.2, -0.1, 0}}, {10, {0, 0.08, 0.08}}}},
        {"two on neighbouring points", {{5, {0.5, 0, 0}}, {6, {-0.5, 0, 0}}}},
    };
    for (const auto &c : cases) {
        CommonPointTable spoiled = Noisy(12, 0.003, 42);
        std::vector<int> numbers;
        for (const auto &[at, e] : c.blunders) {
            spoiled = WithError(spoiled, at, e[0], e[1], e[2]);
            numbers.push_back(at);
        }
        const Adjustment a = AdjustTable(spoiled);
        std::vector<PointState> expected(12, PointState::Used);
        for (int n : numbers)
            expected[n - 1] = PointState::Blunder;
        EXPECT_EQ(States(a), expected) << c.name;
        EXPECT_EQ(a.blunders, static_cast<int>(numbers.size())) << c.name;
        const Adjustment clean = AdjustTable(Without(spoiled, numbers));
        EXPECT_EQ(a.params, clean.params) << c.name;
        EXPECT_EQ(a.sigma0, clean.sigma0) << c.name;
        for (int n : numbers) {
            ASSERT_TRUE(a.points[n - 1].test) << c.name;
            EXPECT_GT(*a.points[n - 1].test, a.criticalOthers) << c.name;
        }
    }
}

// Check points take no part: the fit is that of the other points, their
// residuals are under its parameters, and their RMS is reported apart.
TEST(Adjust, HoldsCheckPointsOut) {
    CommonPointTable table = Noisy(12, 0.003, 9);
    table.ConvertNames([](const std::string &name) {
        return name == "P4" ? std::string("\xB1\xB1\xCB\xFE") : name; // 北塔, in GBK
    });
    AdjustmentOptions options;
    options.checkNames = {"北塔", "P9"};
    const Adjustment a = AdjustTable(table, options);
    EXPECT_EQ(a.checks, 2);
    EXPECT_EQ(a.points[3].state, PointState::Check);
    EXPECT_EQ(a.points[8].state, PointState::Check);
    const Adjustment rest = AdjustTable(Without(table, {4, 9}));
    EXPECT_EQ(a.params, rest.params);
    double sum = 0.0;
    for (int n : {4, 9}) {
        const CommonPoint &q = table.Point(n);
        const std::array<double, 3> v = a.points[n - 1].residual;
        EXPECT_EQ(v[0], TransformX(a.params, q.x1, q.y1, q.z1) - q.x2);
        EXPECT_EQ(v[2], TransformZ(a.params, q.x1, q.y1, q.z1) - q.z2);
        sum += v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
        EXPECT_EQ(a.points[n - 1].redundancy, (std::array<double, 3>{}));
    }
    EXPECT_NEAR(a.checkRms3d, std::sqrt(sum / 2), 1e-15);
    EXPECT_GT(a.checkRms3d, 0.0);
}

// However the search begins, it ends where every point taking part passes
// and every point outside fails: good points left out at the beginning,
// half of them, come back; a blunder left in leaves.
TEST(Snoop, BringsBackEveryPointThatPassesWhereverItBegins) {
    const CommonPointTable table = WithError(Noisy(12, 0.003, 5), 3, 0.1, 0, 0);
    const SevenParameterModel model(table);
    const std::vector<bool> all(12, true);
    std::vector<bool> begin(12, false);
    for (int i = 0; i < 12; i += 2)
        begin[i] = true; // P3, the blunder, among them
    const auto snooped = lsq::Snoop(model, all, begin, kDefaultAlpha);
    std::vector<bool> expected(12, true);
    expected[2] = false;
    EXPECT_EQ(snooped.inFit, expected);
    EXPECT_TRUE(snooped.settled);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(snooped.points[i].passed, i != 2) << i;
}

// A flat network: heights span 160 m over 6 km. The start sets aside the
// gross error and hardly any good point, and it starts from a triangle of
// good shape.
TEST(AdjustTable, SetsAsideAtTheStartWhatIsFarOffAndHardlyAnythingElse) {
    const CommonPointTable table = WithError(Noisy(60, 0.003, 21), 30, 0.25, 0, 0);
    const Adjustment a = AdjustTable(table, std::vector<bool>(60), kDefaultAlpha);
    ASSERT_TRUE(a.robustStart);
    EXPECT_TRUE(a.points[29].setAsideAtStart);
    EXPECT_LE(a.setAsideAtStart, 3);
    EXPECT_GE(a.startAngle, 20.0);
    EXPECT_EQ(a.startAngleLimit, 20.0);
    EXPECT_NEAR(a.robustScale, 0.003, 0.0015);
    EXPECT_EQ(a.points[29].state, PointState::Blunder);
    EXPECT_EQ(a.blunders, 1);
}

TEST(AdjustTable, NeverGoesBelowFourPointsNorTestsWhatHoldsTheGeometry) {
    // Four points, one 30 cm off: nothing can leave, so it stays, failing,
    // and says so.
    const Adjustment a = AdjustTable(
        WithError(Without(Noisy(12, 0.002, 11), {5, 6, 7, 8, 9, 10, 11, 12}), 2, 0.3, 0, 0));
    EXPECT_EQ(a.used, 4);
    EXPECT_EQ(a.redundancy, 5);
    EXPECT_FALSE(a.robustStart);
    ASSERT_TRUE(a.points[1].test);
    EXPECT_GT(*a.points[1].test, a.points[1].critical);
    EXPECT_FALSE(a.points[1].passed);
    EXPECT_EQ(a.points[1].state, PointState::Used);
    EXPECT_EQ(a.failedButKept, 1);

    // Four points on one line and one off it: without that one the geometry
    // is singular, so it has no test and is never removed, whatever its error.
    CommonPointTable line;
    for (int i = 0; i < 4; ++i)
        line.Add(Mapped("L" + std::to_string(i), 2858000 + 1000 * i, 589000 + 500 * i, 100 + 10 * i,
                        kTruth, 0.001 * (i % 2), -0.001 * (i % 3), 0.0));
    line.Add(Mapped("OFF", 2859000, 592000, 50, kTruth, 0.5, 0, 0));
    const Adjustment b = AdjustTable(line);
    EXPECT_FALSE(b.points[4].test.has_value());
    EXPECT_EQ(b.points[4].state, PointState::Used);
    EXPECT_TRUE(b.points[4].passed);
}

// Points all on one line in plan but at different heights span a vertical
// plane: no triple passes the search's test, yet the seven parameters are
// determined, so the adjustment starts without one.
TEST(Adjust, StartsWithoutATripleWhenTheSearchHasNone) {
    CommonPointTable plane;
    for (int i = 0; i < 6; ++i)
        plane.Add(Mapped("V" + std::to_string(i), 2858000 + 100 * i, 589000 + 200 * i,
                         20 + 37 * (i * i % 5), kTruth));
    const Adjustment a = AdjustTable(plane);
    EXPECT_FALSE(a.tripleParams.has_value());
    EXPECT_EQ(a.used, 6);
    EXPECT_LT(a.sigma0, 1e-6);
}

TEST(Adjust, RefusesWhatCannotBeAdjustedNamingTheFile) {
    CommonPointTable collinear;
    for (int i = 0; i < 6; ++i)
        collinear.Add(Mapped("C" + std::to_string(i), 1000.0 * i, 2000.0 * i, 300.0 * i, kTruth));
    // One point a nanometre off the line: the rotation about the line would
    // rest on that nanometre alone.
    CommonPointTable nearlyCollinear;
    for (int i = 0; i < 6; ++i)
        nearlyCollinear.Add(
            Mapped("N" + std::to_string(i), 100.0 * i, 0.0, i == 3 ? 1e-9 : 0.0, kTruth));
    CommonPointTable huge;
    for (int i = 0; i < 6; ++i)
        huge.Add(
            Mapped("H" + std::to_string(i), 1e200 * (i % 3), 1e200 * (i % 2), 1e199 * i, Params{}));
    const struct {
        const char *name;
        CommonPointTable table;
        std::vector<std::string> checks;
        double alpha;
        const char *says;
    } cases[] = {
        {"three points",
         Without(Noisy(12, 0.003, 1), {4, 5, 6, 7, 8, 9, 10, 11, 12}),
         {},
         0.001,
         "不足 4 个"},
        {"five points, two held out",
         Without(Noisy(12, 0.003, 1), {6, 7, 8, 9, 10, 11, 12}),
         {"P1", "P2"},
         0.001,
         "不足 4 个"},
        {"all on one line", collinear, {}, 0.001, "奇异"},
        {"all but a nanometre on one line", nearlyCollinear, {}, 0.001, "奇异"},
        {"coordinates too large", huge, {}, 0.001, "溢出"},
        {"an unknown check point", Noisy(12, 0.003, 1), {"P99"}, 0.001, "“P99” 不在文件中"},
        {"alpha too large", Noisy(12, 0.003, 1), {}, 0.051, "显著水平"},
        {"alpha too small", Noisy(12, 0.003, 1), {}, 1e-11, "显著水平"},
        {"alpha not a number", Noisy(12, 0.003, 1), {}, std::nan(""), "显著水平"},
    };
    for (const auto &c : cases) {
        AdjustmentOptions options;
        options.checkNames = c.checks;
        options.alpha = c.alpha;
        const Error e = testkit::ErrorThrownBy([&] { Adjust(c.table, options, "gps.txt"); });
        EXPECT_EQ(e.file(), "gps.txt") << c.name;
        EXPECT_NE(e.problem().find(c.says), std::string::npos) << c.name << ": " << e.what();
    }
}

} // namespace
} // namespace kovarim
