#include "calibration/calibration_report.h"

#include "adjustment/adjustment_report.h"

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/error.h"
#include "calibration/calibration_texts.h"
#include "testkit.h"
#include "textio/encoding.h"
#include "textio/number_text.h"
#include "textio/platform.h"

namespace kovarim {
namespace {

constexpr double kArcSecond = 3.14159265358979323846 / 648000.0;

TEST(CalibrationTexts, AreTheGbkEncodingOfTheirReadableText) {
    for (const gbk::Text &text : gbk::kCalibrationAll) {
        std::string converted;
        EXPECT_TRUE(platform::Utf8ToGbk(text.readable, converted)) << text.readable;
        EXPECT_EQ(text.bytes, converted) << text.readable;
    }
}

// Twelve points of a 4 km site, on a zone-prefixed grid and a local grid,
// with a tilted height surface; "东山" is 8 cm off in X, "西岭" 6 cm in h.
CommonPointTable Site() {
    const char *names[12] = {"\xCD\xF5\xBC\xD2\xD7\xAF", // 王家庄
                             "\xC0\xEE\xB4\xE5",         // 李村
                             "GPS03",
                             "\xD5\xC5\xD7\xAF", // 张庄
                             "\xCA\xAF\xC7\xC5", // 石桥
                             "GPS06",
                             "\xB6\xAB\xC9\xBD", // 东山
                             "\xCE\xF7\xC1\xEB", // 西岭
                             "GPS09",
                             "\xC4\xCF\xCD\xE5", // 南湾
                             "\xB1\xB1\xCB\xFE", // 北塔
                             "GPS12"};
    const double plan[12][2] = {{120, 340},   {3900, 410},  {2100, 2050}, {350, 3800},
                                {3700, 3600}, {1800, 300},  {900, 1900},  {2900, 1200},
                                {1500, 3100}, {3300, 2500}, {600, 1000},  {2500, 3900}};
    const double noise[12][3] = {
        {0.002, -0.001, 0.004},   {-0.003, 0.002, -0.002}, {0.001, 0.001, 0.003},
        {-0.002, -0.003, -0.004}, {0.003, 0.000, 0.001},   {0.000, 0.002, -0.003},
        {0.080, 0.001, 0.002},    {-0.001, -0.002, 0.060}, {0.002, 0.003, -0.001},
        {-0.001, 0.001, 0.002},   {0.001, -0.002, -0.002}, {-0.002, 0.000, 0.001}};
    const CalibrationParams truth = {{50000 - (3381000 * std::cos(900 * kArcSecond) * (1 + 2e-5) -
                                               39512000 * std::sin(900 * kArcSecond) * (1 + 2e-5)),
                                      20000 - (3381000 * std::sin(900 * kArcSecond) * (1 + 2e-5) +
                                               39512000 * std::cos(900 * kArcSecond) * (1 + 2e-5)),
                                      2e-5, 900 * kArcSecond},
                                     {HeightModel::Plane, 52000, 22000, {-11.5, 0.04, -0.03}}};
    CommonPointTable table;
    for (int i = 0; i < 12; ++i) {
        const double x = 3381000 + plan[i][0], y = 39512000 + plan[i][1], H = 60 + 7 * i;
        const Point3 local = CalibrateForward(truth, x, y, H);
        table.Add({names[i], FieldKind::Text, 0, x, y, H, local.X + noise[i][0],
                   local.Y + noise[i][1], local.Z + noise[i][2]});
    }
    return table;
}

CalibrationOptions Options() {
    CalibrationOptions options;
    options.systems = {"blh:wgs84", "gk:cgcs2000:117,zone=39", "plane"};
    return options;
}

// The report's lines, read as UTF-8, with their line ends checked: every
// line ends in CR LF and nothing else ends one.
std::vector<std::string> Lines(const std::string &gbk) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = gbk.find('\n', start)) != std::string::npos; start = end + 1) {
        EXPECT_TRUE(end > start && gbk[end - 1] == '\r') << "a line without CR: " << lines.size();
        const std::string utf8 = ToUtf8(gbk.substr(start, end - 1 - start), Encoding::Gbk);
        EXPECT_FALSE(utf8.empty() && end - 1 > start) << "not GBK: line " << lines.size() + 1;
        lines.push_back(utf8);
    }
    EXPECT_EQ(start, gbk.size()) << "text after the last line end";
    return lines;
}

std::vector<std::string> Report(const CommonPointTable &table, const SiteCalibration &c) {
    TextFileWriter out("report");
    WriteCalibrationReport(out, table, c);
    return Lines(out.bytes());
}

std::size_t LineStarting(const std::vector<std::string> &lines, const std::string &head,
                         std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i].rfind(head, 0) == 0)
            return i;
    return lines.size();
}

std::string Joined(const std::vector<std::string> &lines) {
    std::string all;
    for (const std::string &line : lines)
        all += line + "\n";
    return all;
}

