#include "FixedNumberTextReader.h"

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

namespace calc {
namespace {

std::size_t skipDigits(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    ++pos;
  }
  return pos - start;
}

// An optional "-", digits, optionally a period and digits, optionally "E", a sign and two or more
// digits.
bool hasFixedForm(std::string_view text) {
  std::size_t pos = text.starts_with('-') ? 1 : 0;
  if (skipDigits(text, pos) == 0) {
    return false;
  }
  if (text.substr(pos).starts_with('.')) {
    ++pos;
    if (skipDigits(text, pos) == 0) {
      return false;
    }
  }
  if (text.substr(pos).starts_with("E+") || text.substr(pos).starts_with("E-")) {
    pos += 2;
    if (skipDigits(text, pos) < 2) {
      return false;
    }
  }
  return pos == text.size();
}

}  // namespace

std::optional<double> readFixedNumberText(std::u16string_view text, char16_t decimalSeparator) {
  // More than the longest fixed number text ("-1.23456789012345E-308" has 22 characters).
  constexpr std::size_t kLongestFixedText = 32;
  if (text.size() > kLongestFixedText) {
    return std::nullopt;
  }
  // The text in ASCII with a period; any character the form has no place for rejects it.
  std::string ascii;
  for (const char16_t c : text) {
    if (c == decimalSeparator) {
      ascii += '.';
    } else if ((c >= u'0' && c <= u'9') || c == u'-' || c == u'+' || c == u'E') {
      ascii += static_cast<char>(c);
    } else {
      return std::nullopt;
    }
  }
  if (!hasFixedForm(ascii)) {
    return std::nullopt;
  }
  double read = 0.0;
  const char* end = ascii.data() + ascii.size();
  if (std::from_chars(ascii.data(), end, read).ec == std::errc::result_out_of_range) {
    if (ascii.find("E-") == std::string::npos) {
      return std::nullopt;
    }
    // Too small for a subnormal: the nearest double is zero.
    read = ascii.front() == '-' ? -0.0 : 0.0;
  }
  return read;
}

}  // namespace calc
