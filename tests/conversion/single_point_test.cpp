#include "conversion/single_point.h"

#include <map>

#include <gtest/gtest.h>

#include "base/error.h"

namespace kovarim {
namespace {

using Shown = std::map<Axis, std::string>;

Shown Convert(const Params &params, const char *x, const char *y, const char *z) {
    Shown shown;
    ConvertSinglePoint(params, x, y, z,
                       [&](Axis axis, const std::string &text) { shown[axis] = text; });
    return shown;
}

TEST(ConvertSinglePoint, ReadsTheBoxesAsUsersTypeThem) {
    const struct {
        const char *x, *y, *z;
        Shown expected;
    } cases[] = {
        {"2860321.78",
         "592341.79",
         "0",
         {{Axis::X, "2860321.78"}, {Axis::Y, "592341.79"}, {Axis::Z, "0"}}},
        {"1.23456", "0.0625", "", {{Axis::X, "1.235"}, {Axis::Y, "0.062"}, {Axis::Z, "0"}}},
        {"2860 321.78",
         "592341.79m",
         "abc",
         {{Axis::X, "2860321.78"}, {Axis::Y, "592341.79"}, {Axis::Z, "0"}}},
        {"2,860,321.78", "1D3", "-0.0001", {{Axis::X, "2"}, {Axis::Y, "1000"}, {Axis::Z, "0"}}},
        {"12.5", "-0.25", "3", {{Axis::X, "12.5"}, {Axis::Y, "-0.25"}, {Axis::Z, "3"}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Convert(Params{}, c.x, c.y, c.z), c.expected) << c.x << " " << c.y << " " << c.z;
}

TEST(ConvertSinglePoint, AppliesTheParametersAndRounds) {
    const Params p = MakeParams(12.3, -45.6, 7.8, 4e-6, 0, 0, 0);
    EXPECT_EQ(Convert(p, "1000000", "2000000", "100"),
              (Shown{{Axis::X, "1000016.3"}, {Axis::Y, "1999962.4"}, {Axis::Z, "107.8"}}));
}

TEST(ConvertSinglePoint, StopsAtAnOverflowKeepingWhatWasShown) {
    Params p{};
    p[Scale] = 10.0;
    Shown shown;
    EXPECT_THROW(ConvertSinglePoint(p, "1", "1e308", "1",
                                    [&](Axis a, const std::string &t) { shown[a] = t; }),
                 Error);
    EXPECT_EQ(shown, (Shown{{Axis::X, "11"}}));

    shown.clear();
    EXPECT_THROW(ConvertSinglePoint(Params{}, "1e999", "1", "1",
                                    [&](Axis a, const std::string &t) { shown[a] = t; }),
                 Error);
    EXPECT_TRUE(shown.empty());
}

} // namespace
} // namespace kovarim
