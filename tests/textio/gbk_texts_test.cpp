#include "textio/gbk_texts.h"

#include <string>

#include <gtest/gtest.h>

#include "adjustment/adjustment_texts.h"
#include "textio/platform.h"

namespace kovarim {
namespace {

// The system's own GBK converter: iconv, or Windows' code page 936.
std::string ToGbk(std::string_view utf8) {
    std::string gbk;
    EXPECT_TRUE(platform::Utf8ToGbk(utf8, gbk)) << utf8;
    return gbk;
}

TEST(GbkTexts, AreTheGbkEncodingOfTheirReadableText) {
    for (const gbk::Text &text : gbk::kAll)
        EXPECT_EQ(text.bytes, ToGbk(text.readable)) << text.readable;
}

TEST(GbkTexts, AdjustmentReportTextsAreTheGbkEncodingOfTheirReadableText) {
    for (const gbk::Text &text : gbk::kAdjustmentAll)
        EXPECT_EQ(text.bytes, ToGbk(text.readable)) << text.readable;
}

TEST(GbkTexts, ResidualTitleIsFiftyFourCharactersWide) {
    // 22 equal signs, 4 Chinese characters and DXDYDZ, 22 equal signs.
    EXPECT_EQ(gbk::kResidualTitle.bytes.size(), 58u);
    EXPECT_EQ(gbk::kResidualTitle.bytes.substr(0, 22), std::string(22, '='));
}

} // namespace
} // namespace kovarim
