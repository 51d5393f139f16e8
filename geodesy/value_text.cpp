#include "geodesy/value_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "base/error.h"

namespace kovarim {
namespace {

constexpr std::array<double, 10> kPowersOfTen = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The nearest integer, exact halves to the even one, whatever the rounding
// mode.
double RoundHalfEven(double x) {
    double r = std::round(x); // halves away from zero
    if (std::fabs(r - x) == 0.5 && std::fmod(r, 2.0) != 0.0)
        r -= std::copysign(1.0, x);
    return r;
}

enum class Parse { Ok, NotANumber, OutOfRange };

// Whether `text` is sign, digits with at most one point, optional exponent.
bool IsDecimal(std::string_view text, bool allowExponent) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (allowExponent && i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < text.size() && IsDigit(text[i]))
            ++i, ++exponentDigits;
        if (exponentDigits == 0)
            return false;
    }
    return i == text.size();
}

// Whether a decimal text too small or too large for a double is too large:
// its first significant digit stands at 10^0 or above.
bool BeyondTheLargest(std::string_view text) {
    const std::size_t e = std::min(text.find_first_of("Ee"), text.size());
    const std::string_view mantissa = text.substr(0, e);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string_view::npos)
        return false;
    const long long power = first < point ? static_cast<long long>(point - first) - 1
                                          : -static_cast<long long>(first - point);
    long long exponent = 0;
    std::string_view digits = e < text.size() ? text.substr(e + 1) : std::string_view();
    const bool negative = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+'))
        digits.remove_prefix(1);
    for (char c : digits)
        exponent = std::min(exponent * 10 + (c - '0'), 1LL << 40);
    return power + (negative ? -exponent : exponent) >= 0;
}

// from_chars rounds correctly and ignores the locale, on every system: the
// same doubles everywhere, and the same as the point files' reader.
Parse ParseDecimal(std::string_view text, bool allowExponent, double &value) {
    if (!IsDecimal(text, allowExponent))
        return Parse::NotANumber;
    if (text[0] == '+')
        text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (BeyondTheLargest(text))
            return Parse::OutOfRange;
        value = text[0] == '-' ? -0.0 : 0.0;
        return Parse::Ok;
    }
    if (ec != std::errc() || end != text.data() + text.size())
        return Parse::NotANumber;
    return Parse::Ok;
}

// Plain decimal text of `value` to 15 significant digits, trailing zeros
// dropped; the exponent form from 1E+15 up. The batch output's rule for
// what has more than 15 significant digits.
std::string FifteenDigits(double value) {
    if (value == 0.0)
        return "0";
    std::array<char, 40> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                         std::fabs(value), std::chars_format::scientific, 14);
    const std::string_view sci(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    const std::size_t ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (c != '.')
            digits += c;
    const int exponent = std::atoi(std::string(sci.substr(ePos + 1)).c_str());
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string text = value < 0 ? "-" : "";
    if (exponent >= 15) {
        text += digits[0];
        if (digits.size() > 1) {
            text += '.';
            text.append(digits, 1);
        }
        text += "E+";
        text += std::to_string(exponent);
    } else if (exponent < 0) {
        text += "0.";
        text.append(static_cast<std::size_t>(-exponent - 1), '0');
        text += digits;
    } else {
        const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= integerDigits) {
            text += digits;
            text.append(integerDigits - digits.size(), '0');
        } else {
            text.append(digits, 0, integerDigits);
            text += '.';
            text.append(digits, integerDigits);
        }
    }
    return text;
}

