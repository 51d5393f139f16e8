#include "geodesy/coordinate_system.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "geodesy/proj_steps.h"
#include "oracle.h"

namespace kovarim {
namespace {

Error ErrorOf(const std::function<void()> &action) {
    try {
        action();
    } catch (const Error &e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return Error("<no error>");
}

constexpr double kDegree = 3.14159265358979323846 / 180.0;

bool Contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

TEST(ParseCoordinateSystem, ReadsEveryFormAndWritesItsCanonicalText) {
    const struct {
        const char *argument, *canonical;
    } cases[] = {
        {"xyz", "xyz"},
        {"XYZ", "xyz"},
        {"blh:wgs84", "blh:wgs84"},
        {"BLH:WGS84,DMS", "blh:wgs84,dms"},
        {"blh:cgcs2000,dms", "blh:cgcs2000,dms"},
        {"blh:6378245/298.3", "blh:bj54"},
        {"blh:6378140/298.257", "blh:xian80"},
        {"blh:6378137/298.25", "blh:6378137/298.25"},
        {"blh:6378137.5/2.98e2", "blh:6378137.5/298"},
        {"gk:bj54:117", "gk:bj54:117"},
        {"gk:cgcs2000:117,zone=39", "gk:cgcs2000:117,zone=39"},
        {"gk:xian80:114.5,k=0.9996,fe=0", "gk:xian80:114.5,k=0.9996,fe=0"},
        {"gk:wgs84:117.0,fe=500000,k=1,zone=20", "gk:wgs84:117,zone=20"},
        {"gk:6378137/298.257223563:-3", "gk:wgs84:-3"},
        {"gk:bj54:1e2", "gk:bj54:100"},
        {"gk:bj54:-0", "gk:bj54:0"},
        {"gk:bj54:360", "gk:bj54:360"},
        {" gk : bj54 : 117 , ZONE = 39 ", "gk:bj54:117,zone=39"},
        {"gk:bj54:111,fe=-1e-7", "gk:bj54:111,fe=-0.0000001"},
        {"gk:bj54:111,fe=1e-8", "gk:bj54:111,fe=1e-08"},
        {"gk:bj54:111,fe=1e15", "gk:bj54:111,fe=1e+15"},
        {"gk:bj54:0.1,k=1.0000001", "gk:bj54:0.1,k=1.0000001"},
    };
    for (const auto &c : cases) {
        const CoordinateSystem s = ParseCoordinateSystem(c.argument);
        EXPECT_EQ(CoordinateSystemText(s), c.canonical) << c.argument;
        EXPECT_EQ(ParseCoordinateSystem(CoordinateSystemText(s)), s) << c.argument;
    }
    const CoordinateSystem gk = ParseCoordinateSystem("gk:bj54:114.5,zone=38,k=0.9996,fe=1000");
    EXPECT_EQ(gk.kind(), SystemKind::GaussKruger);
    EXPECT_EQ(*gk.ellipsoid(), Beijing54());
    EXPECT_EQ(gk.centralMeridian(), 114.5);
    EXPECT_EQ(gk.zone(), 38);
    EXPECT_EQ(gk.scale(), 0.9996);
    EXPECT_EQ(gk.falseEasting(), 1000.0);
    EXPECT_TRUE(ParseCoordinateSystem("blh:xian80,dms").dms());
    EXPECT_FALSE(ParseCoordinateSystem("xyz").ellipsoid());
}

TEST(ParseCoordinateSystem, CanonicalTextsOfAnySystemReadBackTheSame) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> meridian(-360.0, 360.0), inZone(-1.5, 1.5), k(0.5, 1.5),
        fe(-1e6, 1e6), a(6e6, 7e6), rf(50.0, 1000.0);
    for (int i = 0; i < 2000; ++i) {
        const Ellipsoid e(a(random), rf(random));
        // A zone number with a meridian in its 3° zone; without one, any meridian.
        const int zone = i % 120;
        const double centralMeridian = zone == 0 ? meridian(random) : 3.0 * zone + inZone(random);
        for (const CoordinateSystem &s :
             {CoordinateSystem::Geodetic(e, i % 2 == 0),
              CoordinateSystem::GaussKruger(e, centralMeridian, zone, k(random), fe(random))})
            ASSERT_EQ(ParseCoordinateSystem(CoordinateSystemText(s)), s) << CoordinateSystemText(s);
    }
}

// Each refusal names the argument, says what is wrong and lists the forms.
TEST(ParseCoordinateSystem, RefusesWhatItCannotReadNamingTheArgument) {
    const struct {
        const char *argument, *why;
    } cases[] = {
        {"", "没有写坐标系"},
        {"utm:wgs84", "种类只有 xyz、blh、gk"},
        {"xyz:wgs84", "xyz 不带椭球"},
        {"xyz,dms", "xyz 不带椭球或选项"},
        {"blh", "blh 后缺少椭球"},
        {"blh:", "无法识别椭球"},
        {"blh:wgs72", "无法识别椭球 “wgs72”"},
        {"blh:wgs84:117", "blh 只带椭球"},
        {"blh:wgs84,zone=3", "blh 的选项只有 dms"},
        {"blh:wgs84,dms,dms", "dms 写了两次"},
        {"gk:bj54", "gk 需要椭球和中央子午线"},
        {"gk:bj54:117:3", "gk 只带椭球和中央子午线"},
        {"gk:bj54:abc", "中央子午线 “abc” 不是十进制度数"},
        {"gk:bj54:117°", "不是十进制度数"},
        {"gk:bj54:400", "超出 −360° 至 360°"},
        {"gk:bj54:117,zone=0", "带号 zone 应为 1 至 999 的整数"},
        // The zone of the next meridian, or a 6° zone's number with a 3° meridian.
        {"gk:xian80:120,zone=39", "中央子午线 120° 不在第 39 带内（3° 带第 39 带为 115.5° 至 "
                                  "118.5°，6° 带第 39 带为 228° 至 234°）"},
        {"gk:xian80:111,zone=20", "不在第 20 带内"},
        {"gk:xian80:117,zone=80", "（3° 带第 80 带为 238.5° 至 241.5°）"},
        {"gk:bj54:117,zone=39.5", "带号 zone 应为 1 至 999 的整数"},
        {"gk:bj54:117,zone=1000", "带号 zone 应为 1 至 999 的整数"},
        {"gk:bj54:117,zone=", "zone 的值 不是数值"},
        {"gk:bj54:117,k=0", "比例因子 k 应为正数"},
        {"gk:bj54:117,k=-1", "比例因子 k 应为正数"},
        {"gk:bj54:117,k=nan", "k 的值 “nan” 不是数值"},
        {"gk:bj54:117,fe=abc", "fe 的值 “abc” 不是数值"},
        {"gk:bj54:117,zone=39,zone=39", "zone 写了两次"},
        {"gk:bj54:117,dms", "gk 的选项只有 zone=带号、k=比例因子、fe=东偏"},
        {"gk:bj54:117,x0=1", "没有 “x0=1”"},
        {"gk:0/298:117", "长半轴应为正数"},
        {"gk:-6378137/298:117", "长半轴应为正数"},
        {"blh:6378137/0.5", "扁率倒数应大于 1"},
        {"blh:6378137/1", "扁率倒数应大于 1"},
        {"blh:6378137/-298", "扁率倒数应大于 1"},
        {"blh:NaN/298", "不是数值"},
        {"blh:6378137/inf", "不是数值"},
        {"blh:6378137/1e999", "不是数值"},
        {"gk:6378137/30:117", "扁率倒数不小于 50"},
        {"blh:6378137", "无法识别椭球 “6378137”"},
    };
    for (const auto &c : cases) {
        const Error e = ErrorOf([&] { ParseCoordinateSystem(c.argument); });
        EXPECT_TRUE(Contains(e.problem(), c.why)) << c.argument << ": " << e.problem();
        EXPECT_TRUE(Contains(e.problem(), "无法识别坐标系")) << e.problem();
        if (*c.argument) {
            EXPECT_TRUE(Contains(e.problem(), "“" + std::string(c.argument) + "”")) << e.problem();
        }
        EXPECT_TRUE(Contains(e.problem(), AcceptedSystemForms())) << e.problem();
        EXPECT_EQ(e.line(), 0);
        EXPECT_EQ(e.field(), 0);
    }
}

// The checks of a point's values: the field among the three and the value's
// name, so that the caller adds the file and line.
TEST(CheckValues, RefusesEachBadValueNamingItAndItsField) {
    const struct {
        const char *system, *a, *b, *c;
        int field;
        const char *why;
    } cases[] = {
        {"blh:wgs84", "90.0000001", "0", "0", 1, "B = 90.0000001 超出 −90° 至 90°"},
        {"blh:wgs84", "-91", "0", "0", 1, "B = -91 超出"},
        {"blh:wgs84", "0", "360.5", "0", 2, "L = 360.5 超出 −360° 至 360°"},
        {"blh:wgs84", "0", "-361", "0", 2, "L = -361 超出"},
        {"blh:wgs84", "0", "0", "-700000", 3, "H = -700000 低于椭球面"},
        {"blh:wgs84", "abc", "0", "0", 1, "B “abc” 不是数值"},
        {"blh:wgs84", "0", "1e999", "0", 2, "L “1e999” 超出双精度数的范围"},
        {"blh:wgs84,dms", "30.6000", "114", "0", 1, "B “30.6000” 的分为 60"},
        {"blh:wgs84,dms", "30.3060", "114", "0", 1, "B “30.3060” 的秒为 60"},
        {"blh:wgs84,dms", "30.30", "114.6", "0", 2, "L “114.6” 的分为 60"},
        {"blh:wgs84,dms", "30.30", "114.0075", "0", 2, "的秒为 75"},
        {"blh:wgs84,dms", "3e1", "114", "0", 1, "不能带指数"},
        {"blh:wgs84,dms", "30.30", "1.1.1", "0", 2, "L “1.1.1” 不是数值"},
        {"blh:wgs84,dms", "90.0001", "0", "0", 1, "B = 90.0001 超出"},
        {"blh:wgs84,dms", "0", "360.0000001", "0", 2, "L = 360.0000001 超出"},
        {"gk:bj54:117,zone=39", "3378817", "38500000", "0", 2,
         "y = 38500000 的带号为 38，与 zone=39 不符"},
        {"gk:bj54:117,zone=39", "3378817", "500000", "0", 2, "的带号为 0"},
        {"gk:bj54:117", "3378817", "39500000", "0", 2,
         "远大于 9°，高斯-克吕格坐标只用于中央子午线两侧 9° 以内）；y 前面带带号时，坐标系要写明 "
         "zone=带号（如 gk:...,zone=39）"},
        {"gk:bj54:117,zone=39", "3378817", "-500000", "0", 2, "的带号为 -1"},
        {"gk:bj54:117,zone=39", "3378817", "40000000", "0", 2, "的带号为 40"},
        {"gk:bj54:117,zone=39", "10002200", "39500000", "0", 1, "x = 10002200 超出子午线象限弧长"},
        {"gk:bj54:117,zone=39", "-10002200", "39500000", "0", 1, "超出子午线象限弧长"},
        {"gk:bj54:117,zone=39", "3378817", "39500000", "-700000", 3, "h = -700000 低于椭球面"},
        {"gk:bj54:117", "3378817", "1420000", "0", 2, "y = 1420000 离中央子午线超过 9°（经差 9.5"},
        {"gk:bj54:117", "3378817", "-420000", "0", 2, "y = -420000 离中央子午线超过 9°（经差 -9.5"},
        {"gk:bj54:117", "0", "1e9", "0", 2, "远大于 9°"},
        {"gk:bj54:117", "0", "500000", "x", 3, "h “x” 不是数值"},
        {"xyz", "1", "2", "", 3, "Z 不是数值"},
    };
    for (const auto &c : cases) {
        const CoordinateSystem s = ParseCoordinateSystem(c.system);
        const Error e = ErrorOf([&] {
            const Values v = {ReadSystemValue(s, 0, c.a), ReadSystemValue(s, 1, c.b),
                              ReadSystemValue(s, 2, c.c)};
            CheckValues(s, v);
        });
        EXPECT_TRUE(Contains(e.problem(), c.why))
            << c.system << " " << c.a << " " << c.b << " " << c.c << ": " << e.problem();
        EXPECT_EQ(e.field(), c.field) << e.problem();
        EXPECT_EQ(e.line(), 0);
        EXPECT_TRUE(e.file().empty());
    }
    // What is inside the limits passes: the limits themselves.
    EXPECT_NO_THROW(CheckValues(ParseCoordinateSystem("blh:wgs84"), {90.0, 360.0, -637813.0}));
    EXPECT_NO_THROW(CheckValues(ParseCoordinateSystem("blh:wgs84"), {-90.0, -360.0, 1e9}));
    EXPECT_NO_THROW(
        CheckValues(ParseCoordinateSystem("gk:bj54:117,zone=39"), {0.0, 39000000.0, 0}));
    EXPECT_NO_THROW(
        CheckValues(ParseCoordinateSystem("gk:bj54:117,zone=39"), {0.0, 39999999.999, 0}));
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ErrorOf([&] { CheckValues(CoordinateSystem::Cartesian(), {0, inf, 0}); }).field(), 2);
    EXPECT_EQ(ErrorOf([&] {
                  CheckValues(ParseCoordinateSystem("blh:bj54"), {0, 0, inf});
              }).field(),
              3);
}

// A grid point 9° from the central meridian is inside; a hair beyond is not.
TEST(CheckValues, DrawsTheNineDegreeLineOnTheGrid) {
    const CoordinateSystem blh = ParseCoordinateSystem("blh:xian80");
    const CoordinateSystem gk = ParseCoordinateSystem("gk:xian80:117");
    for (double B : {0.0, 30.0, 60.0}) {
        const Values inside = ConvertBetween(blh, gk, {B, 126.0, 0.0});
        EXPECT_NO_THROW(CheckValues(gk, inside));
        const Values beyond = ConvertBetween(blh, gk, {B, 125.9999999, 0.0});
        EXPECT_NO_THROW(CheckValues(gk, beyond));
        const Error e = ErrorOf([&] { ConvertBetween(blh, gk, {B, 126.0000001, 0.0}); });
        EXPECT_EQ(e.field(), 0);
        EXPECT_TRUE(Contains(e.problem(), "超过 9°")) << e.problem();
        EXPECT_TRUE(Contains(e.problem(), "9.0000001")) << e.problem();
        // And on the grid itself: y a millimetre beyond 9°.
        Values out = inside;
        out[1] += 0.01;
        EXPECT_EQ(ErrorOf([&] { CheckValues(gk, out); }).field(), 2);
    }
}

// What cannot be written in the target is refused as a whole (field 0).
TEST(FromGeocentric, RefusesWhatTheTargetCannotHold) {
    const CoordinateSystem zone39 = ParseCoordinateSystem("gk:cgcs2000:117,zone=39");
    const CoordinateSystem blh = ParseCoordinateSystem("blh:cgcs2000");
    const struct {
        const char *what;
        CoordinateSystem to;
        Geocentric point;
        const char *why;
    } cases[] = {
        {"9° out and beyond the zone prefix", zone39, ToGeocentric(blh, {18.25, 126.0, 50.0}),
         "不能带带号 39 书写"},
        {"more than 9° out", zone39, ToGeocentric(blh, {30.0, 127.0, 0.0}), "点离中央子午线 10°"},
        {"the other side of the Earth", zone39, ToGeocentric(blh, {30.0, -63.0, 0.0}),
         "点离中央子午线 180°"},
        {"local plane coordinates", blh, {2860321.78, 592341.79, 12.3}, "不是该椭球的地心坐标"},
        {"the centre", zone39, {0.0, 0.0, 0.0}, "不是该椭球的地心坐标"},
    };
    for (const auto &c : cases) {
        const Error e = ErrorOf([&] { FromGeocentric(c.to, c.point); });
        EXPECT_EQ(e.field(), 0) << c.what;
        EXPECT_TRUE(Contains(e.problem(), c.why)) << c.what << ": " << e.problem();
        EXPECT_TRUE(Contains(e.problem(), "换算结果无法写出")) << e.problem();
    }
}

TEST(ConvertBetween, RefusesTwoEllipsoidsNamingBoth) {
    const struct {
        const char *from, *to, *first, *second;
    } cases[] = {
        {"blh:cgcs2000", "blh:wgs84", "cgcs2000（6378137/298.257222101）",
         "wgs84（6378137/298.257223563）"},
        {"gk:bj54:117", "gk:xian80:117", "bj54", "xian80"},
        {"blh:6378137/298.25", "gk:wgs84:117", "6378137/298.25", "wgs84"},
    };
    for (const auto &c : cases) {
        const CoordinateSystem from = ParseCoordinateSystem(c.from),
                               to = ParseCoordinateSystem(c.to);
        EXPECT_FALSE(OnOneEllipsoid(from, to));
        const Error e = ErrorOf([&] { ConvertBetween(from, to, {30.0, 117.0, 0.0}); });
        EXPECT_TRUE(Contains(e.problem(), c.first)) << e.problem();
        EXPECT_TRUE(Contains(e.problem(), c.second)) << e.problem();
        EXPECT_TRUE(Contains(e.problem(), "没有七参数不能换算")) << e.problem();
    }
    EXPECT_TRUE(OnOneEllipsoid(ParseCoordinateSystem("xyz"), ParseCoordinateSystem("gk:bj54:117")));
    EXPECT_TRUE(OnOneEllipsoid(ParseCoordinateSystem("blh:6378245/298.3"),
                               ParseCoordinateSystem("gk:bj54:117,zone=39")));
}

// Whole PROJ pipelines as this program writes them, run by cct on the
// systems' own columns: the pipeline texts and the converted values.
TEST(ConvertBetween, AgreesWithCctOnTheSamePipelines) {
    const auto rows = oracle::Rows("systems.txt");
    std::optional<CoordinateSystem> from, to;
    int blocks = 0, points = 0, refused = 0;
    double worstMetres = 0.0, worstDegrees = 0.0;
    for (const auto &r : rows) {
        if (r[0] == "system") {
            from = ParseCoordinateSystem(r[1]);
            to = ParseCoordinateSystem(r[2]);
            ++blocks;
            continue;
        }
        if (r[0] == "pipeline") {
            std::string pipeline;
            for (std::size_t i = 1; i < r.size(); ++i)
                pipeline += (i > 1 ? " " : "") + r[i];
            EXPECT_EQ(ProjPipeline(*from, "", *to), pipeline);
            continue;
        }
        const Values in = {ReadSystemValue(*from, 0, r[0]), ReadSystemValue(*from, 1, r[1]),
                           ReadSystemValue(*from, 2, r[2])};
        const Values expected = {oracle::Number(r[3]), oracle::Number(r[4]), oracle::Number(r[5])};
        if (to->kind() == SystemKind::GaussKruger && to->zone() != 0 &&
            std::floor(expected[1] / 1e6) != to->zone()) {
            EXPECT_THROW(ConvertBetween(*from, *to, in), Error) << r[0] << " " << r[1];
            ++refused;
            continue;
        }
        const Values out = ConvertBetween(*from, *to, in);
        ++points;
        for (int i = 0; i < 3; ++i) {
            const double d = std::fabs(out[i] - expected[i]);
            if (FormOf(*to, i) == ValueForm::Metres) {
                worstMetres = std::max(worstMetres, d);
            } else if (!(i == 1 && std::fabs(out[0]) == 90.0)) // no longitude at the poles
                worstDegrees = std::max(worstDegrees, std::min(d, std::fabs(d - 360.0)));
        }
    }
    std::printf("%d pipelines, %d points: worst %.3g m, %.3g degrees; %d refused (zone prefix)\n",
                blocks, points, worstMetres, worstDegrees, refused);
    EXPECT_EQ(blocks, 9);
    EXPECT_EQ(refused, 16); // 9° out, both sides, on the grids with a zone prefix
    EXPECT_LE(worstMetres, 1e-6);
    EXPECT_LE(worstDegrees, 1e-10);
}

// 换带: a point taken from one zone to the next and back.
TEST(ConvertBetween, ChangesZonesBothWaysWithoutLoss) {
    const CoordinateSystem zone38 = ParseCoordinateSystem("gk:xian80:114,zone=38");
    const CoordinateSystem zone39 = ParseCoordinateSystem("gk:xian80:117,zone=39");
    const CoordinateSystem dms = ParseCoordinateSystem("blh:xian80,dms");
    for (const Values &v : {Values{3378817.0553, 38640000.1234, -8.69},
                            Values{4984000, 38380000.5, 100}, Values{2000000, 38690000, 0}}) {
        const Values there = ConvertBetween(zone38, zone39, v);
        const Values back = ConvertBetween(zone39, zone38, there);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(back[i], v[i], 1e-8) << i;
        EXPECT_EQ(there[2], v[2]); // heights pass through on one ellipsoid
        // The same through B, L in ddd.mmssss.
        const Values viaDms = ConvertBetween(dms, zone39, ConvertBetween(zone38, dms, v));
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(viaDms[i], there[i], 1e-8) << i;
    }
}

TEST(Residuals, AreGivenInTheSystemsOwnTerms) {
    // blh: north, east and up at the given point.
    const CoordinateSystem blh = ParseCoordinateSystem("blh:wgs84");
    for (const Values &given : {Values{30.5, 114.25, 50.0}, Values{-45.0, -75.5, 8848.0},
                                Values{89.999, 10.0, 0.0}, Values{0.0, 180.0, -100.0}}) {
        double sB, cB, sL, cL;
        sB = std::sin(given[0] * kDegree), cB = std::cos(given[0] * kDegree);
        sL = std::sin(given[1] * kDegree), cL = std::cos(given[1] * kDegree);
        const double n = 0.011, e = -0.022, u = 0.033;
        const Geocentric g = ToGeocentric(blh, given);
        const Geocentric computed = {g.X + (-sB * cL * n - sL * e + cB * cL * u),
                                     g.Y + (-sB * sL * n + cL * e + cB * sL * u),
                                     g.Z + (cB * n + sB * u)};
        const Values r = Residuals(blh, computed, given);
        EXPECT_NEAR(r[0], n, 1e-8);
        EXPECT_NEAR(r[1], e, 1e-8);
        EXPECT_NEAR(r[2], u, 1e-8);
    }
    // gk: grid differences, also just beyond 9°.
    const CoordinateSystem gk = ParseCoordinateSystem("gk:bj54:117,zone=39");
    for (const Values &given :
         {Values{3378817.0553, 39235948.9444, 12.5}, Values{5000000, 39400000, 0}}) {
        const Geocentric computed =
            ToGeocentric(gk, {given[0] + 0.01, given[1] - 0.02, given[2] + 0.03});
        const Values r = Residuals(gk, computed, given);
        EXPECT_NEAR(r[0], 0.01, 1e-8);
        EXPECT_NEAR(r[1], -0.02, 1e-8);
        EXPECT_NEAR(r[2], 0.03, 1e-8);
    }
    const CoordinateSystem wide = ParseCoordinateSystem("gk:bj54:117");
    const Values edge = ConvertBetween(ParseCoordinateSystem("blh:bj54"), wide, {30.0, 126.0, 0.0});
    const Geocentric beyond =
        ToGeocentric(ParseCoordinateSystem("blh:bj54"), {30.0, 126.00001, 0.0});
    EXPECT_GT(Residuals(wide, beyond, edge)[1], 0.9);
    // xyz: plain differences.
    const Values r = Residuals(CoordinateSystem::Cartesian(), {1.5, 2.5, 3.5}, {1.0, 2.0, 4.0});
    EXPECT_EQ(r, (Values{0.5, 0.5, -0.5}));
    EXPECT_STREQ(ResidualName(blh, 0), "N");
    EXPECT_STREQ(ResidualName(gk, 1), "y");
    EXPECT_STREQ(ResidualName(CoordinateSystem::Cartesian(), 2), "Z");
}

// The axes turn a small geocentric difference into the residuals: N E U
// exactly, the grid's x y to first order and times the point scale.
TEST(ResidualAxes, TurnASmallGeocentricDifferenceIntoTheResiduals) {
    const struct {
        const char *system;
        Values given;
    } cases[] = {
        {"blh:wgs84", {30.5, 114.25, 50.0}},
        {"blh:cgcs2000,dms", {-45.0, -75.3, 8848.0}},
        {"blh:bj54", {89.5, 10.0, 0.0}},
        {"gk:bj54:117,zone=39", {3378817.0553, 39235948.9444, 12.5}},
        {"gk:xian80:114", {3378817.0553, 235948.9444, 100}}, // west of the meridian
        {"gk:cgcs2000:120,k=0.9996", {-5000000, 900000, 0}}, // south, 8.6° east
        {"gk:wgs84:0", {7000000, 500000, -30}},              // on the meridian: γ = 0
    };
    for (const auto &c : cases) {
        const CoordinateSystem s = ParseCoordinateSystem(c.system);
        const Axes axes = ResidualAxes(s, c.given);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) { // orthonormal rows
                double dot = 0;
                for (int k = 0; k < 3; ++k)
                    dot += axes[i][k] * axes[j][k];
                EXPECT_NEAR(dot, i == j ? 1.0 : 0.0, 1e-15) << c.system;
            }
        double k = 1.0; // the point scale, on x and y of a grid
        if (s.kind() == SystemKind::GaussKruger) {
            const Values blh =
                ConvertBetween(s, CoordinateSystem::Geodetic(*s.ellipsoid()), c.given);
            const Values one = ConvertBetween(CoordinateSystem::Geodetic(*s.ellipsoid()), s,
                                              {blh[0], blh[1] + 1e-7, blh[2]});
            const Values two = ConvertBetween(CoordinateSystem::Geodetic(*s.ellipsoid()), s,
                                              {blh[0], blh[1] - 1e-7, blh[2]});
            const Geocentric g1 = ToGeocentric(CoordinateSystem::Geodetic(*s.ellipsoid()),
                                               {blh[0], blh[1] + 1e-7, blh[2]});
            const Geocentric g2 = ToGeocentric(CoordinateSystem::Geodetic(*s.ellipsoid()),
                                               {blh[0], blh[1] - 1e-7, blh[2]});
            k = std::hypot(one[0] - two[0], one[1] - two[1]) /
                std::sqrt((g1.X - g2.X) * (g1.X - g2.X) + (g1.Y - g2.Y) * (g1.Y - g2.Y) +
                          (g1.Z - g2.Z) * (g1.Z - g2.Z));
        }
        const Geocentric at = ToGeocentric(s, c.given);
        for (const std::array<double, 3> d : {std::array<double, 3>{0.03, 0, 0},
                                              {0, -0.02, 0},
                                              {0, 0, 0.05},
                                              {0.01, 0.02, -0.03}}) {
            const Values r = Residuals(s, {at.X + d[0], at.Y + d[1], at.Z + d[2]}, c.given);
            for (int i = 0; i < 3; ++i) {
                const double turned =
                    (i < 2 ? k : 1.0) * (axes[i][0] * d[0] + axes[i][1] * d[1] + axes[i][2] * d[2]);
                EXPECT_NEAR(r[i], turned, 2e-8)
                    << c.system << " residual " << i; // the grid's last bits
            }
        }
    }
    const Axes xyz = ResidualAxes(CoordinateSystem::Cartesian(), {1, 2, 3});
    EXPECT_EQ(xyz, (Axes{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}));
}

