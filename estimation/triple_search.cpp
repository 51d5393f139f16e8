#include "estimation/triple_search.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "base/error.h"
#include "estimation/equations.h"
#include "estimation/triple_scoring.h"

namespace kovarim {
namespace {

// Counts the triples tried into progress.done, a pair's worth at a time, and
// tells whether the search is to stop.
class Progress {
  public:
    Progress(const SearchProgress &progress, long long tripleCount) : progress_(progress) {
        if (progress_.started)
            progress_.started(tripleCount);
    }
    void Add(long long triples) const {
        if (progress_.done != nullptr)
            progress_.done->fetch_add(triples, std::memory_order_relaxed);
    }
    bool Stopped() const {
        return progress_.stop != nullptr && progress_.stop->load(std::memory_order_relaxed);
    }

  private:
    const SearchProgress &progress_;
};

void Consider(double misclosure, long long t, int i, int j, int k, TripleChoice &best) {
    // Strict: among equal misclosures the earliest triple keeps its place.
    // A NaN compares false and is never chosen.
    if (misclosure < best.BestMisclosure && std::isfinite(misclosure)) {
        best.BestMisclosure = misclosure;
        best.BestTriple = t;
        best.First = i;
        best.Second = j;
        best.Third = k;
    }
}

} // namespace

long long CountTriples(int pointCount) {
    if (pointCount < 3)
        return 0;
    const long long n = pointCount;
    long long product = 0; // n·(n−1)/2·(n−2), always a multiple of 3
    if (__builtin_mul_overflow(n * (n - 1) / 2, n - 2, &product))
        throw Error("公共点太多，无法计算（" + std::to_string(pointCount) + " 个）");
    return product / 3;
}

bool IsDegenerate(const CommonPoint &pi, const CommonPoint &pj, const CommonPoint &pk) {
    // Exact comparisons on purpose: only what coincides or is collinear in the
    // computed values is rejected; nearly collinear triples are solved.
    if (pi.x1 == pj.x1 && pi.y1 == pj.y1)
        return true;
    if (pi.x1 == pk.x1 && pi.y1 == pk.y1)
        return true;
    if (pj.x1 == pk.x1 && pj.y1 == pk.y1)
        return true;
    const double dx1 = pj.x1 - pi.x1, dy1 = pj.y1 - pi.y1;
    const double dx2 = pk.x1 - pj.x1, dy2 = pk.y1 - pj.y1;
    if (dy1 == 0.0 && dy2 == 0.0)
        return true;
    return dy1 != 0.0 && dy2 != 0.0 && dx1 / dy1 == dx2 / dy2;
}

TripleChoice FindBestTripleLiteral(const CommonPointTable &table, const SearchProgress &progress) {
    const int n = table.PointCount();
    const Progress counter(progress, CountTriples(n));
    const RepeatedStations stations(table);
    TripleChoice best;
    EquationSystem system;
    long long t = 0;
    for (int i = 1; i <= n - 2; ++i)
        for (int j = i + 1; j <= n - 1; ++j) {
            if (counter.Stopped())
                throw SearchStopped{};
            for (int k = j + 1; k <= n; ++k) {
                ++t;
                if (stations.Same(i, j) || stations.Same(i, k) || stations.Same(j, k))
                    continue;
                if (IsDegenerate(table.Point(i), table.Point(j), table.Point(k)))
                    continue;
                double misclosure = 0.0;
                if (ScoreLiterally(table, i, j, k, system, misclosure))
                    Consider(misclosure, t, i, j, k, best);
            }
            counter.Add(n - j);
        }
    return best;
}

SearchOptions::Width ResolveWidth(SearchOptions::Width requested) {
    using Width = SearchOptions::Width;
#if defined(__x86_64__) || defined(__i386__)
    const bool avx2 = kernels::Avx2Available();
    if (requested == Width::Best)
        return avx2 ? Width::Avx2 : Width::Sse2;
    return requested == Width::Avx2 && !avx2 ? Width::Sse2 : requested;
#else
    (void)requested;
    return Width::Scalar;
#endif
}

const char *WidthName(SearchOptions::Width width) {
    switch (width) {
    case SearchOptions::Width::Scalar:
        return "scalar";
    case SearchOptions::Width::Sse2:
        return "SSE2";
    case SearchOptions::Width::Avx2:
        return "AVX2";
    case SearchOptions::Width::Best:
        break;
    }
    return "best";
}

namespace {

// One thread's share of the program's search: the pairs (i, j) for the i it
// takes, with its own best triple. Merged in the end by misclosure, then by
// ordinal, the shares give the sequential search's choice.
class SearchShare {
  public:
    SearchShare(const CommonPointTable &table, const RepeatedStations &stations,
                SearchOptions::Width width)
        : table_(table), stations_(stations), width_(width), n_(table.PointCount()) {
        for (auto &column : columns_)
            column.resize(static_cast<std::size_t>(n_) + 1);
        for (int c = 0; c < 15; ++c)
            columnPointers_[c] = columns_[c].data();
    }

