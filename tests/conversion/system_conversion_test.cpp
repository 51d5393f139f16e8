#include "conversion/system_conversion.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "base/error.h"
#include "testkit.h"
#include "textio/number_text.h"

namespace kovarim {
namespace {

const Params kRoadParams =
    MakeParams(-15.415, 157.025, 94.741, 3.58e-6, -1.5126e-6, 2.7828e-6, -1.02053e-5);

PointSystems Systems(const char *from, const char *to) {
    return {ParseCoordinateSystem(from), ParseCoordinateSystem(to)};
}

std::string Written(const SystemConversion &c, const Values &v) {
    std::string out;
    c.Append(out, v, ',');
    return out;
}

// xyz to xyz is the window's conversion: the same doubles, the same bytes.
TEST(SystemConversion, BetweenXyzIsTheWindowsConversion) {
    const SystemConversion forward(PointSystems{}, kRoadParams, Direction::Forward);
    const SystemConversion back(PointSystems{}, kRoadParams, Direction::Inverse);
    EXPECT_TRUE(forward.Cartesian());
    for (const Values &v : {Values{2860321.78, 592341.79, 0},
                            Values{-2267749.5, 5009154.25, 3221290}, Values{1e-9, -0.0004, 1e15}}) {
        const Point3 p = TransformPoint(kRoadParams, v[0], v[1], v[2]);
        EXPECT_EQ(forward.Convert(v), (Values{p.X, p.Y, p.Z}));
        std::string expected;
        for (double c : {p.X, p.Y, p.Z})
            expected += FormatDelimitedNumber(RoundCoordinate(c)) + ",";
        expected.pop_back();
        EXPECT_EQ(Written(forward, forward.Convert(v)), expected);
        const Point3 q = InverseTransformPoint(kRoadParams, v[0], v[1], v[2]);
        EXPECT_EQ(back.Convert(v), (Values{q.X, q.Y, q.Z}));
    }
}

// With parameters each way, the point comes back: B, L within 1e-10°, the
// grid within 0.01 mm; the target's values are written in its forms.
TEST(SystemConversion, GoesThereAndBackWithParameters) {
    const PointSystems road = Systems("blh:wgs84,dms", "gk:bj54:114,zone=38");
    const SystemConversion there(road, kRoadParams, Direction::Forward);
    const SystemConversion back(road, kRoadParams, Direction::Inverse);
    EXPECT_EQ(there.source(), road.from);
    EXPECT_EQ(back.source(), road.to);
    EXPECT_FALSE(there.Cartesian());
    const Values blh = {there.Read(0, "30.302515"), there.Read(1, "114.0003"), 12.5};
    EXPECT_NEAR(blh[0], 30 + 30 / 60.0 + 25.15 / 3600.0, 1e-14);
    const Values grid = there.Convert(blh);
    const Values again = back.Convert(grid);
    EXPECT_NEAR(again[0], blh[0], 1e-10);
    EXPECT_NEAR(again[1], blh[1], 1e-10);
    EXPECT_NEAR(again[2], blh[2], 1e-5);
    EXPECT_NEAR(there.Convert(again)[0], grid[0], 1e-5);
    // The grid's y with its zone, 3 decimals; B L in ddd.mmssss, 5 decimals of
    // seconds, trailing zeros dropped as a number's are.
    const std::string x = Written(there, grid);
    EXPECT_EQ(x.substr(x.find(',') + 1, 2), "38") << x;
    EXPECT_EQ(Written(back, {30.507, 114.00083333333333, 12.34567}), "30.30252,114.0003,12.346");
    EXPECT_EQ(Written(SystemConversion(Systems("xyz", "blh:bj54")), {30.5, -114.123456789012, 0.5}),
              "30.5,-114.123456789,0.5");
}

// Without parameters only on one ellipsoid: the zone change, B L H to the
// grid and back, X Y Z of that ellipsoid; two ellipsoids refused naming both.
TEST(SystemConversion, WithoutParametersStaysOnOneEllipsoid) {
    const SystemConversion zoneChange(
        Systems("gk:cgcs2000:117,zone=39", "gk:cgcs2000:114,zone=38"));
    const Values moved = zoneChange.Convert({3378817.0553, 39235948.9444, 12.5});
    EXPECT_EQ(moved, ConvertBetween(ParseCoordinateSystem("gk:cgcs2000:117,zone=39"),
                                    ParseCoordinateSystem("gk:cgcs2000:114,zone=38"),
                                    {3378817.0553, 39235948.9444, 12.5}));
    EXPECT_EQ(std::floor(moved[1] / 1e6), 38);
    const SystemConversion toXyz(Systems("blh:cgcs2000", "xyz"));
    const Values xyz = toXyz.Convert({30, 120, 0});
    EXPECT_NEAR(xyz[0], -2764128.3196, 1e-3); // CartConvert on GRS80
    EXPECT_NEAR(xyz[1], 4787610.6883, 1e-3);
    EXPECT_NEAR(xyz[2], 3170373.7353, 1e-3);

    for (const auto &[from, to] :
         {std::pair{"blh:wgs84", "gk:cgcs2000:117"}, std::pair{"gk:bj54:117", "blh:xian80"}}) {
        const Error e = testkit::ErrorThrownBy([&] { SystemConversion(Systems(from, to)); });
        const std::string says = e.what();
        EXPECT_NE(says.find(std::string("原坐标系 ") + from + " 与新坐标系 " + to + " 的椭球不同"),
                  std::string::npos)
            << says;
        EXPECT_EQ(DifferentEllipsoids(Systems(from, to)).value_or(""), e.problem());
    }
    EXPECT_FALSE(DifferentEllipsoids(Systems("xyz", "blh:wgs84")));
}

// Refusals keep the field of the value they are about; a result the target
// cannot write names no field.
TEST(SystemConversion, RefusesWithTheFieldOfTheValue) {
    const PointSystems road = Systems("blh:wgs84", "gk:bj54:114,zone=38");
    const SystemConversion there(road, kRoadParams, Direction::Forward);
    EXPECT_EQ(testkit::ErrorThrownBy([&] { there.Convert({91, 114, 0}); }).field(), 1);
    EXPECT_EQ(testkit::ErrorThrownBy([&] { there.Read(1, "114,5"); }).field(), 2);
    const Error far = testkit::ErrorThrownBy([&] { there.Convert({30, 125, 0}); });
    EXPECT_EQ(far.field(), 0);
    EXPECT_NE(std::string(far.what()).find("超过 9°"), std::string::npos) << far.what();
    const SystemConversion back(road, kRoadParams, Direction::Inverse);
    EXPECT_EQ(testkit::ErrorThrownBy([&] { back.Convert({3375000, 39510000, 0}); }).field(), 2);
}

} // namespace
} // namespace kovarim
