#include "geodesy/value_text.h"

#include <cmath>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "base/error.h"

namespace kovarim {
namespace {

TEST(FormatValue, RoundsHalvesToEvenAndDropsTrailingZeros) {
    const struct {
        ValueForm form;
        double value;
        const char *text;
    } cases[] = {
        {ValueForm::Metres, 2860228.818, "2860228.818"},
        {ValueForm::Metres, 12.5, "12.5"},
        {ValueForm::Metres, 7.0, "7"},
        {ValueForm::Metres, 1.0625, "1.062"}, // 1062.5 thousandths, exactly: to even
        {ValueForm::Metres, 1.1875, "1.188"},
        {ValueForm::Metres, -1.0625, "-1.062"},
        {ValueForm::Metres, -0.0004, "0"},
        {ValueForm::Metres, -0.0, "0"},
        {ValueForm::Metres, 39235948.94444, "39235948.944"},
        {ValueForm::Metres, 123456789012.3456, "123456789012.346"},
        {ValueForm::Metres, 1e15, "1E+15"},
        {ValueForm::Degrees, 30.508680555555556, "30.508680556"},
        {ValueForm::Degrees, 114.0000000004, "114"},
        {ValueForm::Degrees, -179.9999999996, "-180"},
        {ValueForm::Degrees, 0.5 / 1024 / 1024 / 1024 / 1024, "0"},
        {ValueForm::Degrees, -1e-10, "0"},
        {ValueForm::Dms, 30.0 + 30.0 / 60 + 25.15 / 3600, "30.302515"},
        {ValueForm::Dms, 30.0 + 30.0 / 60 + 31.25 / 3600, "30.303125"},
        {ValueForm::Dms, 30.0 + 5.0 / 60, "30.05"},
        {ValueForm::Dms, 30.0 - 0.000004 / 3600, "30"}, // 29°59′59.999996″: the carry
        {ValueForm::Dms, 359.9999999999, "360"},
        {ValueForm::Dms, -0.5, "-0.3"},
        {ValueForm::Dms, 120.0, "120"},
        {ValueForm::Dms, 1e-9, "0"},
        {ValueForm::Dms, -0.00001 / 3600, "-0.000000001"},
        {ValueForm::Dms, 114.0 + 59.0 / 60 + 59.99999 / 3600, "114.595999999"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatValue(c.form, c.value), c.text) << c.value;
    EXPECT_THROW(FormatValue(ValueForm::Metres, std::numeric_limits<double>::infinity()), Error);
    EXPECT_THROW(FormatValue(ValueForm::Dms, 1e20), Error);
    EXPECT_THROW(FormatValue(ValueForm::Metres, 1.7e307), Error); // rounding overflows
}

TEST(ReadValue, ReadsDecimalsAndTheSurveyorsForm) {
    const struct {
        ValueForm form;
        const char *text;
        double value;
    } cases[] = {
        {ValueForm::Metres, "2860228.818", 2860228.818},
        {ValueForm::Metres, "-1.5e3", -1500.0},
        {ValueForm::Degrees, "+30.5", 30.5},
        {ValueForm::Degrees, ".5", 0.5},
        {ValueForm::Dms, "30.302515", 30.0 + (30 * 60 + 25.15) / 3600},
        {ValueForm::Dms, "30.3", 30.5},
        {ValueForm::Dms, "30.30", 30.5},
        {ValueForm::Dms, "-30.3", -30.5},
        {ValueForm::Dms, "30", 30.0},
        {ValueForm::Dms, "30.", 30.0},
        {ValueForm::Dms, ".3", 0.5},
        {ValueForm::Dms, "+30.30", 30.5},
        {ValueForm::Dms, "30.30251", 30.0 + (30 * 60 + 25.1) / 3600},
        {ValueForm::Dms, "114.5959999999", 114.0 + (59 * 60 + 59.999999) / 3600},
        {ValueForm::Dms, "0.000000001", 0.00001 / 3600},
        {ValueForm::Dms, "0.0000001", 0.001 / 3600},
        {ValueForm::Dms, "-0", 0.0},
    };
    for (const auto &c : cases)
        EXPECT_NEAR(ReadValue(c.form, c.text, "B"), c.value, 1e-14) << c.text;
    const struct {
        ValueForm form;
        const char *text, *why;
    } refused[] = {
        {ValueForm::Metres, "", "L 不是数值"},
        {ValueForm::Metres, "1,5", "L “1,5” 不是数值"},
        {ValueForm::Metres, " 1", "不是数值"},
        {ValueForm::Metres, "nan", "不是数值"},
        {ValueForm::Metres, "inf", "不是数值"},
        {ValueForm::Metres, "0x10", "不是数值"},
        {ValueForm::Metres, "1e400", "L “1e400” 超出双精度数的范围"},
        {ValueForm::Dms, "30.6", "L “30.6” 的分为 60，度分秒（ddd.mmssss）的分应小于 60"},
        {ValueForm::Dms, "30.3060", "L “30.3060” 的秒为 60"},
        {ValueForm::Dms, "30.9999", "的分为 99"},
        {ValueForm::Dms, "3e1", "不能带指数"},
        {ValueForm::Dms, "30.30.1", "不是数值"},
        {ValueForm::Dms, "30°30′", "不是数值"},
        {ValueForm::Dms, "-", "不是数值"},
    };
    for (const auto &c : refused) {
        try {
            ReadValue(c.form, c.text, "L");
            ADD_FAILURE() << c.text << " read";
        } catch (const Error &e) {
            EXPECT_NE(e.problem().find(c.why), std::string::npos) << c.text << ": " << e.problem();
        }
    }
}

TEST(ReadValue, GivesBackWhatFormatValueWrote) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> angle(-360.0, 360.0);
    for (int i = 0; i < 100000; ++i) {
        const double v = angle(random);
        const std::string dms = FormatValue(ValueForm::Dms, v);
        EXPECT_NEAR(ReadValue(ValueForm::Dms, dms, "L"), v, 0.5e-5 / 3600 + 1e-13) << dms;
        EXPECT_EQ(FormatValue(ValueForm::Dms, ReadValue(ValueForm::Dms, dms, "L")), dms);
        const std::string degrees = FormatValue(ValueForm::Degrees, v);
        EXPECT_EQ(FormatValue(ValueForm::Degrees, ReadValue(ValueForm::Degrees, degrees, "L")),
                  degrees);
    }
}

TEST(ReadDecimal, ReadsThePointFilesNumbersAndNothingElse) {
    const struct {
        const char *text;
        std::optional<double> value;
    } cases[] = {
        {"1", 1.0},      {"-1.5", -1.5},  {"+2", 2.0},      {".5", 0.5},     {"5.", 5.0},
        {"1e3", 1000.0}, {"1E-3", 0.001}, {"1e+3", 1000.0}, {"1e-400", 0.0}, {"1e400", {}},
        {"nan", {}},     {"inf", {}},     {"0x10", {}},     {"1 ", {}},      {"", {}},
        {"-", {}},       {"1e", {}},      {".", {}},        {"1.2.3", {}},   {"１", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ReadDecimal(c.text), c.value) << c.text;
    EXPECT_TRUE(std::signbit(*ReadDecimal("-1e-400")));
}

TEST(ShortestText, ReadsBackToTheSameDouble) {
    std::mt19937_64 random(3);
    std::uniform_int_distribution<std::uint64_t> bits;
    for (int i = 0; i < 100000; ++i) {
        double v;
        do
            v = std::bit_cast<double>(bits(random));
        while (!std::isfinite(v));
        EXPECT_EQ(*ReadDecimal(ShortestText(v)), v == 0.0 ? 0.0 : v) << ShortestText(v);
    }
    EXPECT_EQ(ShortestText(500000.0), "500000");
    EXPECT_EQ(ShortestText(298.257222101), "298.257222101");
    EXPECT_EQ(ShortestText(-0.0), "0");
    EXPECT_EQ(ShortestText(1e-8), "1e-08");
}

} // namespace
} // namespace kovarim