// The batch output's form of a coordinate (textio's AppendDelimitedNumber):
// a value of at most three decimals straight from its integer of
// thousandths; otherwise the shortest digits when there are at most 15 of
// them, 15 significant digits when there are more.
// n thousandths, n a whole number below 10¹⁵ in magnitude and not 0, as
// the batch output writes n / 1000.
void AppendThousandths(std::string &out, double n) {
    static constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324"
                                     "25262728293031323334353637383940414243444546474849"
                                     "50515253545556575859606162636465666768697071727374"
                                     "75767778798081828384858687888990919293949596979899";
    auto whole = static_cast<std::uint64_t>(std::fabs(n));
    char digits[24];
    char *first = digits + sizeof digits;
    auto fraction = static_cast<unsigned>(whole % 1000);
    whole /= 1000;
    if (fraction != 0) {
        int length = 3;
        while (fraction % 10 == 0)
            fraction /= 10, --length;
        for (int d = 0; d < length; ++d, fraction /= 10)
            *--first = static_cast<char>('0' + fraction % 10);
        *--first = '.';
    }
    for (; whole >= 100; whole /= 100) { // two digits at a time
        const auto pair = static_cast<unsigned>(whole % 100);
        *--first = kPairs[2 * pair + 1];
        *--first = kPairs[2 * pair];
    }
    if (whole >= 10) {
        *--first = kPairs[2 * whole + 1];
        *--first = kPairs[2 * whole];
    } else {
        *--first = static_cast<char>('0' + whole);
    }
    if (n < 0)
        *--first = '-';
    out.append(first, digits + sizeof digits);
}

void AppendDelimited(std::string &out, double value) {
    if (value != 0.0 && std::fabs(value) < 1e12) {
        const double n = RoundHalfEven(value * 1000.0);
        if (n / 1000.0 == value) {
            AppendThousandths(out, n);
            return;
        }
    }
    if (std::fabs(value) >= std::numeric_limits<double>::min() && std::fabs(value) < 1e15) {
        char buffer[400];
        const auto [end, ec] =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
        if (ec == std::errc()) {
            int significant = 0;
            bool started = false;
            for (const char *c = buffer; c != end; ++c) {
                started = started || (*c >= '1' && *c <= '9');
                significant += started && IsDigit(*c);
            }
            if (significant <= 15) {
                out.append(buffer, end);
                return;
            }
        }
    }
    out += FifteenDigits(value);
}

void AppendDms(std::string &out, double value) {
    // In units of 10⁻⁵ arc-seconds, so that a carry (59.999996″) is an
    // integer's: 360° is 1.296·10¹¹ of them, far below 2^53.
    const double units = RoundHalfEven(std::fabs(value) * 3.6e8);
    if (!(units < 0x1p53))
        throw Error("度分秒超出可写的范围" + QuotedForMessage(FifteenDigits(value)));
    auto n = static_cast<std::uint64_t>(units);
    const std::uint64_t degrees = n / 360000000u;
    n %= 360000000u;
    char digits[9]; // mm ss fffff
    const auto minutes = static_cast<unsigned>(n / 6000000u);
    n %= 6000000u;
    digits[0] = static_cast<char>('0' + minutes / 10);
    digits[1] = static_cast<char>('0' + minutes % 10);
    for (int i = 8; i >= 2; --i, n /= 10)
        digits[i] = static_cast<char>('0' + n % 10);
    int length = 9;
    while (length > 0 && digits[length - 1] == '0')
        --length;
    if (units > 0.0 && value < 0)
        out += '-';
    out += std::to_string(degrees);
    if (length > 0) {
        out += '.';
        out.append(digits, static_cast<std::size_t>(length));
    }
}

[[noreturn]] void Refuse(std::string_view name, std::string_view text, const std::string &why) {
    throw Error(std::string(name) + QuotedForMessage(std::string(text)) + why);
}

