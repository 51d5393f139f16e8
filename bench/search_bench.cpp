// The best-triple search against the literal reference, on synthetic point
// sets. Throughput is reported as triples per second ("items_per_second").
//
//   cmake --preset dev && cmake --build --preset dev
//   build/dev/bench/search_bench
#include <benchmark/benchmark.h>

#include <random>

#include "estimation/triple_search.h"

namespace {

using kovarim::CommonPoint;
using kovarim::CommonPointTable;

// Points spread over a few kilometres, mapped by a small rotation, scale and
// shift, with millimetre noise: what a survey's common points look like.
CommonPointTable SyntheticPoints(int count) {
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> plan(0.0, 5000.0), height(0.0, 300.0);
    std::normal_distribution<double> noise(0.0, 0.003);
    CommonPointTable table;
    for (int i = 0; i < count; ++i) {
        CommonPoint p;
        p.Name = "P" + std::to_string(i + 1);
        p.x1 = 2860000.0 + plan(random);
        p.y1 = 592000.0 + plan(random);
        p.z1 = height(random);
        p.x2 = p.x1 + 12.3 + 4e-6 * p.x1 + 2e-6 * p.y1 - 1e-6 * p.z1 + noise(random);
        p.y2 = p.y1 - 45.6 - 2e-6 * p.x1 + 4e-6 * p.y1 + 3e-6 * p.z1 + noise(random);
        p.z2 = p.z1 + 7.8 + 1e-6 * p.x1 - 3e-6 * p.y1 + 4e-6 * p.z1 + noise(random);
        table.Add(p);
    }
    return table;
}

template <kovarim::TripleChoice (*Search)(const CommonPointTable &,
                                          const kovarim::SearchProgress &)>
void BM_Search(benchmark::State &state) {
    const CommonPointTable table = SyntheticPoints(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Search(table, {}));
    state.SetItemsProcessed(state.iterations() * kovarim::CountTriples(table.PointCount()));
}

} // namespace

BENCHMARK(BM_Search<kovarim::FindBestTriple>)
    ->Name("FindBestTriple")
    ->Arg(50)
    ->Arg(200)
    ->Arg(500)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Search<kovarim::FindBestTripleLiteral>)
    ->Name("FindBestTripleLiteral")
    ->Arg(50)
    ->Arg(200)
    ->Arg(500)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
