#include "estimation/triple_search.h"

#include <algorithm>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "estimation/equations.h"
#include "estimation/solve_equations.h"
#include "model/seven_parameters.h"

namespace kovarim {
namespace {

CommonPoint At(double x, double y, double z = 0.0) {
    CommonPoint p;
    p.x1 = p.x2 = x;
    p.y1 = p.y2 = y;
    p.z1 = p.z2 = z;
    return p;
}

CommonPointTable Table(const std::vector<CommonPoint> &points) {
    CommonPointTable table;
    for (const auto &p : points)
        table.Add(p);
    return table;
}

// Every way the program's search can go: each vector width this processor
// has, on one thread and on several.
struct Search {
    std::string name;
    std::function<TripleChoice(const CommonPointTable &)> run;
};

std::vector<Search> ProgramSearches() {
    using Width = SearchOptions::Width;
    std::vector<Search> searches;
    for (Width width : {Width::Scalar, Width::Sse2, Width::Avx2}) {
        if (ResolveWidth(width) != width)
            continue; // not on this processor
        for (int threads : {1, 3})
            searches.push_back(
                {std::string(WidthName(width)) + ", " + std::to_string(threads) + " thread(s)",
                 [=](const CommonPointTable &table) {
                     return FindBestTriple(table, {}, {width, threads});
                 }});
    }
    return searches;
}

// The program's searches and the literal one.
std::vector<Search> AllSearches() {
    std::vector<Search> searches = ProgramSearches();
    searches.push_back(
        {"literal", [](const CommonPointTable &table) { return FindBestTripleLiteral(table); }});
    return searches;
}

TEST(CountTriples, CountsEveryChoiceOfThree) {
    const struct {
        int points;
        long long triples;
    } cases[] = {{0, 0}, {2, 0}, {3, 1}, {4, 4}, {5, 10}, {100, 161700}, {1000, 166167000}};
    for (const auto &c : cases)
        EXPECT_EQ(CountTriples(c.points), c.triples) << c.points;
}

TEST(IsDegenerate, RejectsCoincidentAndCollinearTriplesInPlanOnly) {
    const struct {
        const char *name;
        CommonPoint i, j, k;
        bool degenerate;
    } cases[] = {
        {"i and j coincide in plan, heights differ", At(1, 1, 0), At(1, 1, 5), At(2, 3), true},
        {"i and k coincide", At(1, 1), At(2, 3), At(1, 1), true},
        {"j and k coincide", At(2, 3), At(1, 1), At(1, 1), true},
        {"same y1, different x1", At(0, 5), At(1, 5), At(7, 5), true},
        {"same x1, different y1: both quotients 0", At(4, 0), At(4, 1), At(4, 9), true},
        {"collinear at different heights", At(0, 0, 0), At(1, 2, 10), At(3, 6, -4), true},
        {"equal quotients whose cross products differ", At(-29.7, -79.2), At(0, 0), At(89.1, 237.6),
         true},
        {"dy1 = 0, dy2 ≠ 0 goes to the solver", At(0, 0), At(1, 0), At(1, 1), false},
        {"dy1 ≠ 0, dy2 = 0 goes to the solver", At(0, 0), At(1, 1), At(2, 1), false},
        {"a general triangle", At(0, 0), At(10, 1), At(3, 8), false},
        {"nearly collinear passes", At(0, 0), At(1, 1), At(2, 2.000000001), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsDegenerate(c.i, c.j, c.k), c.degenerate) << c.name;
}

// Points that fit the identity exactly close with a misclosure of exactly 0,
// so the first triple in enumeration order that is not rejected is chosen.
TEST(FindBestTriple, ChoosesTheEarliestOfEqualTriplesInEnumerationOrder) {
    const struct {
        const char *name;
        std::vector<CommonPoint> points;
        long long ordinal;
        int first, second, third;
    } cases[] = {
        {"three points", {At(0, 0), At(1, 0), At(1, 1)}, 1, 1, 2, 3},
        {"(1,2,3) collinear: next is (1,2,4)",
         {At(0, 0), At(1, 1), At(2, 2), At(0, 5), At(9, 1)},
         2,
         1,
         2,
         4},
        {"1 and 2 coincide: next is (1,3,4)",
         {At(0, 0), At(0, 0), At(2, 1), At(0, 5), At(9, 1)},
         4,
         1,
         3,
         4},
        {"rejected up to (1,3,5)", {At(0, 0), At(0, 0), At(1, 1), At(2, 2), At(5, 0)}, 5, 1, 3, 5},
    };
    for (const auto &c : cases) {
        for (const Search &search : AllSearches()) {
            const TripleChoice best = search.run(Table(c.points));
            EXPECT_EQ(best.BestTriple, c.ordinal) << c.name << ", " << search.name;
            EXPECT_EQ(best.First, c.first) << c.name << ", " << search.name;
            EXPECT_EQ(best.Second, c.second) << c.name << ", " << search.name;
            EXPECT_EQ(best.Third, c.third) << c.name << ", " << search.name;
            EXPECT_EQ(best.BestMisclosure, 0.0) << c.name << ", " << search.name;
        }
    }
}

TEST(FindBestTriple, ChoosesNothingBelowThreePointsOrWhenAllAreRejected) {
    const std::vector<std::vector<CommonPoint>> sets = {
        {}, {At(0, 0), At(1, 1)}, {At(0, 0), At(1, 1), At(2, 2), At(3, 3)}};
    for (const auto &points : sets) {
        const TripleChoice best = FindBestTriple(Table(points));
        EXPECT_EQ(best.BestTriple, 0) << points.size();
        EXPECT_EQ(best.First, 0) << points.size();
    }
}

TEST(FindBestTriple, NeverChoosesAMisclosureOf99999OrMore) {
    std::vector<CommonPoint> points = {At(0, 0), At(1, 0), At(1, 1), At(0, 1)};
    for (auto &p : points)
        p.x2 += p.x1 * 1e6; // a stretch along X alone: no similarity comes close

    const TripleChoice best = FindBestTriple(Table(points));
    EXPECT_EQ(best.BestTriple, 0);
}

TEST(FindBestTriple, CountsEveryTripleItTries) {
    std::vector<CommonPoint> points;
    for (int i = 0; i < 60; ++i)
        points.push_back(At(i, (i * 7) % 13));
    points[5] = points[4]; // one station twice: its pairs are skipped, and still counted
    const CommonPointTable table = Table(points);
    const std::function<void(const SearchProgress &)> searches[] = {
        [&](const SearchProgress &p) {
            FindBestTriple(table, p, {SearchOptions::Width::Best, 1});
        },
        [&](const SearchProgress &p) {
            FindBestTriple(table, p, {SearchOptions::Width::Best, 3});
        },
        [&](const SearchProgress &p) { FindBestTripleLiteral(table, p); },
    };
    for (const auto &search : searches) {
        std::atomic<long long> done{0};
        long long started = -1;
        SearchProgress progress;
        progress.started = [&](long long triples) { started = triples; };
        progress.done = &done;
        search(progress);
        EXPECT_EQ(started, CountTriples(60));
        EXPECT_EQ(done.load(), CountTriples(60));
    }
}

TEST(FindBestTriple, StopsWhenAsked) {
    std::vector<CommonPoint> points;
    for (int i = 0; i < 200; ++i)
        points.push_back(At(i, (i * 7) % 13));
    const CommonPointTable table = Table(points);
    for (int threads : {1, 2}) {
        std::atomic<bool> stop{false};
        std::atomic<long long> done{0};
        SearchProgress progress;
        progress.started = [&](long long) { stop = true; }; // as Esc during the search
        progress.done = &done;
        progress.stop = &stop;
        EXPECT_THROW(FindBestTriple(table, progress, {SearchOptions::Width::Best, threads}),
                     SearchStopped);
        EXPECT_LT(done.load(), CountTriples(200)) << threads;
        stop = false;
        EXPECT_THROW(FindBestTripleLiteral(table, progress), SearchStopped);
    }
}

// The largest residual, in any coordinate, of the points of `table` other than
// those in `skip`, under the parameters of the chosen triple.
double LargestResidual(const CommonPointTable &table, const TripleChoice &choice,
                       const std::vector<int> &skip) {
    EquationSystem system;
    BuildEquations(table, choice.First, choice.Second, choice.Third, system);
    EXPECT_TRUE(SolveEquations(system));
    Params p{};
    for (int m = 1; m <= 7; ++m)
        p[m] = system.b[m];
    double largest = 0.0;
    for (int n = 1; n <= table.PointCount(); ++n) {
        if (std::find(skip.begin(), skip.end(), n) != skip.end())
            continue;
        const CommonPoint &q = table.Point(n);
        const Point3 out = TransformPoint(p, q.x1, q.y1, q.z1);
        largest = std::max(
            {largest, std::fabs(out.X - q.x2), std::fabs(out.Y - q.y2), std::fabs(out.Z - q.z2)});
    }
    return largest;
}

// One station listed twice, re-measured a millimetre away under another name:
// the two fix no rotation, so a triple holding both would close deceptively
// well and wreck the parameters. Tried for every station of the example file.
TEST(FindBestTriple, NeverHoldsOneStationTwice) {
    const CommonPointTable example =
        ReadCommonPointFile(KOVARIM_SOURCE_DIR "/examples/common_points.txt");
    const TripleChoice own = FindBestTriple(example);
    for (int station = 1; station <= example.PointCount(); ++station) {
        CommonPointTable table = example;
        CommonPoint copy = example.Point(station);
        copy.Name += "-again";
        copy.x1 += 0.001;
        copy.x2 += 0.003;
        table.Add(copy);
        const int again = table.PointCount();
        for (const Search &search : AllSearches()) {
            const TripleChoice best = search.run(table);
            const std::vector<int> chosen = {best.First, best.Second, best.Third};
            EXPECT_FALSE(std::count(chosen.begin(), chosen.end(), station) == 1 &&
                         std::count(chosen.begin(), chosen.end(), again) == 1)
                << "station " << station << ", " << search.name;
            EXPECT_LE(LargestResidual(table, best, {station, again}),
                      LargestResidual(example, own, {station}) + 0.005)
                << "station " << station << ", " << search.name;
        }
    }
}

TEST(RepeatedStations, PairsPointsCloserThanA500thOfTheMedianDistanceFromTheMedian) {
    // Median point (1000, 1000); distances from it 1000 (four times), 0, 1.99
    // and huge: R = 1000, the limit 2 m. The wild point 7 cannot move it.
    const std::vector<CommonPoint> square = {At(0, 1000),     At(2000, 1000), At(1000, 0),
                                             At(1000, 2000),  At(1000, 1000), At(1001.99, 1000),
                                             At(1e200, 1e200)};
    const struct {
        const char *name;
        std::vector<CommonPoint> points;
        int a, b;
        bool same;
    } cases[] = {
        {"closer than R/500", square, 5, 6, true},
        {"either order", square, 6, 5, true},
        {"farther", square, 1, 5, false},
        {"the wild point is no one's station", square, 7, 2, false},
        {"only the plan counts", {At(0, 0), At(0, 0, 50), At(10, 0), At(0, 10)}, 1, 2, true},
        {"R of 0: the rule is off", {At(5, 5), At(5, 5), At(5, 5), At(6, 5)}, 1, 2, false},
        {"huge coordinates: R stays finite",
         {At(-1.5e308, 1.5e308), At(1.5e308, -1.5e308), At(1.5e308, 1.5e308), At(1.5e308, 1.5e308)},
         3,
         4,
         true},
    };
    for (const auto &c : cases) {
        const CommonPointTable table = Table(c.points);
        EXPECT_EQ(RepeatedStations(table).Same(c.a, c.b), c.same) << c.name;
    }
}

// One decimal slip in one line stretches the file's extent a thousandfold;
// the search still chooses as it would without the slipped point.
TEST(FindBestTriple, OneWildPointDoesNotMakeEveryPairOneStation) {
    const CommonPointTable example =
        ReadCommonPointFile(KOVARIM_SOURCE_DIR "/examples/common_points.txt");
    constexpr int kSlipped = 5;
    CommonPointTable without;
    for (int n = 1; n <= example.PointCount(); ++n)
        if (n != kSlipped)
            without.Add(example.Point(n));
    const TripleChoice own = FindBestTriple(without);
    auto inExample = [&](int n) { return n < kSlipped ? n : n + 1; };
    for (const double wild : {example.Point(kSlipped).x1 * 10, 1e200}) {
        CommonPointTable slipped;
        for (CommonPoint p : example.points()) {
            if (slipped.PointCount() + 1 == kSlipped)
                p.x1 = wild;
            slipped.Add(p);
        }
        for (const Search &search : AllSearches()) {
            const TripleChoice best = search.run(slipped);
            EXPECT_EQ(best.First, inExample(own.First)) << wild << ", " << search.name;
            EXPECT_EQ(best.Second, inExample(own.Second)) << wild << ", " << search.name;
            EXPECT_EQ(best.Third, inExample(own.Third)) << wild << ", " << search.name;
        }
    }
}

// ---- The program's search against the literal reference --------------------

using Generator = CommonPoint (*)(std::mt19937_64 &, int index);

CommonPoint Survey(std::mt19937_64 &r, int) {
    std::uniform_real_distribution<double> plan(0, 5000), h(0, 300);
    std::normal_distribution<double> noise(0, 0.003);
    CommonPoint p;
    p.x1 = 2860000 + plan(r), p.y1 = 592000 + plan(r), p.z1 = h(r);
    p.x2 = p.x1 + 12.3 + 4e-6 * p.x1 + 2e-6 * p.y1 + noise(r);
    p.y2 = p.y1 - 45.6 + 4e-6 * p.y1 - 2e-6 * p.x1 + noise(r);
    p.z2 = p.z1 + 7.8 + noise(r);
    return p;
}

// Small integers: coincident points, collinear triples, zero pivots that force
// row exchanges, and many exactly equal misclosures.
CommonPoint SmallGrid(std::mt19937_64 &r, int) {
    std::uniform_int_distribution<int> v(0, 3);
    CommonPoint p;
    p.x1 = v(r), p.y1 = v(r), p.z1 = v(r);
    p.x2 = p.x1 + v(r) % 2, p.y2 = p.y1 + v(r) % 2, p.z2 = p.z1 + v(r) % 2;
    return p;
}

// Equal x1 or z1 for many points: zero entries on the diagonal.
CommonPoint SharedColumns(std::mt19937_64 &r, int index) {
    std::uniform_real_distribution<double> u(-100, 100);
    CommonPoint p;
    p.x1 = index % 3 == 0 ? 5.0 : u(r);
    p.y1 = u(r);
    p.z1 = index % 2 == 0 ? 0.0 : u(r);
    p.x2 = p.x1 + 1, p.y2 = p.y1 + u(r) * 1e-3, p.z2 = p.z1;
    return p;
}

// Points near one line, and exactly on it.
CommonPoint NearlyCollinear(std::mt19937_64 &r, int index) {
    std::uniform_real_distribution<double> t(0, 1000);
    const double s = t(r);
    CommonPoint p;
    p.x1 = s, p.y1 = 2 * s + (index % 4 == 0 ? 1e-9 * s : 0.0), p.z1 = index;
    p.x2 = p.x1 + 0.5, p.y2 = p.y1 - 0.25, p.z2 = p.z1 + t(r) * 1e-4;
    return p;
}

// Exact fit of the identity: every good triple ties at 0.
CommonPoint ExactFit(std::mt19937_64 &r, int) {
    std::uniform_int_distribution<int> v(-50, 50);
    return At(v(r), v(r), v(r));
}

// Coordinates beyond what the elimination can hold: overflows and NaNs.
CommonPoint Extreme(std::mt19937_64 &r, int index) {
    CommonPoint p = Survey(r, index);
    if (index % 3 == 0)
        p.x2 = index % 2 ? 1.7e308 : -1.7e308, p.x1 = -p.x2;
    if (index % 5 == 0)
        p.y1 *= 1e302, p.z1 = 1e-300;
    return p;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(FindBestTriple, GivesTheLiteralSearchsChoiceBitForBit) {
    const struct {
        const char *name;
        Generator make;
        int points;
    } sets[] = {
        {"survey", Survey, 25},
        {"small grid", SmallGrid, 14},
        {"shared columns", SharedColumns, 18},
        {"nearly collinear", NearlyCollinear, 16},
        {"exact fit", ExactFit, 12},
        {"extreme values", Extreme, 15},
    };
    const std::vector<Search> searches = ProgramSearches();
    for (const auto &set : sets) {
        for (std::uint64_t seed = 1; seed <= 40; ++seed) {
            std::mt19937_64 random(seed);
            CommonPointTable table;
            for (int i = 0; i < set.points; ++i)
                table.Add(set.make(random, i));
            const TripleChoice literal = FindBestTripleLiteral(table);
            for (const Search &search : searches) {
                const TripleChoice fast = search.run(table);
                const std::string where =
                    std::string(set.name) + " seed " + std::to_string(seed) + ", " + search.name;
                ASSERT_EQ(fast.BestTriple, literal.BestTriple) << where;
                ASSERT_EQ(fast.First, literal.First) << where;
                ASSERT_EQ(fast.Second, literal.Second) << where;
                ASSERT_EQ(fast.Third, literal.Third) << where;
                ASSERT_TRUE(SameBits(fast.BestMisclosure, literal.BestMisclosure)) << where;
            }
        }
    }
}

// Triples on which a shortcut of the program's search would part from the
// literal elimination.
TEST(FindBestTriple, ScoresOverflowingEliminationsLikeTheLiteralSearch) {
    auto point = [](double x1, double y1, double z1, double x2, double y2, double z2) {
        CommonPoint p;
        p.x1 = x1, p.y1 = y1, p.z1 = z1, p.x2 = x2, p.y2 = y2, p.z2 = z2;
        return p;
    };
    const struct {
        const char *name;
        std::vector<CommonPoint> points;
    } cases[] = {
        {"an infinite last pivot normalises to NaN, not to 1",
         {point(0, -3e41, 2, 0, -6e97, -5e69), point(0, -1e246, -4e144, 3, -3e100, 2),
          point(-6e27, 2e156, -4e222, 9e211, 0, 0)}},
    };
    for (const auto &c : cases) {
        // Three copies of the first point after the triple, all rejected, so
        // that the triple's third point shares a vector register with them.
        std::vector<CommonPoint> padded = c.points;
        padded.insert(padded.end(), 3, c.points[0]);
        const TripleChoice literal = FindBestTripleLiteral(Table(padded));
        for (const Search &search : ProgramSearches()) {
            const TripleChoice fast = search.run(Table(padded));
            EXPECT_EQ(fast.BestTriple, literal.BestTriple) << c.name << ", " << search.name;
            EXPECT_TRUE(SameBits(fast.BestMisclosure, literal.BestMisclosure))
                << c.name << ", " << search.name;
        }
    }
}

// Every single triple, scored alone: a table of just its three points has that
// one triple, so the two searches' misclosures can be compared triple by
// triple, not only at the chosen one.
TEST(FindBestTriple, ScoresEveryTripleBitForBitLikeTheLiteralSearch) {
    const std::vector<Search> searches = ProgramSearches();
    for (Generator make : {Survey, SmallGrid, SharedColumns, NearlyCollinear, Extreme}) {
        std::mt19937_64 random(99);
        std::vector<CommonPoint> points;
        for (int i = 0; i < 10; ++i)
            points.push_back(make(random, i));
        for (int i = 0; i < 10; ++i)
            for (int j = i + 1; j < 10; ++j)
                for (int k = j + 1; k < 10; ++k) {
                    const CommonPointTable triple = Table({points[i], points[j], points[k]});
                    const TripleChoice literal = FindBestTripleLiteral(triple);
                    for (const Search &search : searches) {
                        const TripleChoice fast = search.run(triple);
                        ASSERT_EQ(fast.BestTriple, literal.BestTriple) << i << j << k;
                        ASSERT_TRUE(SameBits(fast.BestMisclosure, literal.BestMisclosure))
                            << i << j << k << ", " << search.name << ": " << fast.BestMisclosure
                            << " vs " << literal.BestMisclosure;
                    }
                }
    }
}

} // namespace
} // namespace kovarim