TEST(CalibrationReport, ReportsASiteInGbkWithCrLf) {
    const CommonPointTable table = Site();
    CalibrationOptions options = Options();
    options.checkNames = {"GPS12"};
    const SiteCalibration c = Calibrate(table, options, "site.txt");
    const std::vector<std::string> lines = Report(table, c);
    ASSERT_GT(lines.size(), 50u);
    EXPECT_EQ(lines[0], "四参数报告：文件中共有 12 个公共点，平面参与 10 个，粗差 1 个，"
                        "高程参与 10 个，粗差 1 个，检核点 1 个");
    EXPECT_EQ(lines[1], "原坐标系：blh:wgs84");
    EXPECT_EQ(lines[2], "投影：gk:cgcs2000:117,zone=39");
    EXPECT_EQ(lines[3], "局部坐标系：plane");
    // The parameters in the printed form at column 10, their σ at 34, the unit at 50.
    const struct {
        const char *name;
        double value, sigma;
        const char *unit;
    } rows[] = {{"dx ", c.plane.params.dx, c.plane.sigma.dx, "米"},
                {"dy ", c.plane.params.dy, c.plane.sigma.dy, "米"},
                {"尺度 ", ToPpm(c.plane.params.scale), ToPpm(c.plane.sigma.scale), "ppm"},
                {"旋转角 ", ToArcSeconds(c.plane.params.rotation),
                 ToArcSeconds(c.plane.sigma.rotation), "秒"}};
    const std::size_t table0 = LineStarting(lines, "参数");
    for (const auto &row : rows) {
        const std::size_t at = LineStarting(lines, row.name, table0);
        ASSERT_LT(at, lines.size()) << row.name;
        // Columns count a Chinese character twice; the UTF-8 line has three bytes for it.
        const std::string gbk = ToReportEncoding(lines[at], Encoding::Utf8);
        EXPECT_EQ(gbk.substr(9, PrintedNumber(row.value).size()), PrintedNumber(row.value))
            << lines[at];
        const std::string sigma = PrintedNumber(RoundToSignificant(row.sigma, 4));
        EXPECT_EQ(gbk.substr(33, sigma.size()), sigma) << lines[at];
        EXPECT_EQ(lines[at].substr(lines[at].size() - std::string(row.unit).size()), row.unit);
    }
    EXPECT_LT(LineStarting(lines, "尺度因子 m = " + FormatNumber(1 + c.plane.params.scale)),
              lines.size());
    EXPECT_LT(LineStarting(lines, "单位权中误差 σ0 = " +
                                      FormatNumber(RoundToSignificant(*c.plane.fit.sigma0, 4)) +
                                      "  多余观测数 r = 16"),
              lines.size());
    EXPECT_LT(LineStarting(lines, "显著水平 α = 0.001，临界值 F(2,r-2) = "), lines.size());
    EXPECT_LT(LineStarting(lines, "显著水平 α = 0.001，临界值 F(1,r-1) = "), lines.size());
    EXPECT_LT(LineStarting(lines, "模型：二次曲面 ζ = H - h = c0 + c1·u + c2·v + c3·u^2 + "
                                  "c4·u·v + c5·v^2，u = (X - X0)/1000"),
              lines.size());
    EXPECT_LT(LineStarting(lines, "自动选择：可用的点 11 个"), lines.size());
    EXPECT_LT(LineStarting(lines, "原点（局部平面，参与拟合的点的重心） X0 = " +
                                      FormatNumber(c.height.surface.originX)),
              lines.size());
    for (const char *coefficient : {"c0 ", "c1 ", "c2 ", "c3 ", "c4 ", "c5 "})
        EXPECT_LT(LineStarting(lines, coefficient), lines.size()) << coefficient;
    EXPECT_EQ(LineStarting(lines, "c6 "), lines.size());

    // Every point once in each table, in file order, with its state last.
    const std::vector<std::string> names = {"王家庄", "李村", "GPS03", "张庄", "石桥", "GPS06",
                                            "东山",   "西岭", "GPS09", "南湾", "北塔", "GPS12"};
    const struct {
        const char *title;
        int blunder;
    } blocks[] = {{"======================各点平面残差", 7},
                  {"======================各点高程残差", 8}};
    for (const auto &block : blocks) {
        const std::size_t at = LineStarting(lines, block.title);
        ASSERT_LT(at + 2 + names.size(), lines.size()) << block.title;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::string &line = lines[at + 2 + i];
            const std::string state = i == 11                               ? "检核"
                                      : i + 1 == std::size_t(block.blunder) ? "粗差"
                                                                            : "参与";
            EXPECT_EQ(line.rfind(names[i], 0), 0u) << line;
            EXPECT_EQ(line.substr(line.size() - state.size()), state) << line;
        }
        EXPECT_EQ(lines[at + 2 + names.size()].rfind("检核点残差均方根：", 0), 0u);
    }
    for (const std::string &line : lines) {
        EXPECT_EQ(line.find("nan"), std::string::npos) << line;
        EXPECT_EQ(line.find("inf"), std::string::npos) << line;
    }
}

