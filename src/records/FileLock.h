#pragma once

#include <chrono>

#include "FileSystem.h"

namespace records {

// How long a save waits for another program to release the record file before it gives up.
inline constexpr std::chrono::milliseconds kLockPatience{2000};

// Takes the exclusive lock on the file open on `fd`, retrying while another program holds it, for
// at most `patience`, so that the user interface never hangs on a file that stays locked. Returns
// 0, EAGAIN when the wait ran out, or the errno of a lock that cannot be taken at all.
int lockWithin(FileSystem& fileSystem, int fd, std::chrono::milliseconds patience);

}  // namespace records
