#pragma once

#include <cerrno>
#include <string>

namespace records {

// The errno of an exceeded disk quota. Windows' C library names none, so its file system seam
// reports this value of its own.
#ifdef EDQUOT
inline constexpr int kDiskQuotaExceeded = EDQUOT;
#else
inline constexpr int kDiskQuotaExceeded = 0x7FFF;
#endif

// An error of the system that has no errno comes as this base plus the system's own code, which
// the user's message then shows.
inline constexpr int kSystemErrorBase = 0x100000;

// A short Spanish phrase for an errno value, for the screens to put in their messages, such as
// "no queda espacio en el disco". An unknown value gives a generic phrase with its number.
std::u16string errorReason(int error);

}  // namespace records
