#include "NumberText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <system_error>

#include "DecimalDigits.h"

namespace calc {
namespace {

// The calculator shows 15 significant digits; to_chars' precision counts those after the first.
constexpr int kDisplayedDigits = 15;

// Decimal exponents (of the first significant digit) written in plain form: 1E-4 <= |x| < 1E15.
constexpr int kPlainMinExponent = -4;
constexpr int kPlainMaxExponent = 14;

// More than the longest fixed number text ("-1.23456789012345E-308" has 22 characters).
constexpr std::size_t kLongestFixedText = 32;

bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n';
}

bool isAsciiDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// A double rounded to 15 significant digits: its digits without trailing zeros and the power of
// ten of the first one.
struct RoundedDecimal {
  std::array<char, kDisplayedDigits> digits{};
  int count = 0;
  int exponent = 0;
  bool negative = false;
};

// The spelling "-d.ddddddddddddddde+dd" of a finite double: correctly rounded to 15 significant
// digits, and locale-free.
struct ScientificText {
  std::array<char, 32> chars{};
  std::size_t length = 0;

  const char* begin() const { return chars.data(); }
  const char* end() const { return chars.data() + length; }
};

ScientificText scientificText(double value) {
  ScientificText text;
  const char* const end = std::to_chars(text.chars.data(), text.chars.data() + text.chars.size(),
                                        value, std::chars_format::scientific, kDisplayedDigits - 1)
                              .ptr;
  text.length = static_cast<std::size_t>(end - text.chars.data());
  return text;
}

// `value` must be finite and not zero.
RoundedDecimal roundedDecimal(double value) {
  const ScientificText text = scientificText(value);
  // The text is "-d.ddddddddddddddde+dd": an optional sign, 15 digits with a period after the
  // first, then the exponent.
  const char* p = text.begin();
  RoundedDecimal rounded;
  rounded.negative = *p == '-';
  if (rounded.negative) {
    ++p;
  }
  for (; *p != 'e'; ++p) {
    if (*p != '.') {
      rounded.digits[static_cast<std::size_t>(rounded.count++)] = *p;
    }
  }
  ++p;
  if (*p == '+') {
    ++p;
  }
  std::from_chars(p, text.end(), rounded.exponent);
  while (rounded.count > 1 && rounded.digits[static_cast<std::size_t>(rounded.count - 1)] == '0') {
    --rounded.count;
  }
  return rounded;
}

void appendDigits(std::u16string& out, const RoundedDecimal& rounded, int from, int to) {
  for (int i = from; i < to; ++i) {
    out += static_cast<char16_t>(rounded.digits[static_cast<std::size_t>(i)]);
  }
}

void appendPlain(std::u16string& out, const RoundedDecimal& rounded, char16_t separator) {
  if (rounded.exponent < 0) {
    out += u'0';
    out += separator;
    out.append(static_cast<std::size_t>(-rounded.exponent - 1), u'0');
    appendDigits(out, rounded, 0, rounded.count);
    return;
  }
  const int integerDigits = rounded.exponent + 1;
  for (int i = 0; i < integerDigits; ++i) {
    out += i < rounded.count ? static_cast<char16_t>(rounded.digits[static_cast<std::size_t>(i)])
                             : u'0';
  }
  if (rounded.count > integerDigits) {
    out += separator;
    appendDigits(out, rounded, integerDigits, rounded.count);
  }
}

void appendExponentForm(std::u16string& out, const RoundedDecimal& rounded, char16_t separator) {
  appendDigits(out, rounded, 0, 1);
  if (rounded.count > 1) {
    out += separator;
    appendDigits(out, rounded, 1, rounded.count);
  }
  out += u'E';
  out += rounded.exponent < 0 ? u'-' : u'+';
  const int magnitude = std::abs(rounded.exponent);
  if (magnitude < 10) {
    out += u'0';
  }
  std::array<char, 8> digits{};
  const char* const end =
      std::to_chars(digits.data(), digits.data() + digits.size(), magnitude).ptr;
  for (const char* p = digits.data(); p != end; ++p) {
    out += static_cast<char16_t>(*p);
  }
}

}  // namespace

LeadingNumber readLeadingNumber(std::u16string_view text) {
  enum class Part { Integer, Fraction, ExponentLetter, Exponent };
  DecimalDigits number;
  Part part = Part::Integer;
  for (const char16_t c : text) {
    if (isBlank(c)) {
      continue;
    }
    if (isAsciiDigit(c)) {
      if (part == Part::Integer) {
        number.addIntegerDigit(c);
      } else if (part == Part::Fraction) {
        number.addFractionDigit(c);
      } else {
        number.addExponentDigit(c);
        part = Part::Exponent;
      }
    } else if (c == u'.' && part == Part::Integer) {
      part = Part::Fraction;
    } else if ((c == u'E' || c == u'e') && number.hasMantissaDigit() &&
               (part == Part::Integer || part == Part::Fraction)) {
      // Taken only if a digit follows; until then the exponent stays 0.
      part = Part::ExponentLetter;
    } else {
      break;
    }
  }
  return number.toDouble();
}

std::u16string fixedNumberText(double value, char16_t decimalSeparator) {
  if (std::isnan(value)) {
    return u"nan";
  }
  if (std::isinf(value)) {
    return value < 0 ? u"-inf" : u"inf";
  }
  if (value == 0.0) {
    return u"0";  // negative zero too
  }
  const RoundedDecimal rounded = roundedDecimal(value);
  std::u16string out;
  out.reserve(kLongestFixedText);
  if (rounded.negative) {
    out += u'-';
  }
  if (rounded.exponent >= kPlainMinExponent && rounded.exponent <= kPlainMaxExponent) {
    appendPlain(out, rounded, decimalSeparator);
  } else {
    appendExponentForm(out, rounded, decimalSeparator);
  }
  return out;
}

double roundToDisplayedDigits(double value) {
  if (!std::isfinite(value)) {
    return value;
  }
  if (value == 0.0) {
    return 0.0;  // as "0" reads back, whatever the sign
  }
  const ScientificText text = scientificText(value);
  double rounded = 0.0;
  if (std::from_chars(text.begin(), text.end(), rounded).ec == std::errc::result_out_of_range) {
    // Only a carry past the largest double gets here: 15 digits never round a subnormal to zero.
    return std::copysign(std::numeric_limits<double>::infinity(), value);
  }
  return rounded;
}

}  // namespace calc
