#include "estimation/accuracy_report.h"

#include "estimation/estimate.h"

#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "base/error.h"
#include "testkit.h"

namespace kovarim {
namespace {

// Four points: a 13-character name (its labels reach past column 29), a
// numeric name, a GBK name (点三) and one point off by a few millimetres.
// The first three shift by (10, 20, 30) exactly, so every misclosure is 0 and
// the first triple is chosen.
const std::string kPoints = "LONGNAME12345,0,0,0,10,20,30\r\n"
                            "12,100,0,0,110,20,30\r\n"
                            "\xB5\xE3\xC8\xFD,0,100,0,10,120,30\r\n"
                            "P4,100,100,10,109.99877,120.0042,40\r\n";

// Checked column by column: labels from column 16, A(m,7) with its sign
// position in column 30, the two spaces in 34–35, the parameter's sign in 36;
// residuals at 20, 35 and 50, a "-" standing in the column itself. Row 5 is
// RotX, pivoted by 点三-3 after a row exchange.
const std::string kExpectedReport =
    "\xD7\xDC\xB9\xB2\xD3\xD0 4 \xB8\xF6\xB9\xAB\xB9\xB2\xB5\xE3\xD7\xCA\xC1\xCF,"
    "\xD2\xD4\xD7\xEE\xD3\xC5\xB5\xC4\xC8\xFD\xB8\xF6\xB9\xAB\xB9\xB2\xB5\xE3("
    "LONGNAME12345--12--\xB5\xE3\xC8\xFD)\xBC\xC6\xCB\xE3\xC6\xDF\xB2\xCE\xCA\xFD\r\n"
    "\xB7\xBD\xB3\xCC\xD7\xE9\xD0\xF2\xBA\xC5  \xB5\xE3\xBA\xC5-\xD7\xE9\xD0\xF2\xBA\xC5"
    "   \xC6\xDF\xB2\xCE\xCA\xFD\r\n"
    " 1             LONGNAME12345-1\r\n"
    "                              0     10 \r\n"
    " 2             LONGNAME12345-2\r\n"
    "                              0     20 \r\n"
    " 3             LONGNAME12345-3\r\n"
    "                              0     30 \r\n"
    " 4             12-1           0     0 \r\n"
    " 5             \xB5\xE3\xC8\xFD-3         0     0 \r\n"
    " 6             12-3           0     0 \r\n"
    " 7             \xB5\xE3\xC8\xFD-1         1     0 \r\n"
    "==========================================================\r\n"
    "======================\xB2\xD0\xB2\xEE\xB7\xD6\xCE\xF6"
    "DXDYDZ======================\r\n"
    "\xB5\xE3\xBA\xC5               X\xB2\xD0\xB2\xEE       Y\xB2\xD0\xB2\xEE"
    "       Z\xB2\xD0\xB2\xEE\r\n"
    "LONGNAME12345       0              0              0 \r\n"
    " 12                 0              0              0 \r\n"
    "\xB5\xE3\xC8\xFD                0              0              0 \r\n"
    "P4                  0.00123       -0.0042         0 \r\n";

// Runs an estimation as the window does: the report is put in place before
// the parameters come back. Records the hooks' calls in order.
struct Estimated {
    std::vector<std::string> calls;
    std::optional<Params> params;

    explicit Estimated(const std::string &input) {
        EstimationHooks hooks;
        hooks.searchDone = [this] { calls.push_back("searchDone"); };
        std::optional<Estimation> estimation = Estimate(input, hooks);
        if (estimation) {
            estimation->Commit();
            params = estimation->params();
        }
    }
};

TEST(AccuracyReport, IsWrittenByteForByte) {
    testkit::TempDir dir;
    const Estimated run(dir.Write("gps.txt", kPoints));
    EXPECT_EQ(testkit::ReadBytes(dir.Path("gps七参数精度评估.txt")), kExpectedReport);
    EXPECT_EQ(run.calls, std::vector<std::string>{"searchDone"});
    EXPECT_EQ(run.params, MakeParams(10, 20, 30, 0, 0, 0, 0));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"gps.txt", "gps七参数精度评估.txt"}));
}

// Today's editors save UTF-8: the report is the same GBK report all the same.
TEST(AccuracyReport, IsTheSameFromAUtf8File) {
    std::string utf8 = kPoints;
    utf8.replace(utf8.find("\xB5\xE3\xC8\xFD"), 4, "点三");
    for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
        testkit::TempDir dir;
        ASSERT_TRUE(Estimated(dir.Write("gps.txt", mark + utf8)).params) << mark.size();
        EXPECT_EQ(testkit::ReadBytes(dir.Path("gps七参数精度评估.txt")), kExpectedReport)
            << mark.size();
    }
}

