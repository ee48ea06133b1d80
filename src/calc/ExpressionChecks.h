#pragma once

#include <string>
#include <string_view>

#include "OperatorTable.h"

namespace calc {

// True when some operator of `table` stands twice in a row in `text` ("5++3"). Two different
// operators ("5+-3") and doubled characters that are no operator ("55", "5..5") pass.
bool hasDoubledOperator(std::u16string_view text, const OperatorTable& table);

// Removes operator characters from both ends of `text`: for each entry in table order, first one
// trailing then one leading occurrence, each at most once, so "+-5*" becomes "5" and "--5" becomes
// "-5".
std::u16string stripEndOperators(std::u16string_view text, const OperatorTable& table);

}  // namespace calc
