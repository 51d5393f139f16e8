#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kovarim {

// The text forms of coordinate values, read and written. The number forms
// are those of the point files (textio/number_text.h) and the rounding that of
// the converted coordinates (model's RoundToPlaces), rewritten here because
// the geodesy depends on nothing but base; tests hold the two to the same
// bytes.

// How a value is written.
enum class ValueForm {
    Metres,  // rounded to 3 decimals: 2860228.818, 12.5, 0
    Degrees, // decimal degrees rounded to 9 decimals: 30.508680556
    Dms,     // ddd.mmssss, seconds rounded to 5 decimals: 30.302515 is 30°30′25.15″
};

// `value` rounded to `places` decimals (0 to 9), exact halves of
// value·10^places to the even integer, as RoundToPlaces rounds. Finite in,
// finite out (no overflow for |value| < 10^290).
double RoundedToPlaces(double value, int places);

// The written form of `value`, finite. Metres and Degrees: rounded as above,
// then written as the batch output writes a coordinate: no trailing zeros, no
// point for a whole number, "-" for a negative one, 0 for anything that
// rounds to zero (also from below); the same bytes as textio's
// AppendDelimitedNumber(RoundToPlaces(value, 3)) for metres, for every value.
// Dms: the magnitude rounded to 10⁻⁵ arc-seconds, then degrees, a point, two
// digits of minutes, two of seconds and five decimals of seconds, with the
// trailing zeros (and a point with nothing after it) dropped as above:
// 30.302515, 30.05 (30°05′), 120, -0.000000001 (−0.00001″). A carry is
// propagated: 29°59′59.999996″ is written 30.
std::string FormatValue(ValueForm form, double value);
void AppendValue(std::string &out, ValueForm form, double value);

// A decimal number as the point files hold it: optional sign, digits with at
// most one point, optional exponent (E or e, optional sign, digits), nothing
// else, not even a blank. The same double as textio's ParseFieldNumber.
// Nothing for any other text, or for a magnitude beyond the largest double.
std::optional<double> ReadDecimal(std::string_view text);

// The shortest decimal text that ReadDecimal reads back to the same double:
// plain digits from 10⁻⁷ to below 10¹⁵ (500000, 0.0000001), the exponent form
// beyond (1e-08, 1e+15); no "+"; "0" for −0.
std::string ShortestText(double value);

// Reads a value's text in a form: a decimal number (Metres, Degrees), or
// ddd.mmssss (Dms: optional sign, degrees, optionally a point followed by two
// digits of minutes, two of seconds and any decimals of seconds; missing
// digits are zeros, so 30.3 is 30°30′ and 30.30251 is 30°30′25.1″; no
// exponent). Throws Error, its problem naming the value by `name` (B, L,
// x, ...) and quoting the text: not a number; minutes or seconds of 60 or
// more. The text is UTF-8 (the file's bytes decoded). Ranges (B within ±90°,
// ...) are the coordinate system's to check.
double ReadValue(ValueForm form, std::string_view text, std::string_view name);

} // namespace kovarim
