#include "Evaluator.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "RowName.h"

namespace calc {
namespace {

using namespace std::string_literals;

constexpr EvalStatus kValue = EvalStatus::Value;
constexpr EvalStatus kDivisionByZero = EvalStatus::DivisionByZero;
constexpr EvalStatus kOutOfRange = EvalStatus::OutOfRange;
const std::u16string kSentinel(1, u'\0');  // typed U+0000

struct EvalRow {
  const char* name;
  std::u16string expression;
  EvalStatus status;
  double value;
  friend void PrintTo(const EvalRow& row, std::ostream* os) { *os << row.name; }
};

class EvaluatorTest : public testing::TestWithParam<EvalRow> {};

TEST_P(EvaluatorTest, ReturnsTheNumberOrTheReport) {
  const EvalRow& row = GetParam();
  const EvalOutcome outcome = evaluateLeftToRight(row.expression);
  EXPECT_EQ(outcome.status, row.status);
  EXPECT_EQ(outcome.value, row.value);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeTable, EvaluatorTest,
    testing::Values(EvalRow{"strictly_left_to_right", u"2+3*4", kValue, 20},
                    EvalRow{"division", u"10/4", kValue, 2.5},
                    EvalRow{"rounded_to_fifteen_digits", u"1/3", kValue, 0.333333333333333},
                    EvalRow{"final_rounding_hides_binary_error", u"0.1+0.2", kValue, 0.3},
                    EvalRow{"remainder", u"7%3", kValue, 1},
                    EvalRow{"remainder_dividend_half_to_even", u"2.5%2", kValue, 0},
                    EvalRow{"remainder_divisor_half_to_even", u"9%2.5", kValue, 1},
                    EvalRow{"remainder_takes_dividend_sign", u"-7%3", kValue, -1},
                    EvalRow{"trailing_minus_takes_zero", u"5-", kValue, 5},
                    EvalRow{"trailing_times_takes_zero", u"5*", kValue, 0},
                    EvalRow{"leading_times_takes_zero", u"*5", kValue, 0},
                    EvalRow{"leading_plus", u"+5", kValue, 5},
                    EvalRow{"adjacent_operators_put_zero_between", u"5+-3", kValue, 2},
                    EvalRow{"empty", u"", kValue, 0},
                    EvalRow{"reading_stops_at_letter", u"3a5+1", kValue, 4},
                    EvalRow{"minus_in_exponent_is_operator", u"1E-5", kValue, -4},
                    EvalRow{"zero_divisor", u"8/0", kDivisionByZero, 0},
                    EvalRow{"empty_divisor", u"5/", kDivisionByZero, 0},
                    EvalRow{"empty_remainder_divisor", u"5%", kDivisionByZero, 0},
                    EvalRow{"remainder_divisor_half_rounds_to_zero", u"7%0.5", kDivisionByZero, 0},
                    EvalRow{"remainder_divisor_rounds_to_one", u"7%0.6", kValue, 0},
                    EvalRow{"remainder_divisor_empty_before_minus", u"7%-2", kDivisionByZero, 0}),
    RowName{});

// Past the limits of the arithmetic the evaluation ends with a report, never a wrong number.
INSTANTIATE_TEST_SUITE_P(
    Limits, EvaluatorTest,
    testing::Values(
        EvalRow{"later_operand_past_double_range", u"1+1E309", kOutOfRange, 0},
        EvalRow{"product_past_double_range", u"1E308*10", kOutOfRange, 0},
        EvalRow{"quotient_past_double_range", u"1E308/0.1", kOutOfRange, 0},
        EvalRow{"final_rounding_carries_past_range", u"1.7976931348623157E308", kOutOfRange, 0},
        EvalRow{"largest_fifteen_digit_value", u"1.79769313486231E308", kValue,
                1.79769313486231E308},
        EvalRow{"remainder_dividend_past_int32", u"3000000000%2", kOutOfRange, 0},
        EvalRow{"remainder_divisor_past_int32", u"5%3000000000", kOutOfRange, 0},
        EvalRow{"zero_divisor_checked_before_range", u"3000000000%0", kDivisionByZero, 0},
        EvalRow{"dividend_rounding_past_int32", u"2147483647.5%2", kOutOfRange, 0},
        EvalRow{"dividend_rounding_inside_int32", u"2147483646.5%5", kValue, 1},
        EvalRow{"smallest_int32_dividend", u"0-2147483648%3", kValue, -2},
        EvalRow{"below_smallest_int32_dividend", u"0-2147483649%3", kOutOfRange, 0},
        EvalRow{"largest_int32_divisor", u"5%2147483647", kValue, 5},
        EvalRow{"subnormal_result", u"1/1E300/1E20", kValue, 9.99988867182683E-321},
        EvalRow{"underflow_to_zero_is_no_report", u"1/1E300/1E20/1E10", kValue, 0},
        EvalRow{"negative_underflow_is_written_as_zero", u"0-1/1E300/1E30", kValue, 0},
        // Positions and an operand past 16 bits: the last operand only counts when the evaluation
        // reaches the end, and the long one only reads as 10 when it is read whole.
        EvalRow{"operand_and_positions_past_sixteen_bits",
                u"0." + std::u16string(70000, u'0') + u"1E70002+1", kValue, 11}),
    RowName{});

// U+0000 typed inside the expression is a separator that combines nothing, so the operand after
// it is dropped; the expression's own closing U+0000 then leaves the accumulator alone.
INSTANTIATE_TEST_SUITE_P(
    TypedSentinel, EvaluatorTest,
    testing::Values(EvalRow{"drops_the_operand_after_it", u"5\0 3"s, kValue, 5},
                    EvalRow{"operator_after_it_applies", u"5\0+3"s, kValue, 8},
                    EvalRow{"leading_sentinel", kSentinel + u"5", kValue, 0},
                    EvalRow{"closes_an_empty_divisor", u"8/\0 2"s, kDivisionByZero, 0},
                    EvalRow{"dropped_operand_still_read", u"5" + kSentinel + u"1E309", kOutOfRange,
                            0}),
    RowName{});

}  // namespace
}  // namespace calc
