#pragma once

#include <array>
#include <string>
#include <string_view>

namespace calc {

// The calculator screen's table of the five operator texts, with indexes 1 to 5. Its order is the
// order in which operators are stripped from the ends of an expression, so it is part of the
// behaviour. A new table is empty and matches nothing until `fill` runs, as the screen's load does.
class OperatorTable {
 public:
  static constexpr int kFirstIndex = 1;
  static constexpr int kLastIndex = 5;

  void fill();

  // The entry at `index` (1 to 5); empty before `fill`.
  std::u16string_view entry(int index) const;

 private:
  std::array<std::u16string, kLastIndex> entries_;
};

}  // namespace calc
