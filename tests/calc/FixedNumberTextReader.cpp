#include "FixedNumberTextReader.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <system_error>

namespace calc {
namespace {

// More than the longest fixed number text ("-1.23456789012345E-308" has 22 characters).
constexpr std::size_t kLongestFixedText = 32;

// Reads a fixed number text into its ASCII spelling with a period, checking its form on the way.
class FixedTextReader {
 public:
  FixedTextReader(std::u16string_view text, char16_t separator)
      : text_(text), separator_(separator) {}

  // False when the text is not in the fixed number form.
  bool read() {
    if (text_.size() > ascii_.size()) {
      return false;
    }
    takeIf(u'-', '-');
    if (takeDigits() == 0) {
      return false;
    }
    if (takeIf(separator_, '.') && takeDigits() == 0) {
      return false;
    }
    if (takeIf(u'E', 'e')) {
      negativeExponent_ = at(u'-');
      if (!takeIf(u'+', '+') && !takeIf(u'-', '-')) {
        return false;
      }
      if (takeDigits() < 2) {
        return false;
      }
    }
    return pos_ == text_.size();
  }

  const char* begin() const { return ascii_.data(); }
  const char* end() const { return ascii_.data() + length_; }
  bool negativeExponent() const { return negativeExponent_; }

 private:
  bool at(char16_t c) const { return pos_ < text_.size() && text_[pos_] == c; }

  bool takeIf(char16_t c, char spelling) {
    if (!at(c)) {
      return false;
    }
    ++pos_;
    ascii_[length_++] = spelling;
    return true;
  }

  std::size_t takeDigits() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= u'0' && text_[pos_] <= u'9') {
      ascii_[length_++] = static_cast<char>(text_[pos_++]);
    }
    return pos_ - start;
  }

  std::u16string_view text_;
  char16_t separator_;
  std::array<char, kLongestFixedText> ascii_{};
  std::size_t pos_ = 0;
  std::size_t length_ = 0;
  bool negativeExponent_ = false;
};

}  // namespace

std::optional<double> readFixedNumberText(std::u16string_view text, char16_t decimalSeparator) {
  FixedTextReader reader(text, decimalSeparator);
  if (!reader.read()) {
    return std::nullopt;
  }
  double read = 0.0;
  if (std::from_chars(reader.begin(), reader.end(), read).ec == std::errc::result_out_of_range) {
    if (!reader.negativeExponent()) {
      return std::nullopt;
    }
    // Too small for a subnormal: the nearest double is zero.
    read = *reader.begin() == '-' ? -0.0 : 0.0;
  }
  return read;
}

}  // namespace calc
