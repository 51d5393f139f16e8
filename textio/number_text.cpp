#include "textio/number_text.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace kovarim {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest number at the start of `s` (0 if none). Accepts the
// exponent letters in `exponentLetters`.
std::size_t ScanNumber(std::string_view s, std::string_view exponentLetters) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return 0;
    std::size_t mantissaEnd = i;
    if (i < s.size() && exponentLetters.find(s[i]) != std::string_view::npos) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        std::size_t expDigits = 0;
        while (j < s.size() && IsDigit(s[j]))
            ++j, ++expDigits;
        if (expDigits > 0)
            return j;
    }
    return mantissaEnd;
}

// Converts text already known to be a number. strtod is correctly rounded in
// glibc; the "C" locale keeps the decimal point a point whatever the user's
// locale is.
ParsedNumber Convert(std::string text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    for (char &c : text)
        if (c == 'D' || c == 'd')
            c = 'E';
    errno = 0;
    double value = strtod_l(text.c_str(), nullptr, cLocale);
    if (errno == ERANGE && std::isinf(value))
        return {NumberParse::OutOfRange, 0.0};
    return {NumberParse::Ok, value};
}

// Plain decimal text, or the exponent form for magnitudes of 1E+15 and more
// and for those below 10^smallestPlain.
std::string Format(double value, int smallestPlain) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Inf" : "Inf";
    if (value == 0.0)
        return "0";

    // Scientific form with 15 significant digits: d.dddddddddddddde[+-]x.
    std::array<char, 40> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                   std::chars_format::scientific, 14);
    std::string_view sci(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    std::size_t ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (c != '.')
            digits += c;
    int exponent = std::atoi(std::string(sci.substr(ePos + 1)).c_str());
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string text = value < 0 ? "-" : "";
    if (exponent >= 15 || exponent < smallestPlain) {
        text += digits[0];
        if (digits.size() > 1)
            text += "." + digits.substr(1);
        std::string expDigits = std::to_string(std::abs(exponent));
        if (expDigits.size() < 2)
            expDigits.insert(0, "0");
        text += (exponent < 0 ? "E-" : "E+") + expDigits;
    } else if (exponent < 0) {
        text += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else {
        std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            text += digits + std::string(integerDigits - digits.size(), '0');
        } else {
            text += digits.substr(0, integerDigits) + "." + digits.substr(integerDigits);
        }
    }
    return text;
}

} // namespace

ParsedNumber ParseFieldNumber(std::string_view text) {
    if (text.empty() || ScanNumber(text, "Ee") != text.size())
        return {NumberParse::NotANumber, 0.0};
    return Convert(std::string(text));
}

ParsedNumber ParseLeadingNumber(std::string_view text) {
    std::string compact;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            compact += c;
    std::size_t length = ScanNumber(compact, "EeDd");
    if (length == 0)
        return {NumberParse::Ok, 0.0};
    return Convert(compact.substr(0, length));
}

std::string FormatNumber(double value) { return Format(value, -4); }

std::string FormatDelimitedNumber(double value) {
    return Format(value, std::numeric_limits<int>::min());
}

std::string PrintedNumber(double value) {
    if (value < 0)
        return FormatNumber(value) + " ";
    return " " + FormatNumber(value == 0.0 ? 0.0 : value) + " ";
}

} // namespace kovarim
