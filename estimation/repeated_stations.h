#pragma once

#include "estimation/common_points.h"

namespace kovarim {

// Decides which points stand so close in plan that they must be one station
// listed twice (re-measured, or under another name). Two such points fix no
// rotation, so a triple holding both would absorb every error and close
// deceptively well; the search rejects it.
//
// Close means nearer than R/500 in (x1, y1), where R is the median plan
// distance of the points from their coordinate-wise median. One or a few wild
// points (a slipped decimal point, a value like 1e200) cannot move R, as they
// would move the file's extent. Where R is 0 or not finite nothing counts as
// one station. Distances are taken in halved coordinates, so that no finite
// coordinate can make them overflow.
//
// Nothing is kept per pair: Same() measures the two points each time it is
// asked, so memory stays the same whatever the geometry.
class RepeatedStations {
  public:
    explicit RepeatedStations(const CommonPointTable &table);

    // Whether points a and b (numbers from 1) count as one station.
    bool Same(int a, int b) const;
    // The plan distance below which two points are one station; 0 when the
    // rule is off.
    double Limit() const { return 2 * halfLimit_; }

  private:
    const CommonPointTable &table_;
    double halfLimit_ = 0.0;
};

} // namespace kovarim
