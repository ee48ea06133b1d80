#pragma once

#include <string_view>

namespace calc {

// How an evaluation ended. The calculator screen turns the two reports into messages; the core
// itself never talks to the user.
enum class EvalStatus {
  Value,           // the expression came to `value`
  DivisionByZero,  // a "/" or "%" met a zero divisor; `value` is 0
  OutOfRange,      // an operand or a result left the double range, or a "%" operand left the
                   // 32-bit signed range; `value` is 0 and must not be shown
};

struct EvalOutcome {
  EvalStatus status = EvalStatus::Value;
  double value = 0.0;

  friend bool operator==(const EvalOutcome&, const EvalOutcome&) = default;
};

// Evaluates an expression strictly from left to right: the five operators "/", "*", "%", "+" and
// "-" have no precedence and there are no parentheses, so "2+3*4" is 20. Every other character
// belongs to an operand, which is read with readLeadingNumber; an empty operand is 0. The value is
// rounded to 15 significant digits, as the calculator shows it. Any text is accepted, of any
// length; a U+0000 inside it separates like an operator that combines nothing, so the operand
// after it is dropped ("5\0 3" is 5).
EvalOutcome evaluateLeftToRight(std::u16string_view expression);

}  // namespace calc