    // All triples (i, j, k); `firstOrdinal` is the ordinal of (i, i+1, i+2).
    void SearchFrom(int i, long long firstOrdinal, const Progress &progress);
    const TripleChoice &best() const { return best_; }

  private:
    static void AttendThunk(void *self, int k, double misclosure, bool scalar) {
        static_cast<SearchShare *>(self)->Attend(k, misclosure, scalar);
    }
    void Attend(int k, double misclosure, bool scalar);
    DifferenceRows RowsOf(int m) const {
        DifferenceRows rows;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 5; ++c)
                rows.row[r][c] = columns_[5 * r + c][m];
        return rows;
    }
    bool Rejected(int k) const {
        return stations_.Same(i_, k) || stations_.Same(j_, k) ||
               IsDegenerate(table_.Point(i_), table_.Point(j_), table_.Point(k));
    }

    const CommonPointTable &table_;
    const RepeatedStations &stations_;
    const SearchOptions::Width width_;
    const int n_;
    std::vector<double> columns_[15];
    const double *columnPointers_[15];
    TripleChoice best_;
    // The pair being searched.
    int i_ = 0, j_ = 0;
    long long pairOrdinal_ = 0; // the ordinal of (i, j, j + 1)
    PairPivots pivots_{};
};

// A third point that the kernel could not settle, or whose misclosure beats
// the best so far. The degeneracy tests decide nothing else, so they are made
// only here.
void SearchShare::Attend(int k, double misclosure, bool scalar) {
    if (scalar && !ScoreWithPair(pivots_, RowsOf(k), misclosure))
        return;
    if (!(misclosure < best_.BestMisclosure) || Rejected(k))
        return;
    Consider(misclosure, pairOrdinal_ + (k - j_ - 1), i_, j_, k, best_);
}

void SearchShare::SearchFrom(int i, long long firstOrdinal, const Progress &progress) {
    const CommonPoint &pi = table_.Point(i);
    const bool shortcut = ShortcutHolds(pi);
    if (shortcut)
        for (int m = i + 1; m <= n_; ++m) {
            const DifferenceRows rows = Differences(pi, table_.Point(m));
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 5; ++c)
                    columns_[5 * r + c][m] = rows.row[r][c];
        }
    EquationSystem system; // only for the literal fallback
    i_ = i;
    long long ordinal = firstOrdinal;
    for (int j = i + 1; j <= n_ - 1; ordinal += n_ - j, progress.Add(n_ - j), ++j) {
        if (progress.Stopped())
            break;
        const CommonPoint &pj = table_.Point(j);
        // Every k is rejected when i and j are one station or coincide in plan.
        if ((pi.x1 == pj.x1 && pi.y1 == pj.y1) || stations_.Same(i, j))
            continue;
        j_ = j;
        pairOrdinal_ = ordinal;
        if (shortcut && ReducePair(RowsOf(j), pivots_)) {
            int k = j + 1;
            if (width_ == SearchOptions::Width::Avx2)
                k = kernels::ScoreRunAvx2(pivots_, columnPointers_, k, n_ + 1, best_.BestMisclosure,
                                          AttendThunk, this);
            else if (width_ == SearchOptions::Width::Sse2)
                k = kernels::ScoreRunSse2(pivots_, columnPointers_, k, n_ + 1, best_.BestMisclosure,
                                          AttendThunk, this);
            k = kernels::ScoreRunScalar(pivots_, columnPointers_, k, n_ + 1, best_.BestMisclosure,
                                        AttendThunk, this);
        } else {
            // Rare: point i not finite, or a pivot of the pair that needs a
            // row of point k. Triple by triple, the tests first.
            const DifferenceRows rowsJ = shortcut ? RowsOf(j) : DifferenceRows{};
            for (int k = j + 1; k <= n_; ++k) {
                if (Rejected(k))
                    continue;
                double misclosure = 0.0;
                const bool solved = shortcut ? ScoreFromDifferences(rowsJ, RowsOf(k), misclosure)
                                             : ScoreLiterally(table_, i, j, k, system, misclosure);
                if (solved)
                    Consider(misclosure, ordinal + (k - j - 1), i, j, k, best_);
            }
        }
    }
}

