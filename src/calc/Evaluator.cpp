#include "Evaluator.h"

#include <cmath>
#include <cstdint>
#include <optional>

#include "NumberText.h"

namespace calc {
namespace {

// The evaluator's own operator list, independent of the screen's operator table. `First` stands
// before the first separator: the first operand becomes the accumulator as it is.
enum class Operator { First, Divide, Multiply, Remainder, Add, Subtract, Sentinel };

// The character U+0000 closes the last operand. Typed inside the expression it is a separator
// too, one that combines nothing: the operand after it is read and dropped.
constexpr char16_t kSentinel = u'\0';

std::optional<Operator> separatorAt(char16_t c) {
  switch (c) {
    case u'/':
      return Operator::Divide;
    case u'*':
      return Operator::Multiply;
    case u'%':
      return Operator::Remainder;
    case u'+':
      return Operator::Add;
    case u'-':
      return Operator::Subtract;
    case kSentinel:
      return Operator::Sentinel;
    default:
      return std::nullopt;
  }
}

// Rounds to the nearest integer with halves going to the even neighbour (2.5 gives 2, 3.5 gives
// 4), whatever rounding mode the floating-point environment is in.
double roundHalfToEven(double x) {
  if (std::fabs(x - std::trunc(x)) != 0.5) {
    return std::round(x);
  }
  return 2.0 * std::round(x / 2.0);
}

// An integral double as an int32, or nothing when it lies outside that range; converting such a
// value would be undefined.
std::optional<std::int32_t> toInt32(double integral) {
  constexpr double kLowest = -2147483648.0;
  constexpr double kHighest = 2147483647.0;
  // Asked this way round, NaN (which fails every comparison) is out of range too.
  const bool inRange = integral >= kLowest && integral <= kHighest;
  if (!inRange) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(integral);
}

// The "%" step: both sides rounded to 32-bit integers, the remainder taking the dividend's sign.
// A divisor rounding to 0 is a division by zero even when the dividend is out of range.
EvalStatus applyRemainder(double divisor, double& accumulator) {
  const double roundedDivisor = roundHalfToEven(divisor);
  if (roundedDivisor == 0.0) {
    return EvalStatus::DivisionByZero;
  }
  const std::optional<std::int32_t> d = toInt32(roundedDivisor);
  const std::optional<std::int32_t> a = toInt32(roundHalfToEven(accumulator));
  if (!d || !a) {
    return EvalStatus::OutOfRange;
  }
  // Widened so that the smallest int32 modulo -1 cannot trap.
  accumulator = static_cast<double>(std::int64_t{*a} % std::int64_t{*d});
  return EvalStatus::Value;
}

// Combines a complete operand with the accumulator by the pending operator.
EvalStatus combine(Operator pending, double number, double& accumulator) {
  switch (pending) {
    case Operator::First:
      accumulator = number;
      break;
    case Operator::Divide:
      if (number == 0.0) {
        return EvalStatus::DivisionByZero;
      }
      accumulator /= number;
      break;
    case Operator::Multiply:
      accumulator = number * accumulator;
      break;
    case Operator::Remainder:
      if (const EvalStatus status = applyRemainder(number, accumulator);
          status != EvalStatus::Value) {
        return status;
      }
      break;
    case Operator::Add:
      accumulator = number + accumulator;
      break;
    case Operator::Subtract:
      accumulator -= number;
      break;
    case Operator::Sentinel:
      break;
  }
  return std::isfinite(accumulator) ? EvalStatus::Value : EvalStatus::OutOfRange;
}

EvalOutcome report(EvalStatus status) {
  return {.status = status, .value = 0.0};
}

}  // namespace

EvalOutcome evaluateLeftToRight(std::u16string_view expression) {
  double accumulator = 0.0;
  Operator pending = Operator::First;
  std::size_t numberStart = 0;
  // One pass; position size() is the sentinel that follows the expression and closes its last
  // operand. Past it the pending operator is the sentinel, which would change nothing.
  for (std::size_t p = 0; p <= expression.size(); ++p) {
    const std::optional<Operator> separator =
        p < expression.size() ? separatorAt(expression[p]) : Operator::Sentinel;
    if (!separator) {
      continue;
    }
    const LeadingNumber number = readLeadingNumber(expression.substr(numberStart, p - numberStart));
    if (number.overflow) {
      return report(EvalStatus::OutOfRange);
    }
    if (const EvalStatus status = combine(pending, number.value, accumulator);
        status != EvalStatus::Value) {
      return report(status);
    }
    pending = *separator;
    numberStart = p + 1;
  }
  // What the fixed number text reads back as, whatever the decimal separator; rounding to 15
  // digits can carry the largest doubles past the range.
  const double result = roundToDisplayedDigits(accumulator);
  if (!std::isfinite(result)) {
    return report(EvalStatus::OutOfRange);
  }
  return {.status = EvalStatus::Value, .value = result};
}

}  // namespace calc