double ReadDms(std::string_view text, std::string_view name) {
    double check = 0.0;
    const Parse asNumber = ParseDecimal(text, true, check);
    if (asNumber == Parse::NotANumber)
        Refuse(name, text, " 不是数值");
    if (!IsDecimal(text, false))
        Refuse(name, text, " 不是度分秒（ddd.mmssss），不能带指数");
    const bool negative = text[0] == '-';
    if (text[0] == '-' || text[0] == '+')
        text.remove_prefix(1);
    const std::size_t point = std::min(text.find('.'), text.size());
    const std::string_view whole = text.substr(0, point);
    std::string fraction(point < text.size() ? text.substr(point + 1) : std::string_view());
    if (fraction.size() < 4)
        fraction.resize(4, '0');
    double degrees = 0.0;
    if (!whole.empty() && ParseDecimal(whole, false, degrees) != Parse::Ok)
        Refuse(name, text, " 超出双精度数的范围");
    const int minutes = (fraction[0] - '0') * 10 + (fraction[1] - '0');
    const int seconds = (fraction[2] - '0') * 10 + (fraction[3] - '0');
    if (minutes >= 60)
        Refuse(name, text,
               " 的分为 " + std::to_string(minutes) + "，度分秒（ddd.mmssss）的分应小于 60");
    if (seconds >= 60)
        Refuse(name, text,
               " 的秒为 " + std::to_string(seconds) + "，度分秒（ddd.mmssss）的秒应小于 60");
    double decimals = 0.0;
    if (fraction.size() > 4)
        ParseDecimal("0." + fraction.substr(4), false, decimals);
    // The whole seconds are an exact integer; one rounding adds the decimals,
    // one more divides.
    const double totalSeconds = (degrees * 3600.0 + (minutes * 60 + seconds)) + decimals;
    const double value = totalSeconds / 3600.0;
    if (!std::isfinite(value))
        Refuse(name, text, " 超出双精度数的范围");
    return negative ? -value : value;
}

} // namespace

double RoundedToPlaces(double value, int places) {
    const double factor = kPowersOfTen[static_cast<std::size_t>(std::clamp(places, 0, 9))];
    return RoundHalfEven(value * factor) / factor;
}

void AppendValue(std::string &out, ValueForm form, double value) {
    if (!std::isfinite(value))
        throw Error("数值溢出：坐标超出双精度数的范围");
    switch (form) {
    case ValueForm::Metres:
        // Every coordinate: its thousandths written straight away, what
        // rounding and AppendDelimited would give (n/1000·1000 rounds back to n).
        if (std::fabs(value) < 1e11) {
            const double n = RoundHalfEven(value * 1000.0);
            if (n == 0.0)
                out += '0';
            else
                AppendThousandths(out, n);
            break;
        }
        [[fallthrough]];
    case ValueForm::Degrees: {
        const double rounded = RoundedToPlaces(value, form == ValueForm::Metres ? 3 : 9);
        if (!std::isfinite(rounded))
            throw Error("数值溢出：坐标超出双精度数的范围");
        AppendDelimited(out, rounded);
        break;
    }
    case ValueForm::Dms:
        AppendDms(out, value);
        break;
    }
}

std::string FormatValue(ValueForm form, double value) {
    std::string text;
    AppendValue(text, form, value);
    return text;
}

std::optional<double> ReadDecimal(std::string_view text) {
    double value = 0.0;
    if (ParseDecimal(text, true, value) != Parse::Ok)
        return std::nullopt;
    return value;
}

std::string ShortestText(double value) {
    if (value == 0.0)
        return "0";
    // Plain digits where they are not much longer than the exponent form
    // (500000, not 5e+05; 0.0000001, not 1e-07).
    const double magnitude = std::fabs(value);
    const bool plain = magnitude >= 1e-7 && magnitude < 1e15;
    char buffer[32];
    const auto [end, ec] =
        plain ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
              : std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, ec == std::errc() ? end : buffer);
}

double ReadValue(ValueForm form, std::string_view text, std::string_view name) {
    if (form == ValueForm::Dms)
        return ReadDms(text, name);
    double value = 0.0;
    switch (ParseDecimal(text, true, value)) {
    case Parse::Ok:
        return value;
    case Parse::OutOfRange:
        Refuse(name, text, " 超出双精度数的范围");
    case Parse::NotANumber:
        break;
    }
    Refuse(name, text, " 不是数值");
}

} // namespace kovarim
