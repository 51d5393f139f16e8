// The common-point reader on any bytes: it either refuses the file with a
// line, or gives no more points than the input has lines, each with finite
// coordinates; and the search over what it read never fails. The same bytes
// read as B L H in ddd.mmssss and a zoned Gauss-Krüger grid: refused with a
// line, or finite X, Y, Z whose residuals can be computed.
#include <cmath>
#include <cstdio>
#include <string>

#include "base/error.h"
#include "estimation/common_points.h"
#include "estimation/triple_search.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    if (size == 0)
        return 0;
    std::string bytes(reinterpret_cast<const char *>(data), size);
    std::FILE *stream = fmemopen(bytes.data(), bytes.size(), "rb");
    std::size_t lineEnds = 0;
    for (char c : bytes)
        lineEnds += c == '\n' || c == '\r';
    try {
        kovarim::FieldReader reader(stream, "fuzz");
        const kovarim::CommonPointTable table = kovarim::ReadCommonPoints(reader);
        FUZZ_CHECK(static_cast<std::size_t>(table.PointCount()) <= lineEnds + 1);
        for (const auto &p : table.points())
            FUZZ_CHECK(std::isfinite(p.x1) && std::isfinite(p.y1) && std::isfinite(p.z1) &&
                       std::isfinite(p.x2) && std::isfinite(p.y2) && std::isfinite(p.z2));
        if (table.PointCount() <= 12) {
            const auto fast = kovarim::FindBestTriple(table);
            const auto literal = kovarim::FindBestTripleLiteral(table);
            FUZZ_CHECK(fast.BestTriple == literal.BestTriple);
            FUZZ_CHECK(fast.BestMisclosure == literal.BestMisclosure);
        }
    } catch (const kovarim::Error &e) {
        FUZZ_CHECK(e.file() == "fuzz");
        // Only a file refused as a whole (UTF-16, UTF-32) names no line.
        FUZZ_CHECK(e.line() >= 1 || e.problem().find("UTF-") != std::string::npos);
    }
    static const kovarim::PointSystems systems{
        kovarim::ParseCoordinateSystem("blh:wgs84,dms"),
        kovarim::ParseCoordinateSystem("gk:bj54:114,zone=38")};
    try {
        kovarim::FieldReader reader(fmemopen(bytes.data(), bytes.size(), "rb"), "fuzz");
        const kovarim::CommonPointTable table = kovarim::ReadCommonPoints(reader, systems);
        for (const auto &p : table.points()) {
            FUZZ_CHECK(std::isfinite(p.x1) && std::isfinite(p.y1) && std::isfinite(p.z1) &&
                       std::isfinite(p.x2) && std::isfinite(p.y2) && std::isfinite(p.z2));
            const kovarim::Values v = kovarim::ResidualsOf(table, kovarim::Params{}, p);
            FUZZ_CHECK(std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]));
        }
    } catch (const kovarim::Error &e) {
        FUZZ_CHECK(e.file() == "fuzz" || e.file().empty());
    }
    return 0;
}
