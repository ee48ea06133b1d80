#include "NumberText.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "FixedNumberTextReader.h"
#include "RowName.h"

namespace calc {
namespace {

using namespace std::string_literals;

std::u16string repeated(char16_t c, std::size_t count) {
  std::u16string text(count, c);  // not braces: they would make a two-character text
  return text;
}

// ---------------------------------------------------------------------------------------------
// Leading-number reading

struct LeadingRow {
  const char* name;
  std::u16string text;
  double value;
  bool overflow;
  friend void PrintTo(const LeadingRow& row, std::ostream* os) { *os << row.name; }
};

class LeadingNumberTest : public testing::TestWithParam<LeadingRow> {};

TEST_P(LeadingNumberTest, ReadsTheNearestDouble) {
  const LeadingRow& row = GetParam();
  const LeadingNumber number = readLeadingNumber(row.text);
  EXPECT_EQ(number.overflow, row.overflow);
  EXPECT_EQ(number.value, row.value);
  EXPECT_FALSE(std::signbit(number.value));
}

// 2^53 + 1 lies exactly between two doubles; the smallest trace of more makes it round up.
const std::u16string kMidpoint = u"9007199254740993";

INSTANTIATE_TEST_SUITE_P(
    Rows, LeadingNumberTest,
    testing::Values(
        LeadingRow{"empty", u"", 0, false}, LeadingRow{"letters", u"abc", 0, false},
        LeadingRow{"lone_period", u".", 0, false}, LeadingRow{"integer", u"42", 42, false},
        LeadingRow{"leading_zeros", u"007", 7, false},
        LeadingRow{"blanks_inside", u"1 2", 12, false},
        LeadingRow{"tab_and_line_feed_inside", u"\t1\n2 ", 12, false},
        LeadingRow{"carriage_return_stops", u"1\r2", 1, false},
        LeadingRow{"fraction_without_integer", u".5", 0.5, false},
        LeadingRow{"period_without_fraction", u"5.", 5, false},
        LeadingRow{"second_period_stops", u"1.2.3", 1.2, false},
        LeadingRow{"comma_stops", u"1,5", 1, false}, LeadingRow{"letter_stops", u"3a5", 3, false},
        LeadingRow{"exponent", u"1E2", 100, false},
        LeadingRow{"lower_case_exponent", u"1e2", 100, false},
        LeadingRow{"blanks_around_exponent", u"1 E 2", 100, false},
        LeadingRow{"exponent_after_period", u"2.E1", 20, false},
        LeadingRow{"exponent_letter_without_digit", u"2E", 2, false},
        LeadingRow{"signed_exponent_not_taken", u"2E+5", 2, false},
        LeadingRow{"exponent_without_mantissa", u"E5", 0, false},
        LeadingRow{"exponent_after_lone_period", u".E5", 0, false},
        LeadingRow{"zero_with_huge_exponent", u"0E99999999999999999999", 0, false},
        LeadingRow{"exponent_leading_zeros", u"1E" + repeated(u'0', 10000) + u"5", 1E5, false},
        LeadingRow{"no_hex_prefix", u"0x1A", 0, false},
        LeadingRow{"no_d_exponent", u"1D2", 1, false},
        LeadingRow{"arabic_indic_digit_is_no_digit", u"\u0661", 0, false},
        LeadingRow{"fullwidth_digit_stops", u"1\uFF12", 1, false},
        LeadingRow{"largest_double", u"1.7976931348623157E308", DBL_MAX, false},
        LeadingRow{"just_past_largest_double", u"1.7976931348623159E308", 0, true},
        LeadingRow{"exponent_past_range", u"1E309", 0, true},
        LeadingRow{"huge_exponent_digit_run", u"1E99999999999999999999999", 0, true},
        LeadingRow{"long_integer_past_range", u"1" + repeated(u'0', 309), 0, true},
        LeadingRow{"hundred_thousand_digits", repeated(u'9', 100000), 0, true},
        LeadingRow{"long_integer_in_range", u"1" + repeated(u'0', 300), 1E300, false},
        LeadingRow{"subnormal", u"0." + repeated(u'0', 319) + u"1", 1E-320, false},
        LeadingRow{"smallest_subnormal", u"0." + repeated(u'0', 323) + u"5",
                   std::numeric_limits<double>::denorm_min(), false},
        LeadingRow{"below_half_the_smallest_subnormal", u"0." + repeated(u'0', 323) + u"2", 0,
                   false},
        LeadingRow{"underflow_to_zero", u"0." + repeated(u'0', 400) + u"1", 0, false},
        LeadingRow{"midpoint_rounds_to_even", kMidpoint, 9007199254740992.0, false},
        LeadingRow{"digit_far_past_midpoint_rounds_up",
                   kMidpoint + u"." + repeated(u'0', 2000) + u"1", 9007199254740994.0, false},
        LeadingRow{"zeros_far_past_midpoint_change_nothing",
                   kMidpoint + u"." + repeated(u'0', 2000), 9007199254740992.0, false}),
    RowName{});

// ---------------------------------------------------------------------------------------------
// Fixed number text

struct FixedRow {
  const char* name;
  double value;
  char16_t separator;
  std::u16string text;
  friend void PrintTo(const FixedRow& row, std::ostream* os) { *os << row.name; }
};

class FixedNumberTextTest : public testing::TestWithParam<FixedRow> {};

TEST_P(FixedNumberTextTest, WritesFifteenDigits) {
  const FixedRow& row = GetParam();
  EXPECT_EQ(fixedNumberText(row.value, row.separator), row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FixedNumberTextTest,
    testing::Values(
        FixedRow{"integer", 20, u'.', u"20"}, FixedRow{"fraction", 2.5, u'.', u"2.5"},
        FixedRow{"negative_fraction", -0.25, u'.', u"-0.25"},
        FixedRow{"one_third", 1.0 / 3.0, u'.', u"0.333333333333333"},
        FixedRow{"two_thirds_rounds_up", 2.0 / 3.0, u'.', u"0.666666666666667"},
        FixedRow{"sum_rounds_away", 0.1 + 0.2, u'.', u"0.3"}, FixedRow{"zero", 0.0, u'.', u"0"},
        FixedRow{"negative_zero", -0.0, u'.', u"0"}, FixedRow{"comma_separator", 2.5, u',', u"2,5"},
        FixedRow{"comma_in_exponent_form", 1.5E-5, u',', u"1,5E-05"},
        FixedRow{"largest_plain", 999999999999999.0, u'.', u"999999999999999"},
        FixedRow{"ten_to_the_fifteenth", 1E15, u'.', u"1E+15"},
        FixedRow{"rounding_carries_into_exponent_form", 999999999999999.9, u'.', u"1E+15"},
        FixedRow{"ten_to_the_sixteenth", 1E16, u'.', u"1E+16"},
        FixedRow{"large_with_digits", 123456789012345678.0, u'.', u"1.23456789012346E+17"},
        FixedRow{"negative_large", -1.5E300, u'.', u"-1.5E+300"},
        FixedRow{"three_digit_exponent", 1E100, u'.', u"1E+100"},
        FixedRow{"smallest_plain", 1E-4, u'.', u"0.0001"},
        FixedRow{"small_plain_with_digits", 0.00012345, u'.', u"0.00012345"},
        FixedRow{"just_below_plain", 9.99999999999999E-5, u'.', u"9.99999999999999E-05"},
        FixedRow{"rounding_carries_into_plain_form", 9.999999999999999E-5, u'.', u"0.0001"},
        FixedRow{"small_exponent_form", 1.5E-5, u'.', u"1.5E-05"},
        FixedRow{"two_digit_exponent_unpadded", 1E-10, u'.', u"1E-10"},
        FixedRow{"largest_double", DBL_MAX, u'.', u"1.79769313486232E+308"},
        FixedRow{"infinity_never_shown", -std::numeric_limits<double>::infinity(), u'.', u"-inf"},
        FixedRow{"smallest_subnormal", std::numeric_limits<double>::denorm_min(), u'.',
                 u"4.94065645841247E-324"}),
    RowName{});

// ---------------------------------------------------------------------------------------------
// Reading a fixed number text back

// The reader the round trip below relies on: it takes the separator it is given and nothing but
// the fixed form, so that a text in another form cannot pass for a shown result.
TEST(ReadFixedNumberText, ReadsOnlyTheFixedFormWithTheGivenSeparator) {
  EXPECT_EQ(readFixedNumberText(u"-0,25", u','), -0.25);
  EXPECT_EQ(readFixedNumberText(u"1,5E-05", u','), 1.5E-5);
  EXPECT_EQ(readFixedNumberText(u"1E-400", u','), 0.0);
  for (const std::u16string& text :
       {u""s, u"abc"s, u"-"s, u"2.5"s, u"2,"s, u",5"s, u"1E5"s, u"1E+5"s, u"1E+"s, u"--1"s, u"+1"s,
        u" 1"s, u"1 "s, u"1,5,5"s, u"1.79769313486232E+308"s, u"1E+400"s,
        u"1" + repeated(u'0', 40)}) {
    EXPECT_EQ(readFixedNumberText(text, u','), std::nullopt) << testing::PrintToString(text);
  }
}

// ---------------------------------------------------------------------------------------------
// Round trip: the text of any double reads back as exactly the double rounded to 15 digits, and
// the form follows the rounded magnitude.

// The same rounding by another route: C's printf and strtod, which the tests may use since no
// QApplication has changed the C locale here.
double roundedByPrintf(double value) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "%.14e", value);
  return std::strtod(text.data(), nullptr);
}

void expectRoundTrip(double value) {
  for (const char16_t separator : {u'.', u','}) {
    const std::u16string text = fixedNumberText(value, separator);
    const double rounded = roundToDisplayedDigits(value);
    const std::optional<double> read = readFixedNumberText(text, separator);
    if (!std::isfinite(rounded)) {
      EXPECT_EQ(read, std::nullopt) << testing::PrintToString(text);
      EXPECT_EQ(rounded, roundedByPrintf(value)) << value;  // an infinity of the value's sign
      continue;
    }
    if (!read.has_value()) {
      FAIL() << testing::PrintToString(text);
    }
    EXPECT_EQ(std::bit_cast<std::uint64_t>(*read), std::bit_cast<std::uint64_t>(rounded))
        << testing::PrintToString(text) << " from " << value;
    EXPECT_EQ(rounded, roundedByPrintf(value)) << value;
    const bool exponentForm = text.find(u'E') != std::u16string::npos;
    const double magnitude = std::fabs(rounded);
    EXPECT_EQ(exponentForm, magnitude != 0 && (magnitude < 1E-4 || magnitude >= 1E15))
        << testing::PrintToString(text);
    EXPECT_EQ(fixedNumberText(rounded, separator), text) << "rounding twice changed " << value;
  }
}

TEST(FixedNumberRoundTrip, RandomBitPatterns) {
  std::mt19937_64 random(20261207);
  for (int i = 0; i < 200000; ++i) {
    const auto value = std::bit_cast<double>(random());
    if (std::isfinite(value)) {
      expectRoundTrip(value);
    }
  }
}

// Each power of ten and a few multiples, the limits of the double range and of the plain form,
// and halves that round: with their neighbours on either side, and negated.
TEST(FixedNumberRoundTrip, PowersOfTenLimitsAndTheirNeighbours) {
  std::vector<double> values{DBL_MAX,
                             DBL_MIN,
                             std::numeric_limits<double>::denorm_min(),
                             1.79769313486231E308,
                             999999999999999.5,
                             0.5,
                             0.0};
  for (int exponent = -324; exponent <= 308; ++exponent) {
    const double power = std::strtod(("1e" + std::to_string(exponent)).c_str(), nullptr);
    values.insert(values.end(), {power, 5 * power, 9.999999999999995 * power});
  }
  for (const double value : values) {
    for (const double near : {value, std::nextafter(value, 0.0),
                              std::nextafter(value, std::numeric_limits<double>::infinity())}) {
      expectRoundTrip(near);
      expectRoundTrip(-near);
    }
  }
}

}  // namespace
}  // namespace calc