TEST(PlacedInFile, PutsTheProblemAtTheLineAndTheFieldOfTheFile) {
    const CoordinateSystem s = ParseCoordinateSystem("blh:wgs84");
    const Error value = ErrorOf([&] { CheckValues(s, {0.0, 400.0, 0.0}); });
    const Error placed = PlacedInFile(value, "公共点.txt", 7, 5);
    EXPECT_EQ(placed.file(), "公共点.txt");
    EXPECT_EQ(placed.line(), 7);
    EXPECT_EQ(placed.field(), 6); // L is the second of the values in fields 5, 6, 7
    EXPECT_EQ(placed.problem(), value.problem());
    EXPECT_STREQ(placed.what(),
                 ("文件 公共点.txt\n第 7 行，第 6 个字段：" + value.problem()).c_str());
    const Error whole = PlacedInFile(Error("换算结果无法写出：x"), "p.txt", 3, 2);
    EXPECT_EQ(whole.line(), 3);
    EXPECT_EQ(whole.field(), 0);
}

TEST(ProjPipeline, KeepsTodaysLineForXyzAndWritesEachSystemsSteps) {
    const std::string helmert = "+proj=helmert +convention=coordinate_frame +x=1 +y=2 +z=3";
    const CoordinateSystem xyz;
    EXPECT_EQ(ProjPipeline(xyz, helmert, xyz), helmert);
    EXPECT_EQ(ProjPipeline(xyz, "", xyz), "+proj=noop");
    EXPECT_EQ(ProjPipeline(ParseCoordinateSystem("blh:wgs84,dms"), helmert,
                           ParseCoordinateSystem("gk:bj54:117,zone=39,k=0.9996,fe=0")),
              "+proj=pipeline +step +proj=axisswap +order=2,1 +step +proj=unitconvert +xy_in=deg "
              "+xy_out=rad +step +proj=cart +a=6378137 +rf=298.257223563 +step " +
                  helmert +
                  " +step +inv +proj=cart +a=6378245 +rf=298.3 +step +proj=tmerc +lon_0=117 "
                  "+k=0.9996 +x_0=39000000 +y_0=0 +a=6378245 +rf=298.3 +step +proj=axisswap "
                  "+order=2,1");
    EXPECT_EQ(ProjPipeline(xyz, helmert, ParseCoordinateSystem("blh:6378137/298.25")),
              "+proj=pipeline +step " + helmert +
                  " +step +inv +proj=cart +a=6378137 +rf=298.25 +step +proj=unitconvert "
                  "+xy_in=rad +xy_out=deg +step +proj=axisswap +order=2,1");
    EXPECT_FALSE(ProjReadsColumns(ParseCoordinateSystem("blh:wgs84,dms")));
    EXPECT_TRUE(ProjReadsColumns(ParseCoordinateSystem("blh:wgs84")));
    EXPECT_TRUE(ProjReadsColumns(ParseCoordinateSystem("gk:wgs84:3")));
}

} // namespace
} // namespace kovarim
