// Feeds any text to the calculator's checks on the typed expression. Checked on every input: the
// doubled-operator test agrees with a plain scan; the end-operator stripping equals a literal
// step-by-step version of its rule, never lengthens the text and only cuts its ends, at most one
// character per operator and end; and a table that was never filled changes and finds nothing.
//
// Stripping is not idempotent in general: "--5" becomes "-5", whose "-" a second pass removes. A
// second pass changes nothing exactly when the first left no operator at either end, and that is
// what is checked.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ExpressionChecks.h"
#include "FuzzCheck.h"
#include "FuzzText.h"
#include "OperatorTable.h"

namespace {

using fuzzing::require;

constexpr std::u16string_view kOperators = u"/*%+-";

bool isOperator(char16_t c) {
  return kOperators.find(c) != std::u16string_view::npos;
}

bool plainDoubledScan(std::u16string_view text) {
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == text[i - 1] && isOperator(text[i])) {
      return true;
    }
  }
  return false;
}

// The stripping rule as the screen states it: for each operator in table order, drop the last
// character if it is that operator, then the first character if it is.
std::u16string literalStrip(std::u16string text) {
  for (const char16_t op : kOperators) {
    if (!text.empty() && text.back() == op) {
      text.pop_back();
    }
    if (!text.empty() && text.front() == op) {
      text.erase(0, 1);
    }
  }
  return text;
}

bool operatorAtAnEnd(std::u16string_view text) {
  return !text.empty() && (isOperator(text.front()) || isOperator(text.back()));
}

void checkStripping(std::u16string_view text, const calc::OperatorTable& table) {
  const std::u16string stripped = calc::stripEndOperators(text, table);
  require(stripped == literalStrip(std::u16string(text)), "stripping follows its rule");
  require(stripped.size() <= text.size(), "stripping never lengthens the text");
  const std::size_t cut = text.size() - stripped.size();
  bool middle = false;
  for (std::size_t lead = 0; lead <= cut && lead <= kOperators.size(); ++lead) {
    middle = middle || (cut - lead <= kOperators.size() &&
                        text.substr(lead, stripped.size()) == std::u16string_view(stripped));
  }
  require(middle, "stripping cuts at most one character per operator from each end");
  const bool unchangedByASecondPass = calc::stripEndOperators(stripped, table) == stripped;
  require(unchangedByASecondPass == !operatorAtAnEnd(stripped),
          "a second stripping changes the text exactly when an operator is left at an end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string text = fuzzing::textFromBytes(data, size);
  calc::OperatorTable table;
  require(!calc::hasDoubledOperator(text, table), "an unfilled table finds no doubled operator");
  require(calc::stripEndOperators(text, table) == text, "an unfilled table strips nothing");
  table.fill();
  require(calc::hasDoubledOperator(text, table) == plainDoubledScan(text),
          "the doubled-operator test agrees with a plain scan");
  checkStripping(text, table);
  return 0;
}
