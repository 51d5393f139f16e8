#include "estimation/common_points.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/error.h"
#include "testkit.h"
#include "textio/encoding.h"

namespace kovarim {
namespace {

CommonPointTable Read(const std::string &content) {
    testkit::TempDir dir;
    return ReadCommonPointFile(dir.Write("gps.txt", content));
}

TEST(ReadCommonPointFile, NumbersThePointsInFileOrder) {
    const CommonPointTable table =
        Read("A,1,2,3,4,5,6\r\nB,7,8,9,10,11,12\r\nA,13,14,15,16,17,18\r\n");
    ASSERT_EQ(table.PointCount(), 3);
    EXPECT_EQ(table.Point(1).Name, "A");
    EXPECT_EQ(table.Point(3).Name, "A"); // same name, another point
    const CommonPoint &b = table.Point(2);
    EXPECT_EQ(b.Name, "B");
    EXPECT_EQ(b.x1, 7);
    EXPECT_EQ(b.y1, 8);
    EXPECT_EQ(b.z1, 9);
    EXPECT_EQ(b.x2, 10);
    EXPECT_EQ(b.y2, 11);
    EXPECT_EQ(b.z2, 12);
}

TEST(ReadCommonPointFile, AcceptsTheLayoutsThatOccur) {
    const struct {
        const char *name;
        std::string content;
        int points;
        std::string lastName;
    } cases[] = {
        {"last line without line end", "A,1,2,3,4,5,6\r\nB,1,2,3,4,5,6", 2, "B"},
        {"LF only", "A,1,2,3,4,5,6\nB,1,2,3,4,5,6\n", 2, "B"},
        {"blank lines anywhere are skipped", "\r\nA,1,2,3,4,5,6\r\n  \r\n\r\nB,1,2,3,4,5,6\r\n\r\n",
         2, "B"},
        {"quoted name with commas", "\"P,1\",1,2,3,4,5,6\r\n", 1, "P,1"},
        {"GBK name", "\xB5\xE3\xC8\xFD,1,2,3,4,5,6\r\n", 1, "\xB5\xE3\xC8\xFD"},
        {"UTF-8 name, kept in GBK for the report", "石桥,1,2,3,4,5,6\r\n", 1, "\xCA\xAF\xC7\xC5"},
        {"UTF-8 byte order mark",
         "\xEF\xBB\xBF"
         "A,1,2,3,4,5,6\r\n",
         1, "A"},
        {"blanks around fields", " A , 1 ,2, 3,4 ,5,6 \r\n", 1, "A"},
        {"empty file", "", 0, ""},
        {"only blank lines", "\r\n\r\n", 0, ""},
    };
    for (const auto &c : cases) {
        const CommonPointTable table = Read(c.content);
        ASSERT_EQ(table.PointCount(), c.points) << c.name;
        if (c.points > 0) {
            EXPECT_EQ(table.Point(c.points).Name, c.lastName) << c.name;
        }
    }
}

// Names as surveyors write them, in the file's encoding; the table holds
// them in the report's, GBK.
TEST(ReadCommonPointFile, ReadsTheNamesAsTheyWereWritten) {
    const struct {
        const char *name;
        bool gbk; // the file is GBK, else UTF-8
        std::vector<std::string> names;
    } cases[] = {
        {"UTF-8 symbols beside ASCII names", false, {"P1", "N°1", "BM·1", "A²", "△A"}},
        {"UTF-8 △东山, №1, ○1, ★1", false, {"△东山", "№1", "○1", "★1"}},
        {"GBK 稷北 among ASCII names", true, {"P1", "稷北", "P3"}},
        {"GBK 稷北 with 东山 and 西岭", true, {"稷北", "东山", "西岭"}},
        {"GBK 小营 and 一 among ASCII names", true, {"P1", "小营", "P3", "一"}},
        {"GBK 叶坪 and 平 among ASCII names", true, {"叶坪", "P2", "平"}},
    };
    for (const auto &c : cases) {
        std::string content;
        for (const std::string &name : c.names)
            content += (c.gbk ? ToReportEncoding(name, Encoding::Utf8) : name) + ",1,2,3,4,5,6\r\n";
        const CommonPointTable table = Read(content);
        ASSERT_EQ(table.PointCount(), static_cast<int>(c.names.size())) << c.name;
        for (int n = 1; n <= table.PointCount(); ++n)
            EXPECT_EQ(ToUtf8(table.Point(n).Name, Encoding::Gbk), c.names[n - 1]) << c.name;
    }
}

// Where GBK reads a name as plausibly (BM路1), the remedy is the byte order mark.
TEST(ReadCommonPointFile, RefusesNamesThatReadBothWaysUntilTheyHaveAByteOrderMark) {
    const std::string content = "P1,1,2,3,4,5,6\r\nBM·1,1,2,3,4,5,6\r\n";
    const Error e = testkit::ErrorThrownBy([&] { Read(content); });
    EXPECT_EQ(e.line(), 2);
    EXPECT_NE(e.problem().find("请把文件另存为带 BOM（字节顺序标记）的 UTF-8 编码"),
              std::string::npos)
        << e.what();
    const CommonPointTable table = Read(std::string(kUtf8Mark) + content);
    EXPECT_EQ(ToUtf8(table.Point(2).Name, Encoding::Gbk), "BM·1");
}

TEST(ReadCommonPointFile, KeepsTheKindOfTheName) {
    const CommonPointTable table = Read("007,1,2,3,4,5,6\r\n\"12\",1,2,3,4,5,6\r\n");
    EXPECT_EQ(table.Point(1).NameKind, FieldKind::Number);
    EXPECT_EQ(table.Point(1).NameNumber, 7.0);
    EXPECT_EQ(table.Point(1).Name, "007");
    EXPECT_EQ(table.Point(2).NameKind, FieldKind::Text);
}

TEST(ReadCommonPointFile, RejectsMalformedLinesNamingLineAndField) {
    const struct {
        const char *name;
        std::string content;
        long line;
        int field;
        const char *says;
    } cases[] = {
        {"too few fields", "A,1,2,3,4,5,6\r\nB,1,2,3,4,5\r\nC,1,2,3,4,5,6\r\n", 2, 0,
         "实际有 6 个"},
        {"too many fields", "A,1,2,3,4,5,6,7\r\n", 1, 0, "实际有 8 个"},
        {"trailing comma", "A,1,2,3,4,5,6,\r\n", 1, 0, "实际有 8 个"},
        {"two records on one line", "A,1,2,3,4,5,6,B,1,2,3,4,5,6\r\n", 1, 0, "实际有 14 个"},
        {"coordinate not a number", "A,1,2,3,4,5,6\r\nB,1,2,x,4,5,6\r\n", 2, 4,
         "z1 “x” 不是数值（点号 “B”）"},
        {"empty coordinate", "A,1,,3,4,5,6\r\n", 1, 3, "y1 为空"},
        {"quoted coordinate", "A,1,2,3,\"4\",5,6\r\n", 1, 5, "x2 “4” 在引号中，不是数值"},
        {"coordinate out of range", "A,1,2,3,4,5,1e999\r\n", 1, 7, "超出"},
        {"unterminated quote", "A,1,2,3,4,5,6\r\n\"B,1,2,3,4,5,6\r\n", 2, 0, "引号"},
        {"UTF-16 file",
         std::string("\xFF\xFE"
                     "A\0,\0",
                     6),
         0, 0, "UTF-16"},
        {"binary garbage", std::string("\x01\x02\xFF\x00\x7F,\x80", 7), 1, 0, "无法确定文件的编码"},
        // GBK 位1 and 伪2 read as UTF-8 λ1 and α2: nothing in the file says which.
        {"names that read both ways",
         "A,1,2,3,4,5,6\r\n\xCE\xBB"
         "1,1,2,3,4,5,6\r\n\xCE\xB1"
         "2,1,2,3,4,5,6\r\n",
         2, 0,
         "无法确定文件的编码（GBK 还是 UTF-8）：这一行的文字按 GBK 读是 “位1”，按 UTF-8 读是 “λ1”"},
        // GBK 点 and a UTF-8 name whose bytes GBK reads too.
        {"names in two encodings", "\xB5\xE3,1,2,3,4,5,6\r\nA,1,2,3,4,5,6\r\n东山,1,2,3,4,5,6\r\n",
         3, 0, "文件里混有两种编码"},
    };
    for (const auto &c : cases) {
        const Error e = testkit::ErrorThrownBy([&] { Read(c.content); });
        EXPECT_EQ(e.line(), c.line) << c.name;
        EXPECT_EQ(e.field(), c.field) << c.name;
        EXPECT_NE(e.file().find("gps.txt"), std::string::npos) << c.name;
        EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
            << c.name << ": " << e.what();
    }
}

} // namespace
} // namespace kovarim
