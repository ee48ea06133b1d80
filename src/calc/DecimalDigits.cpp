#include "DecimalDigits.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace calc {
namespace {

// Written exponents stop growing here: far beyond any double, yet far from the int64 limits.
constexpr std::int64_t kExponentSaturation = 1'000'000'000'000;

// Powers of ten of a first significant digit beyond which the nearest double is infinite or zero
// (the largest double is about 1.8E308, the smallest subnormal about 4.9E-324). Checked before
// from_chars so that its input stays short.
constexpr std::int64_t kHighestFinitePower = 308;
constexpr std::int64_t kLowestNonZeroPower = -324;

int digitValue(char16_t digit) {
  return digit - u'0';
}

}  // namespace

void DecimalDigits::keep(char16_t digit) {
  digits_[count_++] = static_cast<char>(digit);
}

void DecimalDigits::addIntegerDigit(char16_t digit) {
  mantissaDigit_ = true;
  if (count_ == 0 && digit == u'0') {
    return;
  }
  if (count_ < kKeptDigits) {
    keep(digit);
    return;
  }
  droppedNonZero_ = droppedNonZero_ || digit != u'0';
  ++scale_;
}

void DecimalDigits::addFractionDigit(char16_t digit) {
  mantissaDigit_ = true;
  if (count_ == 0 && digit == u'0') {
    --scale_;
    return;
  }
  if (count_ < kKeptDigits) {
    keep(digit);
    --scale_;
    return;
  }
  droppedNonZero_ = droppedNonZero_ || digit != u'0';
}

void DecimalDigits::addExponentDigit(char16_t digit) {
  if (exponent_ < kExponentSaturation) {
    exponent_ = exponent_ * 10 + digitValue(digit);
  }
}

LeadingNumber DecimalDigits::toDouble() const {
  if (count_ == 0) {
    return {};
  }
  // The kept digits, a "1" standing for the dropped ones when any of them is nonzero (it moves
  // the value off a midpoint the same way they do), then "e" and the power of ten.
  std::array<char, kKeptDigits + 24> text;
  std::copy_n(digits_.begin(), count_, text.begin());
  std::size_t length = count_;
  std::int64_t power = scale_ + exponent_;
  if (droppedNonZero_) {
    text[length++] = '1';
    --power;
  }
  const std::int64_t firstDigitPower = power + static_cast<std::int64_t>(length) - 1;
  if (firstDigitPower > kHighestFinitePower) {
    return {.value = 0.0, .overflow = true};
  }
  if (firstDigitPower < kLowestNonZeroPower) {
    return {};
  }
  text[length++] = 'e';
  const char* const end = std::to_chars(text.data() + length, text.data() + text.size(), power).ptr;
  double value = 0.0;
  if (std::from_chars(text.data(), end, value).ec == std::errc::result_out_of_range) {
    // from_chars reports both ends of the range alike, and leaves `value` alone.
    if (firstDigitPower > 0) {
      return {.value = 0.0, .overflow = true};
    }
    return {};
  }
  return {.value = value, .overflow = false};
}

}  // namespace calc
