#include "conversion/batch_conversion.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "base/error.h"
#include "conversion/single_point.h"
#include "testkit.h"
#include "textio/number_text.h"

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
        {"an empty height counts as 0", "P1,1,2,\r\n", "\"P1\",1,2,,1,2,0\r\n"},
        {"blank lines between and before records are skipped",
         "\r\n\r\n1,1,2,3\r\n\r\n \t \r\n2,4,5,6\r\n", "1,1,2,3,1,2,3\r\n2,4,5,6,4,5,6\r\n"},
        {"UTF-8 names pass through", "石桥,1,2,3\r\n", "\"石桥\",1,2,3,1,2,3\r\n"},
        {"UTF-8 symbols pass through", "△东山,1,2,3\r\n★1,4,5,6\r\n",
         "\"△东山\",1,2,3,1,2,3\r\n\"★1\",4,5,6,4,5,6\r\n"},
        {"GBK 稷北 (UTF-8 𢱱) among GBK names", "\xF0\xA2\xB1\xB1,1,2,3\r\n\xB6\xAB,4,5,6\r\n",
         "\"\xF0\xA2\xB1\xB1\",1,2,3,1,2,3\r\n\"\xB6\xAB\",4,5,6,4,5,6\r\n"},
        // The bytes pass through: nothing asks which characters they are.
        {"a name that reads both ways", "BM·1,1,2,3\r\n", "\"BM·1\",1,2,3,1,2,3\r\n"},
        {"a UTF-8 byte order mark is kept, not part of the name", "\xEF\xBB\xBF石桥,1,2,3\r\n",
         "\xEF\xBB\xBF\"石桥\",1,2,3,1,2,3\r\n"},
        {"a long run of blanks after a value", "P1,1,2,3" + std::string(100000, ' ') + "\r\n",
         "\"P1\",1,2,3,1,2,3\r\n"},
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
         "第 2 条记录的坐标 y “abc” 不是数值（点号 “P2”）。前 1 条记录已转换并写入输出文件"},
        {"an empty x", "P1,1,2,3\r\nP2,,5,6\r\n", "\"P1\",1,2,3,1,2,3\r\n", 2,
         "第 2 条记录的坐标 x 为空（点号 “P2”）。前 1 条记录已转换并写入输出文件"},
        {"a blank y", "P1, 1,  ,3\r\n", "<none>", 1,
         "第 1 条记录的坐标 y 为空（点号 “P1”）。没有写入任何记录，也没有创建输出文件"},
        {"an empty x and y", ",,,\r\n", "<none>", 1, "第 1 条记录的坐标 x 为空。"},
        {"three fields", "P1,1,2,3\r\nP2,4,5\r\n", "\"P1\",1,2,3,1,2,3\r\n", 2,
         "应有 4 个字段（点号,x,y,z），实际有 3 个"},
        {"an extra code column",
         "1,,2858452.992,594818.809,65.766\r\n1,,2858452.992,594818.809,65.766\r\n", "<none>", 1,
         "实际有 5 个。没有写入任何记录"},
        {"a trailing comma", "P1,1,2,3\r\nP2,4,5,6,\r\n", "\"P1\",1,2,3,1,2,3\r\n", 2,
         "实际有 5 个"},
        {"coordinate out of range", "P1,1,2,1e999\r\n", "<none>", 1,
         "坐标 z “1e999” 超出双精度数的范围"},
        {"a GBK value is shown in Chinese", "P1,1,\xB5\xE3,3\r\n", "<none>", 1,
         "第 1 条记录的坐标 y “点” 不是数值"},
        {"unterminated quote", "P1,1,2,3\r\n\"P2,4,5,6\r\n", "\"P1\",1,2,3,1,2,3\r\n", 2,
         "引号没有在本行内闭合"},
        {"a stray quote cannot swallow the lines after it",
         "P1,1,2,3\r\n\"P2,4,5,6\r\nP3,7,8,9\r\nP4\",1,2,3\r\n", "\"P1\",1,2,3,1,2,3\r\n", 2,
         "引号没有在本行内闭合"},
        {"GBK and UTF-8 names in one file", "\xB5\xE3,1,2,3\r\n王家庄,4,5,6\r\n",
         "\"\xB5\xE3\",1,2,3,1,2,3\r\n", 2,
         "无法确定文件的编码（GBK 还是 UTF-8）：这一行不是 GBK 文字，而第 1 行不是 UTF-8 "
         "文字，文件里混有两种编码；请把点号都改成一种编码，再另存为带 BOM（字节顺序标记）的 UTF-8 "
         "编码"},
        {"UTF-16 without a byte order mark",
         std::string("P\0"
                     "1\0,\0"
                     "1\0",
                     8),
         "<none>", 0, "文件是 UTF-16 编码"},
        {"a UTF-16 file",
         std::string("\xFF\xFEP\0"
                     "1\0",
                     6),
         "<none>", 0, "文件是 UTF-16 编码，本程序不能读取；请把它另存为 UTF-8 或 ANSI 编码"},
        {"a UTF-32 file", std::string("\xFF\xFE\0\0P\0\0\0", 8), "<none>", 0, "UTF-32"},
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
        const bool written = testkit::Exists(dir.Path("ptsto"));
        EXPECT_EQ(written ? testkit::ReadBytes(dir.Path("ptsto")) : "<none>", c.output) << c.name;
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
    testkit::MakeAnotherName(input, dir.Path("link.txt"));
    for (const std::string &output : {input, dir.Path("link.txt")}) {
        EXPECT_THROW(ConvertFile(input, output, Params{}, Never), Error) << output;
        EXPECT_EQ(testkit::ReadBytes(input), "P1,1,2,3\r\n") << output;
    }
}

