// Text to number: the field rule accepts a subset of what the input-box rule
// reads, with the same value; the input-box rule never fails but for range.
// Both read with from_chars and fast paths of their own; what the field rule
// takes, the C library's strtod reads to the same double, and what it finds
// out of range, strtod finds beyond the largest.
#include <cmath>
#include <cstdlib>
#include <string>

#include "fuzz_check.h"
#include "textio/number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    const auto field = kovarim::ParseFieldNumber(text);
    const auto box = kovarim::ParseLeadingNumber(text);
    if (box.status == kovarim::NumberParse::Ok)
        FUZZ_CHECK(std::isfinite(box.value));
    FUZZ_CHECK(box.status != kovarim::NumberParse::NotANumber);
    if (field.status == kovarim::NumberParse::Ok) {
        FUZZ_CHECK(std::isfinite(field.value));
        FUZZ_CHECK(box.status == kovarim::NumberParse::Ok);
        FUZZ_CHECK(box.value == field.value || (std::isnan(box.value) && std::isnan(field.value)));
    }
    if (field.status == kovarim::NumberParse::OutOfRange)
        FUZZ_CHECK(box.status == kovarim::NumberParse::OutOfRange);
    if (field.status != kovarim::NumberParse::NotANumber) {
        const double c = std::strtod(text.c_str(), nullptr); // a field holds no NUL
        if (field.status == kovarim::NumberParse::OutOfRange)
            FUZZ_CHECK(std::isinf(c));
        else
            FUZZ_CHECK(c == field.value && std::signbit(c) == std::signbit(field.value));
    }
    return 0;
}
