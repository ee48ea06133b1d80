#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace records {

// The few POSIX calls the record file makes, behind one seam so that tests can make any of them
// fail (a full disk, an I/O error) on real files. Each returns what its POSIX namesake returns and
// leaves the reason in errno. A save and a lookup make no low-level call that bypasses it.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual int open(const char* path, int flags, mode_t mode) = 0;
  virtual ssize_t read(int fd, void* buffer, std::size_t count) = 0;
  virtual ssize_t write(int fd, const void* buffer, std::size_t count) = 0;
  virtual off_t lseek(int fd, off_t offset, int whence) = 0;
  virtual int fsync(int fd) = 0;
  virtual int fstat(int fd, struct stat* status) = 0;
  virtual int ftruncate(int fd, off_t length) = 0;
  virtual int close(int fd) = 0;
  // Takes an exclusive lock on the whole file open on `fd` without waiting: fcntl(F_OFD_SETLK) of a
  // write lock. While another open of the file holds one, fails with EAGAIN or EACCES. The lock
  // belongs to this open of the file, not to the process, and ends when its last descriptor closes.
  virtual int lock(int fd) = 0;
};

// The real calls.
FileSystem& posixFileSystem();

}  // namespace records