TEST(CalibrationReport, SaysWhatEachCaseNeeds) {
    const CommonPointTable site = Site();
    CommonPointTable two;
    two.Add(site.Point(1));
    two.Add(site.Point(2));
    CommonPointTable line;
    for (int i = 0; i < 6; ++i)
        line.Add({"L" + std::to_string(i), FieldKind::Text, 0, 3381000.0 + 300 * i,
                  39512000.0 + 100 * i, 50.0 + i, 1000.0 + 300 * i, 2000.0 + 100 * i,
                  40.0 + i + 0.001 * (i % 2)});
    const struct {
        const char *name;
        CommonPointTable table;
        HeightModel model;
        bool fixedScale;
        std::string via;
        std::vector<std::string> says, never;
        std::vector<std::string> check; // the check points' names, UTF-8
    } cases[] = {
        {"no surface",
         site,
         HeightModel::None,
         false,
         "",
         {"投影：无（原坐标已是平面坐标）", "模型：不拟合，高程不变（h = H）",
          "粗差 1 个，检核点 0 个\n"},
         {"高程参与", "各点高程残差", "c0 "},
         {}},
        {"scale held",
         site,
         HeightModel::Quadratic,
         true,
         "gk:cgcs2000:117",
         {"尺度固定为 m = 1", "固定", "尺度因子 m = 1\n", "模型：二次曲面", "c5 ",
          "起算：最小中位数法，在形状系数", "\n          dx       dy       旋转角\n"},
         {},
         {}},
        {"two points",
         two,
         HeightModel::Auto,
         false,
         "",
         {"初始剔除：可参与的点少于 4 个，不作初始剔除", "单位权中误差 σ0 = 无  多余观测数 r = 0",
          "F(2,r-2) = 无", "不可检验", "模型：常数 ζ = H - h = c0",
          "初始剔除：可参与的点少于 3 个"},
         {},
         {}},
        {"points on a line",
         line,
         HeightModel::Auto,
         false,
         "",
         {"点位分布（在一条直线或二次曲线上）不能确定更丰富的曲面，已退而取此曲面", "模型：常数",
          "起算：最小中位数法，逐点试了 6 个点的高程异常"},
         {},
         {}},
        {"a check point off in plan",
         site,
         HeightModel::Auto,
         false,
         "",
         {"东山               -0.07", "检核（未通过检验）\n", "检核点 1 个"},
         {},
         {"东山"}},
        {"a check point within its noise",
         site,
         HeightModel::Auto,
         false,
         "",
         {"检核\n", "检核点 1 个"},
         {"未通过检验"},
         {"GPS03"}},
    };
    for (const auto &c : cases) {
        CalibrationOptions options = Options();
        options.checkNames = c.check;
        options.systems.via = c.via;
        options.height = c.model;
        options.fixedScale = c.fixedScale;
        const std::string all = Joined(Report(c.table, Calibrate(c.table, options, "site.txt")));
        for (const std::string &text : c.says)
            EXPECT_NE(all.find(text), std::string::npos) << c.name << ": " << text << "\n" << all;
        for (const std::string &text : c.never)
            EXPECT_EQ(all.find(text), std::string::npos) << c.name << ": " << text << "\n" << all;
    }
}

TEST(CalibrationReport, IsWrittenBesideTheFileOnlyWhenCommitted) {
    testkit::TempDir dir;
    const std::string path = dir.Write("site.txt", "points\r\n");
    dir.Write("site四参数报告.txt", "earlier report");
    const CommonPointTable table = Site();
    const SiteCalibration c = Calibrate(table, Options(), path);
    {
        const auto dropped = PrepareCalibrationReport(path, table, c);
        EXPECT_EQ(dropped->finalPath(), dir.Path("site四参数报告.txt"));
    }
    EXPECT_EQ(testkit::ReadBytes(dir.Path("site四参数报告.txt")), "earlier report");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"site.txt", "site四参数报告.txt"}));
    const auto report = PrepareCalibrationReport(path, table, c);
    report->Commit();
    TextFileWriter same("same");
    WriteCalibrationReport(same, table, c);
    EXPECT_EQ(testkit::ReadBytes(dir.Path("site四参数报告.txt")), same.bytes());
}

TEST(CalibrationReportPathFor, DropsFourCharacters) {
    EXPECT_EQ(CalibrationReportPathFor("/data/site.txt"), "/data/site四参数报告.txt");
    EXPECT_EQ(CalibrationReportPathFor("控制点.dat"), "控制点四参数报告.txt");
}

} // namespace
} // namespace kovarim
