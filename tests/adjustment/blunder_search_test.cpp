// The blunder search on random networks (fixed seeds): how often good
// points are flagged, how often a masked pair is found, and that every
// verdict holds against its own final test.
#include "adjustment/adjustment.h"
#include "adjustment/robust_start.h"

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kovarim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kArcSecond = kPi / 648000.0;
constexpr double kSigma = 0.003;

enum class Frame { Grid, Geocentric };
const char *Named(Frame frame) { return frame == Frame::Grid ? "grid" : "geocentric"; }

using Vec = std::array<double, 3>;

Vec Geocentric(double latitude, double longitude, double h) {
    const double a = 6378137.0, f = 1 / 298.257223563, e2 = f * (2 - f);
    const double N = a / std::sqrt(1 - e2 * std::sin(latitude) * std::sin(latitude));
    return {(N + h) * std::cos(latitude) * std::cos(longitude),
            (N + h) * std::cos(latitude) * std::sin(longitude),
            (N * (1 - e2) + h) * std::sin(latitude)};
}

// A network of a 6 km site, grid-like (x north, y east, h) or geocentric on
// WGS 84 about 30° N 114° E, mapped by plausible parameters with 3 mm of
// normal noise. `pair` ≥ 0 puts station pair + 1 10 m from station pair.
// Each station's local north, east and up directions come with it, for the
// errors the tests add.
struct Network {
    CommonPointTable table;
    std::vector<Vec> north, east, up;
};

Network MakeNetwork(Frame frame, int count, std::mt19937_64 &random, int pair = -1) {
    std::uniform_real_distribution<double> plan(0, 6000), height(20, 180), turn(0, 2 * kPi);
    std::normal_distribution<double> noise(0, kSigma);
    const Params p = frame == Frame::Grid
                         ? MakeParams(-112.456, 78.123, 45.678, 3.2e-6, 1.8 * kArcSecond,
                                      -2.4 * kArcSecond, 3.6 * kArcSecond)
                         : MakeParams(-15.4, 140.2, 85.7, -1.9e-6, 0.4 * kArcSecond,
                                      -1.2 * kArcSecond, 2.1 * kArcSecond);
    std::vector<Vec> local; // north, east, height
    for (int i = 0; i < count; ++i) {
        if (i == pair + 1 && pair >= 0) {
            const double t = turn(random);
            local.push_back({local[pair][0] + 10 * std::cos(t), local[pair][1] + 10 * std::sin(t),
                             local[pair][2] + 0.5});
        } else {
            local.push_back({plan(random), plan(random), height(random)});
        }
    }
    Network net;
    for (int i = 0; i < count; ++i) {
        const auto [n, e, h] = local[i];
        Vec at;
        if (frame == Frame::Grid) {
            at = {2858000 + n, 589000 + e, h};
            net.north.push_back({1, 0, 0});
            net.east.push_back({0, 1, 0});
            net.up.push_back({0, 0, 1});
        } else {
            const double phi = 30 * kPi / 180 + n / 6371000;
            const double lambda = 114 * kPi / 180 + e / (6371000 * std::cos(phi));
            at = Geocentric(phi, lambda, h);
            net.north.push_back({-std::sin(phi) * std::cos(lambda),
                                 -std::sin(phi) * std::sin(lambda), std::cos(phi)});
            net.east.push_back({-std::sin(lambda), std::cos(lambda), 0});
            net.up.push_back({std::cos(phi) * std::cos(lambda), std::cos(phi) * std::sin(lambda),
                              std::sin(phi)});
        }
        CommonPoint q;
        q.Name = "P" + std::to_string(i + 1);
        q.x1 = at[0], q.y1 = at[1], q.z1 = at[2];
        q.x2 = TransformX(p, q.x1, q.y1, q.z1) + noise(random);
        q.y2 = TransformY(p, q.x1, q.y1, q.z1) + noise(random);
        q.z2 = TransformZ(p, q.x1, q.y1, q.z1) + noise(random);
        net.table.Add(q);
    }
    return net;
}

