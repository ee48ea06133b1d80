#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "NumberText.h"

namespace calc {

// The digits of a decimal number as the leading-number reading meets them, turned into the nearest
// double at the end. Digit runs of any length are taken one digit at a time into bounded storage,
// so that no operand, however long its digits or its exponent, can overflow a counter or make the
// conversion slow.
class DecimalDigits {
 public:
  void addIntegerDigit(char16_t digit);
  void addFractionDigit(char16_t digit);
  void addExponentDigit(char16_t digit);

  // True once a digit, zero or not, stands before the exponent letter.
  bool hasMantissaDigit() const { return mantissaDigit_; }

  // The double nearest to the digits met so far: 0 without any nonzero digit; 0 or a subnormal
  // for values below the smallest double; `overflow` for values beyond the largest.
  LeadingNumber toDouble() const;

  // Significant digits kept. Every double and every midpoint between two neighbouring doubles is
  // written exactly with fewer significant digits, so beyond these only whether a further digit is
  // nonzero can change the nearest double.
  static constexpr std::size_t kKeptDigits = 800;

 private:
  void keep(char16_t digit);

  std::array<char, kKeptDigits> digits_;  // significant digits, no leading zeros
  std::size_t count_ = 0;
  bool droppedNonZero_ = false;  // a nonzero digit beyond the kept ones
  bool mantissaDigit_ = false;
  std::int64_t scale_ = 0;     // the value is digits_ × 10^(scale_ + exponent_)
  std::int64_t exponent_ = 0;  // the written exponent, saturated
};

}  // namespace calc