// A length beyond what 32 bits count (Windows' long) is still a length.
TEST(ConvertFile, AsksBeforeReplacingAnOutputOfFourGigabytes) {
    testkit::TempDir dir;
    const std::string input = dir.Write("pts.txt", "P1,1,2,3\r\n");
    const std::string output = dir.Write("ptsto", "");
    const std::uintmax_t size = 4ull << 30; // sparse: takes no room on the disk
    std::filesystem::resize_file(testkit::Fs(output), size);
    int asked = 0;
    const BatchOutcome outcome = ConvertFile(input, output, Params{}, [&] {
        ++asked;
        return false;
    });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(outcome, BatchOutcome::Cancelled);
    EXPECT_EQ(std::filesystem::file_size(testkit::Fs(output)), size);
}

TEST(ConvertFile, UsesAnExistingEmptyOutputWithoutAsking) {
    testkit::TempDir dir;
    const std::string input = dir.Write("pts.txt", "P1,1,2,3\r\n");
    const std::string output = dir.Write("ptsto", "");
    EXPECT_EQ(ConvertFile(input, output, Params{}, Never), BatchOutcome::Converted);
    EXPECT_EQ(testkit::ReadBytes(output), "\"P1\",1,2,3,1,2,3\r\n");
}

// Whatever stops the conversion before its first line leaves an earlier
// output byte for byte, even after OK on the replace question.
TEST(ConvertFile, FailureBeforeTheFirstLineLeavesTheOldOutput) {
    const struct {
        const char *name;
        const char *input; // nothing: the file is gone
    } cases[] = {
        {"input deleted after the dialog", nullptr},
        {"bad first line", "P1,1,2\r\n"},
        {"UTF-16 input", "\xFE\xFF\0P"},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        const std::string input = c.input ? dir.Write("pts.txt", c.input) : dir.Path("pts.txt");
        const std::string output = dir.Write("ptsto", "old output");
        EXPECT_THROW(ConvertFile(input, output, Params{}, [] { return true; }), Error) << c.name;
        EXPECT_EQ(testkit::ReadBytes(output), "old output") << c.name;
    }
}