// The network with `error` (metres along `direction`) added to the new
// coordinates of the stations numbered in `at`.
CommonPointTable Spoiled(const Network &net, const std::vector<int> &at,
                         const std::vector<Vec> &direction, double error) {
    CommonPointTable spoiled;
    for (int n = 1; n <= net.table.PointCount(); ++n) {
        CommonPoint q = net.table.Point(n);
        for (int k : at)
            if (k == n - 1) {
                const Vec &d = direction[k];
                q.x2 += error * d[0], q.y2 += error * d[1], q.z2 += error * d[2];
            }
        spoiled.Add(q);
    }
    return spoiled;
}

// What every adjustment must hold of its own verdicts: a blunder fails its
// final test (the printed test value above the printed critical value),
// nothing outside the fit passes, and a used point fails only where none
// could be spared or the search went round.
void ExpectVerdictsHold(const Adjustment &a, const std::string &where) {
    for (std::size_t i = 0; i < a.points.size(); ++i) {
        const AdjustedPoint &p = a.points[i];
        if (p.state == PointState::Blunder) {
            ASSERT_TRUE(p.test) << where << " point " << i + 1;
            EXPECT_GT(*p.test, p.critical) << where << " point " << i + 1;
            EXPECT_FALSE(p.passed) << where;
        }
        if (p.state == PointState::Used && !p.passed) {
            EXPECT_TRUE(a.used == 4 || !a.settled) << where << " point " << i + 1;
        }
    }
    int failing = 0;
    for (const AdjustedPoint &p : a.points)
        failing += p.state == PointState::Used && !p.passed;
    EXPECT_EQ(a.failedButKept, failing) << where;
}

// Good networks of 8 to 20 points: each point is flagged at about the rate
// α gives one test (a little more, as the search tests again after a point
// has left). At α = 0.01 the count is large enough to hold to a tight bound;
// the default 0.001 gets a looser one.
TEST(BlunderSearch, FlagsGoodPointsAtAboutTheRateAlphaPredicts) {
    const struct {
        double alpha, least, most; // the rate's bounds, in units of α
    } levels[] = {{0.01, 0.5, 1.6}, {0.001, 0.25, 2.5}};
    for (const Frame frame : {Frame::Grid, Frame::Geocentric}) {
        std::mt19937_64 random(frame == Frame::Grid ? 101 : 202);
        int points = 0, flagged[2] = {0, 0};
        for (int k = 0; k < 1500; ++k) {
            const int count = 8 + k % 13;
            const Network net = MakeNetwork(frame, count, random);
            points += count;
            for (int level = 0; level < 2; ++level) {
                const Adjustment a = AdjustTable(net.table, {}, levels[level].alpha);
                ExpectVerdictsHold(a, std::string(Named(frame)) + " network " + std::to_string(k));
                flagged[level] += a.blunders;
            }
        }
        for (int level = 0; level < 2; ++level) {
            const double alpha = levels[level].alpha, rate = double(flagged[level]) / points;
            EXPECT_GT(rate, levels[level].least * alpha)
                << Named(frame) << ", α " << alpha << ": " << flagged[level] << " of " << points;
            EXPECT_LT(rate, levels[level].most * alpha)
                << Named(frame) << ", α " << alpha << ": " << flagged[level] << " of " << points;
        }
    }
}

