// Common points in coordinate systems other than xyz: reading each side in
// its own, the estimation and the adjustment on the X, Y, Z they give, and
// the reports in the new system's own terms; the road of a surveyor, WGS84
// B L H to a Beijing 1954 grid, against the grid values PROJ gives.
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "adjustment/adjustment_report.h"
#include "adjustment/triple_review.h"
#include "base/error.h"
#include "estimation/accuracy_report.h"
#include "estimation/common_points.h"
#include "estimation/estimate.h"
#include "testkit.h"
#include "textio/encoding.h"

namespace kovarim {
namespace {

const PointSystems kRoad{ParseCoordinateSystem("blh:wgs84"),
                         ParseCoordinateSystem("gk:bj54:114,zone=38")};

std::string Example(const std::string &name) {
    return testkit::ReadBytes(KOVARIM_SOURCE_DIR "/examples/" + name);
}

// The grid x, y, h PROJ gives the road's check points (examples/make_road.py).
std::map<std::string, Values> Truth() {
    std::istringstream in(
        testkit::ReadBytes(KOVARIM_SOURCE_DIR "/tests/cli/expected/road_truth.txt"));
    std::map<std::string, Values> truth;
    std::string name;
    Values v;
    while (in >> name >> v[0] >> v[1] >> v[2])
        truth[name] = v;
    return truth;
}

// The report's lines as UTF-8.
std::vector<std::string> Lines(const std::string &gbk) {
    std::vector<std::string> lines;
    std::istringstream in(ToUtf8(gbk, Encoding::Gbk));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.size() - (!line.empty() && line.back() == '\r')));
    return lines;
}

// The road's file with the point `name`'s new side replaced by `values`.
std::string WithNewSide(const std::string &utf8, const std::string &name,
                        const std::string &values) {
    std::istringstream in(utf8);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(name + ",", 0) == 0) {
            std::size_t comma = 0;
            for (int i = 0; i < 4; ++i)
                comma = line.find(',', comma + 1);
            line = line.substr(0, comma + 1) + values + "\r";
        }
        out += line + "\n";
    }
    return out;
}

std::string RoadUtf8() { return ToUtf8(Example("road_common_points.txt"), Encoding::Gbk); }

TEST(CommonPointsInSystems, AreReadInEachSidesSystemAndTurnedIntoXyz) {
    testkit::TempDir dir;
    const PointSystems systems{ParseCoordinateSystem("blh:wgs84,dms"),
                               ParseCoordinateSystem("gk:xian80:117,zone=39,k=0.9999")};
    const CommonPointTable table =
        ReadCommonPointFile(dir.Write("gps.txt", "A,30.302515,114.0003,12.5,3378817.0553,"
                                                 "39235948.9444,-8.69\r\n"
                                                 "B,-0.3,-179.595959,0,3378000,39300000,0\r\n"),
                            systems);
    ASSERT_EQ(table.PointCount(), 2);
    EXPECT_EQ(table.systems(), systems);
    const CommonPoint &a = table.Point(1);
    // 30°30′25.15″, 114°00′03″
    const Geocentric original =
        ToGeocentric(CoordinateSystem::Geodetic(Wgs84()),
                     {30 + 30 / 60.0 + 25.15 / 3600, 114 + 3 / 3600.0, 12.5});
    EXPECT_NEAR(a.x1, original.X, 1e-8);
    EXPECT_NEAR(a.y1, original.Y, 1e-8);
    EXPECT_NEAR(a.z1, original.Z, 1e-8);
    const Geocentric target = ToGeocentric(systems.to, {3378817.0553, 39235948.9444, -8.69});
    EXPECT_EQ(a.x2, target.X);
    EXPECT_EQ(a.y2, target.Y);
    EXPECT_EQ(a.z2, target.Z);
    EXPECT_EQ(a.given2, (Values{3378817.0553, 39235948.9444, -8.69}));
    // −0°30′, −179°59′59.59″
    const Geocentric south = ToGeocentric(CoordinateSystem::Geodetic(Wgs84()),
                                          {-0.5, -(179 + 59 / 60.0 + 59.59 / 3600), 0.0});
    EXPECT_NEAR(table.Point(2).x1, south.X, 1e-8);
    EXPECT_NEAR(table.Point(2).y1, south.Y, 1e-8);
    EXPECT_NEAR(table.Point(2).z1, south.Z, 1e-8);
}

