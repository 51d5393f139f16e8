// A million B, L, H → Gauss-Krüger x, y, h conversions: the projection alone
// and the whole conversion between two systems (checks, zone prefix).
//
//   cmake --preset dev && cmake --build --preset dev
//   build/dev/bench/geodesy_bench
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "geodesy/coordinate_system.h"
#include "geodesy/transverse_mercator.h"

namespace {

constexpr int kPoints = 1000000;

// Points over a 3° zone of China (CM 117°), heights from 0 to 2000 m.
const std::vector<kovarim::Values> &Points() {
    static const std::vector<kovarim::Values> points = [] {
        std::mt19937_64 random(23);
        std::uniform_real_distribution<double> B(18.0, 53.0), L(115.5, 118.5), H(0.0, 2000.0);
        std::vector<kovarim::Values> p(kPoints);
        for (auto &v : p)
            v = {B(random), L(random), H(random)};
        return p;
    }();
    return points;
}

void Projection(benchmark::State &state) {
    const auto &points = Points();
    const kovarim::Ellipsoid &e = kovarim::Cgcs2000();
    for (auto _ : state)
        for (const auto &v : points)
            benchmark::DoNotOptimize(
                kovarim::TransverseMercatorForward(e, 1.0, v[0], v[1] - 117.0));
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(Projection)->Unit(benchmark::kMillisecond);

void GeodeticToGrid(benchmark::State &state) {
    const auto &points = Points();
    const auto from = kovarim::ParseCoordinateSystem("blh:cgcs2000");
    const auto to = kovarim::ParseCoordinateSystem("gk:cgcs2000:117,zone=39");
    for (auto _ : state)
        for (const auto &v : points)
            benchmark::DoNotOptimize(kovarim::ConvertBetween(from, to, v));
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(GeodeticToGrid)->Unit(benchmark::kMillisecond);

void GeocentricToGrid(benchmark::State &state) {
    const auto from = kovarim::ParseCoordinateSystem("blh:cgcs2000");
    const auto to = kovarim::ParseCoordinateSystem("gk:cgcs2000:117,zone=39");
    std::vector<kovarim::Geocentric> points;
    for (const auto &v : Points())
        points.push_back(kovarim::ToGeocentric(from, v));
    for (auto _ : state)
        for (const auto &p : points)
            benchmark::DoNotOptimize(kovarim::FromGeocentric(to, p));
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(GeocentricToGrid)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