// Two stations 10 m apart with the same error mask each other for plain
// data snooping from all points, and a thin best triple made the old start's
// limits metres wide. Both must be found in 95 % of random 12-point
// networks from 25σ on, in height and in plan, and so must the sizes the
// trials met (0.3 m in height, 1 m in plan).
TEST(BlunderSearch, FindsTwoEqualErrorsOnStationsTenMetresApart) {
    const struct {
        const char *name;
        bool inHeight;
        double error;
    } cases[] = {
        {"25σ in height", true, 25 * kSigma},
        {"25σ in plan", false, 25 * kSigma},
        {"0.3 m in height", true, 0.3},
        {"1 m in plan", false, 1.0},
    };
    for (const Frame frame : {Frame::Grid, Frame::Geocentric})
        for (const auto &c : cases) {
            std::mt19937_64 random(frame == Frame::Grid ? 303 : 404);
            const int networks = 300;
            int both = 0, goodFlagged = 0;
            for (int k = 0; k < networks; ++k) {
                const Network net = MakeNetwork(frame, 12, random, 4);
                const CommonPointTable table =
                    Spoiled(net, {4, 5}, c.inHeight ? net.up : net.north, c.error);
                const Adjustment a = AdjustTable(table, {}, kDefaultAlpha);
                const std::string where =
                    std::string(Named(frame)) + ", " + c.name + ", network " + std::to_string(k);
                ExpectVerdictsHold(a, where);
                both += a.points[4].state == PointState::Blunder &&
                        a.points[5].state == PointState::Blunder;
                goodFlagged += a.blunders - (a.points[4].state == PointState::Blunder) -
                               (a.points[5].state == PointState::Blunder);
            }
            EXPECT_GE(both, networks * 95 / 100) << Named(frame) << ", " << c.name;
            EXPECT_LE(goodFlagged, networks / 20) << Named(frame) << ", " << c.name;
        }
}

// Blunders of every size from 3σ to a metre on up to three random points:
// whatever is found, every verdict holds against its own final test.
TEST(BlunderSearch, EveryVerdictHoldsAgainstItsOwnFinalTest) {
    std::mt19937_64 random(505);
    std::uniform_real_distribution<double> size(std::log(3 * kSigma), std::log(1.0));
    for (int k = 0; k < 600; ++k) {
        const Frame frame = k % 2 ? Frame::Grid : Frame::Geocentric;
        const int count = 5 + k % 16;
        const Network net = MakeNetwork(frame, count, random);
        std::vector<int> at;
        for (int b = 0; b < 1 + k % 3 && b < count - 4; ++b)
            at.push_back(static_cast<int>(random() % static_cast<unsigned>(count)));
        CommonPointTable table = net.table;
        for (std::size_t b = 0; b < at.size(); ++b) {
            Network spoiled = net;
            spoiled.table = table;
            table = Spoiled(spoiled, {at[b]}, b % 2 ? net.up : net.east, std::exp(size(random)));
        }
        ExpectVerdictsHold(AdjustTable(table, {}, kDefaultAlpha),
                           std::string(Named(frame)) + " network " + std::to_string(k));
    }
}

// The robust start's subsets: every one of them while there are at most
// kEverySubsetUpTo, else a sample of kSampledSubsets, each a sorted set of
// distinct points. C(n, 6) of a large file is beyond any integer: counted
// with wrapping, it enumerated every six points of 25 000 until memory ran out.
template <int M> void ExpectSubsets(int n, std::size_t expected) {
    const auto subsets = lsq::detail::Subsets<M>(n);
    EXPECT_EQ(subsets.size(), expected) << "M = " << M << ", n = " << n;
    for (const auto &s : subsets) {
        EXPECT_GE(s[0], 0);
        EXPECT_LT(s[M - 1], n);
        for (int k = 1; k < M; ++k)
            ASSERT_LT(s[k - 1], s[k]) << "M = " << M << ", n = " << n;
    }
}

TEST(RobustStart, TakesEverySubsetOrASampleWhateverTheirCount) {
    ExpectSubsets<6>(12, 924); // C(12, 6): all
    ExpectSubsets<6>(13, lsq::kSampledSubsets);
    for (int n : {20000, 25000, 32767})
        ExpectSubsets<6>(n, lsq::kSampledSubsets);
    ExpectSubsets<3>(19, 969); // C(19, 3): all
    ExpectSubsets<3>(32767, lsq::kSampledSubsets);
    ExpectSubsets<2>(45, 990);
    ExpectSubsets<2>(46, lsq::kSampledSubsets);
    ExpectSubsets<1>(1000, 1000);
}

} // namespace
} // namespace kovarim
