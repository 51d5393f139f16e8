#include "conversion/batch_conversion.h"

#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "base/error.h"
#include "conversion/single_point.h"
#include "testkit.h"

namespace kovarim {
namespace {

auto Never = [] {
    ADD_FAILURE() << "asked to replace";
    return false;
};

TEST(ConvertFile, WritesOneLinePerRecord) {
    const struct {
        const char *name;
        std::string input, output;
    } cases[] = {
        {"two records", "P1,2860321.78,592341.79,0\r\nP2,100,200,300.4567\r\n",
         "\"P1\",2860321.78,592341.79,0,2860321.78,592341.79,0\r\n"
         "\"P2\",100,200,300.4567,100,200,300.457\r\n"},
        {"no final line end", "P1,1,2,3", "\"P1\",1,2,3,1,2,3\r\n"},
        {"blank lines after the last record", "P1,1,2,3\r\n\r\n\r\n  \r\n",
         "\"P1\",1,2,3,1,2,3\r\n"},
        {"values echoed by value", "007,2860321.780,+5,-0", "7,2860321.78,5,0,2860321.78,5,0\r\n"},
        {"small values in plain form", "P1,0.00001,0.5,3", "\"P1\",0.00001,0.5,3,0,0.5,3\r\n"},
        {"quoted name with a comma", "\"P,1\",1,2,3\r\n", "\"P,1\",1,2,3,1,2,3\r\n"},
        {"GBK name", "\xB5\xE3\xC8\xFD,1,2,3\r\n", "\"\xB5\xE3\xC8\xFD\",1,2,3,1,2,3\r\n"},
        {"empty fields count as 0", "P1,,2,\r\n", "\"P1\",,2,,0,2,0\r\n"},
        {"five fields shift the next record", "P1,1,2,3,P2\r\n4,5,6\r\n",
         "\"P1\",1,2,3,1,2,3\r\n\"P2\",4,5,6,4,5,6\r\n"},
        {"blank line between records is an empty field", "1,1,2,3\r\n\r\n2,4,5\r\n",
         "1,1,2,3,1,2,3\r\n,2,4,5,2,4,5\r\n"},
        {"four blank lines make a record of empty fields", "\r\n\r\n\r\n\r\nP1,1,2,3\r\n",
         ",,,,0,0,0\r\n\"P1\",1,2,3,1,2,3\r\n"},
        {"quoted number as coordinate", "P1,\"5\",2,3", "\"P1\",\"5\",2,3,5,2,3\r\n"},
        {"LF only", "P1,1,2,3\nP2,4,5,6\n", "\"P1\",1,2,3,1,2,3\r\n\"P2\",4,5,6,4,5,6\r\n"},
        {"empty file", "", ""},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        const std::string input = dir.Write("pts.txt", c.input);
        EXPECT_EQ(ConvertFile(input, dir.Path("ptsto"), Params{}, Never), BatchOutcome::Converted)
            << c.name;
        EXPECT_EQ(testkit::ReadBytes(dir.Path("ptsto")), c.output) << c.name;
    }
}

TEST(ConvertFile, StopsAtABadRecordKeepingTheLinesBefore) {
    const struct {
        const char *name;
        std::string input, output;
        long line;
        const char *says;
    } cases[] = {
        {"text coordinate", "P1,1,2,3\r\nP2,4,abc,6\r\nP3,7,8,9\r\n", "\"P1\",1,2,3,1,2,3\r\n", 2,
         "第 2 条记录的坐标 y “abc” 不是数值"},
        {"record cut short", "P1,1,2,3\r\nP2,4,5\r\n", "\"P1\",1,2,3,1,2,3\r\n", 3,
         "第 2 条记录不完整"},
        {"blank line shifts a text name into x", "P1,1,2,3\r\n\r\nP2,4,5,6\r\n",
         "\"P1\",1,2,3,1,2,3\r\n", 3, "第 2 条记录的坐标 x “P2” 不是数值"},
        {"blank line then the end mid-record", "1,1,2,3\r\n\r\n7,4,5,6\r\n",
         "1,1,2,3,1,2,3\r\n,7,4,5,7,4,5\r\n", 4, "第 3 条记录不完整"},
        {"coordinate out of range", "P1,1,2,1e999\r\n", "", 1, "坐标 z “1e999” 超出双精度数的范围"},
        {"GBK text coordinate is not quoted into the message", "P1,1,\xB5\xE3,3\r\n", "", 1,
         "第 1 条记录的坐标 y 不是数值"},
        {"unterminated quote", "P1,1,2,3\r\n\"P2,4,5,6\r\n", "\"P1\",1,2,3,1,2,3\r\n", 2, "引号"},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        const std::string input = dir.Write("pts.txt", c.input);
        const Error e =
            testkit::ErrorThrownBy([&] { ConvertFile(input, dir.Path("ptsto"), Params{}, Never); });
        EXPECT_EQ(e.file(), input) << c.name;
        EXPECT_EQ(e.line(), c.line) << c.name;
        EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
            << c.name << ": " << e.what();
        EXPECT_EQ(testkit::ReadBytes(dir.Path("ptsto")), c.output) << c.name;
    }
}

TEST(ConvertFile, NamesTheRecordWhoseArithmeticOverflows) {
    testkit::TempDir dir;
    const std::string input = dir.Write("pts.txt", "P1,1,2,3\r\nP2,1e308,2,3\r\n");
    Params p{};
    p[Scale] = 10;
    const Error e =
        testkit::ErrorThrownBy([&] { ConvertFile(input, dir.Path("ptsto"), p, Never); });
    EXPECT_NE(std::string(e.what()).find("第 2 条记录"), std::string::npos) << e.what();
    EXPECT_EQ(testkit::ReadBytes(dir.Path("ptsto")), "\"P1\",1,2,3,11,22,33\r\n");
}

TEST(ConvertFile, AsksBeforeReplacingANonEmptyOutput) {
    for (bool replace : {true, false}) {
        testkit::TempDir dir;
        const std::string input = dir.Write("pts.txt", "P1,1,2,3\r\n");
        const std::string output = dir.Write("ptsto", "keep me");
        int asked = 0;
        const BatchOutcome outcome = ConvertFile(input, output, Params{}, [&] {
            ++asked;
            return replace;
        });
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(outcome, replace ? BatchOutcome::Converted : BatchOutcome::Cancelled);
        EXPECT_EQ(testkit::ReadBytes(output), replace ? "\"P1\",1,2,3,1,2,3\r\n" : "keep me");
    }
}

TEST(ConvertFile, RefusesToWriteOverItsOwnInput) {
    testkit::TempDir dir;
    const std::string input = dir.Write("pts.txt", "P1,1,2,3\r\n");
    std::filesystem::create_symlink(input, dir.Path("link.txt"));
    for (const std::string &output : {input, dir.Path("link.txt")}) {
        EXPECT_THROW(ConvertFile(input, output, Params{}, Never), Error) << output;
        EXPECT_EQ(testkit::ReadBytes(input), "P1,1,2,3\r\n") << output;
    }
}

TEST(ConvertFile, UsesAnExistingEmptyOutputWithoutAsking) {
    testkit::TempDir dir;
    const std::string input = dir.Write("pts.txt", "P1,1,2,3\r\n");
    const std::string output = dir.Write("ptsto", "");
    EXPECT_EQ(ConvertFile(input, output, Params{}, Never), BatchOutcome::Converted);
    EXPECT_EQ(testkit::ReadBytes(output), "\"P1\",1,2,3,1,2,3\r\n");
}

TEST(ConvertFile, CreatesTheOutputBeforeOpeningTheInput) {
    testkit::TempDir dir;
    EXPECT_THROW(ConvertFile(dir.Path("missing.txt"), dir.Path("missingto"), Params{}, Never),
                 Error);
    EXPECT_EQ(testkit::ReadBytes(dir.Path("missingto")), "");
}

TEST(ConvertFile, ReportsAnOutputThatCannotBeWritten) {
    testkit::TempDir dir;
    const std::string input = dir.Write("pts.txt", "P1,1,2,3\r\n");
    EXPECT_THROW(ConvertFile(input, dir.Path("no/such/folder/out"), Params{}, Never), Error);
    EXPECT_THROW(ConvertFile(input, "/dev/full", Params{}, Never), Error);
}

TEST(ConvertFile, GivesTheSinglePointResultForTheSameNumbers) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> coordinate(-3e6, 3e6), small(-1e-5, 1e-5),
        shift(-500, 500);
    for (int round = 0; round < 20; ++round) {
        // Drawn one after the other: the order of a function's arguments is open.
        Params p{};
        for (int i = DX; i <= RotZ; ++i)
            p[i] = i <= DZ ? shift(random) : small(random);
        std::string content;
        std::vector<std::array<std::string, 3>> inputs;
        for (int i = 0; i < 50; ++i) {
            std::array<std::string, 3> xyz;
            for (auto &v : xyz) {
                char buffer[40];
                std::snprintf(buffer, sizeof buffer, "%.4f", coordinate(random));
                v = buffer;
            }
            inputs.push_back(xyz);
            content += "P," + xyz[0] + "," + xyz[1] + "," + xyz[2] + "\r\n";
        }
        testkit::TempDir dir;
        ConvertFile(dir.Write("pts.txt", content), dir.Path("ptsto"), p, Never);
        const std::string output = testkit::ReadBytes(dir.Path("ptsto"));
        std::size_t lineStart = 0;
        for (const auto &xyz : inputs) {
            std::string converted[3];
            ConvertSinglePoint(p, xyz[0], xyz[1], xyz[2], [&](Axis a, const std::string &t) {
                converted[static_cast<int>(a)] = t;
            });
            const std::size_t lineEnd = output.find("\r\n", lineStart);
            ASSERT_NE(lineEnd, std::string::npos);
            const std::string line = output.substr(lineStart, lineEnd - lineStart);
            const std::string tail = "," + converted[0] + "," + converted[1] + "," + converted[2];
            EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
            lineStart = lineEnd + 2;
        }
    }
}

TEST(ProposedOutputName, DropsFourCharactersAndAppendsTo) {
    EXPECT_EQ(ProposedOutputName("D:\\data\\pts.txt"), "D:\\data\\ptsto");
    EXPECT_EQ(ProposedOutputName("/数据/点位.txt"), "/数据/点位to");
    EXPECT_EQ(ProposedOutputName("abcd"), "to");
    EXPECT_EQ(ProposedOutputName("abc"), std::nullopt);
    EXPECT_EQ(ProposedOutputName(""), std::nullopt);
}

} // namespace
} // namespace kovarim
