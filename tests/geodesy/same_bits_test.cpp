// The geodesy's results to the last bit, as fixed texts made on Linux: the
// same test under wine holds the Windows build to the same bits (the
// elementary functions are the program's own, not the C library's).
#include <charconv>
#include <string>

#include <gtest/gtest.h>

#include "geodesy/coordinate_system.h"
#include "geodesy/transverse_mercator.h"

namespace kovarim {
namespace {

std::string Bits(std::initializer_list<double> values) {
    std::string text;
    for (double v : values) {
        char buffer[40]; // the library's own hexadecimal form, not the C runtime's
        const auto [end, ec] =
            std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::hex);
        text.append(buffer, end);
        text += ' ';
    }
    return text;
}

std::string Texts(const CoordinateSystem &s, const Values &v) {
    return SystemValueText(s, 0, v[0]) + " " + SystemValueText(s, 1, v[1]) + " " +
           SystemValueText(s, 2, v[2]);
}

TEST(SameBits, OnEverySystem) {
    const Geocentric g = ToGeocentric(Cgcs2000(), {30.302515, 114.25, 100.0});
    const Geodetic back = ToGeodetic(Beijing54(), {-2248617.5763, 5050477.767, 3170480.0972});
    const GridPoint p = TransverseMercatorForward(Xian80(), 1.0, 30.5, 2.75);
    const GridInverse q = TransverseMercatorInverse(Wgs84(), 0.9996, 5000000.0, -321000.5);
    const CoordinateSystem zone38 = ParseCoordinateSystem("gk:xian80:114,zone=38");
    const CoordinateSystem zone39 = ParseCoordinateSystem("gk:xian80:117,zone=39");
    const CoordinateSystem dms = ParseCoordinateSystem("blh:wgs84,dms");
    const Values changed = ConvertBetween(zone38, zone39, {3378817.0553, 38640000.1234, -8.6948});
    const Values grid = ConvertBetween(dms, ParseCoordinateSystem("gk:wgs84:117,zone=39"),
                                       {30.302515, 118.2959599, 12.5});
    const Values geodetic = FromGeocentric(dms, g);

    EXPECT_EQ(Bits({g.X, g.Y, g.Z}),
              "-1.1453e37d7fab5p+21 1.32b65d656a6cp+22 1.868df1b2ae007p+21 ");
    EXPECT_EQ(Bits({back.B, back.L, back.H}),
              "1.dfffffffd9287p+4 1.c7fffffff2c27p+6 1.8fffe913cp+6 ");
    EXPECT_EQ(Bits({p.x, p.y, p.convergence, p.scale}),
              "1.9c7247a9b64bep+21 1.01dbabc6154cbp+18 1.65838e3fd1343p+0 1.003859df7d204p+0 ");
    EXPECT_EQ(Bits({q.B, q.l, q.convergence, q.scale}),
              "1.68a50c947cf49p+5 -1.0506eddc47c83p+2 -1.71fb43bd7856cp+1 1.0038d56c7f10ap+0 ");
    EXPECT_EQ(Bits({changed[0], changed[1]}), "1.9c7756396362dp+21 1.2c3b790b50b92p+25 ");
    EXPECT_EQ(Texts(zone39, changed), "3378922.778 39352050.088 -8.695");
    EXPECT_EQ(Bits({grid[0], grid[1]}), "1.9977c14b88ff1p+21 1.2e4fed4e376afp+25 ");
    EXPECT_EQ(Texts(zone39, grid), "3354360.162 39624666.611 12.5");
    EXPECT_EQ(Bits({geodetic[0], geodetic[1], geodetic[2]}),
              "1.e4d719f7c0459p+4 1.c9p+6 1.8ffff905ap+6 ");
    EXPECT_EQ(Texts(dms, geodetic), "30.1809054 114.15 100");
}

} // namespace
} // namespace kovarim
