#include "calibration/calibration_source.h"

#include <cmath>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "base/error.h"
#include "calibration/calibration_points.h"
#include "geodesy/transverse_mercator.h"
#include "testkit.h"
#include "textio/encoding.h"

namespace kovarim {
namespace {

// What the command line may name, and which argument is at fault when it
// cannot be used (1 --from, 2 --via).
TEST(ParseCalibrationSource, TakesAPlaneAGridOrGeodeticCoordinatesWithTheirProjection) {
    const struct {
        const char *from;
        std::optional<std::string> via;
        const char *fromText, *viaText; // canonical; nullptr where refused
        int field;
        const char *says;
    } cases[] = {
        {"plane", std::nullopt, "plane", "", 0, ""},
        {"Plane", std::nullopt, "plane", "", 0, ""},
        {"gk:CGCS2000:114,zone=38", std::nullopt, "gk:cgcs2000:114,zone=38", "", 0, ""},
        {"blh:wgs84", "gk:cgcs2000:114", "blh:wgs84", "gk:cgcs2000:114", 0, ""},
        {"blh:wgs84,dms", "gk:bj54:117,zone=39", "blh:wgs84,dms", "gk:bj54:117,zone=39", 0, ""},
        {"blh:wgs84", std::nullopt, nullptr, nullptr, 2, "须以 --via"},
        {"plane", "gk:cgcs2000:114", nullptr, nullptr, 2, "只用于大地坐标 blh"},
        {"gk:cgcs2000:114", "gk:cgcs2000:114", nullptr, nullptr, 2, "已是平面坐标"},
        {"blh:wgs84", "blh:cgcs2000", nullptr, nullptr, 2, "应为高斯-克吕格投影"},
        {"blh:wgs84", "gk:cgcs2000", nullptr, nullptr, 2, "无法识别坐标系"},
        {"xyz", std::nullopt, nullptr, nullptr, 1, "xyz 是地心直角坐标"},
        {"local", std::nullopt, nullptr, nullptr, 1, "plane（局部平面"},
        {"gk:mars:114", std::nullopt, nullptr, nullptr, 1, "无法识别坐标系"},
    };
    for (const auto &c : cases) {
        const std::string name = std::string(c.from) + " via " + c.via.value_or("nothing");
        if (c.fromText != nullptr) {
            const CalibrationSource s = ParseCalibrationSource(c.from, c.via);
            EXPECT_EQ(s.FromText(), c.fromText) << name;
            EXPECT_EQ(s.ViaText(), c.viaText) << name;
            continue;
        }
        const Error e = testkit::ErrorThrownBy([&] { ParseCalibrationSource(c.from, c.via); });
        EXPECT_EQ(e.field(), c.field) << name << ": " << e.problem();
        EXPECT_NE(e.problem().find(c.says), std::string::npos) << name << ": " << e.problem();
    }
}

// B and L are projected as they stand on the projection's ellipsoid: the
// WGS84 numbers on the CGCS2000 grid, as a field controller does, not moved
// to CGCS2000 first. The choice of ellipsoid moves the plane by a fraction of
// a millimetre here, which the report names.
TEST(CalibrationSource, ProjectsBAndLOnTheProjectionsEllipsoid) {
    const double B = 30.5623, L = 114.2914, H = 31.25;
    const CalibrationSource cgcs =
        ParseCalibrationSource("blh:wgs84", std::string("gk:cgcs2000:114,k=0.9999,fe=400000"));
    const Values plane = cgcs.ToPlane({B, L, H});
    const GridPoint g = TransverseMercatorForward(Cgcs2000(), 0.9999, B, L - 114);
    EXPECT_EQ(plane[0], g.x);
    EXPECT_EQ(plane[1], g.y + 400000);
    EXPECT_EQ(plane[2], H);
    const Values onWgs84 =
        ParseCalibrationSource("blh:wgs84", std::string("gk:wgs84:114,k=0.9999,fe=400000"))
            .ToPlane({B, L, H});
    EXPECT_NE(onWgs84[0], plane[0]);
    EXPECT_LT(std::fabs(onWgs84[0] - plane[0]), 0.001);

    // Back to B, L, H within a hair of a nanometre.
    const Values back = cgcs.FromPlane(plane);
    EXPECT_NEAR(back[0], B, 1e-11);
    EXPECT_NEAR(back[1], L, 1e-11);
    EXPECT_EQ(back[2], H);

    // A plane's and a grid's values are the plane itself.
    const Values grid = {3381234.5, 38512345.25, 12.5};
    EXPECT_EQ(ParseCalibrationSource("gk:cgcs2000:114,zone=38", std::nullopt).ToPlane(grid), grid);
    EXPECT_EQ(CalibrationSource::Plane().ToPlane({-12.5, 1e7, -300}), (Values{-12.5, 1e7, -300}));
}

// Each value the source refuses, named, with its field.
TEST(CalibrationSource, RefusesWhatTheSourceSystemRefusesNamingTheValue) {
    const CalibrationSource blh =
        ParseCalibrationSource("blh:wgs84", std::string("gk:cgcs2000:114"));
    const CalibrationSource grid = ParseCalibrationSource("gk:cgcs2000:114,zone=38", std::nullopt);
    const CalibrationSource wide = ParseCalibrationSource("gk:cgcs2000:114", std::nullopt);
    const struct {
        const char *name;
        const CalibrationSource &source;
        Values values;
        int field;
        const char *says;
    } cases[] = {
        {"B beyond the pole", blh, {90.5, 114.3, 10}, 1, "B = 90.5"},
        {"L 9.5 degrees from the projection's meridian", blh, {30.5, 123.5, 10}, 2, "离投影"},
        {"H far below the ellipsoid", blh, {30.5, 114.3, -1e6}, 3, "H = -1000000"},
        {"another zone's prefix", grid, {3381234.5, 39512345.25, 12.5}, 2, "带号为 39"},
        {"an easting beyond 9 degrees", wide, {3381234.5, -500000, 12.5}, 2, "超过 9°"},
        {"a height not finite", CalibrationSource::Plane(), {1, 2, NAN}, 3, "h 不是有限的数值"},
    };
    for (const auto &c : cases) {
        const Error e = testkit::ErrorThrownBy([&] { c.source.ToPlane(c.values); });
        EXPECT_EQ(e.field(), c.field) << c.name << ": " << e.problem();
        EXPECT_NE(e.problem().find(c.says), std::string::npos) << c.name << ": " << e.problem();
    }
    // A plane point that lies beyond the grid's 9 degrees cannot be written back.
    const Error back = testkit::ErrorThrownBy([&] { wide.FromPlane({3381234.5, -500000, 1}); });
    EXPECT_EQ(back.field(), 0);
    EXPECT_NE(back.problem().find("换算结果无法写出"), std::string::npos) << back.problem();
}

// The whole road, forward and back, in the source's own forms.
TEST(ApplySiteCalibration, GoesFromTheSourceToTheLocalPlaneAndBack) {
    const CalibrationParams params = {{-3342918.45, -445964.74, 18.6e-6, -0.0059850},
                                      {HeightModel::Quadratic,
                                       41000,
                                       63000,
                                       {-13.842, 0.0412, -0.0265, 0.0011, -0.0007, 0.0009}}};
    const CalibrationSource source =
        ParseCalibrationSource("blh:wgs84,dms", std::string("gk:cgcs2000:114"));
    const char *const texts[3] = {"30.3336851", "114.1729293", "36.502"}; // ddd.mmssss
    Values given;
    for (int k = 0; k < 3; ++k)
        given[k] = source.Read(k, texts[k]);
    EXPECT_NEAR(given[0], 30 + 33 / 60.0 + 36.851 / 3600, 1e-12);
    const Values local = ApplySiteCalibration(source, params, Direction::Forward, given);
    const Values plane = source.ToPlane(given);
    const Point3 expected = CalibrateForward(params, plane[0], plane[1], plane[2]);
    EXPECT_EQ(local, (Values{expected.X, expected.Y, expected.Z}));
    const Values back = ApplySiteCalibration(source, params, Direction::Inverse, local);
    EXPECT_NEAR(back[0], given[0], 1e-11);
    EXPECT_NEAR(back[1], given[1], 1e-11);
    EXPECT_NEAR(back[2], given[2], 1e-9);
    for (int k = 0; k < 3; ++k) {
        std::string text;
        source.Append(text, k, back[k]);
        EXPECT_EQ(text, texts[k]) << k; // 30°33′36.851″ again
    }

    // A value that is no number is refused by its field, the result's
    // overflow as the point's.
    EXPECT_EQ(testkit::ErrorThrownBy([&] {
                  ApplySiteCalibration(source, params, Direction::Inverse, {1, INFINITY, 2});
              }).field(),
              2);
    const Error huge = testkit::ErrorThrownBy([&] {
        ApplySiteCalibration(CalibrationSource::Plane(), params, Direction::Forward,
                             {1e308, 1e308, 0});
    });
    EXPECT_EQ(huge.field(), 0) << huge.problem();
}

// The common points: each side read in its own form, the refusals placed at
// their line and field and named by their side.
TEST(ReadCalibrationPoints, ReadsEachSideAndRefusesNamingLineFieldAndSide) {
    testkit::TempDir dir;
    const CalibrationSource dms =
        ParseCalibrationSource("blh:wgs84,dms", std::string("gk:cgcs2000:114"));
    // UTF-8 names come to the table in GBK, for the report.
    const CommonPointTable table = ReadCalibrationPointFile(
        dir.Write("site.txt", "\xEF\xBB\xBF东湖,30.3527416,114.1654037,14.3355,45896.2639,"
                              "60787.659,27.8691\r\n\r\nK04,30.33447,114.16453,23.3,1,2,3\r\n"),
        dms);
    ASSERT_EQ(table.PointCount(), 2);
    EXPECT_EQ(table.Point(1).Name, "\xB6\xAB\xBA\xFE"); // 东湖
    const Values plane =
        dms.ToPlane({30 + 35 / 60.0 + 27.416 / 3600, 114 + 16 / 60.0 + 54.037 / 3600, 14.3355});
    EXPECT_NEAR(table.Point(1).x1, plane[0], 1e-8);
    EXPECT_NEAR(table.Point(1).y1, plane[1], 1e-8);
    EXPECT_EQ(table.Point(1).z1, 14.3355);
    EXPECT_EQ(table.Point(1).x2, 45896.2639);
    EXPECT_EQ(table.Point(2).line, 3);

    const struct {
        const char *name, *line;
        long long at;
        int field;
        const char *says;
    } cases[] = {
        {"minutes of 60", "P1,30.6,114.1,1,2,3,4", 1, 2, "原坐标系 "},
        {"B beyond 90", "P1,91,114.1,1,2,3,4", 1, 2, "原坐标系 B = 91"},
        {"L beyond the projection's 9 degrees", "P1,30,124,1,2,3,4", 1, 3, "离投影"},
        {"a local coordinate in quotes", "P1,30,114,1,\"2\",3,4", 1, 5, "局部坐标系 坐标 x2"},
        {"an empty local height", "P1,30,114,1,2,3,", 1, 7, "局部坐标系 坐标 h2 为空"},
        {"a source height that is no number", "P1,30,114,m,2,3,4", 1, 4, "原坐标系 坐标 H1"},
        {"six fields", "P1,30,114,1,2,3", 1, 0, "点号,B1,L1,H1,x2,y2,h2"},
    };
    for (const auto &c : cases) {
        const std::string path = dir.Write("bad.txt", std::string("Q,30,114,1,2,3,4\r\n") + c.line);
        const Error e = testkit::ErrorThrownBy([&] { ReadCalibrationPointFile(path, dms); });
        EXPECT_EQ(e.file(), path) << c.name;
        EXPECT_EQ(e.line(), c.at + 1) << c.name << ": " << e.problem();
        EXPECT_EQ(e.field(), c.field) << c.name << ": " << e.problem();
        EXPECT_NE(e.problem().find(c.says), std::string::npos) << c.name << ": " << e.problem();
        if (c.field != 0) {
            EXPECT_NE(e.problem().find("（点号 “P1”）"), std::string::npos) << c.name;
        }
    }
}

} // namespace
} // namespace kovarim
