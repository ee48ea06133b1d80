#include "SimpleEvaluator.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace fuzzing {
namespace {

using calc::EvalOutcome;
using calc::EvalStatus;

bool isSeparator(char16_t c) {
  return c == u'/' || c == u'*' || c == u'%' || c == u'+' || c == u'-' || c == u'\0';
}

bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The leading number of an operand spelled for strtod, "0" when it holds none: blanks dropped,
// then digits, an optional period and digits, and an "E" with digits only when a digit follows.
std::string numberSpelling(std::u16string_view operand) {
  std::string chars;
  for (const char16_t c : operand) {
    if (!isBlank(c)) {
      chars += c < 0x80 ? static_cast<char>(c) : '?';
    }
  }
  chars += '?';  // stops every scan below
  std::size_t end = 0;
  std::size_t digits = 0;
  while (isDigit(chars[end])) {
    ++end;
    ++digits;
  }
  if (chars[end] == '.') {
    ++end;
    while (isDigit(chars[end])) {
      ++end;
      ++digits;
    }
  }
  if (digits == 0) {
    return "0";
  }
  if ((chars[end] == 'E' || chars[end] == 'e') && isDigit(chars[end + 1])) {
    end += 2;
    while (isDigit(chars[end])) {
      ++end;
    }
  }
  return chars.substr(0, end);
}

double displayed(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.14e", value);
  return std::strtod(text, nullptr);
}

bool fitsInt32(double integral) {
  return integral >= -2147483648.0 && integral <= 2147483647.0;
}

EvalStatus combine(char16_t op, double number, double& accumulator) {
  switch (op) {
    case u'/':
      if (number == 0.0) {
        return EvalStatus::DivisionByZero;
      }
      accumulator = accumulator / number;
      break;
    case u'*':
      accumulator = accumulator * number;
      break;
    case u'+':
      accumulator = accumulator + number;
      break;
    case u'-':
      accumulator = accumulator - number;
      break;
    case u'%': {
      const double divisor = std::nearbyint(number);
      if (divisor == 0.0) {
        return EvalStatus::DivisionByZero;
      }
      const double dividend = std::nearbyint(accumulator);
      if (!fitsInt32(dividend) || !fitsInt32(divisor)) {
        return EvalStatus::OutOfRange;
      }
      accumulator = std::fmod(dividend, divisor);
      break;
    }
    default:  // U+0000 typed inside the text combines nothing
      break;
  }
  return std::isfinite(accumulator) ? EvalStatus::Value : EvalStatus::OutOfRange;
}

}  // namespace

EvalOutcome simpleEvaluate(std::u16string_view expression) {
  std::vector<std::u16string_view> operands;
  std::vector<char16_t> operators;
  std::size_t start = 0;
  for (std::size_t p = 0; p < expression.size(); ++p) {
    if (isSeparator(expression[p])) {
      operands.push_back(expression.substr(start, p - start));
      operators.push_back(expression[p]);
      start = p + 1;
    }
  }
  operands.push_back(expression.substr(start));

  double accumulator = 0.0;
  for (std::size_t i = 0; i < operands.size(); ++i) {
    const double number = std::strtod(numberSpelling(operands[i]).c_str(), nullptr);
    if (std::isinf(number)) {
      return {EvalStatus::OutOfRange, 0.0};
    }
    if (i == 0) {
      accumulator = number;
    } else if (const EvalStatus status = combine(operators[i - 1], number, accumulator);
               status != EvalStatus::Value) {
      return {status, 0.0};
    }
  }
  const double result = displayed(accumulator);
  if (!std::isfinite(result)) {
    return {EvalStatus::OutOfRange, 0.0};
  }
  return {EvalStatus::Value, result};
}

}  // namespace fuzzing
