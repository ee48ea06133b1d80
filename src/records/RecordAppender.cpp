#include "RecordAppender.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "FileLock.h"

namespace records {
namespace {

// Readable, so that the save can see how the file ends. O_NONBLOCK keeps a FIFO named like the
// record file from blocking the program in open(); it changes nothing for a regular file.
constexpr int kAppendFlags = O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK;

// A failed save's cut point when no byte of it reached the file.
constexpr off_t kNothingWritten = -1;

// How many of its last bytes a save remembers to recognise the file at the next save.
constexpr std::size_t kRememberedBytes = 32;

std::string folderOf(const std::string& fileName) {
  const std::size_t slash = fileName.rfind('/');
  if (slash == std::string::npos) {
    return ".";
  }
  return slash == 0 ? "/" : fileName.substr(0, slash);
}

// Reads exactly `count` bytes from the current position; false on an error or an early end.
bool readExactly(FileSystem& fileSystem, int fd, char* buffer, std::size_t count) {
  while (count > 0) {
    const ssize_t got = fileSystem.read(fd, buffer, count);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return false;
    }
    buffer += got;
    count -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

RecordAppender::RecordAppender(const std::string& fileName, FileSystem& fileSystem)
    : fileName_(fileName), fs_(fileSystem) {}

AppendResult RecordAppender::append(std::string_view record) {
  const int fd = fs_.open(fileName_.c_str(), kAppendFlags, 0666);
  if (fd < 0) {
    return {errno};
  }
  struct stat status = {};
  if (const int error = lockRegularFile(fd, status); error != 0) {
    return abandon(fd, error, kNothingWritten);
  }
  const RecordTail tail = checkTail(fs_, fd, knownBoundary(fd, status));
  if (tail.error != 0) {
    return abandon(fd, tail.error, kNothingWritten);
  }
  // One write holds the torn record's completion and the new record, so that no crash can leave
  // the completion without the record or the other way round.
  std::string bytes = tail.completion;
  bytes.append(record);
  return writeDurably(fd, bytes, tail, status);
}

// Returns 0 with the lock held and `status` describing the file under it, or the errno.
int RecordAppender::lockRegularFile(int fd, struct stat& status) {
  if (fs_.fstat(fd, &status) != 0) {
    return errno;
  }
  if (!S_ISREG(status.st_mode)) {
    // A FIFO, a device or a socket would take the record away, or never end; a folder cannot be
    // opened for writing at all.
    return EINVAL;
  }
  if (const int error = lockWithin(fs_, fd, kLockPatience); error != 0) {
    return error;
  }
  // Only under the lock is the end final: another copy of the program may have appended while
  // this one waited.
  return fs_.fstat(fd, &status) == 0 ? 0 : errno;
}

// Writes `bytes` at the end of the file in one write, syncs them and closes the file, or cuts them
// off again and reports why.
AppendResult RecordAppender::writeDurably(int fd, const std::string& bytes, const RecordTail& tail,
                                          const struct stat& status) {
  const ssize_t written = fs_.write(fd, bytes.data(), bytes.size());
  if (written < 0) {
    // A failed write wrote nothing, so there is nothing to take back.
    return abandon(fd, errno, kNothingWritten);
  }
  // The bytes begin where the append put them. A program that ignores the lock may have appended
  // in between, and a cut must leave its record alone.
  const off_t end = fs_.lseek(fd, 0, SEEK_CUR);
  if (end < 0) {
    return abandon(fd, errno, static_cast<off_t>(tail.end));  // the best guess without the offset
  }
  const off_t recordStart = end - written;
  if (static_cast<std::size_t>(written) != bytes.size()) {
    // A short write leaves no errno; writing the rest tells why (a full disk, the file-size
    // limit). The bytes are cut back either way: only one whole write keeps appends apart.
    const auto rest = static_cast<std::size_t>(written);
    const bool restFailed = fs_.write(fd, bytes.data() + rest, bytes.size() - rest) < 0;
    return abandon(fd, restFailed ? errno : EIO, recordStart);
  }
  if (fs_.fsync(fd) != 0) {
    return abandon(fd, errno, recordStart);
  }
  if (status.st_size == 0) {
    // The file may have just been created: its name must be durable too.
    if (const int error = syncFolder(); error != 0) {
      return abandon(fd, error, recordStart);
    }
  }
  if (fs_.close(fd) != 0) {
    const int error = errno;
    cutBackClosedFile(recordStart, end);
    return {error};
  }
  if (static_cast<std::uint64_t>(recordStart) == tail.end) {
    learn(status, static_cast<std::uint64_t>(end), bytes);
  } else {
    learnt_.reset();  // the completion did not land where the tail was read
  }
  return {0, tail.completion.empty() ? TailRepair::None : TailRepair::CompletedTornRecord};
}

// The offset from which the tail must be read: the boundary the last save left, while the file is
// still the one it wrote to, otherwise its first byte.
std::uint64_t RecordAppender::knownBoundary(int fd, const struct stat& status) {
  if (!learnt_ || learnt_->device != status.st_dev || learnt_->inode != status.st_ino ||
      static_cast<std::uint64_t>(status.st_size) < learnt_->boundary) {
    return 0;
  }
  // A file rewritten in place, or a new file on a reused inode, would not hold these bytes there.
  const std::string& expected = learnt_->lastBytes;
  std::string seen(expected.size(), '\0');
  const auto at = static_cast<off_t>(learnt_->boundary - expected.size());
  if (fs_.lseek(fd, at, SEEK_SET) != at || !readExactly(fs_, fd, seen.data(), seen.size()) ||
      seen != expected) {
    return 0;
  }
  return learnt_->boundary;
}

void RecordAppender::learn(const struct stat& status, std::uint64_t end, std::string_view written) {
  const std::size_t kept = std::min(kRememberedBytes, written.size());
  learnt_ = LearntEnd{status.st_dev, status.st_ino, end,
                      std::string(written.substr(written.size() - kept))};
}

// Cuts the file back to `cutAt`, where this save's bytes begin (unless nothing was written),
// while the lock still keeps other copies of the program out, then closes it and reports.
AppendResult RecordAppender::abandon(int fd, int error, off_t cutAt) {
  if (cutAt != kNothingWritten) {
    fs_.ftruncate(fd, cutAt);
  }
  fs_.close(fd);
  return {error};
}

// After a failing close the descriptor and its lock are gone: the file is opened and locked again,
// and the record is cut off only if nothing was appended after it meanwhile. Otherwise it stays,
// whole and synced.
void RecordAppender::cutBackClosedFile(off_t recordStart, off_t recordEnd) {
  const int fd = fs_.open(fileName_.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK, 0);
  if (fd < 0) {
    return;
  }
  struct stat status = {};
  if (lockWithin(fs_, fd, kLockPatience) == 0 && fs_.fstat(fd, &status) == 0 &&
      status.st_size == recordEnd) {
    fs_.ftruncate(fd, recordStart);
  }
  fs_.close(fd);
}

// Returns 0 or the errno. A file system that cannot sync folders (EINVAL) has nothing to sync.
int RecordAppender::syncFolder() {
  const int fd = fs_.open(folderOf(fileName_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) {
    return errno;
  }
  int error = 0;
  if (fs_.fsync(fd) != 0 && errno != EINVAL) {
    error = errno;
  }
  fs_.close(fd);
  return error;
}

}  // namespace records
