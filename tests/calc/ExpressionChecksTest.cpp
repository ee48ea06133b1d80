#include "ExpressionChecks.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "OperatorTable.h"
#include "RowName.h"

namespace calc {
namespace {

OperatorTable filledTable() {
  OperatorTable table;
  table.fill();
  return table;
}

TEST(OperatorTable, FillPutsTheFiveOperatorsInStrippingOrder) {
  const OperatorTable table = filledTable();
  const std::u16string_view expected[] = {u"/", u"*", u"%", u"+", u"-"};
  for (int index = OperatorTable::kFirstIndex; index <= OperatorTable::kLastIndex; ++index) {
    EXPECT_EQ(table.entry(index), expected[index - OperatorTable::kFirstIndex]) << index;
  }
  for (const int index : {-1, 0, 6}) {
    EXPECT_TRUE(table.entry(index).empty()) << index;
  }
}

// Until the screen's load fills it, the table knows no operator.
TEST(OperatorTable, UnfilledTableStripsAndRefusesNothing) {
  EXPECT_EQ(stripEndOperators(u"+-5*", OperatorTable{}), u"+-5*");
  EXPECT_FALSE(hasDoubledOperator(u"5++", OperatorTable{}));
}

struct StripRow {
  const char* name;
  std::u16string before;
  std::u16string after;
  friend void PrintTo(const StripRow& row, std::ostream* os) { *os << row.name; }
};

class StripEndOperatorsTest : public testing::TestWithParam<StripRow> {};

TEST_P(StripEndOperatorsTest, RemovesOnePerEntryAndEndInTableOrder) {
  const StripRow& row = GetParam();
  EXPECT_EQ(stripEndOperators(row.before, filledTable()), row.after);
}

INSTANTIATE_TEST_SUITE_P(Rows, StripEndOperatorsTest,
                         testing::Values(StripRow{"both_ends_several_operators", u"+-5*", u"5"},
                                         StripRow{"each_entry_once_per_end", u"--5", u"-5"},
                                         StripRow{"doubled_trailing_divide_once", u"5//", u"5/"},
                                         StripRow{"plus_tried_before_minus", u"5+-", u"5+"},
                                         StripRow{"minus_then_plus_both_go", u"5-+", u"5"},
                                         StripRow{"times_tried_before_minus", u"5*-", u"5*"},
                                         StripRow{"leading_minus_and_trailing_plus", u"-5+", u"5"},
                                         StripRow{"five_operators_around", u"*-5+/", u"5"},
                                         StripRow{"plus_both_ends_then_minus", u"+5-+", u"5"},
                                         StripRow{"divide_both_ends", u"/5/", u"5"},
                                         StripRow{"lone_operator", u"+", u""},
                                         StripRow{"two_remainders", u"%%", u""},
                                         StripRow{"operators_inside_stay", u"12+-3", u"12+-3"},
                                         StripRow{"empty", u"", u""}),
                         RowName{});

struct DoubledRow {
  const char* name;
  std::u16string text;
  bool doubled;
  friend void PrintTo(const DoubledRow& row, std::ostream* os) { *os << row.name; }
};

class DoubledOperatorTest : public testing::TestWithParam<DoubledRow> {};

TEST_P(DoubledOperatorTest, FindsOnlyTheSameOperatorTwiceInARow) {
  const DoubledRow& row = GetParam();
  EXPECT_EQ(hasDoubledOperator(row.text, filledTable()), row.doubled);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DoubledOperatorTest,
    testing::Values(DoubledRow{"plus_typed_twice", u"5++", true},
                    DoubledRow{"plus_after_minus", u"5+-", false},
                    DoubledRow{"different_operators_then_digit", u"5+-3", false},
                    DoubledRow{"doubled_inside_the_text", u"5++3", true},
                    DoubledRow{"doubled_at_the_start", u"--5", true},
                    DoubledRow{"divide", u"5//", true}, DoubledRow{"minus", u"5--", true},
                    DoubledRow{"doubled_digit", u"55", false},
                    DoubledRow{"doubled_period", u"5..5", false},
                    DoubledRow{"doubled_other_character", u"5==", false},
                    DoubledRow{"alternating_operators", u"+-+-", false},
                    DoubledRow{"lone_operator", u"+", false}, DoubledRow{"empty", u"", false}),
    RowName{});

}  // namespace
}  // namespace calc
