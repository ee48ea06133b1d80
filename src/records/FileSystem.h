#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
// Windows' C library has no such open flags. Here they mean what the Win32 file system gives them:
// its handles are never inherited by programs started later, no FIFO can stand under a file's name,
// and a folder is opened to be synced as on Linux.
#ifndef O_CLOEXEC
#define O_CLOEXEC O_NOINHERIT
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_DIRECTORY
#define O_DIRECTORY 0x00200000
#endif
#endif

namespace records {

// An offset in a file, as off_t is on 64-bit Linux (and the same type there); 64-bit on Windows
// too, whose off_t is 32-bit, so that a file past 2 GiB is no different.
using FileOffset = std::int64_t;

enum class FileKind { Regular, Folder, Other };

// Names one file for as long as it exists, whatever name it goes by: its device and inode number on
// Linux, its volume serial number and file index on Windows. A file put in another's place under
// the same name has another identity.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};

// What fstat tells of an open file, as far as a save and a lookup ask.
struct FileStatus {
  FileKind kind = FileKind::Other;
  FileOffset size = 0;
  FileIdentity identity;
};

// The few low-level calls the record file makes, behind one seam so that tests can make any of them
// fail (a full disk, an I/O error) on real files, and so that the same save and lookup run on Linux
// and on Windows. Each returns what its POSIX namesake returns and leaves the reason in errno; the
// flags of open are POSIX's. A save and a lookup make no low-level call that bypasses it. A lookup
// may make its reads from a helper thread, but never while another call is under way.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual int open(const char* path, int flags, mode_t mode) = 0;
  virtual ssize_t read(int fd, void* buffer, std::size_t count) = 0;
  virtual ssize_t write(int fd, const void* buffer, std::size_t count) = 0;
  virtual FileOffset lseek(int fd, FileOffset offset, int whence) = 0;
  virtual int fsync(int fd) = 0;
  virtual int fstat(int fd, FileStatus* status) = 0;
  virtual int ftruncate(int fd, FileOffset length) = 0;
  virtual int close(int fd) = 0;
  // Takes the exclusive lock on the file open on `fd` without waiting: on Linux fcntl(F_OFD_SETLK)
  // of a write lock over the whole file. While another open of the file holds it, fails with EAGAIN
  // or EACCES. The lock belongs to this open of the file, not to the process, and ends when its
  // last descriptor closes. It keeps other saves out, never a reader.
  virtual int lock(int fd) = 0;
};

// The real calls of the system the program was built for: POSIX on Linux, Win32 on Windows, where
// paths are UTF-8 and the descriptors are the seam's own.
FileSystem& systemFileSystem();

#ifdef _WIN32
// The errno that stands for a Win32 error code (GetLastError()), so that a failure reads the same
// on both systems. A code without one comes as kSystemErrorBase plus the code.
int errnoFromWin32(unsigned long code);
// ERROR_DISK_QUOTA_EXCEEDED, which mingw's headers lack.
inline constexpr unsigned long kWin32DiskQuotaExceeded = 1295;
#endif

}  // namespace records
