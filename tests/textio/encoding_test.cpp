#include "textio/encoding.h"

#include <gtest/gtest.h>

namespace kovarim {
namespace {

TEST(EncodingDetector, TakesUtf8OnlyWhenEveryByteIsUtf8AndSomeAreNot_ASCII) {
    const struct {
        const char *name;
        std::string bytes;
        Encoding encoding;
    } cases[] = {
        {"plain ASCII reads the same either way", "P1,1,2,3\r\n", Encoding::Gbk},
        {"GBK name", "\xB5\xE3\xC8\xFD,1,2,3", Encoding::Gbk},
        {"UTF-8 name", "石桥,1,2,3", Encoding::Utf8},
        {"four-byte UTF-8", "\xF0\xA0\x80\x80,1", Encoding::Utf8},
        {"UTF-8, then one GBK byte pair", "石桥,1\r\n\xB5\xE3,2", Encoding::Gbk},
        {"overlong form", "\xC0\xAF", Encoding::Gbk},
        {"surrogate", "\xED\xA0\x80", Encoding::Gbk},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", Encoding::Gbk},
        {"cut off at the end", "石\xE6\xA1", Encoding::Gbk},
    };
    for (const auto &c : cases) {
        // Fed whole, and byte by byte as blocks may split a character.
        EncodingDetector whole, split;
        whole.Feed(c.bytes.data(), c.bytes.size());
        for (char byte : c.bytes)
            split.Feed(&byte, 1);
        whole.End();
        split.End();
        EXPECT_EQ(whole.SoFar(), c.encoding) << c.name;
        EXPECT_EQ(split.SoFar(), c.encoding) << c.name;
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

TEST(UnreadableUnicodeMark, NamesUtf16AndUtf32) {
    EXPECT_STREQ(UnreadableUnicodeMark("\xFF\xFE"
                                       "A"),
                 "UTF-16");
    EXPECT_STREQ(UnreadableUnicodeMark("\xFE\xFF"), "UTF-16");
    EXPECT_STREQ(UnreadableUnicodeMark(std::string_view("\xFF\xFE\0\0", 4)), "UTF-32");
    EXPECT_STREQ(UnreadableUnicodeMark(std::string_view("\0\0\xFE\xFF", 4)), "UTF-32");
    EXPECT_EQ(UnreadableUnicodeMark("\xEF\xBB\xBF"
                                    "A"),
              nullptr);
    EXPECT_EQ(UnreadableUnicodeMark("P1"), nullptr);
}

} // namespace
} // namespace kovarim
