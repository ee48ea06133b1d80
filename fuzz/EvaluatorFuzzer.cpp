// Feeds any text to the left-to-right evaluator. Checked on every input: the evaluator returns
// instead of throwing; its outcome is a finite number or a report (with 0); the number is already
// rounded to the 15 digits the calculator shows, and its fixed number text reads back to the same
// double with either decimal separator; and the outcome equals that of a plain second evaluator.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "Evaluator.h"
#include "FixedNumberTextReader.h"
#include "FuzzCheck.h"
#include "FuzzText.h"
#include "NumberText.h"
#include "SimpleEvaluator.h"

namespace {

using fuzzing::require;

calc::EvalOutcome evaluateWithoutThrowing(std::u16string_view text) {
  try {
    return calc::evaluateLeftToRight(text);
  } catch (...) {
    require(false, "the evaluator returns instead of throwing");
  }
  return {};
}

void checkShownNumber(double value) {
  require(calc::roundToDisplayedDigits(value) == value, "the result has 15 significant digits");
  for (const char16_t separator : {u'.', u','}) {
    const std::u16string text = calc::fixedNumberText(value, separator);
    const std::optional<double> readBack = calc::readFixedNumberText(text, separator);
    require(readBack.has_value(), "the fixed number text of a result reads back");
    require(*readBack == value, "the fixed number text reads back to the same double");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = fuzzing::textFromBytes(data, size);
  const calc::EvalOutcome outcome = evaluateWithoutThrowing(text);
  if (outcome.status == calc::EvalStatus::Value) {
    require(std::isfinite(outcome.value), "a value is finite");
    checkShownNumber(outcome.value);
  } else {
    require(outcome.value == 0.0, "a report comes with 0");
  }
  require(outcome == fuzzing::simpleEvaluate(text), "both evaluators agree");
  return 0;
}
