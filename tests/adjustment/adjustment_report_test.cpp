#include "adjustment/adjustment_report.h"

#include <filesystem>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "base/error.h"
#include "testkit.h"
#include "textio/encoding.h"
#include "textio/number_text.h"

namespace kovarim {
namespace {

std::string Example() {
    return testkit::ReadBytes(KOVARIM_SOURCE_DIR "/examples/common_points.txt");
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

const std::string *LineStarting(const std::vector<std::string> &lines, const std::string &head) {
    for (const std::string &line : lines)
        if (line.rfind(head, 0) == 0)
            return &line;
    return nullptr;
}

TEST(AdjustmentReport, ReportsTheExampleInGbkWithCrLf) {
    testkit::TempDir dir;
    AdjustedFile run = AdjustCommonPointFile(dir.Write("gps.txt", Example()), {});
    EXPECT_FALSE(testkit::Exists(dir.Path("gps七参数平差报告.txt")));
    run.report->Commit();
    const std::vector<std::string> lines =
        Lines(testkit::ReadBytes(dir.Path("gps七参数平差报告.txt")));
    ASSERT_GT(lines.size(), 40u);
    EXPECT_EQ(lines[0],
              "七参数平差报告：文件中共有 12 个公共点，参与平差 11 个，粗差 1 个，检核点 0 个");
    EXPECT_EQ(lines[2], "起算：最小中位数法，在最小角不小于 20° 的三点组合中试了 115 组，"
                        "取各点残差中位数最小者(王家庄--GPS03--GPS12)，其最小角 39.4°");
    EXPECT_EQ(lines[3],
              "初始剔除：√Ω（起算拟合下按其精度加权的残差向量长度）超过 k×起算中误差者"
              "先不参与，k = √χ^2(1-10^-6;3) = 5.538，起算中误差（由各点 Ω 的中位数推算） "
              "0.002177，界限 0.01206，先不参与 1 个");
    EXPECT_NE(LineStarting(lines, "最优三点(GPS03--石桥--GPS12)"), nullptr);
    const Adjustment &a = run.adjustment;
    // The seven parameters in the accuracy report's printed form, at column 10.
    const char *names[] = {"DX", "DY", "DZ", "Scale", "RotX", "RotY", "RotZ"};
    for (int n = DX; n <= RotZ; ++n) {
        const std::string *line = LineStarting(lines, std::string(names[n - 1]) + " ");
        ASSERT_NE(line, nullptr) << names[n - 1];
        EXPECT_EQ(line->substr(9, PrintedNumber(a.params[n]).size()), PrintedNumber(a.params[n]))
            << *line;
        // Only the scale and the rotations have a readable form after σ.
        EXPECT_EQ(line->size() > 50, n >= Scale) << *line;
    }
    EXPECT_NE(LineStarting(lines, "Scale")->find("3.8901 ppm"), std::string::npos);
    EXPECT_NE(LineStarting(lines, "RotZ")->find("3.5633 秒"), std::string::npos);
    EXPECT_NE(LineStarting(lines, "单位权中误差 σ0 = 0.002337  多余观测数 r = 26"), nullptr);
    // Every point once, in file order, with its state last.
    const std::vector<std::pair<std::string, std::string>> points = {
        {"王家庄", "参与"}, {"李村", "参与"},  {"GPS03", "参与"}, {"张庄", "参与"},
        {"石桥", "参与"},   {"GPS06", "参与"}, {"东山", "粗差"},  {"西岭", "参与"},
        {"GPS09", "参与"},  {"南湾", "参与"},  {"北塔", "参与"},  {"GPS12", "参与"}};
    std::size_t at = 0;
    while (at < lines.size() && lines[at].rfind("点号", 0) != 0)
        ++at;
    ASSERT_LT(at + points.size(), lines.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const std::string &line = lines[at + 1 + i];
        EXPECT_EQ(line.rfind(points[i].first, 0), 0u) << line;
        EXPECT_EQ(line.substr(line.size() - points[i].second.size()), points[i].second) << line;
    }
    EXPECT_NE(lines[at + 7].find("-0.35124"), std::string::npos) << lines[at + 7];
    for (const std::string &line : lines) {
        EXPECT_EQ(line.find("nan"), std::string::npos) << line;
        EXPECT_EQ(line.find("inf"), std::string::npos) << line;
    }
}

// Check points get their RMS line; points on a vertical plane have no best
// triple (the search looks at the plan) but a start; four points have no
// robust start, and one of them that fails but must stay says so.
TEST(AdjustmentReport, SaysWhatEachCaseNeeds) {
    const std::string vertical = "V0,2858000,589000,20,2857887.5,589078.2,65.7\r\n"
                                 "V1,2858100,589200,57,2857987.5,589278.2,102.7\r\n"
                                 "V2,2858200,589400,168,2858087.5,589478.2,213.7\r\n"
                                 "V3,2858300,589600,168,2858187.5,589678.2,213.7\r\n"
                                 "V4,2858400,589800,57,2858287.5,589878.2,102.7\r\n";
    const struct {
        const char *name;
        std::string content;
        std::vector<std::string> checks;
        std::vector<std::string> says;
    } cases[] = {
        {"check points", Example(), {"北塔", "GPS06"}, {"检核点 2 个", "检核点残差均方根", "检核"}},
        {"a check point that fails", Example(), {"东山"}, {"检核（未通过检验）"}},
        {"no best triple",
         vertical,
         {},
         {"起算：最小中位数法", "最优三点参数与平差参数======================\n无\n"}},
        {"four points, one failing",
         // A shift, and D off by 0.5 m in x.
         "A,2858000,589000,20,2857887.5,589078.25,65.75\r\n"
         "B,2858900,589200,57,2858787.5,589278.25,102.75\r\n"
         "C,2858200,589800,168,2858087.5,589878.25,213.75\r\n"
         "D,2858700,589900,99,2858588,589978.25,144.75\r\n",
         {},
         {"初始剔除：可参与平差的点少于 5 个，不作初始剔除", "参与而未通过检验 1 个",
          "参与（未通过检验）"}},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        AdjustmentOptions options;
        options.checkNames = c.checks;
        AdjustedFile run = AdjustCommonPointFile(dir.Write("gps.txt", c.content), options);
        run.report->Commit();
        std::string all;
        for (const std::string &line : Lines(testkit::ReadBytes(run.report->finalPath())))
            all += line + "\n";
        for (const std::string &text : c.says)
            EXPECT_NE(all.find(text), std::string::npos) << c.name << ": " << text << "\n" << all;
    }
}

TEST(AdjustmentReport, IsNeverLeftHalfWrittenNorReplacedByAFailure) {
    testkit::TempDir dir;
    const std::string path =
        dir.Write("gps.txt", "A,0,0,0,1,1,1\r\nB,5,0,0,6,1,1\r\nC,0,5,0,1,6,1\r\n");
    dir.Write("gps七参数平差报告.txt", "earlier report");
    const Error e = testkit::ErrorThrownBy([&] { AdjustCommonPointFile(path, {}); });
    EXPECT_NE(e.problem().find("不足 4 个"), std::string::npos) << e.what();
    EXPECT_EQ(testkit::ReadBytes(dir.Path("gps七参数平差报告.txt")), "earlier report");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"gps.txt", "gps七参数平差报告.txt"}));
    { const AdjustedFile dropped = AdjustCommonPointFile(dir.Write("gps.txt", Example()), {}); }
    EXPECT_EQ(testkit::ReadBytes(dir.Path("gps七参数平差报告.txt")), "earlier report");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"gps.txt", "gps七参数平差报告.txt"}));
}

TEST(AdjustmentReportPathFor, DropsFourCharacters) {
    EXPECT_EQ(AdjustmentReportPathFor("/data/gps.txt"), "/data/gps七参数平差报告.txt");
    EXPECT_EQ(AdjustmentReportPathFor("点位.dat"), "点位七参数平差报告.txt");
}

} // namespace
} // namespace kovarim
