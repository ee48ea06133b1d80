#pragma once

#include <string>

namespace records {

// A short Spanish phrase for an errno value, for the screens to put in their messages, such as
// "no queda espacio en el disco". An unknown value gives a generic phrase with its number.
std::u16string errorReason(int error);

}  // namespace records
