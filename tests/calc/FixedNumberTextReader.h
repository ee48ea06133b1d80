#pragma once

#include <optional>
#include <string_view>

namespace calc {

// Reads a text written by fixedNumberText with the same separator back to the nearest double: how
// the tests and the fuzzer check that a shown result stands for the value it came from. Empty for
// a text not of that form (an optional "-", digits, optionally the separator and digits,
// optionally "E", a sign and two or more digits) or whose value lies beyond the double range; a
// value too small for any double reads as 0.
std::optional<double> readFixedNumberText(std::u16string_view text, char16_t decimalSeparator);

}  // namespace calc
