// The file system seam on Linux: the POSIX calls themselves.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "FileSizeSignal.h"
#include "FileSystem.h"

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
  FileOffset lseek(int fd, FileOffset offset, int whence) override {
    return ::lseek(fd, offset, whence);
  }
  int fsync(int fd) override { return ::fsync(fd); }
  int fstat(int fd, FileStatus* status) override {
    struct stat posix = {};
    if (::fstat(fd, &posix) != 0) {
      return -1;
    }
    status->kind = S_ISREG(posix.st_mode)   ? FileKind::Regular
                   : S_ISDIR(posix.st_mode) ? FileKind::Folder
                                            : FileKind::Other;
    status->size = posix.st_size;
    status->identity = {posix.st_dev, posix.st_ino};
    return 0;
  }
  int ftruncate(int fd, FileOffset length) override { return ::ftruncate(fd, length); }
  int close(int fd) override { return ::close(fd); }
  int lock(int fd) override {
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;  // from the first byte; a length of 0 runs to any end of the file
    return ::fcntl(fd, F_OFD_SETLK, &whole);
  }
};

}  // namespace

FileSystem& systemFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

void surviveFileSizeLimit() {
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace records
