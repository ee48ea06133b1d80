#pragma once

#include <string_view>

#include "Evaluator.h"

namespace fuzzing {

// A second evaluator of the calculator's expressions, written as plainly as the rules allow so
// that the real one can be checked against it: the text is first cut into operands and operators,
// operands are read by the C library's strtod, "%" rounds with nearbyint and divides with fmod,
// and the 15-digit rounding goes through printf's "%.14e". It shares no code with the calculator,
// and speed does not matter here. The C library's conversions follow the "C" locale, which a
// fuzzer never leaves.
calc::EvalOutcome simpleEvaluate(std::u16string_view expression);

}  // namespace fuzzing
