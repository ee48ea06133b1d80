#include "OperatorTable.h"

namespace calc {

void OperatorTable::fill() {
  entries_ = {u"/", u"*", u"%", u"+", u"-"};
}

std::u16string_view OperatorTable::entry(int index) const {
  if (index < kFirstIndex || index > kLastIndex) {
    return {};
  }
  return entries_[static_cast<std::size_t>(index - kFirstIndex)];
}

}  // namespace calc
