// Text to number: the field rule accepts a subset of what the input-box rule
// reads, with the same value; the input-box rule never fails but for range.
// (The box rule reads with strtod; the field rule's fast paths must agree.)
#include <cmath>
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
    return 0;
}
