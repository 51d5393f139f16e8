// The least-squares adjustment of the largest file the program reads, 32,767
// common points: its robust start over sampled triples and its data snooping
// (the exhaustive search for the best triple over that many points is
// another matter: bench/search_bench.cpp). Counters: the normal equations'
// solves (the start's small fits among them) and the points found to be
// blunders. Each blunder the
// snooping finds costs a refit over all points, so data with heavy-tailed
// errors (Student's t with 3 degrees of freedom) take far longer than normal
// errors with a few gross ones.
//
//   cmake --preset dev && cmake --build --preset dev
//   build/dev/bench/adjust_bench
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "adjustment/adjustment.h"

namespace {

using kovarim::CommonPoint;
using kovarim::CommonPointTable;

// Points over some 6 km mapped by the example's parameters with 3 mm of
// normal noise (or 2 mm times Student's t(3) with `heavyTails`); every
// `blunderEvery`-th point (0: none) off by decimetres.
CommonPointTable SyntheticPoints(int count, int blunderEvery, bool heavyTails) {
    const kovarim::Params p =
        kovarim::MakeParams(-112.456, 78.123, 45.678, 3.2e-6, 8.7e-6, -1.16e-5, 1.75e-5);
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> plan(0.0, 6000.0), height(20.0, 180.0), gross(0.1, 1);
    std::normal_distribution<double> normal(0.0, 0.003);
    std::student_t_distribution<double> student(3.0);
    auto noise = [&](std::mt19937_64 &r) { return heavyTails ? 0.002 * student(r) : normal(r); };
    CommonPointTable table;
    for (int i = 0; i < count; ++i) {
        CommonPoint q;
        q.Name = "P" + std::to_string(i + 1);
        q.x1 = 2858000.0 + plan(random);
        q.y1 = 589000.0 + plan(random);
        q.z1 = height(random);
        const kovarim::Point3 to = kovarim::TransformPoint(p, q.x1, q.y1, q.z1);
        q.x2 = to.X + noise(random);
        q.y2 = to.Y + noise(random);
        q.z2 = to.Z + noise(random);
        if (blunderEvery > 0 && i % blunderEvery == blunderEvery - 1)
            q.x2 += gross(random);
        table.Add(q);
    }
    return table;
}

// range(0): points; range(1): a blunder every that many points, 0 for none;
// range(2): 1 for heavy-tailed noise.
void BM_AdjustTable(benchmark::State &state) {
    const CommonPointTable table = SyntheticPoints(
        static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) != 0);
    const std::vector<bool> heldOut(static_cast<std::size_t>(table.PointCount()), false);
    kovarim::Adjustment last;
    for (auto _ : state) {
        last = kovarim::AdjustTable(table, heldOut, kovarim::kDefaultAlpha);
        benchmark::DoNotOptimize(last.params);
    }
    state.counters["solves"] = last.solves;
    state.counters["blunders"] = last.blunders;
    state.counters["set_aside_at_start"] = last.setAsideAtStart;
    state.SetItemsProcessed(state.iterations() * table.PointCount());
}

} // namespace

BENCHMARK(BM_AdjustTable)
    ->Name("AdjustTable")
    ->ArgNames({"points", "blunder_every", "heavy_tails"})
    ->Args({1000, 0, 0})
    ->Args({32767, 0, 0})
    ->Args({32767, 1000, 0})
    ->Args({32767, 100, 0})
    ->Args({32767, 0, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_MAIN();