// A bad record further on: the records before it replace the old output, as
// they would have been written into it, and nothing else is left.
TEST(ConvertFile, ABadRecordAfterTheFirstPutsTheRecordsBeforeItInPlace) {
    testkit::TempDir dir;
    const std::string input = dir.Write("pts.txt", "P1,1,2,3\r\nP2,4,x,6\r\n");
    const std::string output = dir.Write("ptsto", "old output");
    const Error e =
        testkit::ErrorThrownBy([&] { ConvertFile(input, output, Params{}, [] { return true; }); });
    EXPECT_NE(std::string(e.what()).find("前 1 条记录已转换并写入输出文件"), std::string::npos)
        << e.what();
    EXPECT_EQ(testkit::ReadBytes(output), "\"P1\",1,2,3,1,2,3\r\n");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"pts.txt", "ptsto"}));
}

TEST(ConvertFile, ReportsAnOutputThatCannotBeWritten) {
    testkit::TempDir dir;
    const std::string input = dir.Write("pts.txt", "P1,1,2,3\r\n");
    const struct {
        std::string output;
        std::string says;
    } cases[] = {
        {dir.Path("no/such/folder/out"),
         "无法在文件夹 " + dir.Path("no/such/folder") + " 中写入文件（找不到该文件或文件夹）"},
#ifndef _WIN32 // Windows has no full device
        {"/dev/full", "写入文件失败（磁盘已满）"},
#endif
        {dir.Path(""), "是文件夹，不是文件"},
    };
    for (const auto &c : cases) {
        const Error e =
            testkit::ErrorThrownBy([&] { ConvertFile(input, c.output, Params{}, Never); });
        EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
}

// A device or a pipe has no length and cannot be emptied: it is written as
// it stands, without a question.
TEST(ConvertFile, WritesIntoDevicesAndPipesInPlace) {
    testkit::TempDir dir;
    const std::string input = dir.Write("pts.txt", "P1,1,2,3\r\n");
    EXPECT_EQ(ConvertFile(input, testkit::kNullDevice, Params{}, Never), BatchOutcome::Converted);
    testkit::NamedPipe pipe(dir);
    EXPECT_EQ(ConvertFile(input, pipe.path(), Params{}, Never), BatchOutcome::Converted);
    EXPECT_EQ(pipe.Received(), "\"P1\",1,2,3,1,2,3\r\n");
    for (const std::string &name : dir.Names())
        EXPECT_NE(name.rfind(".kovarim-", 0), 0u) << "a temporary file was left: " << name;
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

std::vector<std::string> Fields(const std::string &line) {
    std::vector<std::string> fields(1);
    for (char c : line)
        if (c == ',')
            fields.emplace_back();
        else
            fields.back().push_back(c);
    return fields;
}

// A file converted forward and then back with --inverse's direction: every
// line as the single-point inverse gives it, and back at the original
// coordinates to within the two roundings to the millimetre.
TEST(ConvertFile, InverseTakesAConvertedFileBackAsTheSinglePointInverseDoes) {
    const Params p = MakeParams(-112.456, 78.123, 45.678, 3.2e-6, 8.7e-6, -1.16e-5, 1.75e-5);
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> plan(0, 6000), height(20, 180);
    std::vector<std::array<double, 3>> originals;
    std::string content;
    for (int i = 0; i < 200; ++i) {
        char line[120];
        std::snprintf(line, sizeof line, "P%d,%.3f,%.3f,%.3f\r\n", i, 2858000 + plan(random),
                      589000 + plan(random), height(random));
        content += line;
        const auto fields = Fields(std::string(line, std::strlen(line) - 2));
        originals.push_back({std::stod(fields[1]), std::stod(fields[2]), std::stod(fields[3])});
    }
    testkit::TempDir dir;
    ConvertFile(dir.Write("pts.txt", content), dir.Path("new.txt"), p, Never);
    std::string converted;
    std::istringstream forward(testkit::ReadBytes(dir.Path("new.txt")));
    for (std::string line; std::getline(forward, line);) {
        const auto f = Fields(line.substr(0, line.size() - 1)); // less the CR
        converted += f[0] + "," + f[4] + "," + f[5] + "," + f[6] + "\r\n";
    }
    ConvertFile(dir.Write("new.txt", converted), dir.Path("back.txt"), p, Never,
                Direction::Inverse);
    std::istringstream back(testkit::ReadBytes(dir.Path("back.txt")));
    std::size_t n = 0;
    for (std::string line; std::getline(back, line); ++n) {
        ASSERT_LT(n, originals.size());
        const auto f = Fields(line.substr(0, line.size() - 1));
        std::string single[3];
        ConvertSinglePoint(
            p, f[1], f[2], f[3],
            [&](Axis a, const std::string &t) { single[static_cast<int>(a)] = t; },
            Direction::Inverse);
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(f[4 + axis], single[axis]) << line;
            EXPECT_NEAR(std::stod(f[4 + axis]), originals[n][axis], 0.001 + 1e-9) << line;
        }
    }
    EXPECT_EQ(n, originals.size());
}

TEST(ProposedOutputName, DropsFourCharactersAndAppendsTo) {
    EXPECT_EQ(ProposedOutputName("D:\\data\\pts.txt"), "D:\\data\\ptsto");
    EXPECT_EQ(ProposedOutputName("/数据/点位.txt"), "/数据/点位to");
    EXPECT_EQ(ProposedOutputName("abcd"), "to");
    EXPECT_EQ(ProposedOutputName("abc"), std::nullopt);
    EXPECT_EQ(ProposedOutputName("sub/pt"), "sub/to"); // never into the folder
    EXPECT_EQ(ProposedOutputName(""), std::nullopt);
}

} // namespace
} // namespace kovarim

