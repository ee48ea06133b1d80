#include "ExpressionChecks.h"

namespace calc {
namespace {

// Entries are one-character texts compared exactly; an empty entry (an unfilled table) matches
// no character.
bool equalsEntry(char16_t c, std::u16string_view entry) {
  return entry.size() == 1 && entry.front() == c;
}

bool isTableOperator(char16_t c, const OperatorTable& table) {
  for (int index = OperatorTable::kFirstIndex; index <= OperatorTable::kLastIndex; ++index) {
    if (equalsEntry(c, table.entry(index))) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool hasDoubledOperator(std::u16string_view text, const OperatorTable& table) {
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (text[i] == text[i - 1] && isTableOperator(text[i], table)) {
      return true;
    }
  }
  return false;
}

std::u16string stripEndOperators(std::u16string_view text, const OperatorTable& table) {
  std::u16string_view rest = text;
  for (int index = OperatorTable::kFirstIndex; index <= OperatorTable::kLastIndex; ++index) {
    const std::u16string_view entry = table.entry(index);
    if (!rest.empty() && equalsEntry(rest.back(), entry)) {
      rest.remove_suffix(1);
    }
    if (!rest.empty() && equalsEntry(rest.front(), entry)) {
      rest.remove_prefix(1);
    }
  }
  return std::u16string(rest);
}

}  // namespace calc
