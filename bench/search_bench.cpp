// The best-triple search against the literal reference, on synthetic point
// sets. Throughput is reported as triples per second ("items_per_second");
// each run of the program's search says which vector width and how many
// threads it used. bench/search_ratio.sh prints the ratios.
//
//   cmake --preset dev && cmake --build --preset dev
//   build/dev/bench/search_bench
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <thread>

#include "estimation/triple_search.h"

namespace {

using kovarim::CommonPoint;
using kovarim::CommonPointTable;
using kovarim::SearchOptions;

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

// range(0): points; range(1): width (SearchOptions::Width); range(2): threads, 0 for all.
void BM_FindBestTriple(benchmark::State &state) {
    const CommonPointTable table = SyntheticPoints(static_cast<int>(state.range(0)));
    const SearchOptions options{static_cast<SearchOptions::Width>(state.range(1)),
                                static_cast<int>(state.range(2))};
    for (auto _ : state)
        benchmark::DoNotOptimize(kovarim::FindBestTriple(table, {}, options));
    const unsigned threads = options.threads > 0
                                 ? static_cast<unsigned>(options.threads)
                                 : std::max(1u, std::thread::hardware_concurrency());
    state.SetLabel(std::string(kovarim::WidthName(kovarim::ResolveWidth(options.width))) + ", " +
                   std::to_string(threads) + " thread(s)");
    state.SetItemsProcessed(state.iterations() * kovarim::CountTriples(table.PointCount()));
}

void BM_FindBestTripleLiteral(benchmark::State &state) {
    const CommonPointTable table = SyntheticPoints(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(kovarim::FindBestTripleLiteral(table));
    state.SetLabel("literal, 1 thread");
    state.SetItemsProcessed(state.iterations() * kovarim::CountTriples(table.PointCount()));
}

constexpr int kScalar = static_cast<int>(SearchOptions::Width::Scalar);
constexpr int kSse2 = static_cast<int>(SearchOptions::Width::Sse2);
constexpr int kAvx2 = static_cast<int>(SearchOptions::Width::Avx2);
constexpr int kBest = static_cast<int>(SearchOptions::Width::Best);

} // namespace

BENCHMARK(BM_FindBestTriple)
    ->Name("FindBestTriple")
    ->ArgNames({"points", "width", "threads"})
    ->Args({200, kScalar, 1})
    ->Args({200, kSse2, 1})
    ->Args({200, kAvx2, 1})
    ->Args({200, kBest, 0})
    ->Args({1000, kScalar, 1})
    ->Args({1000, kBest, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_FindBestTripleLiteral)
    ->Name("FindBestTripleLiteral")
    ->ArgNames({"points"})
    ->Arg(200)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

BENCHMARK_MAIN();
