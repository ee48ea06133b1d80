#pragma once

#include <cerrno>
#include <functional>
#include <map>

#include "FileSystem.h"

namespace records::testing {

enum class Call { Open, Read, Write, Lseek, Fsync, Fstat, Ftruncate, Close };
enum class Persistence { Once, FromThenOn };

// The real POSIX calls, any of which can be made to fail at its n-th use, as a full disk or a
// failing device would. A write can also be made short: it really writes half of its bytes and
// says so, as a disk that fills up mid-write does.
class FaultyFileSystem final : public FileSystem {
 public:
  // Fails the `nth` call (counted from 1) to `call` with `error`.
  void fail(Call call, int nth, int error, Persistence persistence = Persistence::Once) {
    faults_[call] = {nth, error, persistence};
  }
  void shortenWrite(int nth) { shortWrite_ = nth; }
  // Runs before every call.
  std::function<void(Call)> onCall;
  int count(Call call) const {
    const auto found = counts_.find(call);
    return found == counts_.end() ? 0 : found->second;
  }

  int open(const char* path, int flags, mode_t mode) override {
    return enter(Call::Open) ? real_.open(path, flags, mode) : -1;
  }
  ssize_t read(int fd, void* buffer, std::size_t count) override {
    return enter(Call::Read) ? real_.read(fd, buffer, count) : -1;
  }
  ssize_t write(int fd, const void* buffer, std::size_t count) override {
    if (!enter(Call::Write)) {
      return -1;
    }
    if (counts_[Call::Write] == shortWrite_ && count > 1) {
      return real_.write(fd, buffer, count / 2);
    }
    return real_.write(fd, buffer, count);
  }
  off_t lseek(int fd, off_t offset, int whence) override {
    return enter(Call::Lseek) ? real_.lseek(fd, offset, whence) : -1;
  }
  int fsync(int fd) override { return enter(Call::Fsync) ? real_.fsync(fd) : -1; }
  int fstat(int fd, struct stat* status) override {
    return enter(Call::Fstat) ? real_.fstat(fd, status) : -1;
  }
  int ftruncate(int fd, off_t length) override {
    return enter(Call::Ftruncate) ? real_.ftruncate(fd, length) : -1;
  }
  int close(int fd) override {
    if (!enter(Call::Close)) {
      real_.close(fd);  // Linux releases the descriptor even when close reports an error.
      errno = failedWith_;
      return -1;
    }
    return real_.close(fd);
  }

 private:
  struct Fault {
    int nth = 0;
    int error = 0;
    Persistence persistence = Persistence::Once;
  };

  // Counts the call; false (with errno set) when it is to fail.
  bool enter(Call call) {
    if (onCall) {
      onCall(call);
    }
    const int nth = ++counts_[call];
    const auto fault = faults_.find(call);
    if (fault == faults_.end()) {
      return true;
    }
    const Fault& planned = fault->second;
    const bool fails =
        planned.persistence == Persistence::Once ? nth == planned.nth : nth >= planned.nth;
    if (fails) {
      failedWith_ = planned.error;
      errno = planned.error;
    }
    return !fails;
  }

  FileSystem& real_ = posixFileSystem();
  std::map<Call, Fault> faults_;
  std::map<Call, int> counts_;
  int shortWrite_ = 0;
  int failedWith_ = 0;
};

}  // namespace records::testing
