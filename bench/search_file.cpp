// Times the program's search and the literal one on a common-point file.
//
//   search_file FILE
#include <chrono>
#include <cstdio>

#include "base/error.h"
#include "estimation/common_points.h"
#include "estimation/triple_search.h"

namespace {

template <class Search> double Seconds(Search search) {
    const auto start = std::chrono::steady_clock::now();
    search();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: search_file FILE\n");
        return 2;
    }
    try {
        const kovarim::CommonPointTable table = kovarim::ReadCommonPointFile(argv[1]);
        kovarim::TripleChoice fast, literal;
        const double fastSeconds = Seconds([&] { fast = kovarim::FindBestTriple(table); });
        const double literalSeconds =
            Seconds([&] { literal = kovarim::FindBestTripleLiteral(table); });
        std::printf("%d points, %lld triples: search %.3f s, literal search %.3f s, %.1fx; "
                    "same triple: %s\n",
                    table.PointCount(), kovarim::CountTriples(table.PointCount()), fastSeconds,
                    literalSeconds, literalSeconds / fastSeconds,
                    fast.BestTriple == literal.BestTriple ? "yes" : "NO");
    } catch (const kovarim::Error &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
