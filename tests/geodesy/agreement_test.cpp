// The geodesy writes and reads numbers by rules of its own, which must give
// the bytes and doubles of textio's number forms and model's rounding.
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include <gtest/gtest.h>

#include "geodesy/value_text.h"
#include "model/seven_parameters.h"
#include "textio/number_text.h"

namespace kovarim {
namespace {

TEST(GeodesyNumberForms, WriteMetresAsTheBatchOutputWritesCoordinates) {
    std::mt19937_64 random(5);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> power(-8, 17);
    for (int i = 0; i < 300000; ++i) {
        double v = unit(random) * std::pow(10.0, power(random));
        if (i % 3 == 0) // values on exact halves of the last decimal
            v = (std::floor(v * 1000.0) + 0.5) / 1000.0;
        EXPECT_EQ(FormatValue(ValueForm::Metres, v), FormatDelimitedNumber(RoundCoordinate(v)))
            << v;
        EXPECT_EQ(RoundedToPlaces(v, 3), RoundCoordinate(v)) << v;
        const int places = i % 9;
        if (std::fabs(v) < 1e290) {
            EXPECT_EQ(RoundedToPlaces(v, places), RoundToPlaces(v, places)) << v << " " << places;
        }
    }
}

TEST(GeodesyNumberForms, ReadTheSameDoublesAsThePointFiles) {
    std::mt19937_64 random(9);
    const std::string alphabet = "0123456789.eE+- x";
    std::uniform_int_distribution<std::size_t> letter(0, alphabet.size() - 1), length(0, 24);
    for (int i = 0; i < 300000; ++i) {
        std::string text;
        for (std::size_t n = length(random); n > 0; --n)
            text += alphabet[i % 4 == 0 && n > 2 ? letter(random) % 10 : letter(random)];
        const ParsedNumber expected = ParseFieldNumber(text);
        const std::optional<double> read = ReadDecimal(text);
        ASSERT_EQ(read.has_value(), expected.status == NumberParse::Ok) << text;
        if (read) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(*read),
                      std::bit_cast<std::uint64_t>(expected.value))
                << text;
        }
    }
}

} // namespace
} // namespace kovarim
