#include "textio/gbk_texts.h"

#include <iconv.h>

#include <string>

#include <gtest/gtest.h>

#include "estimation/adjustment_texts.h"

namespace kovarim {
namespace {

std::string ToGbk(std::string_view utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string in(utf8), out(in.size() * 2 + 8, '\0');
    char *inPtr = in.data();
    char *outPtr = out.data();
    std::size_t inLeft = in.size(), outLeft = out.size();
    EXPECT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1));
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
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
