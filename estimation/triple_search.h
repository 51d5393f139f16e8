#pragma once

#include <functional>
#include <vector>

#include "estimation/common_points.h"

namespace kovarim {

// The search starts with this as the best misclosure, so no triple whose
// misclosure reaches it is ever chosen.
inline constexpr double kMisclosureCeiling = 99999.0;

// The outcome of the search for the best triple of common points.
struct TripleChoice {
    long long BestTriple = 0;             // ordinal of the chosen triple (from 1); 0: none chosen
    int First = 0, Second = 0, Third = 0; // its point numbers, First < Second < Third
    double BestMisclosure = kMisclosureCeiling;
};

// How the search reports how far it has come; both may be left empty.
struct SearchProgress {
    std::function<void(long long tripleCount)> started;
    // Called with the ordinal of the triple about to be tried, at least every
    // 1/1000 of the range, and once more with the last ordinal at the end.
    std::function<void(long long ordinal)> advanced;
};

// n·(n−1)·(n−2)/6, 0 below three points. Throws Error when it does not fit.
long long CountTriples(int pointCount);

// Pairs of points that stand so close in plan that they must be one station
// listed twice (re-measured, or under another name): closer than a
// thousandth of the file's plan extent E, the diagonal of the bounding box of
// all (x1, y1). Two such points fix no rotation, so a triple holding both
// would absorb every error and close deceptively well; it is rejected.
class RepeatedStations {
  public:
    explicit RepeatedStations(const CommonPointTable &table);
    // The points that count as one station with point a, in ascending order.
    const std::vector<int> &Partners(int a) const { return partners_[a]; }
    bool Same(int a, int b) const;
    bool Any() const { return any_; }

  private:
    std::vector<std::vector<int>> partners_; // by point number; slot 0 unused
    bool any_ = false;
};

// True when the three points coincide or lie on one straight line in the
// (x1, y1) plane, as far as exact comparison of the computed values sees it.
bool IsDegenerate(const CommonPoint &pi, const CommonPoint &pj, const CommonPoint &pk);

// Tries every triple i < j < k in order and keeps the one whose two left-over
// equations close best: |b(8)| + |b(9)| after SolveEquations, strictly
// smallest, so the earliest triple wins ties, and nothing of kMisclosureCeiling
// or more is ever chosen. Triples holding one station twice (RepeatedStations),
// degenerate triples, triples whose solve fails and triples whose misclosure
// is not a finite number are passed over without a message.
//
// This is the program's search. It gives bit for bit the result of
// FindBestTripleLiteral, without building labels or eliminating what does not
// depend on the whole triple.
TripleChoice FindBestTriple(const CommonPointTable &table, const SearchProgress &progress = {});

// The same search done literally: every triple's nine equations built and
// handed to SolveEquations. Kept as the reference for tests and benchmarks.
TripleChoice FindBestTripleLiteral(const CommonPointTable &table,
                                   const SearchProgress &progress = {});

} // namespace kovarim