TEST(AccuracyReport, ReplacesAnEarlierReportWithoutAsking) {
    testkit::TempDir dir;
    const std::string input = dir.Write("gps.txt", kPoints);
    dir.Write("gps七参数精度评估.txt", std::string(5000, 'x'));
    ASSERT_TRUE(Estimated(input).params);
    EXPECT_EQ(testkit::ReadBytes(dir.Path("gps七参数精度评估.txt")), kExpectedReport);
}

// All or nothing: whatever stops an estimation leaves the earlier report as
// it was and no unfinished file beside it.
// A failed estimation says why, on a second line after the no-triple sentence
// when no triple was chosen, and leaves the earlier report as it was.
TEST(AccuracyReport, FailedEstimationSaysWhyAndLeavesTheEarlierReport) {
    const struct {
        const char *name;
        std::string content;
        const char *says;
    } cases[] = {
        {"empty file", "", "需要至少三个以上的公共点才能进行七参数计算\n文件中只有 0 个公共点"},
        {"two points", "A,0,0,0,1,1,1\r\nB,1,1,1,2,2,2\r\n", "\n文件中只有 2 个公共点"},
        {"collinear in plan", "A,0,0,0,1,1,1\r\nB,1,1,1,2,2,2\r\nC,2,2,5,3,3,3\r\n",
         "\n所有公共点在平面上（x1, y1）都位于一条直线上"},
        {"two stations, each listed twice",
         "A,0,0,0,0,0,0\r\nA2,0.0001,0,0,0,0,0\r\nB,100,0,0,100,0,0\r\nB2,100,0.0001,0,100,0,0\r\n",
         "\n不共线的三点组中都有两个点相距不到"},
        {"values too large to compute",
         "A,1,2,3,4,5,6\r\nB,1e300,3,7,1e300,8,9\r\nC,4,1e300,5,6,1e300,8\r\n",
         "\n坐标数值太大，无法计算"},
        {"no triple closes below 99999",
         "A,0,0,0,0,0,0\r\nB,1,0,0,1000001,0,0\r\nC,1,1,0,1000001,1,0\r\nD,0,1,0,0,1,0\r\n",
         "\n每个三点组的闭合差都不小于 99999"},
        {"malformed line", kPoints + "P5,1,2\r\n", "第 5 行"},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        const std::string input = dir.Write("gps.txt", c.content);
        dir.Write("gps七参数精度评估.txt", "old report");
        const std::string error = testkit::ErrorThrownBy([&] { Estimated run(input); }).what();
        EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(testkit::ReadBytes(dir.Path("gps七参数精度评估.txt")), "old report") << c.name;
        EXPECT_EQ(dir.Names().size(), 2u) << c.name;
    }
}

TEST(AccuracyReport, NothingChangesUntilTheReportIsPutInPlace) {
    testkit::TempDir dir;
    const std::string input = dir.Write("gps.txt", kPoints);
    dir.Write("gps七参数精度评估.txt", "old report");
    {
        std::optional<Estimation> estimation = Estimate(input, {});
        ASSERT_TRUE(estimation);
        EXPECT_EQ(testkit::ReadBytes(dir.Path("gps七参数精度评估.txt")), "old report");
    } // dropped without Commit, as a cancelled estimation is
    EXPECT_EQ(testkit::ReadBytes(dir.Path("gps七参数精度评估.txt")), "old report");
    EXPECT_EQ(dir.Names().size(), 2u);
}

TEST(AccuracyReport, WritesOneResidualRowPerRecordInFileOrder) {
    testkit::TempDir dir;
    std::string content;
    for (int i = 1; i <= 30; ++i)
        content += "Q" + std::to_string(i) + "," + std::to_string(i * 37 % 101) + "," +
                   std::to_string(i * i % 89) + ",5,1,2,3\r\n";
    ASSERT_TRUE(Estimated(dir.Write("gps.txt", content)).params);
    const std::string report = testkit::ReadBytes(dir.Path("gps七参数精度评估.txt"));
    std::size_t last = 0;
    for (int i = 1; i <= 30; ++i) {
        const std::size_t at = report.find("\r\nQ" + std::to_string(i) + " ");
        ASSERT_NE(at, std::string::npos) << i;
        EXPECT_GT(at, last) << i;
        last = at;
    }
}

TEST(ReportPathFor, DropsFourCharactersAndAppendsTheReportName) {
    const struct {
        const char *in;
        const char *out;
    } cases[] = {
        {"D:\\survey\\gps.txt", "D:\\survey\\gps七参数精度评估.txt"},
        {"/data/gps.dat1", "/data/gps.七参数精度评估.txt"},
        {"/数据/控制点.txt", "/数据/控制点七参数精度评估.txt"},
        {"/数据/控制点一二", "/数据/控七参数精度评估.txt"},
        {"a.b", "七参数精度评估.txt"},
        // Never into the folder: the report stays beside its file.
        {"/data/ab", "/data/七参数精度评估.txt"},
        {"数据/点", "数据/七参数精度评估.txt"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReportPathFor(c.in), c.out) << c.in;
}

} // namespace
} // namespace kovarim
