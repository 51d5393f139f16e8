#pragma once

#include <string>
#include <string_view>

namespace kovarim {

// Text to number --------------------------------------------------------------

enum class NumberParse { Ok, NotANumber, OutOfRange };

struct ParsedNumber {
    NumberParse status = NumberParse::NotANumber;
    double value = 0.0;
};

// A whole field of a data file: optional sign, digits with at most one point
// (always a point, whatever the locale), optional exponent (E or e, optional
// sign, digits). Nothing else may stand in the field. A value below the
// smallest double reads as that rounding gives (0 or a subnormal); one beyond
// the largest is OutOfRange.
ParsedNumber ParseFieldNumber(std::string_view text);

// The rule of the window's input boxes: blanks, tabs and line feeds anywhere
// are ignored, then the longest number at the start is read (the exponent may
// be written with E or D); the rest is ignored. No number at the start reads
// as 0. Only a value beyond the double range fails (OutOfRange).
ParsedNumber ParseLeadingNumber(std::string_view text);

// Number to text --------------------------------------------------------------

// Plain decimal text: at most 15 significant digits, no trailing zeros, no
// point for whole numbers, "-" for negatives, a 0 before the point below 1.
// Magnitudes of 1E+15 and more, and below 1E-04, take the exponent form
// mantissa, "E", sign, at least two digits (4.5E-06, 1.2E+15). Zero, also
// negative zero, is "0".
std::string FormatNumber(double value);

// The batch output's delimited form: as FormatNumber, but every magnitude
// below 1E+15 in plain decimal form (0.00001, not 1E-05).
std::string FormatDelimitedNumber(double value);
// The same appended to `out`, fast: no allocation for a coordinate.
void AppendDelimitedNumber(std::string &out, double value);
// Whether `text` (a field as a file holds it) is already the delimited form
// of the number it reads as, so that an echo may copy it: optional "-",
// "0" or digits without a leading zero (at most 15), optionally a point and
// digits not ending in 0 (at most 20), at most 15 significant digits in all,
// not "-0". Such a text is the unique decimal of at most 15 significant
// digits that reads as its double, which is what AppendDelimitedNumber
// writes for it. False says nothing: the number is then written anew.
bool IsDelimitedNumberText(std::string_view text);
// The same computed the plain, slow way that the fast one must equal; for
// tests and fuzzing.
std::string FormatDelimitedNumberReference(double value);

// The accuracy report's printed form: "-" for a negative value or a space,
// then the plain digits, then one space (" 0 " for zero).
std::string PrintedNumber(double value);

} // namespace kovarim
