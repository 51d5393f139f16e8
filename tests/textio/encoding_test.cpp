#include "textio/encoding.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kovarim {
namespace {

// A file's fields in order, and what the file is read as: the line (from 1)
// at which it becomes undecidable, or 0 and the encoding.
TEST(EncodingDecision, DecidesFromEveryFieldAndNeverByAGuess) {
    const struct {
        const char *name;
        bool mark;
        std::vector<std::string> fields;
        int undecidableAt;
        Encoding encoding;
    } cases[] = {
        {"plain ASCII reads the same either way", false, {"P1", "1"}, 0, Encoding::Gbk},
        {"GBK name", false, {"\xB5\xE3\xC8\xFD", "1"}, 0, Encoding::Gbk},
        {"UTF-8 name", false, {"石桥", "1"}, 0, Encoding::Utf8},
        {"UTF-8 Greek, Cyrillic and full-width", false, {"Δ1", "Пункт", "Ｐ１"}, 0, Encoding::Utf8},
        {"four-byte UTF-8 CJK", false, {"\xF0\xA0\x80\x80"}, 0, Encoding::Utf8},
        {"GBK 探 alone, a combining mark in UTF-8", false, {"P", "\xCC\xBD"}, 0, Encoding::Gbk},
        {"GBK 山 alone, IPA in UTF-8", false, {"\xC9\xBD"}, 0, Encoding::Gbk},
        {"GBK 路 alone, a Latin-1 symbol in UTF-8", false, {"\xC2\xB7"}, 0, Encoding::Gbk},
        {"GB18030 four-byte form", false, {"\x81\x30\x81\x30"}, 0, Encoding::Gbk},
        {"UTF-8 with one stray FF", false, {"石桥", "A\xFF"}, 2, Encoding::Gbk},
        {"GBK then a UTF-8 name that is no GBK",
         false,
         {"\xB5\xE3", "P", "王家庄"},
         3,
         Encoding::Gbk},
        {"GBK then a UTF-8 name that is GBK too", false, {"\xB5\xE3", "东山"}, 2, Encoding::Gbk},
        {"UTF-8 then GBK names", false, {"东山", "1", "\xB5\xE3\xC8\xFD"}, 3, Encoding::Gbk},
        {"GBK that is Latin in UTF-8, then GBK", false, {"\xC3\xAB", "\xB5\xE3"}, 0, Encoding::Gbk},
        {"GBK user-defined area", false, {"\xAA\xA1"}, 1, Encoding::Gbk},
        {"a byte order mark, then UTF-8", true, {"石桥"}, 0, Encoding::Utf8},
        {"a byte order mark, then GBK", true, {"P1", "\xB5\xE3"}, 2, Encoding::Utf8},
        {"a byte order mark, then GBK that is valid UTF-8", true, {"\xCC\xBD"}, 1, Encoding::Utf8},
        {"no UTF-8 (overlong), but GBK", false, {"\xC0\xAF"}, 0, Encoding::Gbk},
        {"surrogate", false, {"\xED\xA0\x80"}, 1, Encoding::Gbk},
        {"cut off at the end", false, {"石\xE6\xA1"}, 1, Encoding::Gbk},
    };
    for (const auto &c : cases) {
        EncodingDecision decision(c.mark);
        int undecidableAt = 0;
        for (std::size_t i = 0; i < c.fields.size() && undecidableAt == 0; ++i)
            if (!decision.Take(c.fields[i]))
                undecidableAt = static_cast<int>(i) + 1;
        EXPECT_EQ(undecidableAt, c.undecidableAt) << c.name;
        if (c.undecidableAt == 0) {
            EXPECT_EQ(decision.SoFar(), c.encoding) << c.name;
        }
    }
}

// A whole file that reads soundly both ways, where only GBK reads CJK: GBK
// 一 小 or UTF-8 һ С? Nothing tells.
TEST(EncodingDecision, IsAmbiguousOnlyWhereNothingTellsTheTwoReadingsApart) {
    const struct {
        const char *name;
        bool mark;
        std::vector<std::string> fields;
        bool ambiguous;
    } cases[] = {
        {"GBK 一 and 小, UTF-8 Cyrillic", false, {"\xD2\xBB", "P1", "\xD0\xA1"}, true},
        {"UTF-8 Latin letters, GBK hanzi", false, {"M\xC3\xBCller"}, true},
        {"the same with a byte order mark", true, {"M\xC3\xBCller"}, false},
        {"then a UTF-8 name of three-byte characters", false, {"\xD2\xBB", "石桥"}, false},
        {"then a name that is GBK only", false, {"\xD2\xBB", "\xB5\xE3"}, false},
        {"plain ASCII", false, {"P1", "2"}, false},
    };
    for (const auto &c : cases) {
        EncodingDecision decision(c.mark);
        for (const std::string &field : c.fields)
            ASSERT_TRUE(decision.Take(field)) << c.name;
        EXPECT_EQ(decision.Ambiguous(), c.ambiguous) << c.name;
    }
}

TEST(ToReportEncoding, WritesGbkAndGb18030ForWhatGbkLacks) {
    const struct {
        const char *name;
        std::string in;
        Encoding from;
        std::string out;
    } cases[] = {
        {"GBK stays as it is", "\xB5\xE3", Encoding::Gbk, "\xB5\xE3"},
        {"UTF-8 becomes GBK", "石桥-1", Encoding::Utf8, "\xCA\xAF\xC7\xC5-1"},
        {"a character outside GBK in GB18030",
         "A\xF0\xA0\x80\x80"
         "B",
         Encoding::Utf8,
         "A\x95\x32\x82\x36"
         "B"},
        {"a stray byte becomes ?",
         "A\xFF"
         "B",
         Encoding::Utf8, "A?B"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ToReportEncoding(c.in, c.from), c.out) << c.name;
}

TEST(ToUtf8, DecodesForMessagesOrGivesNothing) {
    EXPECT_EQ(ToUtf8("\xCA\xAF\xC7\xC5", Encoding::Gbk), "石桥");
    EXPECT_EQ(ToUtf8("石桥", Encoding::Utf8), "石桥");
    EXPECT_EQ(ToUtf8("\xCA\xAF\xC7", Encoding::Gbk), ""); // cut off
    EXPECT_EQ(ToUtf8("\xB5\xE3", Encoding::Utf8), "");    // GBK bytes
}

TEST(UnreadableUnicode, NamesUtf16AndUtf32ByTheirMarksOrTheirNulBytes) {
    const struct {
        const char *name;
        std::string start;
        const char *unicode;
    } cases[] = {
        {"UTF-16LE mark",
         "\xFF\xFE"
         "A",
         "UTF-16"},
        {"UTF-16BE mark", "\xFE\xFF", "UTF-16"},
        {"UTF-32LE mark", std::string("\xFF\xFE\0\0", 4), "UTF-32"},
        {"UTF-32BE mark", std::string("\0\0\xFE\xFF", 4), "UTF-32"},
        {"UTF-16LE without a mark", std::string("P\0001\0,\0001\0", 8), "UTF-16"},
        {"UTF-16BE without a mark", std::string("\0P\0001\0,\0001", 8), "UTF-16"},
        {"UTF-32LE without a mark", std::string("P\0\0\0001\0\0\0", 8), "UTF-32"},
        {"UTF-8 mark",
         "\xEF\xBB\xBF"
         "A",
         nullptr},
        {"plain text", "P1,1,2,3\r\n", nullptr},
        {"a single NUL", std::string("P1,1,\0002,3\r\n", 11), nullptr},
    };
    for (const auto &c : cases) {
        const char *unicode = UnreadableUnicode(c.start);
        EXPECT_EQ(unicode == nullptr ? std::string("none") : unicode,
                  c.unicode == nullptr ? std::string("none") : c.unicode)
            << c.name;
    }
}

} // namespace
} // namespace kovarim
