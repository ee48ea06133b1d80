#include "FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

namespace records {
namespace {

class PosixFileSystem final : public FileSystem {
 public:
  int open(const char* path, int flags, mode_t mode) override { return ::open(path, flags, mode); }
  ssize_t read(int fd, void* buffer, std::size_t count) override {
    return ::read(fd, buffer, count);
  }
  ssize_t write(int fd, const void* buffer, std::size_t count) override {
    return ::write(fd, buffer, count);
  }
  off_t lseek(int fd, off_t offset, int whence) override { return ::lseek(fd, offset, whence); }
  int fsync(int fd) override { return ::fsync(fd); }
  int fstat(int fd, struct stat* status) override { return ::fstat(fd, status); }
  int ftruncate(int fd, off_t length) override { return ::ftruncate(fd, length); }
  int close(int fd) override { return ::close(fd); }
  int lock(int fd) override {
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;  // from the first byte; a length of 0 runs to any end of the file
    return ::fcntl(fd, F_OFD_SETLK, &whole);
  }
};

}  // namespace

FileSystem& posixFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace records
