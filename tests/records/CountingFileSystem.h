#pragma once

#include <fcntl.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <set>

#include "FileSystem.h"

namespace records::testing {

enum class Operation { Open, Read, Write, Lseek, Fsync, Fstat, Ftruncate, Close };
inline constexpr std::size_t kOperationKinds = 8;

enum class FailureMode {
  Once,        // only the k-th call fails, as a passing fault does
  Persistent,  // the k-th call and every later one fail, as a dead or full disk does
};

// The real POSIX calls, counted together whatever their kind, with the k-th call since `arm` made
// to fail with a chosen errno. A failing call does nothing, except close, which releases the
// descriptor as Linux does even when it reports an error. Also counts the failures it injected,
// by kind, and tells whether any of them could have lost data.
class CountingFileSystem final : public FileSystem {
 public:
  // Counts from 0 again and fails the `k`-th call (from 1) from now on; 0 fails nothing.
  void arm(int k, int error, FailureMode mode) {
    calls_ = 0;
    failAt_ = k;
    error_ = error;
    mode_ = mode;
    injected_ = {};
    onlyReadOnlyCloses_ = true;
  }

  int calls() const { return calls_; }
  int injected() const {
    int total = 0;
    for (const int count : injected_) {
      total += count;
    }
    return total;
  }
  const std::array<int, kOperationKinds>& injectedByOperation() const { return injected_; }
  // True when every failure since `arm` was the close of a descriptor opened for reading (a
  // folder's, or the file's in a lookup), which cannot lose data; also when none was injected.
  bool onlyReadOnlyClosesFailed() const { return onlyReadOnlyCloses_; }

  int open(const char* path, int flags, mode_t mode) override {
    if (fails(Operation::Open)) {
      return -1;
    }
    const int fd = real_.open(path, flags, mode);
    if (fd >= 0 && (flags & O_ACCMODE) == O_RDONLY) {
      readOnly_.insert(fd);
    }
    return fd;
  }
  ssize_t read(int fd, void* buffer, std::size_t count) override {
    return fails(Operation::Read) ? -1 : real_.read(fd, buffer, count);
  }
  ssize_t write(int fd, const void* buffer, std::size_t count) override {
    return fails(Operation::Write) ? -1 : real_.write(fd, buffer, count);
  }
  off_t lseek(int fd, off_t offset, int whence) override {
    return fails(Operation::Lseek) ? -1 : real_.lseek(fd, offset, whence);
  }
  int fsync(int fd) override { return fails(Operation::Fsync) ? -1 : real_.fsync(fd); }
  int fstat(int fd, struct stat* status) override {
    return fails(Operation::Fstat) ? -1 : real_.fstat(fd, status);
  }
  int ftruncate(int fd, off_t length) override {
    return fails(Operation::Ftruncate) ? -1 : real_.ftruncate(fd, length);
  }
  int close(int fd) override {
    const bool failing = fails(Operation::Close, readOnly_.count(fd) != 0);
    const int error = errno;
    readOnly_.erase(fd);
    const int result = real_.close(fd);
    if (failing) {
      errno = error;
      return -1;
    }
    return result;
  }

 private:
  // Counts the call; true, with errno set, when it is to fail.
  bool fails(Operation operation, bool closingReadOnly = false) {
    ++calls_;
    const bool failing =
        failAt_ > 0 && (mode_ == FailureMode::Once ? calls_ == failAt_ : calls_ >= failAt_);
    if (failing) {
      ++injected_[static_cast<std::size_t>(operation)];
      onlyReadOnlyCloses_ = onlyReadOnlyCloses_ && closingReadOnly;
      errno = error_;
    }
    return failing;
  }

  FileSystem& real_ = posixFileSystem();
  std::set<int> readOnly_;  // descriptors opened for reading only
  int calls_ = 0;
  int failAt_ = 0;
  int error_ = 0;
  FailureMode mode_ = FailureMode::Once;
  std::array<int, kOperationKinds> injected_{};
  bool onlyReadOnlyCloses_ = true;
};

}  // namespace records::testing
