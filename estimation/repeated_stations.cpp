#include "estimation/repeated_stations.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kovarim {
namespace {

// The median of `values` (reordered); the mean of the middle two for an even
// count, formed so that it cannot overflow.
double Median(std::vector<double> &values) {
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    const double upper = values[middle];
    if (values.size() % 2 == 1)
        return upper;
    const double lower = *std::max_element(values.begin(), values.begin() + middle);
    return lower / 2 + upper / 2;
}

// Half the plan distance of two positions: never inf for finite coordinates.
double HalfDistance(double xa, double ya, double xb, double yb) {
    return std::hypot(xa / 2 - xb / 2, ya / 2 - yb / 2);
}

} // namespace

RepeatedStations::RepeatedStations(const CommonPointTable &table) : table_(table) {
    const std::size_t n = table.points().size();
    if (n < 2)
        return;
    std::vector<double> values(n);
    std::transform(table.points().begin(), table.points().end(), values.begin(),
                   [](const CommonPoint &p) { return p.x1; });
    const double medianX = Median(values);
    std::transform(table.points().begin(), table.points().end(), values.begin(),
                   [](const CommonPoint &p) { return p.y1; });
    const double medianY = Median(values);
    std::transform(
        table.points().begin(), table.points().end(), values.begin(),
        [&](const CommonPoint &p) { return HalfDistance(p.x1, p.y1, medianX, medianY); });
    const double halfR = Median(values);
    if (std::isfinite(halfR) && halfR > 0.0)
        halfLimit_ = halfR / 500;
}

bool RepeatedStations::Same(int a, int b) const {
    const CommonPoint &pa = table_.Point(a), &pb = table_.Point(b);
    return HalfDistance(pa.x1, pa.y1, pb.x1, pb.y1) < halfLimit_;
}

} // namespace kovarim