TEST(CommonPointsInSystems, RefuseWhatTheSystemsRefuseWithLineFieldAndSide) {
    const PointSystems road = kRoad;
    const PointSystems dms{ParseCoordinateSystem("blh:cgcs2000,dms"),
                           ParseCoordinateSystem("blh:cgcs2000")};
    const std::string good = "A,30.5,114.1,10,3375000,38510000,20\r\n";
    const struct {
        const char *name;
        const PointSystems &systems;
        std::string content;
        long line;
        int field;
        const char *says;
    } cases[] = {
        {"B beyond 90", road, good + "P,90.5,114.1,10,3375000,38510000,20\r\n", 2, 2,
         "原坐标系 B = 90.5 超出 −90° 至 90°（点号 “P”）"},
        {"L beyond 360", road, "P,30,-361,10,3375000,38510000,20\r\n", 1, 3,
         "原坐标系 L = -361 超出 −360° 至 360°"},
        {"a zone prefix not zone=38", road, "P,30,114,10,3375000,39510000,20\r\n", 1, 6,
         "新坐标系 y = 39510000 的带号为 39，与 zone=38 不符"},
        {"a y without its zone prefix", road, "P,30,114,10,3375000,510000,20\r\n", 1, 6,
         "的带号为 0，与 zone=38 不符"},
        {"a grid point far beyond 9°", road, "P,30,114,10,3375000,37500000,20\r\n", 1, 6,
         "带号为 37"},
        {"minutes of 60", dms, "P,30.6000,114,10,30,114,10\r\n", 1, 2, "分"},
        {"seconds of 60", dms, "P,30.3060,114,10,30,114,10\r\n", 1, 2, "秒"},
        {"L's seconds of 60 on the other side", dms, "P,30,114.0060,10,30,114,10\r\n", 1, 3, "秒"},
        {"B of the new side beyond 90", dms, "P,30,114,10,-91,114,10\r\n", 1, 5,
         "新坐标系 B = -91 超出"},
        {"a height far below the ellipsoid", dms, "P,30,114,-700000,30,114,10\r\n", 1, 4,
         "原坐标系 H = -700000 低于椭球面"},
        {"an empty B", road, "P,,114,10,3375000,38510000,20\r\n", 1, 2, "坐标 B1 为空"},
        {"a quoted h", road, "P,30,114,10,3375000,38510000,\"20\"\r\n", 1, 7,
         "坐标 h2 “20” 在引号中，不是数值"},
        {"a word for L", road, "P,30,east,10,3375000,38510000,20\r\n", 1, 3,
         "坐标 L1 “east” 不是数值（点号 “P”）"},
        {"too few fields, named in the systems' terms", road, "P,30,114,10,3375000\r\n", 1, 0,
         "点号,B1,L1,H1,x2,y2,h2"},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        const std::string path = dir.Write("gps.txt", c.content);
        const Error e = testkit::ErrorThrownBy([&] { ReadCommonPointFile(path, c.systems); });
        EXPECT_EQ(e.file(), path) << c.name;
        EXPECT_EQ(e.line(), c.line) << c.name;
        EXPECT_EQ(e.field(), c.field) << c.name << ": " << e.what();
        EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
            << c.name << ": " << e.what();
    }
    // A grid point beyond 9° of its meridian, in its own zone.
    testkit::TempDir dir;
    const PointSystems wide{road.from, ParseCoordinateSystem("gk:bj54:114")};
    const Error e = testkit::ErrorThrownBy([&] {
        ReadCommonPointFile(dir.Write("gps.txt", "P,30,114,10,3375000,1500000,20\r\n"), wide);
    });
    EXPECT_EQ(e.field(), 6);
    EXPECT_NE(std::string(e.what()).find("离中央子午线超过 9°"), std::string::npos) << e.what();
}

// B L H on WGS84 to x y h on a Beijing 1954 grid: the parameters estimated
// from the road's common points convert its check points to the grid values
// PROJ gives them; the report's residuals are grid differences.
TEST(RoadInSystems, EstimatesParametersThatConvertTheCheckPointsToTheTruth) {
    testkit::TempDir dir;
    const std::string path = dir.Write("road.txt", Example("road_common_points.txt"));
    Estimation estimation = Estimate(path, {}, kRoad);
    estimation.Commit();
    const Params &p = estimation.params();

    const std::map<std::string, Values> truth = Truth();
    ASSERT_EQ(truth.size(), 6u);
    std::istringstream checks(Example("road_points.txt"));
    int checked = 0;
    for (std::string line; std::getline(checks, line); ++checked) {
        std::istringstream fields(line);
        std::string name, b, l, h;
        std::getline(fields, name, ',');
        std::getline(fields, b, ',');
        std::getline(fields, l, ',');
        std::getline(fields, h, ',');
        const Geocentric g = ToGeocentric(kRoad.from, {std::stod(b), std::stod(l), std::stod(h)});
        const Point3 t = TransformPoint(p, g.X, g.Y, g.Z);
        const Values grid = FromGeocentric(kRoad.to, {t.X, t.Y, t.Z});
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(grid[k], truth.at(name)[k], 0.0005) << name << " " << k; // 0.5 mm
    }
    EXPECT_EQ(checked, 6);

    const std::vector<std::string> lines =
        Lines(testkit::ReadBytes(dir.Path("road七参数精度评估.txt")));
    ASSERT_EQ(lines.size(), 10u + 4u + 9u);
    EXPECT_EQ(lines[10], "原坐标系 blh:wgs84，新坐标系 gk:bj54:114,zone=38"
                         "（七参数作用于两坐标系各自椭球上的地心直角坐标 X Y Z）");
    EXPECT_EQ(lines[11], "残差（计算值-已知值）为新坐标系的高斯-克吕格坐标之差 x、y、h，单位米");
    EXPECT_EQ(lines[12], "======================残差分析DxDyDh======================");
    EXPECT_EQ(lines[13], "点号               x残差       y残差       h残差");
    for (std::size_t n = 14; n < lines.size(); ++n) { // no noise: nothing of a millimetre
        std::istringstream row(lines[n]);
        std::string name;
        double v[3] = {1, 1, 1};
        row >> name >> v[0] >> v[1] >> v[2];
        for (double r : v)
            EXPECT_LT(std::fabs(r), 0.0002) << lines[n];
    }
}

