#include "textio/field_reader.h"

#include <vector>

#include <gtest/gtest.h>

#include "base/error.h"
#include "testkit.h"

namespace kovarim {
namespace {

// A field as the tests spell it: kind, bytes, line, and whether it ended a line.
struct Expected {
    FieldKind kind;
    std::string bytes;
    long line;
    bool endsLine;
};

std::vector<Field> ReadAll(const std::string &content) {
    testkit::TempDir dir;
    FieldReader reader(dir.Write("in.txt", content));
    std::vector<Field> fields;
    while (!reader.AtEnd())
        fields.push_back(reader.Next());
    return fields;
}

constexpr auto N = FieldKind::Number;
constexpr auto T = FieldKind::Text;
constexpr auto E = FieldKind::Empty;

TEST(FieldReader, SplitsFieldsByTheRulesOfTheDataFiles) {
    const struct {
        const char *name;
        std::string content;
        std::vector<Expected> fields;
    } cases[] = {
        {"CR LF lines",
         "a,1\r\nb,2\r\n",
         {{T, "a", 1, false}, {N, "1", 1, true}, {T, "b", 2, false}, {N, "2", 2, true}}},
        {"no final line end", "a,1", {{T, "a", 1, false}, {N, "1", 1, true}}},
        {"LF and lone CR end lines too",
         "a\nb\rc",
         {{T, "a", 1, true}, {T, "b", 2, true}, {T, "c", 3, true}}},
        {"blanks around unquoted fields",
         "  a b  ,\t2 \r\n",
         {{T, "a b", 1, false}, {N, "2", 1, true}}},
        {"quoted field keeps commas", "\"P,1\",2", {{T, "P,1", 1, false}, {N, "2", 1, true}}},
        {"quoted number stays text", "\"12\"", {{T, "12", 1, true}}},
        {"junk after the closing quote is ignored",
         "\"a\" x,1",
         {{T, "a", 1, false}, {N, "1", 1, true}}},
        {"blank line is one empty field",
         "a\r\n\r\nb",
         {{T, "a", 1, true}, {E, "", 2, true}, {T, "b", 3, true}}},
        {"line of blanks is one empty field",
         "a\r\n   \r\nb",
         {{T, "a", 1, true}, {E, "", 2, true}, {T, "b", 3, true}}},
        {"empty field between commas",
         "a,,b",
         {{T, "a", 1, false}, {E, "", 1, false}, {T, "b", 1, true}}},
        {"GBK bytes pass unchanged",
         "\xB5\xE3\xBA\xC5,1",
         {{T, "\xB5\xE3\xBA\xC5", 1, false}, {N, "1", 1, true}}},
        {"NUL bytes are ordinary bytes",
         std::string("a\0b,1", 5),
         {{T, std::string("a\0b", 3), 1, false}, {N, "1", 1, true}}},
        {"numbers by value",
         "007,-.5,1e3",
         {{N, "007", 1, false}, {N, "-.5", 1, false}, {N, "1e3", 1, true}}},
    };
    for (const auto &c : cases) {
        const std::vector<Field> fields = ReadAll(c.content);
        ASSERT_EQ(fields.size(), c.fields.size()) << c.name;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            EXPECT_EQ(fields[i].kind, c.fields[i].kind) << c.name << " field " << i;
            EXPECT_EQ(fields[i].bytes, c.fields[i].bytes) << c.name << " field " << i;
            EXPECT_EQ(fields[i].line, c.fields[i].line) << c.name << " field " << i;
            EXPECT_EQ(fields[i].endsLine, c.fields[i].endsLine) << c.name << " field " << i;
        }
    }
}

TEST(FieldReader, GivesNumberFieldsTheirValue) {
    const std::vector<Field> fields = ReadAll("2860321.780,-1e-3");
    EXPECT_EQ(fields[0].number, 2860321.78);
    EXPECT_EQ(fields[1].number, -0.001);
}

TEST(FieldReader, MarksANumberBeyondTheDoubleRangeAsText) {
    const std::vector<Field> fields = ReadAll("1e999");
    EXPECT_EQ(fields[0].kind, FieldKind::Text);
    EXPECT_TRUE(fields[0].outOfRange);
}

TEST(FieldReader, TellsWhetherAFieldFollowsAtTheEndOfTheFile) {
    testkit::TempDir dir;
    FieldReader reader(dir.Write("in.txt", "a,"));
    reader.Next();
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_TRUE(reader.AfterComma());
    const Field last = reader.Next();
    EXPECT_EQ(last.kind, FieldKind::Empty);
    EXPECT_FALSE(reader.AfterComma());
}

TEST(FieldReader, RejectsMalformedInputWithTheLine) {
    const std::string undecidable = "无法确定文件的编码（GBK 还是 UTF-8）";
    const struct {
        const char *name;
        std::string content;
        long line;
        std::string says;
    } cases[] = {
        {"unterminated quote", "a,1\r\n\"abc,2\r\n3", 2, "引号没有在本行内闭合"},
        {"quote closed on a later line", "\"a\r\nb\",1", 1, "引号没有在本行内闭合"},
        {"stray opening quote before lines of records", "A,1\r\n\"B,1000\r\nC,2\r\nD\",3\r\n", 2,
         "引号没有在本行内闭合"},
        {"field longer than the limit", "x\r\n" + std::string(FieldReader::kMaxFieldBytes + 1, 'a'),
         2, "字段过长"},
        {"UTF-8 with a stray byte", "石桥,1\r\nA\xFF,2\r\n", 2, undecidable},
        {"GBK name, then a UTF-8 one", "\xB5\xE3,1\r\nB,2\r\n王家庄,3\r\n", 3, undecidable},
        {"a byte order mark before GBK",
         "\xEF\xBB\xBF"
         "A,1\r\n\xB5\xE3,2\r\n",
         2, "文件以 UTF-8 的字节顺序标记（BOM）开头，这一行却不是 UTF-8 文字"},
    };
    for (const auto &c : cases) {
        const Error e = testkit::ErrorThrownBy([&] { ReadAll(c.content); });
        EXPECT_EQ(e.line(), c.line) << c.name;
        EXPECT_NE(e.problem().find(c.says), std::string::npos) << c.name << ": " << e.what();
        EXPECT_NE(e.file().find("in.txt"), std::string::npos) << c.name;
    }
}

TEST(FieldReader, NamesAFileThatCannotBeOpened) {
    const Error e =
        testkit::ErrorThrownBy([] { FieldReader reader("/nonexistent/folder/pts.txt"); });
    EXPECT_EQ(e.file(), "/nonexistent/folder/pts.txt");
    EXPECT_NE(std::string(e.what()).find("无法打开"), std::string::npos);
}

} // namespace
} // namespace kovarim
