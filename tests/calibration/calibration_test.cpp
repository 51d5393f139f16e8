#include "calibration/calibration.h"

#include "adjustment/snooping.h"
#include "calibration/plane_model.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adjustment/f_distribution.h"
#include "base/error.h"
#include "testkit.h"

namespace kovarim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kArcSecond = kPi / 648000.0;

CommonPoint At(const std::string &name, double x, double y, double H, double X, double Y,
               double h) {
    return {name, FieldKind::Text, 0, x, y, H, X, Y, h};
}

// The same surface about another origin, (du, dv) kilometres from the old one.
std::array<double, 6> Shifted(const std::array<double, 6> &c, double du, double dv) {
    return {c[0] + c[1] * du + c[2] * dv + c[3] * du * du + c[4] * du * dv + c[5] * dv * dv,
            c[1] + 2 * c[3] * du + c[4] * dv,
            c[2] + c[4] * du + 2 * c[5] * dv,
            c[3],
            c[4],
            c[5]};
}

// A site of some 6 km on a zone-prefixed Gauss-Kruger grid (y carries 39e6)
// mapped to a local grid near (50 000, 20 000) by `plane`, its heights by a
// surface about `origin`, with normal noise on the local side.
struct Truth {
    PlaneParams plane;
    HeightSurface height;
};

PlaneParams LocalGrid(double scale, double rotation) {
    // X = X0 + M·(x − x0) with x0 on the grid and X0 on the local plane.
    const double x0 = 3381000, y0 = 39512000, X0 = 50000, Y0 = 20000;
    const double a = (1 + scale) * std::cos(rotation), b = (1 + scale) * std::sin(rotation);
    return {X0 - (a * x0 - b * y0), Y0 - (b * x0 + a * y0), scale, rotation};
}

Truth MakeTruth(HeightModel model, bool fixedScale) {
    Truth t;
    t.plane =
        fixedScale ? LocalGrid(0.0, 912.4 * kArcSecond) : LocalGrid(35.2e-6, 912.4 * kArcSecond);
    t.height.model = model;
    t.height.originX = 53000, t.height.originY = 23000;
    const std::array<double, 6> all = {-12.345, 0.0452, -0.0281, 0.0041, -0.0023, 0.0032};
    for (int k = 0; k < CoefficientCount(model); ++k)
        t.height.c[k] = all[k];
    return t;
}

CommonPointTable MakeSite(const Truth &t, int count, double sigmaPlan, double sigmaHeight,
                          unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> plan(0, 6000), heights(30, 200);
    std::normal_distribution<double> noisePlan(0, sigmaPlan), noiseHeight(0, sigmaHeight);
    CommonPointTable table;
    for (int i = 0; i < count; ++i) {
        const double x = 3381000 + plan(random), y = 39512000 + plan(random), H = heights(random);
        const Point3 local = CalibrateForward({t.plane, t.height}, x, y, H);
        const double eX = noisePlan(random), eY = noisePlan(random), eh = noiseHeight(random);
        table.Add(
            At("P" + std::to_string(i + 1), x, y, H, local.X + eX, local.Y + eY, local.Z + eh));
    }
    return table;
}