// The other way round, with one point's new B and H moved: its residuals are
// metres north, east and up, of the size the move gives.
TEST(RoadInSystems, ReportsResidualsNorthEastAndUpForANewSystemOfBLH) {
    // The road's grid side as the original, its B L H side as the new one.
    std::istringstream in(RoadUtf8());
    std::string swapped;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line.substr(0, line.size() - 1));
        for (std::string field; std::getline(fields, field, ',');)
            f.push_back(field);
        if (f[0] == "K9") // 1e-6° of B north (0.1109 m at 30.5°) and 4 cm up
            f[1] = "30.530747393", f[3] = "86.5220";
        swapped += f[0] + "," + f[4] + "," + f[5] + "," + f[6] + "," + f[1] + "," + f[2] + "," +
                   f[3] + "\r\n";
    }
    testkit::TempDir dir;
    const PointSystems back{kRoad.to, kRoad.from};
    Estimation estimation = Estimate(dir.Write("road.txt", swapped), {}, back);
    const CommonPointTable &table = estimation.table();
    for (int n = 1; n <= table.PointCount(); ++n) {
        const Values v = ResidualsOf(table, estimation.params(), table.Point(n));
        const bool moved = ToUtf8(table.Point(n).Name, Encoding::Gbk) == "K9";
        EXPECT_NEAR(v[0], moved ? -0.11086 : 0.0, 0.0005) << n; // computed − given
        EXPECT_NEAR(v[1], 0.0, 0.0005) << n;
        EXPECT_NEAR(v[2], moved ? -0.04 : 0.0, 0.0005) << n;
    }
    EXPECT_EQ(estimation.summary().largestAxis, 'N');
    EXPECT_EQ(ToUtf8(estimation.summary().largestAt, Encoding::Gbk), "K9");
    estimation.Commit();
    const std::vector<std::string> lines =
        Lines(testkit::ReadBytes(dir.Path("road七参数精度评估.txt")));
    EXPECT_EQ(lines[10], "原坐标系 gk:bj54:114,zone=38，新坐标系 blh:wgs84"
                         "（七参数作用于两坐标系各自椭球上的地心直角坐标 X Y Z）");
    EXPECT_EQ(lines[11], "残差（计算值-已知值）为新坐标系的北、东、天向分量 N、E、U，单位米");
    EXPECT_EQ(lines[12], "======================残差分析DNDEDU======================");
    EXPECT_EQ(lines[13], "点号               N残差       E残差       U残差");
}

