#include "textio/number_text.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace kovarim {
namespace {

struct ParseCase {
    const char *text;
    NumberParse status;
    double value;
};

TEST(ParseFieldNumber, AcceptsOnlyWholeDecimalNumbers) {
    const ParseCase cases[] = {
        {"1", NumberParse::Ok, 1.0},
        {"-2.5", NumberParse::Ok, -2.5},
        {"+3", NumberParse::Ok, 3.0},
        {".5", NumberParse::Ok, 0.5},
        {"5.", NumberParse::Ok, 5.0},
        {"1e3", NumberParse::Ok, 1000.0},
        {"2860321.780", NumberParse::Ok, 2860321.78},
        {"1E-2", NumberParse::Ok, 0.01},
        {"007", NumberParse::Ok, 7.0},
        {"1e-400", NumberParse::Ok, 0.0}, // below the smallest double: rounds to 0
        {"1e999", NumberParse::OutOfRange, 0.0},
        {"-1e999", NumberParse::OutOfRange, 0.0},
        {"1.7976931348623157e308", NumberParse::Ok, std::numeric_limits<double>::max()},
        {"1.7976931348623159e308", NumberParse::OutOfRange, 0.0}, // rounds beyond the largest
        {"0.00017976931348623159e312", NumberParse::OutOfRange, 0.0},
        {"4.9e-324", NumberParse::Ok, std::numeric_limits<double>::denorm_min()},
        {"2.4e-324", NumberParse::Ok, 0.0}, // nearer 0 than the smallest subnormal
        {"1e-99999999999999999999", NumberParse::Ok, 0.0},
        {"1e99999999999999999999", NumberParse::OutOfRange, 0.0},
        {"100000e-330", NumberParse::Ok, 0.0},
        {"0e999999", NumberParse::Ok, 0.0},
        {"", NumberParse::NotANumber, 0.0},
        {"abc", NumberParse::NotANumber, 0.0},
        {"1.2.3", NumberParse::NotANumber, 0.0},
        {"1e", NumberParse::NotANumber, 0.0},
        {"e5", NumberParse::NotANumber, 0.0},
        {".", NumberParse::NotANumber, 0.0},
        {"-", NumberParse::NotANumber, 0.0},
        {"1D2", NumberParse::NotANumber, 0.0}, // D exponents belong to the input boxes only
        {"0x10", NumberParse::NotANumber, 0.0},
        {"inf", NumberParse::NotANumber, 0.0},
        {"nan", NumberParse::NotANumber, 0.0},
        {"12m", NumberParse::NotANumber, 0.0},
        {"1 2", NumberParse::NotANumber, 0.0},
    };
    for (const auto &c : cases) {
        const ParsedNumber parsed = ParseFieldNumber(c.text);
        EXPECT_EQ(parsed.status, c.status) << c.text;
        if (c.status == NumberParse::Ok) {
            EXPECT_EQ(parsed.value, c.value) << c.text;
        }
    }
}

// Below the smallest double a value rounds to a zero of its own sign, as
// strtod gives.
TEST(ParseFieldNumber, UnderflowKeepsTheSign) {
    for (const char *text : {"-1e-400", "-2.4e-324", "-0.000001e-999"}) {
        const ParsedNumber parsed = ParseFieldNumber(text);
        EXPECT_EQ(parsed.status, NumberParse::Ok) << text;
        EXPECT_EQ(parsed.value, 0.0) << text;
        EXPECT_TRUE(std::signbit(parsed.value)) << text;
    }
    EXPECT_FALSE(std::signbit(ParseFieldNumber("1e-400").value));
    EXPECT_TRUE(std::signbit(ParseLeadingNumber("-1d-400").value));
}

TEST(ParseLeadingNumber, ReadsTheNumberAtTheStartAndIgnoresBlanks) {
    const ParseCase cases[] = {
        {"2860321.78", NumberParse::Ok, 2860321.78},
        {" 2860 321.78 ", NumberParse::Ok, 2860321.78},
        {"\t12\n3", NumberParse::Ok, 123.0},
        {"592341.79m", NumberParse::Ok, 592341.79},
        {"2,860,321.78", NumberParse::Ok, 2.0}, // a comma ends the number
        {"1D3", NumberParse::Ok, 1000.0},
        {"1d-1", NumberParse::Ok, 0.1},
        {"-.5x", NumberParse::Ok, -0.5},
        {"1.2.3", NumberParse::Ok, 1.2},
        {"1e", NumberParse::Ok, 1.0},
        {"1e+", NumberParse::Ok, 1.0},
        {"+7", NumberParse::Ok, 7.0},
        {"", NumberParse::Ok, 0.0},
        {"abc", NumberParse::Ok, 0.0},
        {"m5", NumberParse::Ok, 0.0},
        {"1e400", NumberParse::OutOfRange, 0.0},
        {"-1D400", NumberParse::OutOfRange, 0.0},
        {"+1d-400", NumberParse::Ok, 0.0},
    };
    for (const auto &c : cases) {
        const ParsedNumber parsed = ParseLeadingNumber(c.text);
        EXPECT_EQ(parsed.status, c.status) << c.text;
        EXPECT_EQ(parsed.value, c.value) << c.text;
    }
}

TEST(FormatNumber, WritesAtMostFifteenSignificantDigitsWithoutTrailingZeros) {
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {3.0, "3"},
        {12.5, "12.5"},
        {0.5, "0.5"},
        {-0.25, "-0.25"},
        {100.0, "100"},
        {2860321.78, "2860321.78"},
        {300.457, "300.457"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {123456789012345.0, "123456789012345"},
        {999999999999999.4, "999999999999999"},
        {999999999999999.9, "1E+15"}, // rounds up to 16 digits
        {1e15, "1E+15"},
        {1234567890123456.0, "1.23456789012346E+15"},
        {-1e100, "-1E+100"},
        {0.0001, "0.0001"},
        {0.00012, "0.00012"},
        {0.00001, "1E-05"},
        {4.5e-6, "4.5E-06"},
        {-1.5e-300, "-1.5E-300"},
        {5e-324, "4.94065645841247E-324"},
        {std::numeric_limits<double>::quiet_NaN(), "NaN"},
        {std::numeric_limits<double>::infinity(), "Inf"},
        {-std::numeric_limits<double>::infinity(), "-Inf"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatNumber(c.value), c.text) << c.value;
}

TEST(FormatDelimitedNumber, WritesEveryMagnitudeBelow1E15InPlainForm) {
    const struct {
        double value;
        const char *text;
    } cases[] = {
        {0.00001, "0.00001"},
        {-4.5e-6, "-0.0000045"},
        {1.0 / 3.0 * 1e-7, "0.0000000333333333333333"},
        {0.5, "0.5"},
        {2860321.78, "2860321.78"},
        {999999999999999.4, "999999999999999"},
        {1e15, "1E+15"},
        {0.0, "0"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatDelimitedNumber(c.value), c.text) << c.value;
}

// The batch's fast paths against the plain, slow ways, on the values a
// batch meets: whole thousandths (every converted coordinate) and others.
TEST(FormatDelimitedNumber, WritesWhatThePlainFormattingWrites) {
    std::mt19937_64 random(3);
    std::uniform_int_distribution<long long> thousandths(-999999999999999LL, 999999999999999LL);
    std::uniform_real_distribution<double> any(-1e7, 1e7);
    for (int i = 0; i < 100000; ++i) {
        const double values[] = {static_cast<double>(thousandths(random)) / 1000.0, any(random),
                                 std::ldexp(any(random), static_cast<int>(random() % 2200) - 1100)};
        for (double v : values)
            ASSERT_EQ(FormatDelimitedNumber(v), FormatDelimitedNumberReference(v)) << v;
    }
}

// A field copied as its own echo must be what writing its number gives:
// the texts taken are held against the slow way, on texts of every shape
// near the rule's edges (15 and 16 digits, leading and trailing zeros, long
// fractions, signs).
TEST(IsDelimitedNumberText, TakesOnlyTextsThatAreTheirNumbersDelimitedForm) {
    for (const char *yes : {"0", "30.421613469", "-113.961455217", "125.633", "0.5", "-0.25",
                            "123456789012345", "0.000000000000000001", "1.00000000000001"})
        EXPECT_TRUE(IsDelimitedNumberText(yes)) << yes;
    for (const char *no :
         {"", "-", "-0", "+5", "05", "1.", ".5", "1.50", "1e5", "1E-05", "1234567890123456",
          "1.234567890123456", "0.000000000000000000001", " 1", "1 ", "1,5", "0x10", "1.2.3"})
        EXPECT_FALSE(IsDelimitedNumberText(no)) << no;
    std::mt19937_64 random(11);
    int taken = 0;
    for (int i = 0; i < 300000; ++i) {
        std::string text = random() % 4 == 0 ? "-" : "";
        const int integer = static_cast<int>(random() % 18),
                  fraction = static_cast<int>(random() % 23);
        for (int d = 0; d < integer; ++d)
            text += static_cast<char>(
                '0' + (d == 0 && random() % 3 != 0 ? 1 + random() % 9 : random() % 10));
        if (integer == 0 || random() % 2 == 0) {
            if (integer == 0)
                text += '0';
            text += '.';
            for (int d = 0; d < fraction; ++d)
                text += static_cast<char>('0' + (random() % 4 == 0 ? 0 : random() % 10));
        }
        if (!IsDelimitedNumberText(text))
            continue;
        ++taken;
        const ParsedNumber parsed = ParseFieldNumber(text);
        ASSERT_EQ(parsed.status, NumberParse::Ok) << text;
        ASSERT_EQ(FormatDelimitedNumberReference(parsed.value), text);
    }
    EXPECT_GT(taken, 30000);
}

TEST(ParseFieldNumber, ReadsWhatStrtodReads) {
    std::mt19937_64 random(5);
    for (int i = 0; i < 100000; ++i) {
        std::string text = std::to_string(random() % 10000000000000000ULL);
        text.insert(random() % (text.size() + 1), ".");
        if (random() % 2)
            text.insert(0, "-");
        const ParsedNumber parsed = ParseFieldNumber(text);
        ASSERT_EQ(parsed.status, NumberParse::Ok) << text;
        ASSERT_EQ(parsed.value, std::strtod(text.c_str(), nullptr)) << text;
    }
}

TEST(PrintedNumber, PutsTheSignOrASpaceBeforeAndASpaceAfter) {
    EXPECT_EQ(PrintedNumber(12.5), " 12.5 ");
    EXPECT_EQ(PrintedNumber(-3.0), "-3 ");
    EXPECT_EQ(PrintedNumber(0.0), " 0 ");
    EXPECT_EQ(PrintedNumber(-0.0), " 0 ");
    EXPECT_EQ(PrintedNumber(-4.5e-6), "-4.5E-06 ");
}

// A number that 15 significant digits hold comes back to the same double.
TEST(FormatNumber, ReadsBackToTheSameValue) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<long long> mantissa(-999999999999999LL, 999999999999999LL);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 20000; ++i) {
        const double value =
            std::stod(std::to_string(mantissa(random)) + "e" + std::to_string(exponent(random)));
        const ParsedNumber back = ParseFieldNumber(FormatNumber(value));
        ASSERT_EQ(back.status, NumberParse::Ok) << FormatNumber(value);
        ASSERT_EQ(back.value, value) << FormatNumber(value);
    }
}

} // namespace
} // namespace kovarim
