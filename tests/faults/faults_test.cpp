// What the user meets when the machine or the files misbehave: a clear
// error, nothing already written lost, no crash.
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include "adjustment/adjustment_report.h"
#include "base/error.h"
#include "conversion/batch_conversion.h"
#include "estimation/estimate.h"
#include "testkit.h"

namespace kovarim {
namespace {

namespace fs = std::filesystem;

const std::string kPoints = "A,0,0,0,10,20,30\r\nB,100,0,0,110,20,30\r\nC,0,100,0,10,120,30\r\n";

std::string ErrorOf(const std::function<void()> &action) {
    return testkit::ErrorThrownBy(action).what();
}

// Where the report or the output cannot go.
struct Unwritable {
    const char *name;
    std::string target;
};

#ifdef _WIN32

// A file marked read-only, and a name that Windows forbids.
std::vector<Unwritable> UnwritableTargets(const testkit::TempDir &dir) {
    const std::string readOnly = dir.Write("read-only.txt", "kept");
    SetFileAttributesW(testkit::Fs(readOnly).c_str(), FILE_ATTRIBUTE_READONLY);
    return {{"read-only file", readOnly}, {"forbidden name", dir.Path("what?.txt")}};
}

#else

// As root, permission bits do not stop a write, so the kernel's own
// read-only files stand in.
std::vector<Unwritable> UnwritableTargets(const testkit::TempDir &) {
    return {{"full disk", "/dev/full"},
            {"read-only file", "/proc/version"},
            {"read-only folder", "/sys/kernel/kovarim-out"}};
}

#endif

// The window's road: the parameters are taken only once the report is in place.
std::optional<Params> EstimateAndCommit(const std::string &input) {
    std::optional<Estimation> estimation = Estimate(input, {});
    if (!estimation)
        return std::nullopt;
    estimation->Commit();
    return estimation->params();
}

TEST(Faults, ReportThatCannotBeWrittenChangesNothing) {
    const struct {
        const char *name;
        bool diskFull;
        bool folderInTheWay;
    } cases[] = {
#ifndef _WIN32 // no file size limit to be had on Windows
        {"the disk fills up", true, false},
#endif
        {"a folder has the report's name", false, true},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        const std::string input = dir.Write("gps.txt", kPoints);
        const std::string report = dir.Path("gps七参数精度评估.txt");
        if (c.folderInTheWay)
            fs::create_directory(testkit::Fs(report));
        else
            dir.Write("gps七参数精度评估.txt", "old report");
        std::optional<Params> stored;
        std::string error;
        {
#ifndef _WIN32
            std::optional<testkit::FileSizeLimit> limit;
            if (c.diskFull)
                limit.emplace(100);
#endif
            error = ErrorOf([&] { stored = EstimateAndCommit(input); });
        }
        EXPECT_NE(error.find("gps七参数精度评估.txt"), std::string::npos)
            << c.name << ": " << error;
        EXPECT_FALSE(stored) << c.name;
        if (c.folderInTheWay)
            EXPECT_TRUE(fs::is_directory(testkit::Fs(report))) << c.name;
        else
            EXPECT_EQ(testkit::ReadBytes(report), "old report") << c.name;
        EXPECT_EQ(dir.Names().size(), 2u) << c.name << ": an unfinished file is left";
    }
}

TEST(Faults, BatchOutputThatCannotBeWrittenIsReportedAndTheInputStays) {
    testkit::TempDir targets;
    for (const auto &target : UnwritableTargets(targets)) {
        testkit::TempDir dir;
        const std::string input = dir.Write("pts.txt", "P1,1,2,3\r\n");
        const std::string error =
            ErrorOf([&] { ConvertFile(input, target.target, Params{}, [] { return true; }); });
        EXPECT_NE(error.find(target.target), std::string::npos) << target.name << ": " << error;
        EXPECT_EQ(testkit::ReadBytes(input), "P1,1,2,3\r\n") << target.name;
    }
}

// A disk that fills up in the middle of a batch: the old output stays whole
// (after OK on the question too), and no part of the new one is left, not
// even a last record cut in the middle of a number.
TEST(Faults, BatchOutputOntoAFullDiskLeavesTheOldOutputWhole) {
#ifdef _WIN32
    GTEST_SKIP() << "no file size limit to be had on Windows";
#else
    std::string many;
    for (int i = 0; i < 5000; ++i)
        many += "P" + std::to_string(i) + ",2860321.78,592341.79,12.345\r\n";
    for (const bool existed : {true, false}) {
        testkit::TempDir dir;
        const std::string input = dir.Write("pts.txt", many);
        const std::string output = dir.Path("ptsto");
        if (existed)
            dir.Write("ptsto", "old output");
        std::string error;
        {
            testkit::FileSizeLimit limit(
                100000); // the input is about 175 KB, its output twice that
            error = ErrorOf([&] { ConvertFile(input, output, Params{}, [] { return true; }); });
        }
        EXPECT_NE(error.find(output), std::string::npos) << error;
        EXPECT_NE(error.find("File too large"), std::string::npos) << error;
        std::vector<std::string> names = {"pts.txt"};
        if (existed) {
            EXPECT_EQ(testkit::ReadBytes(output), "old output");
            names.push_back("ptsto");
        }
        EXPECT_EQ(dir.Names(), names) << existed;
    }
#endif
}

TEST(Faults, ReadOnlyFolderRefusesTheReport) {
#ifdef _WIN32
    GTEST_SKIP() << "a folder's read-only mark does not stop new files on Windows";
#else
    testkit::TempDir dir;
    const std::string input = dir.Write("gps.txt", kPoints);
    fs::permissions(dir.Path(""), fs::perms::owner_read | fs::perms::owner_exec |
                                      fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
    const std::string folder = fs::path(dir.Path("")).parent_path().string();
    // Root writes through permission bits, so root estimates as nobody, in a
    // child of its own.
    const std::string error =
        geteuid() != 0 ? ErrorOf([&] { Estimate(input, {}); })
                       : testkit::AsNobody([&] { return ErrorOf([&] { Estimate(input, {}); }); });
    EXPECT_NE(error.find("文件夹 " + folder + " 不能写入（拒绝访问）"), std::string::npos) << error;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"gps.txt"});
#endif
}

// An overflow in the residuals names the point and the axis, not just "overflow".
TEST(Faults, ResidualThatOverflowsNamesItsPointAndAxis) {
    testkit::TempDir dir;
    const std::string input =
        dir.Write("gps.txt", kPoints + "\xB5\xE3,5,5,0,-1.7e308,5,0\r\nE,6,6,0,6,6,1.7e308\r\n");
    const Error e = testkit::ErrorThrownBy([&] { Estimate(input, {}); });
    EXPECT_EQ(e.line(), 4) << e.what();
    EXPECT_NE(e.problem().find("点号 “点” 的 X 残差：数值溢出"), std::string::npos) << e.what();
    EXPECT_EQ(dir.Names().size(), 1u);
}

// The report replaces what its name stands for: the file a link leads to
// (the link stays), a new file where a dangling link leads.
TEST(Faults, ReportThroughASymbolicLinkReplacesItsTarget) {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links are for administrators on Windows";
#else
    for (const bool dangling : {false, true}) {
        testkit::TempDir dir;
        const std::string input = dir.Write("gps.txt", kPoints);
        if (!dangling)
            dir.Write("kept.txt", "old report");
        fs::create_symlink("kept.txt", dir.Path("gps七参数精度评估.txt"));
        ASSERT_TRUE(EstimateAndCommit(input)) << dangling;
        EXPECT_TRUE(fs::is_symlink(dir.Path("gps七参数精度评估.txt"))) << dangling;
        EXPECT_EQ(testkit::ReadBytes(dir.Path("kept.txt")).substr(0, 6), "\xD7\xDC\xB9\xB2\xD3\xD0")
            << dangling;
        EXPECT_EQ(dir.Names().size(), 3u) << dangling;
    }
#endif
}

// A report whose name leads to the common-point file itself would destroy it.
TEST(Faults, ReportThatIsTheInputUnderAnotherNameIsRefused) {
    testkit::TempDir dir;
    const std::string points = kPoints + "D,100,100,0,110,120,30\r\nE,50,20,5,60,40,35\r\n";
    const std::string input = dir.Write("gps.txt", points);
    testkit::MakeAnotherName(input, dir.Path("gps七参数精度评估.txt"));
    testkit::MakeAnotherName(input, dir.Path("gps七参数平差报告.txt"));
    EXPECT_NE(ErrorOf([&] { Estimate(input, {}); }).find("报告文件就是公共点文件"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { AdjustCommonPointFile(input, {}); }).find("报告文件就是公共点文件"),
              std::string::npos);
    EXPECT_EQ(testkit::ReadBytes(input), points);
}

TEST(Faults, InputThatVanishedAfterTheDialogIsReported) {
    testkit::TempDir dir;
    const std::string gone = dir.Path("gone.txt");
    EXPECT_NE(ErrorOf([&] { Estimate(gone, {}); }).find("无法打开"), std::string::npos);
    EXPECT_NE(ErrorOf([&] {
                  ConvertFile(gone, dir.Path("goneto"), Params{}, [] { return true; });
              }).find("无法打开"),
              std::string::npos);
    EXPECT_FALSE(testkit::Exists(dir.Path("gone七参数精度评估.txt")));
}

TEST(Faults, InputThatCannotBeReadIsReported) {
    testkit::TempDir dir;
    // A folder where a file was expected: it is named as such.
    fs::create_directory(testkit::Fs(dir.Path("folder.txt")));
    const std::string error = ErrorOf([&] { Estimate(dir.Path("folder.txt"), {}); });
    EXPECT_NE(error.find("folder.txt\n是文件夹，不是文件"), std::string::npos) << error;
}

TEST(Faults, PathsWithBlanksAndChineseCharactersWork) {
    testkit::TempDir dir;
    fs::create_directory(testkit::Fs(dir.Path("测量 数据")));
    const std::string input = dir.Write("测量 数据/控制 点.txt", kPoints);
    ASSERT_TRUE(EstimateAndCommit(input));
    EXPECT_TRUE(testkit::Exists(dir.Path("测量 数据/控制 点七参数精度评估.txt")));
    const std::string batch = dir.Write("测量 数据/待转 点.txt", "P1,1,2,3\r\n");
    const auto output = ProposedOutputName(batch);
    ASSERT_TRUE(output);
    ConvertFile(batch, *output, Params{}, [] { return true; });
    EXPECT_EQ(testkit::ReadBytes(dir.Path("测量 数据/待转 点to")), "\"P1\",1,2,3,1,2,3\r\n");
}

TEST(Faults, HundredMegabyteFilesAreRefusedQuickly) {
    testkit::TempDir dir;
    const std::string valid = dir.Path("many.txt");
    {
        std::ofstream out(testkit::Fs(valid), std::ios::binary);
        const std::string line =
            "P,2860321.780,592341.790,12.345,2860221.780,592441.790,20.345\r\n";
        for (std::size_t written = 0; written < 100u << 20; written += line.size())
            out << line;
    }
    EXPECT_NE(ErrorOf([&] { Estimate(valid, {}); }).find("公共点太多"), std::string::npos);

    const std::string garbage = dir.Path("garbage.txt");
    {
        std::ofstream out(testkit::Fs(garbage), std::ios::binary);
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 100; ++i)
            out << block;
    }
    EXPECT_NE(ErrorOf([&] { Estimate(garbage, {}); }).find("字段过长"), std::string::npos);
    EXPECT_NE(ErrorOf([&] {
                  ConvertFile(garbage, dir.Path("out"), Params{}, [] { return true; });
              }).find("字段过长"),
              std::string::npos);
}

} // namespace
} // namespace kovarim