// The adjustment in systems: a point moved on the grid is a blunder whose
// residuals are the move; the redundancy numbers, turned to the grid's axes,
// still sum to r.
TEST(RoadInSystems, AdjustsWithResidualsAndRedundancyNumbersOnTheGrid) {
    // 起点 moved 5 cm north and 3 cm west on the grid.
    const std::string moved =
        WithNewSide(RoadUtf8(), "起点", "3370112.8234,38496072.8266,166.3929");
    testkit::TempDir dir;
    const std::string path = dir.Write("road.txt", moved);
    const AdjustedFile run = AdjustCommonPointFile(path, {}, kRoad);
    const Adjustment &a = run.adjustment;
    ASSERT_EQ(a.blunders, 1);
    EXPECT_EQ(a.points[0].state, PointState::Blunder);
    EXPECT_NEAR(a.points[0].residual[0], -0.05, 0.0005);
    EXPECT_NEAR(a.points[0].residual[1], 0.03, 0.0005);
    EXPECT_NEAR(a.points[0].residual[2], 0.0, 0.0005);
    // The same adjustment in X, Y, Z: the same sum per point.
    const CommonPointTable table = ReadCommonPointFile(path, kRoad);
    CommonPointTable cartesian;
    for (const CommonPoint &q : table.points())
        cartesian.Add(q);
    const Adjustment x = AdjustTable(cartesian, {}, kDefaultAlpha);
    double sum = 0.0;
    for (int n = 0; n < table.PointCount(); ++n) {
        const AdjustedPoint &p = a.points[n];
        if (p.state != PointState::Used)
            continue;
        const double here = p.redundancy[0] + p.redundancy[1] + p.redundancy[2];
        const double there =
            x.points[n].redundancy[0] + x.points[n].redundancy[1] + x.points[n].redundancy[2];
        EXPECT_NEAR(here, there, 1e-12) << n;
        for (double r : p.redundancy)
            EXPECT_TRUE(r > 0.0 && r < 1.0) << r;
        sum += here;
    }
    EXPECT_NEAR(sum, a.redundancy, 1e-9);
    EXPECT_EQ(x.sigma0, a.sigma0);

    run.report->Commit();
    const std::vector<std::string> lines =
        Lines(testkit::ReadBytes(dir.Path("road七参数平差报告.txt")));
    ASSERT_GT(lines.size(), 4u);
    EXPECT_EQ(lines[2], "原坐标系 blh:wgs84，新坐标系 gk:bj54:114,zone=38"
                        "（七参数作用于两坐标系各自椭球上的地心直角坐标 X Y Z）");
    EXPECT_EQ(lines[3], "残差（计算值-已知值）为新坐标系的高斯-克吕格坐标之差 x、y、h，单位米"
                        "；多余观测分量和检核点均方根也按这三个方向");
    bool header = false;
    for (const std::string &line : lines)
        header =
            header || line.rfind("点号               x残差          y残差          h残差", 0) == 0;
    EXPECT_TRUE(header);
}

// A redundancy number is the share of an error in an observation that shows
// in its own residual: moving K9's grid x, y or h by 10 µm moves that
// residual by −r·10 µm, r the number the adjustment gives along that axis
// (not along X, Y or Z).
TEST(RoadInSystems, GivesTheRedundancyNumbersOfTheGridsAxes) {
    testkit::TempDir dir;
    const CommonPointTable road =
        ReadCommonPointFile(dir.Write("road.txt", Example("road_common_points.txt")), kRoad);
    const Adjustment before = AdjustTable(road, {}, kDefaultAlpha);
    ASSERT_EQ(before.used, 9);
    const int k9 = 5;
    const double step = 1e-5;
    for (int axis = 0; axis < 3; ++axis) {
        CommonPointTable moved(road.source(), road.systems());
        for (CommonPoint q : road.points()) {
            if (ToUtf8(q.Name, Encoding::Gbk) == "K9") {
                q.given2[axis] += step;
                const Geocentric g = ToGeocentric(kRoad.to, q.given2);
                q.x2 = g.X, q.y2 = g.Y, q.z2 = g.Z;
            }
            moved.Add(q);
        }
        const Adjustment after = AdjustTable(moved, {}, kDefaultAlpha);
        ASSERT_EQ(after.used, 9);
        const double shown =
            (after.points[k9 - 1].residual[axis] - before.points[k9 - 1].residual[axis]) / -step;
        EXPECT_NEAR(shown, before.points[k9 - 1].redundancy[axis], 0.002) << axis;
    }
}

// Check points held out in systems: their RMS is taken of the grid
// residuals; the weak triple's finding names a grid axis.
TEST(RoadInSystems, ChecksAndReviewsInTheNewSystemsTerms) {
    const std::string moved =
        WithNewSide(RoadUtf8(), "K9", "3379018.6413,38508787.5296,177.7265"); // 10 cm up
    testkit::TempDir dir;
    AdjustmentOptions options;
    options.checkNames = {"K9"};
    const AdjustedFile run = AdjustCommonPointFile(dir.Write("road.txt", moved), options, kRoad);
    EXPECT_EQ(run.adjustment.checks, 1);
    EXPECT_NEAR(run.adjustment.checkRms[2], 0.1, 0.0005);
    EXPECT_NEAR(run.adjustment.checkRms[0], 0.0, 0.0005);
    EXPECT_NEAR(run.adjustment.checkRms3d, 0.1, 0.0005);

    // Parameters 1 m off in DY miss every point by 0.79 m up, 0.46 m south
    // and 0.41 m west there.
    Params off = run.adjustment.params;
    off[DY] += 1.0;
    const std::optional<WeakTriple> weak = FindWeakTriple(run.table, off, run.adjustment);
    ASSERT_TRUE(weak.has_value());
    EXPECT_EQ(weak->axis, 'h');
}

} // namespace
} // namespace kovarim