namespace kovarim {
namespace {

const PointSystems kGrid{ParseCoordinateSystem("blh:cgcs2000"),
                         ParseCoordinateSystem("gk:cgcs2000:117,zone=39")};

// n records of B L H in zone 39, with the record `bad` (from 1) replaced.
std::string Records(int n, int bad = 0, const std::string &replacement = "") {
    std::mt19937_64 random(17);
    std::uniform_real_distribution<double> B(18.0, 53.0), L(115.5, 118.5), H(0, 2000);
    std::string text;
    for (int i = 1; i <= n; ++i) {
        char line[120];
        std::snprintf(line, sizeof line, "P%d,%.9f,%.9f,%.3f\r\n", i, B(random), L(random),
                      H(random));
        text += i == bad ? replacement + "\r\n" : std::string(line);
    }
    return text;
}

// Between systems the records go a block at a time through a thread of
// their own: the output is, byte for byte, each record converted alone.
TEST(ConvertFileInSystems, WritesEachRecordAsItsOwnConversionGives) {
    testkit::TempDir dir;
    const SystemConversion conversion(kGrid);
    const std::string input = Records(5000);
    ASSERT_EQ(ConvertFile(dir.Write("pts.txt", input), dir.Path("out.txt"), conversion, Never),
              BatchOutcome::Converted);
    std::istringstream in(input);
    std::string expected;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line.substr(0, line.size() - 1));
        std::string name, b, l, h;
        std::getline(fields, name, ','), std::getline(fields, b, ','), std::getline(fields, l, ',');
        std::getline(fields, h, ',');
        expected += "\"" + name + "\"," + FormatDelimitedNumber(std::stod(b)) + "," +
                    FormatDelimitedNumber(std::stod(l)) + "," +
                    FormatDelimitedNumber(std::stod(h)) + ","; // echoed by value
        conversion.Append(expected, conversion.Convert({std::stod(b), std::stod(l), std::stod(h)}),
                          ',');
        expected += "\r\n";
    }
    EXPECT_EQ(testkit::ReadBytes(dir.Path("out.txt")), expected);

    // ddd.mmssss read as such, an empty height as 0, the name as it was.
    const SystemConversion dms(PointSystems{ParseCoordinateSystem("blh:cgcs2000,dms"), kGrid.to});
    ConvertFile(dir.Write("dms.txt", "石桥,30.302515,117.3,\r\n"), dir.Path("dms.out"), dms, Never);
    std::string line = "\"石桥\",30.302515,117.3,,";
    conversion.Append(line, conversion.Convert({30 + 30 / 60.0 + 25.15 / 3600, 117.5, 0}), ',');
    EXPECT_EQ(testkit::ReadBytes(dir.Path("dms.out")), line + "\r\n");
}

