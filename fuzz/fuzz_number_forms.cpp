// Number to text: the plain form reads back to the value rounded to 15
// significant digits (the value itself where 15 digits hold it), has at most
// 15 significant digits, the batch's delimited form reads back the same, and
// the printed form is the plain one with a sign position before and a space
// after.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "textio/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    if (size < sizeof(double))
        return 0;
    double value;
    std::memcpy(&value, data, sizeof value);
    // A ninth byte makes the value a whole number of thousandths, as every
    // converted coordinate is, to reach the batch's fast path as often.
    if (size > sizeof(double) && data[sizeof(double)] % 2 == 1) {
        std::int64_t n;
        std::memcpy(&n, data, sizeof n);
        value = static_cast<double>(n % 1000000000000000000) / 1000.0;
    }
    if (!std::isfinite(value))
        return 0;
    // The batch's fast formatter writes what the plain, slow one does.
    FUZZ_CHECK(kovarim::FormatDelimitedNumber(value) ==
               kovarim::FormatDelimitedNumberReference(value));
    const std::string plain = kovarim::FormatNumber(value);
    const auto back = kovarim::ParseFieldNumber(plain);
    FUZZ_CHECK(back.status == kovarim::NumberParse::Ok ||
               (back.status == kovarim::NumberParse::OutOfRange && std::fabs(value) > 1.7e308));
    if (back.status == kovarim::NumberParse::Ok) {
        char fifteen[64];
        std::snprintf(fifteen, sizeof fifteen, "%.14e", value);
        FUZZ_CHECK(back.value == std::strtod(fifteen, nullptr));
    }
    int digits = 0;
    for (char c : plain.substr(0, plain.find('E')))
        digits += c >= '0' && c <= '9';
    FUZZ_CHECK(digits <=
               15 + 1 + 4); // 15 significant, a leading 0, up to four zeros after the point
    FUZZ_CHECK(plain.find(' ') == std::string::npos);
    // The batch's form: the same value, in plain form below 1E+15.
    const std::string delimited = kovarim::FormatDelimitedNumber(value);
    FUZZ_CHECK(delimited.find("E-") == std::string::npos);
    if (plain.find("E-") == std::string::npos)
        FUZZ_CHECK(delimited == plain);
    const auto delimitedBack = kovarim::ParseFieldNumber(delimited);
    FUZZ_CHECK(delimitedBack.status == back.status && delimitedBack.value == back.value);
    const std::string printed = kovarim::PrintedNumber(value);
    FUZZ_CHECK(printed.size() == plain.size() + (value < 0 ? 1 : 2));
    FUZZ_CHECK(printed.back() == ' ');
    FUZZ_CHECK(printed.front() == (value < 0 ? '-' : ' '));
    return 0;
}
