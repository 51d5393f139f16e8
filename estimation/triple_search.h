#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "estimation/common_points.h"
#include "estimation/repeated_stations.h"

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

// How the search tells how far it has come, and how to stop it; each part
// may be left empty. A front end reads `done` from another thread.
struct SearchProgress {
    // Called once on the searching thread, before any triple is tried.
    std::function<void(long long tripleCount)> started;
    // The number of triples tried so far (rejected ones included), over all
    // threads; it reaches the triple count when the search is over.
    std::atomic<long long> *done = nullptr;
    // Set from anywhere to end the search early: it then throws SearchStopped.
    const std::atomic<bool> *stop = nullptr;
};

struct SearchStopped {};

// How the program's search goes about it; the result is the same whatever
// is chosen. Tests force each path.
struct SearchOptions {
    enum class Width { Best, Scalar, Sse2, Avx2 };
    Width width = Width::Best; // Best: AVX2 where the processor has it, else SSE2
    int threads = 0;           // 0: one per processor, for searches worth it
};

// The vector width the search would use for `requested` on this processor
// (Best resolved, AVX2 only where there is AVX2), and its name.
SearchOptions::Width ResolveWidth(SearchOptions::Width requested);
const char *WidthName(SearchOptions::Width width);

// n·(n−1)·(n−2)/6, 0 below three points. Throws Error when it does not fit.
long long CountTriples(int pointCount);

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
// depend on the whole triple, several third points at a time in vector
// registers, and the pairs shared out over threads.
TripleChoice FindBestTriple(const CommonPointTable &table, const SearchProgress &progress = {},
                            const SearchOptions &options = {});

// The same search done literally: every triple's nine equations built and
// handed to SolveEquations. Kept as the reference for tests and benchmarks.
TripleChoice FindBestTripleLiteral(const CommonPointTable &table,
                                   const SearchProgress &progress = {});

// Why a search chose no triple.
enum class NoTripleReason {
    TooFewPoints, // fewer than three points
    OnOneLine,    // every triple coincides or is collinear in plan
    OneStation,   // every other triple holds two points of one station
    TooLarge,     // the triples left cannot be computed: values too large
    PoorClosure,  // every triple left closes no better than kMisclosureCeiling
};

// Looks for the first triple that passes the rejection tests and says what
// became of it; meant for after a search that chose nothing. Throws
// SearchStopped once `stop` is set.
NoTripleReason ExplainNoTriple(const CommonPointTable &table,
                               const std::atomic<bool> *stop = nullptr);

} // namespace kovarim