CommonPointTable WithError(const CommonPointTable &table, int number, double eX, double eY,
                           double eh) {
    CommonPointTable spoiled;
    for (int n = 1; n <= table.PointCount(); ++n) {
        CommonPoint q = table.Point(n);
        if (n == number)
            q.x2 += eX, q.y2 += eY, q.z2 += eh;
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

SiteCalibration CalibrateSite(const CommonPointTable &table, CalibrationOptions options = {}) {
    return Calibrate(table, options, "site.txt");
}

CalibrationOptions With(HeightModel model, bool fixedScale = false) {
    CalibrationOptions options;
    options.height = model;
    options.fixedScale = fixedScale;
    return options;
}

// EPSG's similarity transformation (method 9621), its example ED50 / UTM 31N
// to ETRS89 / UTM 31N (transformation 5166, ICGC, Catalonia): XT0 −129.549 m,
// YT0 −208.185 m, M 1.0000015504, θ 1.56504″. The first point is the example
// of EPSG Guidance Note 7-2; the four are the test points of the ICGC's
// document H2D on the two-dimensional similarity from ED50 to ETRS89, the
// published parameters applied and rounded to the millimetre.
// EPSG writes E (its X) first and turns the axes counter-clockwise by θ:
//   E_T = XT0 + M·cos θ·E_S + M·sin θ·N_S,  N_T = YT0 − M·sin θ·E_S + M·cos θ·N_S.
// With x = N and y = E that is ours with dx = YT0, dy = XT0, a = M·cos θ,
// b = M·sin θ: α = θ, scale = M − 1.
struct EpsgPoint {
    double E, N, ET, NT;
};
const EpsgPoint kIcgc[] = {
    {300000.000, 4500000.000, 299905.060, 4499796.515},
    {315000.000, 4740000.000, 314906.904, 4739796.774},
    {520000.000, 4680000.000, 519906.767, 4679795.125},
    {420000.000, 4600000.000, 419906.005, 4599795.760},
};
const PlaneParams kIcgcPublished = {-208.185, -129.549, 1.0000015504 - 1, 1.56504 * kArcSecond};

TEST(Calibrate, ReproducesEpsgSimilarityExample) {
    CommonPointTable table;
    for (const EpsgPoint &p : kIcgc)
        table.Add(At("ICGC", p.N, p.E, 0, p.NT, p.ET, 0));
    const SiteCalibration c = CalibrateSite(table, With(HeightModel::None));
    const PlaneCalibration &plane = c.plane;
    EXPECT_EQ(plane.fit.used, 4);
    EXPECT_EQ(plane.fit.redundancy, 4);
    // The least-squares solution of the four points in exact rational
    // arithmetic (the closed form over centroid-reduced coordinates,
    // computed once with Python's fractions), to a few nanometres at the
    // points.
    EXPECT_NEAR(plane.params.dx, -208.19399745771, 1e-7);
    EXPECT_NEAR(plane.params.dy, -129.548777158502, 1e-7);
    EXPECT_NEAR(ToPpm(plane.params.scale), 1.5523119556437592, 1e-7);
    EXPECT_NEAR(ToArcSeconds(plane.params.rotation), 1.5649962408029472, 1e-7);
    // The published parameters, within 3σ: the points were rounded to the
    // millimetre over 240 km, which leaves σ0 at 0.22 mm and dx, dy at the
    // origin, 4500 km away, at σ = 4 mm (dx comes out 9 mm from the
    // published value, the scale 0.0019 ppm, both 2.2σ; dy and θ agree to
    // 0.2 mm and 0.00004″).
    ASSERT_TRUE(plane.fit.sigma0.has_value());
    EXPECT_LT(*plane.fit.sigma0, 0.001);
    EXPECT_NEAR(plane.params.dx, kIcgcPublished.dx, 3 * plane.sigma.dx + 0.0005);
    EXPECT_NEAR(plane.params.dy, kIcgcPublished.dy, 3 * plane.sigma.dy + 0.0005);
    EXPECT_NEAR(ToPpm(plane.params.scale), 1.5504, 3 * ToPpm(plane.sigma.scale) + 0.00005);
    EXPECT_NEAR(ToArcSeconds(plane.params.rotation), 1.56504,
                3 * ToArcSeconds(plane.sigma.rotation) + 0.000005);
    EXPECT_LT(plane.sigma.dx, 0.05);
    EXPECT_LT(ToArcSeconds(plane.sigma.rotation), 0.002);
    // Each point back to within its rounding.
    for (const CalibratedPoint &p : c.points) {
        EXPECT_LT(std::fabs(p.residual[0]), 0.001);
        EXPECT_LT(std::fabs(p.residual[1]), 0.001);
    }
    // The published parameters map the source points onto the published
    // targets (to their rounding): the axis order and sign convention hold.
    for (const EpsgPoint &p : kIcgc) {
        const Point3 t = CalibrateForward({kIcgcPublished, {}}, p.N, p.E, 0);
        EXPECT_NEAR(t.X, p.NT, 0.0005);
        EXPECT_NEAR(t.Y, p.ET, 0.0005);
    }
}

// Known truth with noise of known size: over many seeds σ0² averages the
// noise's variance, the parameters lie within 2σ of the truth as often as
// Student's t with the fit's redundancy says (94 % for r = 20, 91 % for
// r = 6), and the check points miss by about the noise.
TEST(Calibrate, FitsAKnownTruthBackWithinItsPrecision) {
    const double sigmaPlan = 0.005, sigmaHeight = 0.01;
    const int seeds = 60, count = 15;
    const struct {
        const char *name;
        HeightModel model;
        bool fixedScale;
    } cases[] = {
        {"constant", HeightModel::Constant, false},
        {"plane", HeightModel::Plane, false},
        {"quadratic", HeightModel::Quadratic, false},
        {"quadratic, scale held", HeightModel::Quadratic, true},
        {"plane, scale held", HeightModel::Plane, true},
    };
    for (const auto &c : cases) {
        const Truth truth = MakeTruth(c.model, c.fixedScale);
        CalibrationOptions options = With(c.model, c.fixedScale);
        options.checkNames = {"P13", "P14", "P15"};
        double planeRatio = 0.0, heightRatio = 0.0, checkPlan = 0.0, checkHeight = 0.0;
        int within = 0, estimates = 0;
        double expected = 0.0; // P(|t| ≤ 2) = 1 − P(F(1, r) > 4), summed
        for (unsigned seed = 1; seed <= seeds; ++seed) {
            const CommonPointTable table = MakeSite(truth, count, sigmaPlan, sigmaHeight, seed);
            const SiteCalibration s = CalibrateSite(table, options);
            ASSERT_EQ(s.checks, 3) << c.name;
            ASSERT_EQ(s.height.surface.model, c.model) << c.name;
            ASSERT_TRUE(s.plane.fit.sigma0 && s.height.fit.sigma0) << c.name;
            planeRatio += std::pow(*s.plane.fit.sigma0 / sigmaPlan, 2);
            heightRatio += std::pow(*s.height.fit.sigma0 / sigmaHeight, 2);
            const PlaneParams &p = s.plane.params, &sp = s.plane.sigma, &t = truth.plane;
            const double errors[] = {p.dx - t.dx, p.dy - t.dy, p.scale - t.scale,
                                     p.rotation - t.rotation};
            const double sigmas[] = {sp.dx, sp.dy, sp.scale, sp.rotation};
            for (int k = 0; k < 4; ++k) {
                if (k == 2 && c.fixedScale) {
                    EXPECT_EQ(p.scale, 0.0) << c.name;
                    continue;
                }
                within += std::fabs(errors[k]) <= 2 * sigmas[k];
                expected += 1 - FUpperTail(4, 1, s.plane.fit.redundancy);
                ++estimates;
            }
            const HeightSurface &fitted = s.height.surface;
            const std::array<double, 6> truthAt =
                Shifted(truth.height.c, (fitted.originX - truth.height.originX) / 1000,
                        (fitted.originY - truth.height.originY) / 1000);
            for (int k = 0; k < CoefficientCount(c.model); ++k, ++estimates) {
                within += std::fabs(fitted.c[k] - truthAt[k]) <= 2 * s.height.sigma[k];
                expected += 1 - FUpperTail(4, 1, s.height.fit.redundancy);
            }
            checkPlan +=
                std::pow(s.checkRms[0] / sigmaPlan, 2) + std::pow(s.checkRms[1] / sigmaPlan, 2);
            checkHeight += std::pow(s.checkRms[2] / sigmaHeight, 2);
            for (int n = 13; n <= 15; ++n) {
                EXPECT_EQ(s.points[n - 1].State(), PointState::Check);
                EXPECT_LT(std::hypot(s.points[n - 1].residual[0], s.points[n - 1].residual[1]),
                          5 * sigmaPlan)
                    << c.name << " seed " << seed;
                EXPECT_LT(std::fabs(s.points[n - 1].residual[2]), 5 * sigmaHeight)
                    << c.name << " seed " << seed;
            }
        }
        EXPECT_NEAR(planeRatio / seeds, 1.0, 0.15) << c.name;
        EXPECT_NEAR(heightRatio / seeds, 1.0, 0.2) << c.name;
        // A check point's residual adds the fit's own error to the noise.
        EXPECT_GT(checkPlan / (2 * seeds), 0.8) << c.name;
        EXPECT_LT(checkPlan / (2 * seeds), 1.8) << c.name;
        EXPECT_GT(checkHeight / seeds, 0.7) << c.name;
        EXPECT_LT(checkHeight / seeds, 3.0) << c.name;
        EXPECT_NEAR(within, expected, 0.04 * estimates) << c.name;
    }
}

// The same data solved the plain way: the whole unreduced design matrix,
// coordinates as they are (x near 3.4e6 m, y near 3.95e7 m), by
// Householder QR. The same parameters, σ0, standard deviations and
// correlations, so that neither the reductions to the centroids nor carrying
// the covariance back to the origin has changed anything.
TEST(Calibrate, AgreesWithAnUnreducedLeastSquaresSolution) {
    for (const bool fixedScale : {false, true}) {
        const Truth truth = MakeTruth(HeightModel::Quadratic, fixedScale);
        const CommonPointTable table = MakeSite(truth, 14, 0.005, 0.01, 77);
        const SiteCalibration s = CalibrateSite(table, With(HeightModel::Quadratic, fixedScale));
        ASSERT_EQ(s.plane.fit.used, 14);
        ASSERT_EQ(s.height.fit.used, 14);
        const int n = 14, U = fixedScale ? 3 : 4;

        // The plane: unknowns (dx, dy, a, b), or (dx, dy, α) linearised at
        // the solution, which a Gauss-Newton step from it must leave in place.
        const double alpha = s.plane.params.rotation, ca = std::cos(alpha), sa = std::sin(alpha);
        Eigen::MatrixXd A(2 * n, U);
        Eigen::VectorXd l(2 * n);
        for (int i = 0; i < n; ++i) {
            const CommonPoint &q = table.points()[i];
            if (!fixedScale) {
                A.row(2 * i) << 1, 0, q.x1, -q.y1;
                A.row(2 * i + 1) << 0, 1, q.y1, q.x1;
                l.segment<2>(2 * i) << q.x2, q.y2;
            } else {
                A.row(2 * i) << 1, 0, -(sa * q.x1 + ca * q.y1);
                A.row(2 * i + 1) << 0, 1, ca * q.x1 - sa * q.y1;
                l.segment<2>(2 * i) << q.x2 - (ca * q.x1 - sa * q.y1),
                    q.y2 - (sa * q.x1 + ca * q.y1);
            }
        }
        const Eigen::HouseholderQR<Eigen::MatrixXd> qr(A);
        const Eigen::VectorXd x = qr.solve(l);
        const int r = 2 * n - U;
        const double sigma0 = std::sqrt((A * x - l).squaredNorm() / r);
        const Eigen::MatrixXd R = qr.matrixQR().topRows(U).triangularView<Eigen::Upper>();
        const Eigen::MatrixXd Rinv = R.inverse();
        Eigen::MatrixXd Q = Rinv * Rinv.transpose();
        // To (dx, dy, scale, rotation).
        Eigen::VectorXd p(4);
        Eigen::MatrixXd J = Eigen::MatrixXd::Zero(4, U);
        if (!fixedScale) {
            const double m = std::hypot(x(2), x(3));
            p << x(0), x(1), m - 1, std::atan2(x(3), x(2));
            J << 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, x(2) / m, x(3) / m, 0, 0, -x(3) / (m * m),
                x(2) / (m * m);
        } else {
            p << x(0), x(1), 0, alpha + x(2);
            J << 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1;
        }
        const Eigen::MatrixXd Qp = J * Q * J.transpose();
        EXPECT_EQ(s.plane.fit.redundancy, r);
        EXPECT_NEAR(*s.plane.fit.sigma0, sigma0, 1e-6 * sigma0);
        const double got[] = {s.plane.params.dx, s.plane.params.dy, s.plane.params.scale,
                              s.plane.params.rotation};
        const double gotSigma[] = {s.plane.sigma.dx, s.plane.sigma.dy, s.plane.sigma.scale,
                                   s.plane.sigma.rotation};
        for (int k = 0; k < 4; ++k) {
            if (fixedScale && k == 2)
                continue;
            const double sigma = sigma0 * std::sqrt(Qp(k, k));
            EXPECT_NEAR(got[k], p(k), 1e-3 * sigma) << k;
            EXPECT_NEAR(gotSigma[k], sigma, 1e-5 * sigma) << k;
            for (int m = 0; m < 4; ++m) {
                if (fixedScale && m == 2)
                    continue;
                EXPECT_NEAR(s.plane.correlation[k][m], Qp(k, m) / std::sqrt(Qp(k, k) * Qp(m, m)),
                            1e-6)
                    << k << " " << m;
            }
        }
        const Eigen::VectorXd v = A * x - l;
        double total = 0.0;
        for (int i = 0; i < n; ++i) {
            EXPECT_NEAR(s.points[i].residual[0], v(2 * i), 1e-6);
            EXPECT_NEAR(s.points[i].residual[1], v(2 * i + 1), 1e-6);
            total += s.points[i].redundancy[0] + s.points[i].redundancy[1];
        }
        EXPECT_NEAR(total, r, 1e-9);

        // The height: the six terms in kilometres from the local plane's
        // origin, then carried to the fitted origin.
        Eigen::MatrixXd B(n, 6);
        Eigen::VectorXd z(n);
        for (int i = 0; i < n; ++i) {
            const CommonPoint &q = table.points()[i];
            const double u = q.x2 / 1000, w = q.y2 / 1000;
            B.row(i) << 1, u, w, u * u, u * w, w * w;
            z(i) = q.z1 - q.z2;
        }
        const Eigen::HouseholderQR<Eigen::MatrixXd> hq(B);
        const Eigen::VectorXd c = hq.solve(z);
        const double hs0 = std::sqrt((B * c - z).squaredNorm() / (n - 6));
        const Eigen::MatrixXd HR = hq.matrixQR().topRows(6).triangularView<Eigen::Upper>();
        const Eigen::MatrixXd HRinv = HR.inverse();
        const Eigen::MatrixXd HQ = HRinv * HRinv.transpose();
        const HeightSurface &f = s.height.surface;
        const double du = f.originX / 1000, dv = f.originY / 1000;
        Eigen::MatrixXd T(6, 6); // the shift is linear in the coefficients
        for (int k = 0; k < 6; ++k) {
            std::array<double, 6> unit{};
            unit[k] = 1;
            const std::array<double, 6> shifted = Shifted(unit, du, dv);
            for (int m = 0; m < 6; ++m)
                T(m, k) = shifted[m];
        }
        const Eigen::VectorXd cs = T * c;
        const Eigen::MatrixXd Qs = T * HQ * T.transpose();
        EXPECT_EQ(s.height.fit.redundancy, n - 6);
        EXPECT_NEAR(*s.height.fit.sigma0, hs0, 1e-6 * hs0);
        for (int k = 0; k < 6; ++k) {
            const double sigma = hs0 * std::sqrt(Qs(k, k));
            EXPECT_NEAR(f.c[k], cs(k), 1e-3 * sigma) << k;
            EXPECT_NEAR(s.height.sigma[k], sigma, 1e-5 * sigma) << k;
        }
        const Eigen::VectorXd hv = B * c - z; // ζ computed − given: h's residual has the other sign
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(s.points[i].residual[2], -hv(i), 1e-6) << i;
    }
}

// Gross errors among 12 noisy points, in the plane and in the height. Found,
// they leave exactly the fit of the remaining points (formed afresh, bit for
// bit), and each fails its own test.
TEST(Calibrate, FindsBlundersInThePlaneAndInTheHeight) {
    const struct {
        const char *name;
        std::vector<std::pair<int, std::array<double, 3>>> blunders; // point, error
        std::vector<int> plane, height;                              // the points found
    } cases[] = {
        {"one of 6 cm in X", {{7, {0.06, 0, 0}}}, {7}, {}},
        {"one of 5 cm in h", {{2, {0, 0, -0.05}}}, {}, {2}},
        {"one in both", {{4, {0, 0.1, 0.2}}}, {4}, {4}},
        {"two in the plane, one in the height",
         {{3, {0.05, -0.05, 0}}, {10, {0, 0.08, 0}}, {11, {0, 0, 0.06}}},
         {3, 10},
         {11}},
        {"two on neighbouring points", {{5, {0.1, 0, 0.1}}, {6, {-0.1, 0, -0.1}}}, {5, 6}, {5, 6}},
    };
    const Truth truth = MakeTruth(HeightModel::Plane, false);
    for (const auto &c : cases) {
        CommonPointTable spoiled = MakeSite(truth, 12, 0.003, 0.005, 42);
        for (const auto &[at, e] : c.blunders)
            spoiled = WithError(spoiled, at, e[0], e[1], e[2]);
        const SiteCalibration s = CalibrateSite(spoiled, With(HeightModel::Plane));
        for (int n = 1; n <= 12; ++n) {
            const bool inPlane = std::count(c.plane.begin(), c.plane.end(), n) > 0;
            const bool inHeight = std::count(c.height.begin(), c.height.end(), n) > 0;
            const CalibratedPoint &p = s.points[n - 1];
            EXPECT_EQ(p.plane.state, inPlane ? PointState::Blunder : PointState::Used)
                << c.name << " P" << n;
            EXPECT_EQ(p.height.state, inHeight ? PointState::Blunder : PointState::Used)
                << c.name << " P" << n;
            EXPECT_EQ(p.State(), inPlane || inHeight ? PointState::Blunder : PointState::Used);
            for (const FitVerdict *v : {&p.plane, &p.height})
                if (v->state == PointState::Blunder) {
                    ASSERT_TRUE(v->test) << c.name;
                    EXPECT_GT(*v->test, v->critical) << c.name;
                    EXPECT_FALSE(v->passed);
                }
        }
        EXPECT_EQ(s.plane.fit.blunders, static_cast<int>(c.plane.size())) << c.name;
        EXPECT_EQ(s.height.fit.blunders, static_cast<int>(c.height.size())) << c.name;
        const SiteCalibration plane =
            CalibrateSite(Without(spoiled, c.plane), With(HeightModel::Plane));
        EXPECT_EQ(s.plane.params.dx, plane.plane.params.dx) << c.name;
        EXPECT_EQ(s.plane.params.rotation, plane.plane.params.rotation) << c.name;
        EXPECT_EQ(s.plane.fit.sigma0, plane.plane.fit.sigma0) << c.name;
        const SiteCalibration height =
            CalibrateSite(Without(spoiled, c.height), With(HeightModel::Plane));
        EXPECT_EQ(s.height.surface.c, height.height.surface.c) << c.name;
        EXPECT_EQ(s.height.fit.sigma0, height.height.fit.sigma0) << c.name;
    }
}

// Two stations 10 m apart with the same error: the robust start never
// starts from a pair that short, so the one cannot mask the other.
TEST(Calibrate, FindsAMaskedPairOfStations) {
    const Truth truth = MakeTruth(HeightModel::Constant, false);
    int found = 0;
    const int networks = 40;
    for (unsigned seed = 1; seed <= networks; ++seed) {
        CommonPointTable table = MakeSite(truth, 12, 0.003, 0.005, 1000 + seed);
        CommonPointTable pair;
        for (int n = 1; n <= 12; ++n) {
            CommonPoint q = table.Point(n);
            if (n == 2) { // 10 m from P1, the same 8 cm error in X as P1
                const CommonPoint &p = table.Point(1);
                const Point3 local =
                    CalibrateForward({truth.plane, truth.height}, p.x1 + 6, p.y1 + 8, p.z1);
                q.x1 = p.x1 + 6, q.y1 = p.y1 + 8, q.z1 = p.z1;
                q.x2 = local.X + 0.08, q.y2 = local.Y, q.z2 = local.Z;
            }
            if (n == 1)
                q.x2 += 0.08;
            pair.Add(q);
        }
        const SiteCalibration s = CalibrateSite(pair, With(HeightModel::Constant));
        found += s.points[0].plane.state == PointState::Blunder &&
                 s.points[1].plane.state == PointState::Blunder;
        EXPECT_LE(s.plane.fit.blunders, 3) << seed;
    }
    EXPECT_GE(found, networks * 95 / 100);
}

// Exactly as few points as a model needs: the fit is exact, and nothing in
// it can be tested. One more, and the point tests begin; four points leave
// the plane nothing to spare, so a failing point stays and says so.
TEST(Calibrate, SaysWhatTooFewPointsCanAndCannotTell) {
    const Truth truth = MakeTruth(HeightModel::Constant, false);
    const CommonPointTable site = MakeSite(truth, 8, 0.003, 0.005, 5);

    const SiteCalibration two =
        CalibrateSite(Without(site, {3, 4, 5, 6, 7, 8}), With(HeightModel::Auto));
    EXPECT_EQ(two.plane.fit.redundancy, 0);
    EXPECT_FALSE(two.plane.fit.sigma0.has_value());
    EXPECT_EQ(two.height.surface.model, HeightModel::Constant);
    EXPECT_EQ(two.height.fit.redundancy, 1);
    for (const CalibratedPoint &p : two.points) {
        EXPECT_FALSE(p.plane.test.has_value());
        EXPECT_TRUE(p.plane.passed);
        EXPECT_LT(std::fabs(p.residual[0]), 1e-6);
    }

    // A check point beside an exact fit: nothing to test it against.
    CalibrationOptions check = With(HeightModel::None);
    check.checkNames = {"P3"};
    const SiteCalibration beside = CalibrateSite(Without(site, {4, 5, 6, 7, 8}), check);
    EXPECT_EQ(beside.points[2].plane.state, PointState::Check);
    EXPECT_FALSE(beside.points[2].plane.test.has_value());
    EXPECT_TRUE(beside.points[2].plane.passed);
    EXPECT_EQ(beside.plane.fit.criticalOthers, 0.0);
    EXPECT_GT(beside.checkRmsPlan, 0.0);

    // Held: two points leave one equation over.
    const SiteCalibration held =
        CalibrateSite(Without(site, {3, 4, 5, 6, 7, 8}), With(HeightModel::None, true));
    EXPECT_EQ(held.plane.fit.redundancy, 1);
    ASSERT_TRUE(held.plane.fit.sigma0.has_value());

    // One point and a constant surface; the plane needs two.
    CalibrationOptions one = With(HeightModel::Constant);
    one.checkNames = {"P2", "P3", "P4", "P5", "P6", "P7"};
    const Error e = testkit::ErrorThrownBy([&] { CalibrateSite(Without(site, {8}), one); });
    EXPECT_NE(e.problem().find("只有 1 个"), std::string::npos) << e.what();

    // Four points: one may leave, three stay.
    const SiteCalibration four = CalibrateSite(WithError(Without(site, {5, 6, 7, 8}), 2, 0.3, 0, 0),
                                               With(HeightModel::Constant));
    EXPECT_EQ(four.points[1].plane.state, PointState::Blunder);
    EXPECT_EQ(four.plane.fit.used, 3);
    EXPECT_EQ(four.plane.fit.redundancy, 2);
    // Three points of a site whose scale is 1, held: a failing point cannot
    // leave, so it stays and says so.
    const CommonPointTable held3 =
        Without(MakeSite(MakeTruth(HeightModel::None, true), 8, 0.003, 0.005, 5), {4, 5, 6, 7, 8});
    const SiteCalibration three =
        CalibrateSite(WithError(held3, 2, 10, 0, 0), With(HeightModel::None, true));
    EXPECT_EQ(three.plane.fit.used, 3);
    EXPECT_EQ(three.points[1].plane.state, PointState::Used);
    ASSERT_TRUE(three.points[1].plane.test.has_value());
    EXPECT_GT(*three.points[1].plane.test, three.points[1].plane.critical);
    EXPECT_FALSE(three.points[1].plane.passed);
    EXPECT_EQ(three.plane.fit.failedButKept, 1);
}

TEST(Calibrate, AutoTakesTheRichestSurfaceThePointsLeaveRedundancyFor) {
    const Truth truth = MakeTruth(HeightModel::Plane, false);
    const CommonPointTable site = MakeSite(truth, 9, 0.003, 0.005, 8);
    const struct {
        int points;
        HeightModel expected;
    } cases[] = {{2, HeightModel::Constant},  {3, HeightModel::Constant},
                 {4, HeightModel::Plane},     {6, HeightModel::Plane},
                 {7, HeightModel::Quadratic}, {9, HeightModel::Quadratic}};
    for (const auto &c : cases) {
        std::vector<int> drop;
        for (int n = c.points + 1; n <= 9; ++n)
            drop.push_back(n);
        const SiteCalibration s = CalibrateSite(Without(site, drop), With(HeightModel::Auto));
        EXPECT_EQ(s.height.surface.model, c.expected) << c.points;
        EXPECT_EQ(s.height.asked, HeightModel::Auto);
        EXPECT_FALSE(s.height.steppedDown);
        EXPECT_GT(s.height.fit.redundancy, 0) << c.points;
    }
    // Points on a line in the local plane leave neither the quadratic nor
    // the plane determined; points on a circle the quadratic.
    const struct {
        const char *name;
        HeightModel expected;
    } geometries[] = {{"line", HeightModel::Constant}, {"circle", HeightModel::Plane}};
    for (const auto &g : geometries) {
        CommonPointTable table;
        for (int i = 0; i < 8; ++i) {
            const double t = 2 * kPi * i / 8;
            const double x =
                std::string(g.name) == "line" ? 3381000 + 500 * i : 3384000 + 2500 * std::cos(t);
            const double y =
                std::string(g.name) == "line" ? 39512000 + 300 * i : 39515000 + 2500 * std::sin(t);
            const Point3 local = CalibrateForward({truth.plane, truth.height}, x, y, 100 + i);
            table.Add(At("G" + std::to_string(i), x, y, 100 + i, local.X, local.Y, local.Z));
        }
        const SiteCalibration s = CalibrateSite(table, With(HeightModel::Auto));
        EXPECT_EQ(s.height.surface.model, g.expected) << g.name;
        EXPECT_TRUE(s.height.steppedDown) << g.name;
    }
}

// A rotation with the scale held is not linear in its angle: linearised far
// from it (0 for a plane turned by 0.3 rad), one round of snooping misses,
// and the rounds that follow reach the closed form of the orthogonal
// Procrustes problem, α = atan2(Σ(u·V − v·U), Σ(u·U + v·V)) over coordinates
// reduced to their centroids.
TEST(SnoopRelinearised, ReachesTheHeldScalesRotationFromAFarStart) {
    const Truth truth = {LocalGrid(0.0, 0.3), {}};
    const CommonPointTable table = MakeSite(truth, 10, 0.003, 0.005, 21);
    const std::vector<bool> all(10, true);
    double sx = 0, sy = 0, sX = 0, sY = 0;
    for (const CommonPoint &q : table.points())
        sx += q.x1, sy += q.y1, sX += q.x2, sY += q.y2;
    sx /= 10, sy /= 10, sX /= 10, sY /= 10;
    double cross = 0, dot = 0;
    for (const CommonPoint &q : table.points()) {
        const double u = q.x1 - sx, v = q.y1 - sy, U = q.x2 - sX, V = q.y2 - sY;
        cross += u * V - v * U, dot += u * U + v * V;
    }
    const double expected = std::atan2(cross, dot);

    calibration::FixedScalePlaneModel once(table, 0.0);
    lsq::SnoopRelinearised(once, all, all, 0.001, 1);
    EXPECT_GT(std::fabs(once.rotation() - expected), 1e-4);

    calibration::FixedScalePlaneModel model(table, 0.0);
    const auto s = lsq::SnoopRelinearised(model, all, all, 0.001);
    EXPECT_NEAR(model.rotation(), expected, 1e-14);
    EXPECT_LT(std::fabs(s.fit.x(2)), 1e-15);
    EXPECT_EQ(s.used, 10);
    EXPECT_GT(s.solves, 2);
    EXPECT_NEAR(std::sqrt(s.vtv / s.redundancy), 0.003, 0.0015);
}

TEST(Calibrate, RefusesWhatCannotBeCalibratedNamingTheFile) {
    const Truth truth = MakeTruth(HeightModel::Plane, false);
    const CommonPointTable site = MakeSite(truth, 8, 0.003, 0.005, 3);
    CommonPointTable line, circle, samePlace, sameLocal, huge;
    for (int i = 0; i < 8; ++i) {
        const double t = 2 * kPi * i / 8;
        const std::string name = "L" + std::to_string(i);
        // On a local line, with a nanometre off it for one point.
        line.Add(
            At(name, 3381000 + 100 * i, 39512000, 50, 1000 + 100 * i, 2000 + (i == 3) * 1e-9, 40));
        circle.Add(At(name, 3381000 + 900 * std::cos(t), 39512000 + 900 * std::sin(t), 50,
                      1000 + 900 * std::cos(t), 2000 + 900 * std::sin(t), 40 + 0.001 * i));
        samePlace.Add(At(name, 3381000, 39512000, 50, 1000 + i, 2000 + i, 40));
        sameLocal.Add(At(name, 3381000 + 100 * i, 39512000 + 30 * i * i, 50, 1000, 2000, 40));
        huge.Add(At(name, 1e300 * (i % 3), 1e300 * (i % 2), 50, 1e300 * i, 2000, 40));
    }
    const struct {
        const char *name;
        CommonPointTable table;
        HeightModel model;
        bool fixedScale;
        std::vector<std::string> checks;
        double alpha;
        const char *says;
    } cases[] = {
        {"one point",
         Without(site, {2, 3, 4, 5, 6, 7, 8}),
         HeightModel::None,
         false,
         {},
         0.001,
         "只有 1 个（检核点不算在内），平面四参数至少需要 2 个点"},
        {"one point, scale held",
         Without(site, {2, 3, 4, 5, 6, 7, 8}),
         HeightModel::None,
         true,
         {},
         0.001,
         "平面四参数（固定尺度）至少需要 2 个点"},
        {"none but check points",
         Without(site, {3, 4, 5, 6, 7, 8}),
         HeightModel::Auto,
         false,
         {"P1", "P2"},
         0.001,
         "只有 0 个"},
        {"a height plane from two points",
         Without(site, {3, 4, 5, 6, 7, 8}),
         HeightModel::Plane,
         false,
         {},
         0.001,
         "只有 2 个（检核点不算在内），高程拟合（平面）至少需要 3 个点"},
        {"a quadratic from five points",
         Without(site, {6, 7, 8}),
         HeightModel::Quadratic,
         false,
         {},
         0.001,
         "高程拟合（二次曲面）至少需要 6 个点"},
        {"a height plane on a line", line, HeightModel::Plane, false, {}, 0.001, "一条直线"},
        {"a quadratic on a circle", circle, HeightModel::Quadratic, false, {}, 0.001, "二次曲线"},
        {"all in one place", samePlace, HeightModel::None, false, {}, 0.001, "同一位置"},
        {"all in one place on the local plane",
         sameLocal,
         HeightModel::None,
         false,
         {},
         0.001,
         "尺度 m 不是正数"},
        {"coordinates too large", huge, HeightModel::None, false, {}, 0.001, "溢出"},
        {"an unknown check point",
         site,
         HeightModel::Auto,
         false,
         {"P99"},
         0.001,
         "“P99” 不在文件中"},
        {"alpha too large", site, HeightModel::Auto, false, {}, 0.051, "显著水平"},
        {"alpha not a number", site, HeightModel::Auto, false, {}, std::nan(""), "显著水平"},
    };
    for (const auto &c : cases) {
        CalibrationOptions options = With(c.model, c.fixedScale);
        options.checkNames = c.checks;
        options.alpha = c.alpha;
        const Error e = testkit::ErrorThrownBy([&] { Calibrate(c.table, options, "site.txt"); });
        EXPECT_EQ(e.file(), "site.txt") << c.name;
        EXPECT_NE(e.problem().find(c.says), std::string::npos) << c.name << ": " << e.what();
    }
}

// The conversion as a parameter file will apply it: forward by the formulas,
// and back to within a unit in the last place.
TEST(CalibrateForward, AppliesTheFormulasAndInvertsThemExactly) {
    // Near the identity (a − 1 and b small) a round trip comes back to
    // within a unit in the last place; a plane turned half round and shrunk
    // rounds at its sums' size, some 1e7 m, already in the forward map.
    const struct {
        const char *name;
        CalibrationParams p;
        double tolerance; // beyond a unit in the last place, metres
    } cases[] = {
        {"ICGC", {kIcgcPublished, {}}, 0},
        {"local grid, quadratic",
         {LocalGrid(35.2e-6, 912.4 * kArcSecond),
          {HeightModel::Quadratic, 53000, 23000, {-12.3, 0.045, -0.028, 0.004, -0.002, 0.003}}},
         0},
        {"turned half round, shrunk",
         {LocalGrid(-0.25, 3.0), {HeightModel::Plane, 0, 0, {5.5, -0.1, 0.2}}},
         5e-8},
    };
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> plan(0, 10000), height(-50, 3000);
    for (const auto &c : cases) {
        const double m = 1 + c.p.plane.scale;
        const long double a = m * std::cos(c.p.plane.rotation),
                          b = m * std::sin(c.p.plane.rotation);
        int exact = 0;
        for (int i = 0; i < 1000; ++i) {
            const double x = 3381000 + plan(random), y = 39512000 + plan(random),
                         H = height(random);
            const Point3 t = CalibrateForward(c.p, x, y, H);
            EXPECT_NEAR(t.X, static_cast<double>(c.p.plane.dx + a * x - b * y), 2e-8) << c.name;
            EXPECT_NEAR(t.Y, static_cast<double>(c.p.plane.dy + b * x + a * y), 2e-8) << c.name;
            EXPECT_EQ(t.Z, H - HeightAnomaly(c.p.height, t.X, t.Y)) << c.name;
            const Point3 back = CalibrateInverse(c.p, t.X, t.Y, t.Z);
            EXPECT_LE(std::fabs(back.X - x), c.tolerance + (std::nextafter(x, 1e300) - x))
                << c.name;
            EXPECT_LE(std::fabs(back.Y - y), c.tolerance + (std::nextafter(y, 1e300) - y))
                << c.name;
            EXPECT_NEAR(back.Z, H, 1e-12 * 3000) << c.name;
            exact += back.X == x && back.Y == y;
            const Point3 same = ApplyCalibration(c.p, Direction::Inverse, t.X, t.Y, t.Z);
            EXPECT_EQ(same.X, back.X);
        }
        if (c.tolerance == 0) {
            EXPECT_GT(exact, 900) << c.name;
        }
    }
    // The heights by the surface: ζ at the origin is c0, and so on.
    const HeightSurface q = {HeightModel::Quadratic, 1000, 2000, {1, 2, 3, 4, 5, 6}};
    EXPECT_EQ(HeightAnomaly(q, 1000, 2000), 1.0);
    EXPECT_EQ(HeightAnomaly(q, 2000, 2000), 1.0 + 2 + 4);
    EXPECT_EQ(HeightAnomaly(q, 1000, 4000), 1.0 + 3 * 2 + 6 * 4);
    EXPECT_EQ(HeightAnomaly({HeightModel::None, 0, 0, {7}}, 5, 5), 0.0);
}

TEST(CalibrateForward, RefusesParametersNoConversionCanApply) {
    const struct {
        const char *name;
        CalibrationParams p;
        const char *says;
    } cases[] = {
        {"scale −1: m = 0", {{0, 0, -1, 0}, {}}, "不是正数"},
        {"scale −2: m < 0", {{0, 0, -2, 0.1}, {}}, "不是正数"},
        {"scale not a number", {{0, 0, std::nan(""), 0}, {}}, "不是有限的数"},
        {"a coefficient infinite",
         {{0, 0, 0, 0}, {HeightModel::Constant, 0, 0, {HUGE_VAL}}},
         "不是有限的数"},
        {"no model", {{0, 0, 0, 0}, {HeightModel::Auto, 0, 0, {}}}, "模型"},
    };
    for (const auto &c : cases) {
        for (const Direction d : {Direction::Forward, Direction::Inverse}) {
            const Error e = testkit::ErrorThrownBy([&] { ApplyCalibration(c.p, d, 1, 2, 3); });
            EXPECT_NE(e.problem().find(c.says), std::string::npos) << c.name << ": " << e.what();
        }
    }
    const Error e = testkit::ErrorThrownBy([&] {
        CalibrateForward({{0, 0, 1e300, 0}, {}}, 1e300, 1e300, 0);
    });
    EXPECT_NE(e.problem().find("溢出"), std::string::npos) << e.what();
}

} // namespace
} // namespace kovarim