// Whether `a` is the better choice: the smaller misclosure, then the earlier
// triple, as the sequential search with its strict comparison would have it.
bool Better(const TripleChoice &a, const TripleChoice &b) {
    if (a.BestTriple == 0 || b.BestTriple == 0)
        return b.BestTriple == 0 && a.BestTriple != 0;
    return a.BestMisclosure < b.BestMisclosure ||
           (a.BestMisclosure == b.BestMisclosure && a.BestTriple < b.BestTriple);
}

// Searches with so few triples are not worth a thread.
constexpr long long kTriplesPerThread = 200000;

} // namespace

TripleChoice FindBestTriple(const CommonPointTable &table, const SearchProgress &progress,
                            const SearchOptions &options) {
    const int n = table.PointCount();
    const long long count = CountTriples(n);
    const Progress counter(progress, count);
    const RepeatedStations stations(table);
    const SearchOptions::Width width = ResolveWidth(options.width);

    // The ordinal of (i, i+1, i+2): the triples whose first point is before i.
    std::vector<long long> firstOrdinal(static_cast<std::size_t>(std::max(n, 0)) + 1, 1);
    for (int i = 2; i <= n; ++i) {
        const long long rest = n - (i - 1);
        firstOrdinal[i] = firstOrdinal[i - 1] + rest * (rest - 1) / 2;
    }

    int threads = options.threads;
    if (threads <= 0)
        threads = count < kTriplesPerThread
                      ? 1
                      : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    threads = std::max(1, std::min(threads, std::max(1, n - 2)));

    // Each thread takes the next i until none is left; the first points come
    // with the most triples, so the shares even out.
    std::atomic<int> nextI{1};
    std::vector<TripleChoice> bests(static_cast<std::size_t>(threads));
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(threads));
    auto work = [&](int share) {
        try {
            SearchShare search(table, stations, width);
            for (int i = nextI++; i <= n - 2 && !counter.Stopped(); i = nextI++)
                search.SearchFrom(i, firstOrdinal[i], counter);
            bests[share] = search.best();
        } catch (...) {
            failures[share] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    for (int share = 1; share < threads; ++share) {
        try {
            helpers.emplace_back(work, share);
        } catch (const std::system_error &) {
            break; // no more threads to be had: the others take its share
        }
    }
    work(0);
    for (std::thread &helper : helpers)
        helper.join();
    for (const std::exception_ptr &failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    if (counter.Stopped())
        throw SearchStopped{};

    TripleChoice best;
    for (const TripleChoice &share : bests)
        if (Better(share, best))
            best = share;
    return best;
}

} // namespace kovarim

namespace kovarim {

NoTripleReason ExplainNoTriple(const CommonPointTable &table, const std::atomic<bool> *stop) {
    const int n = table.PointCount();
    if (n < 3)
        return NoTripleReason::TooFewPoints;
    // Points on one line make every triple degenerate; seen from the first
    // two points apart in plan, without trying every triple.
    int q = 2;
    while (q <= n && table.Point(q).x1 == table.Point(1).x1 &&
           table.Point(q).y1 == table.Point(1).y1)
        ++q;
    bool onOneLine = true;
    for (int r = 2; r <= n && onOneLine; ++r)
        if (r != q && q <= n)
            onOneLine = r < q ? IsDegenerate(table.Point(1), table.Point(r), table.Point(q))
                              : IsDegenerate(table.Point(1), table.Point(q), table.Point(r));
    if (onOneLine)
        return NoTripleReason::OnOneLine;

    const RepeatedStations stations(table);
    bool stationRejected = false;
    EquationSystem system;
    for (int i = 1; i <= n - 2; ++i)
        for (int j = i + 1; j <= n - 1; ++j) {
            if (stop != nullptr && stop->load(std::memory_order_relaxed))
                throw SearchStopped{};
            const CommonPoint &pi = table.Point(i), &pj = table.Point(j);
            if (pi.x1 == pj.x1 && pi.y1 == pj.y1)
                continue;
            if (stations.Same(i, j)) {
                stationRejected = true;
                continue;
            }
            for (int k = j + 1; k <= n; ++k) {
                if (IsDegenerate(pi, pj, table.Point(k)))
                    continue;
                if (stations.Same(i, k) || stations.Same(j, k)) {
                    stationRejected = true;
                    continue;
                }
                double misclosure = 0.0;
                if (!ScoreLiterally(table, i, j, k, system, misclosure) ||
                    !std::isfinite(misclosure))
                    return NoTripleReason::TooLarge;
                return NoTripleReason::PoorClosure;
            }
        }
    return stationRejected ? NoTripleReason::OneStation : NoTripleReason::OnOneLine;
}

} // namespace kovarim
