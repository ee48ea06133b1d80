#pragma once

#include <fcntl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <functional>
#include <numeric>
#include <optional>
#include <set>

#include "FileSystem.h"

namespace records::testing {

enum class Call { Open, Read, Write, Lseek, Fsync, Fstat, Ftruncate, Close, Lock };
inline constexpr std::size_t kCallKinds = 9;
enum class Persistence {
  Once,        // only the chosen call fails, as a passing fault does
  FromThenOn,  // it and every later call fail, as a dead or full disk, or a crashed program, does
};

// The real calls, counted, any of which can be made to fail as a full disk or a failing
// device would: the n-th call of one kind, or the k-th call of any kind. A failing call does
// nothing, except close, which releases the descriptor as Linux does even when it reports an
// error. A write can also be cut short: it really writes only its first bytes and says so, as a
// disk that fills up mid-write does.
class FaultyFileSystem final : public FileSystem {
 public:
  // Fails the `nth` call (from 1) to `call` with `error`.
  void fail(Call call, int nth, int error) { fault_ = {call, true, nth, error, Persistence::Once}; }
  // Counts every kind of call from 0 again and fails the `k`-th one from now on.
  void failCall(int k, int error, Persistence persistence) {
    counts_ = {};
    calls_ = 0;
    injected_ = {};
    onlyReadOnlyCloses_ = true;
    fault_ = {Call::Open, false, k, error, persistence};
  }
  // The `nth` write lands only half its bytes.
  void shortenWrite(int nth) { shortWrite_ = nth; }
  // The first write lands only its first `keep` bytes, and then the program "crashes": every later
  // call fails, so nothing it would do to clean up reaches the file.
  void crashInFirstWrite(std::size_t keep) {
    shortWrite_ = 1;
    crashKeeps_ = keep;
  }
  // Runs before every call.
  std::function<void(Call)> onCall;

  int count(Call call) const { return counts_[index(call)]; }
  // Whether the calls counted since failCall() came as far as the failing one.
  bool reachedFailingCall() const { return calls_ >= fault_.nth; }
  int injected(Call call) const { return injected_[index(call)]; }
  int injected() const { return std::accumulate(injected_.begin(), injected_.end(), 0); }
  // True when every injected failure was the close of a descriptor opened for reading only (a
  // folder's, or the file's in a lookup), which cannot lose data; also when none was injected.
  bool onlyReadOnlyClosesFailed() const { return onlyReadOnlyCloses_; }

  int open(const char* path, int flags, mode_t mode) override {
    if (fails(Call::Open)) {
      return -1;
    }
    const int fd = real_.open(path, flags, mode);
    if (fd >= 0 && (flags & O_ACCMODE) == O_RDONLY) {
      readOnly_.insert(fd);
    }
    return fd;
  }
  ssize_t read(int fd, void* buffer, std::size_t count) override {
    return fails(Call::Read) ? -1 : real_.read(fd, buffer, count);
  }
  ssize_t write(int fd, const void* buffer, std::size_t count) override {
    if (fails(Call::Write)) {
      return -1;
    }
    if (this->count(Call::Write) == shortWrite_) {
      if (crashKeeps_) {
        fault_ = {Call::Open, false, calls_ + 1, EIO, Persistence::FromThenOn};
        return real_.write(fd, buffer, std::min(count, *crashKeeps_));
      }
      return real_.write(fd, buffer, count / 2);
    }
    return real_.write(fd, buffer, count);
  }
  FileOffset lseek(int fd, FileOffset offset, int whence) override {
    return fails(Call::Lseek) ? -1 : real_.lseek(fd, offset, whence);
  }
  int fsync(int fd) override { return fails(Call::Fsync) ? -1 : real_.fsync(fd); }
  int fstat(int fd, FileStatus* status) override {
    return fails(Call::Fstat) ? -1 : real_.fstat(fd, status);
  }
  int ftruncate(int fd, FileOffset length) override {
    return fails(Call::Ftruncate) ? -1 : real_.ftruncate(fd, length);
  }
  int close(int fd) override {
    const bool failing = fails(Call::Close, readOnly_.count(fd) != 0);
    const int error = errno;
    readOnly_.erase(fd);
    const int result = real_.close(fd);
    if (failing) {
      errno = error;
      return -1;
    }
    return result;
  }
  int lock(int fd) override { return fails(Call::Lock) ? -1 : real_.lock(fd); }

 private:
  struct Fault {
    Call call = Call::Open;
    bool ofOneKind = false;  // counts calls to `call` only, otherwise calls of every kind
    int nth = 0;             // 0: nothing fails
    int error = 0;
    Persistence persistence = Persistence::Once;
  };

  static std::size_t index(Call call) { return static_cast<std::size_t>(call); }

  // Counts the call; true, with errno set, when it is to fail.
  bool fails(Call call, bool closingReadOnly = false) {
    if (onCall) {
      onCall(call);
    }
    const int nth = ++counts_[index(call)];
    ++calls_;
    if (fault_.nth == 0 || (fault_.ofOneKind && fault_.call != call)) {
      return false;
    }
    const int position = fault_.ofOneKind ? nth : calls_;
    const bool failing =
        fault_.persistence == Persistence::Once ? position == fault_.nth : position >= fault_.nth;
    if (failing) {
      ++injected_[index(call)];
      onlyReadOnlyCloses_ = onlyReadOnlyCloses_ && closingReadOnly;
      errno = fault_.error;
    }
    return failing;
  }

  FileSystem& real_ = systemFileSystem();
  Fault fault_;
  std::array<int, kCallKinds> counts_{};
  std::array<int, kCallKinds> injected_{};
  int calls_ = 0;
  bool onlyReadOnlyCloses_ = true;
  std::set<int> readOnly_;  // descriptors opened for reading only
  int shortWrite_ = 0;
  std::optional<std::size_t> crashKeeps_;
};

}  // namespace records::testing
