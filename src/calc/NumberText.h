#pragma once

#include <string>
#include <string_view>

namespace calc {

// The number at the start of a text, as the calculator reads every operand.
struct LeadingNumber {
  double value = 0.0;
  bool overflow = false;  // the text's number lies beyond the double range; `value` is then 0
};

// Reads the number at the start of `text`: blanks, tabs and line feeds are ignored wherever they
// stand; then the longest run of ASCII digits, an optional period and more digits, and an optional
// exponent ("E" or "e" and at least one digit, no sign) is taken. Stops at the first character that
// cannot continue the number and never fails: a text without a digit reads as 0. Only the period is
// a decimal separator, whatever the user's regional settings say.
LeadingNumber readLeadingNumber(std::u16string_view text);

// The calculator's text form of a double: rounded to 15 significant digits, "-" for negative values
// (negative zero is "0"), no grouping, and `decimalSeparator` between the integer and fractional
// digits. Magnitudes from 1E-4 up to but excluding 1E15 are written in plain form ("20", "2.5",
// "0.0001"); others in exponent form ("1E+15", "1.5E-05"). A value that is not finite, which the
// calculator never shows, is written "inf", "-inf" or "nan".
std::u16string fixedNumberText(double value, char16_t decimalSeparator);

// The double nearest to `value` rounded to 15 significant decimal digits; what a fixed number text
// read back gives. Not finite when rounding carries past the largest double.
double roundToDisplayedDigits(double value);

}  // namespace calc
