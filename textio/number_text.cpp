#include "textio/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

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

// Whether a number that no double holds is too large rather than too small:
// its first significant digit stands at 10^0 or above. Text already known
// to be a number, exponent letter E or e.
bool BeyondTheLargest(std::string_view text) {
    const std::size_t e = std::min(text.find_first_of("Ee"), text.size());
    const std::string_view mantissa = text.substr(0, e);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return false; // zero underflows to nothing
    // The power of ten of the first significant digit, before the exponent.
    long long power = first < point ? static_cast<long long>(point - first) - 1
                                    : -static_cast<long long>(first - point);
    long long exponent = 0;
    std::string_view digits = e < text.size() ? text.substr(e + 1) : std::string_view();
    const bool negative = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+'))
        digits.remove_prefix(1);
    for (char c : digits) // saturates: far beyond any double either way
        exponent = std::min(exponent * 10 + (c - '0'), 1LL << 40);
    return power + (negative ? -exponent : exponent) >= 0;
}

// Converts text already known to be a number (exponent letter E or e, no
// leading "+"). from_chars rounds correctly, ignores the locale, and is the
// same code on every system, so every system reads the same doubles. A value
// below the smallest double reads as what rounding gives, 0 (a subnormal
// where one is near); one beyond the largest is OutOfRange.
ParsedNumber Convert(std::string_view text) {
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (BeyondTheLargest(text))
            return {NumberParse::OutOfRange, 0.0};
        return {NumberParse::Ok, text[0] == '-' ? -0.0 : 0.0};
    }
    if (ec != std::errc() || end != text.data() + text.size())
        return {NumberParse::NotANumber, 0.0};
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
    // Appended piece by piece: GCC 12 at -O3 sees a false overlap in
    // "literal" + string (-Wrestrict).
    if (exponent >= 15 || exponent < smallestPlain) {
        text += digits[0];
        if (digits.size() > 1) {
            text += '.';
            text.append(digits, 1);
        }
        text += exponent < 0 ? "E-" : "E+";
        if (std::abs(exponent) < 10)
            text += '0';
        text += std::to_string(std::abs(exponent));
    } else if (exponent < 0) {
        text += "0.";
        text.append(static_cast<std::size_t>(-exponent - 1), '0');
        text += digits;
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

// A plain decimal of at most 15 digits without exponent, as most coordinates
// are, is an exact integer over an exact power of ten: one division, which
// rounds correctly, gives the correctly rounded double. Nothing for any other text.
std::optional<double> ShortDecimal(std::string_view text) {
    static constexpr double powers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        ++i;
    std::uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) {
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            ++digits;
            decimals += point;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || digits > 15)
        return std::nullopt;
    const double value = static_cast<double>(mantissa) / powers[decimals];
    return negative ? -value : value;
}

} // namespace

ParsedNumber ParseFieldNumber(std::string_view text) {
    if (const std::optional<double> value = ShortDecimal(text))
        return {NumberParse::Ok, *value};
    if (text.empty() || ScanNumber(text, "Ee") != text.size())
        return {NumberParse::NotANumber, 0.0};
    return Convert(text[0] == '+' ? text.substr(1) : text);
}

ParsedNumber ParseLeadingNumber(std::string_view text) {
    std::string compact;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            compact += c;
    std::size_t length = ScanNumber(compact, "EeDd");
    if (length == 0)
        return {NumberParse::Ok, 0.0};
    compact.resize(length);
    for (char &c : compact)
        if (c == 'D' || c == 'd')
            c = 'E';
    return Convert(compact[0] == '+' ? std::string_view(compact).substr(1) : compact);
}

std::string FormatNumber(double value) { return Format(value, -4); }

std::string FormatDelimitedNumberReference(double value) {
    return Format(value, std::numeric_limits<int>::min());
}

bool IsDelimitedNumberText(std::string_view text) {
    std::size_t i = text.empty() || text[0] != '-' ? 0 : 1;
    const std::size_t integerStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    const std::size_t integerDigits = i - integerStart;
    if (integerDigits == 0 || integerDigits > 15 ||
        (integerDigits > 1 && text[integerStart] == '0'))
        return false;
    const bool zeroInteger = text[integerStart] == '0';
    std::size_t significant = zeroInteger ? 0 : integerDigits;
    if (i == text.size())
        return !(zeroInteger && integerStart == 1); // "-0" reads as −0, written "0"
    if (text[i] != '.')
        return false;
    const std::size_t fractionStart = ++i;
    bool started = !zeroInteger;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        started = started || text[i] != '0';
        significant += started;
        ++i;
    }
    const std::size_t fractionDigits = i - fractionStart;
    return i == text.size() && fractionDigits > 0 && fractionDigits <= 20 && text.back() != '0' &&
           significant <= 15;
}

void AppendDelimitedNumber(std::string &out, double value) {
    // Most values have at most three decimals (every converted coordinate):
    // n / 1000 with n an integer of at most 15 digits, whose nearest double is
    // the value. Those digits are then the value rounded to 15 digits, as
    // below; written straight from n.
    if (value != 0.0 && std::fabs(value) < 1e12) {
        const double n = std::nearbyint(value * 1000.0);
        if (n / 1000.0 == value) {
            auto whole = static_cast<std::uint64_t>(std::fabs(n));
            char digits[24];
            char *first = digits + sizeof digits;
            const auto thousandths = static_cast<unsigned>(whole % 1000);
            whole /= 1000;
            if (thousandths != 0) {
                unsigned fraction = thousandths;
                int length = 3;
                while (fraction % 10 == 0)
                    fraction /= 10, --length;
                for (int d = 0; d < length; ++d, fraction /= 10)
                    *--first = static_cast<char>('0' + fraction % 10);
                *--first = '.';
            }
            do
                *--first = static_cast<char>('0' + whole % 10);
            while ((whole /= 10) != 0);
            if (value < 0)
                *--first = '-';
            out.append(first, digits + sizeof digits);
            return;
        }
    }
    // The shortest digits that read back to a normal double are, when there
    // are at most 15 of them, also the value rounded to 15 significant digits:
    // they are off by less than half a unit in the last place, far less than
    // half a unit of the 15th digit. (Not so for subnormal numbers, whose last
    // place is coarse.)
    if (std::fabs(value) >= std::numeric_limits<double>::min() && std::fabs(value) < 1e15) {
        char buffer[400]; // the plain form of the smallest double fits
        const auto [end, ec] =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
        if (ec == std::errc()) {
            int significant = 0;
            bool started = false;
            for (const char *c = buffer; c != end; ++c) {
                started = started || (*c >= '1' && *c <= '9');
                significant += started && *c >= '0' && *c <= '9';
            }
            if (significant <= 15) {
                out.append(buffer, end);
                return;
            }
        }
    }
    out += FormatDelimitedNumberReference(value);
}

std::string FormatDelimitedNumber(double value) {
    std::string text;
    AppendDelimitedNumber(text, value);
    return text;
}

std::string PrintedNumber(double value) {
    std::string text = value < 0 ? "" : " ";
    text += FormatNumber(value == 0.0 ? 0.0 : value);
    text += ' ';
    return text;
}

} // namespace kovarim
