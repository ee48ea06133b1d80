#include "FileLock.h"

#include <cerrno>
#include <thread>

namespace records {

int lockWithin(FileSystem& fileSystem, int fd, std::chrono::milliseconds patience) {
  constexpr std::chrono::milliseconds kRetryEvery{1};
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (fileSystem.lock(fd) == 0) {
      return 0;
    }
    const int error = errno;
    // EACCES is how some systems say that another open of the file holds the lock.
    if (error != EAGAIN && error != EACCES && error != EINTR) {
      return error;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return EAGAIN;
    }
    std::this_thread::sleep_for(kRetryEvery);
  }
}

}  // namespace records