// A refused record: its line, field and number, the earliest in the file
// whichever thread found it, and nothing written at all (the old output stays).
TEST(ConvertFileInSystems, RefusesTheFirstBadRecordAndWritesNothing) {
    const struct {
        const char *name;
        std::string input;
        long long line;
        int field;
        const char *says;
    } cases[] = {
        {"B beyond 90 in the first block", Records(10, 3, "P3,90.5,117,0"), 3, 2,
         "第 3 条记录：B = 90.5 超出 −90° 至 90°（点号 “P3”）"},
        {"a point 9° away, found while converting the second block",
         Records(5000, 2100, "P2100,30,107.9,0") + "P5001,abc,117,0\r\n", 2100, 0,
         "第 2100 条记录：换算结果无法写出：点离中央子午线"},
        {"a word read in the second block, a far point converted in the third",
         Records(5000, 4500, "P4500,30,127,0") + "", 4500, 0, "第 4500 条记录"},
        {"a word read before a far point",
         Records(5000, 2100, "P2100,30,east,0") + "P5001,30,127,0\r\n", 2100, 3,
         "第 2100 条记录的坐标 L “east” 不是数值（点号 “P2100”）"},
        {"an empty B", Records(3000, 2049, "P2049,,117,0"), 2049, 2, "坐标 B 为空"},
        {"minutes of 60 in ddd.mmssss", "P1,30.6000,117,0\r\n", 1, 2, "60"},
        {"too few fields, named in the system's terms", Records(3, 2, "P2,30,117"), 2, 0,
         "点号,B,L,H"},
    };
    for (const auto &c : cases) {
        testkit::TempDir dir;
        const std::string path = dir.Write("pts.txt", c.input);
        const std::string old = dir.Write("out.txt", "the old output\r\n");
        const SystemConversion conversion =
            c.input.rfind("P1,30.6000", 0) == 0
                ? SystemConversion(
                      PointSystems{ParseCoordinateSystem("blh:cgcs2000,dms"), kGrid.to})
                : SystemConversion(kGrid);
        const Error e = testkit::ErrorThrownBy(
            [&] { ConvertFile(path, old, conversion, [] { return true; }); });
        EXPECT_EQ(e.file(), path) << c.name;
        EXPECT_EQ(e.line(), c.line) << c.name;
        EXPECT_EQ(e.field(), c.field) << c.name << ": " << e.what();
        EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
            << c.name << ": " << e.what();
        EXPECT_NE(std::string(e.what()).find("没有写入任何记录，输出文件保持原样"),
                  std::string::npos)
            << c.name << ": " << e.what();
        EXPECT_EQ(testkit::ReadBytes(old), "the old output\r\n") << c.name;
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"out.txt", "pts.txt"})) << c.name;
    }
}

// The records handed on before a refusal, and their count, are those one
// thread would hand on: every whole block before the bad record's.
TEST(ConvertFileInSystems, HandsOnTheRecordsBeforeARefusalInOrder) {
    const SystemConversion conversion(kGrid);
    for (const int bad : {1, 2048, 2049, 4100}) {
        const std::string input = Records(6000, bad, "PX,30,127,0");
        std::FILE *stream = std::tmpfile();
        std::fwrite(input.data(), 1, input.size(), stream);
        std::rewind(stream);
        FieldReader reader(stream, "pts");
        std::string written;
        long long converted = -1;
        const Error e = testkit::ErrorThrownBy([&] {
            ConvertRecords(
                reader, conversion, [&](std::string_view s) { written += s; }, converted);
        });
        EXPECT_EQ(e.line(), bad);
        EXPECT_EQ(converted, bad - 1);
        EXPECT_EQ(static_cast<long long>(std::count(written.begin(), written.end(), '\n')),
                  bad - 1);
        testkit::TempDir dir;
        ConvertFile(dir.Write("all.txt", Records(bad - 1)), dir.Path("all.out"), conversion, Never);
        EXPECT_EQ(written, testkit::ReadBytes(dir.Path("all.out"))) << bad;
    }
}

} // namespace
} // namespace kovarim
