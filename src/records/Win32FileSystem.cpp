// The file system seam on Windows: Win32 file handles behind descriptors of the seam's own, with
// the same promises as the POSIX calls on Linux.

#include <windows.h>

#include <cerrno>
#include <climits>
#include <map>
#include <mutex>
#include <string>

#include "ErrorReason.h"
#include "FileSizeSignal.h"
#include "FileSystem.h"

namespace records {
namespace {

// The save's lock is one byte that no data of any file can reach. Windows' byte-range locks are
// mandatory: a lock over the data would make every other handle's reads of it fail with
// ERROR_LOCK_VIOLATION, so a lookup in another copy of the program would fail while this one
// saves, and an append by a program that ignores the lock would fail too. File offsets are signed
// 64-bit numbers, so no file holds a byte at 2^63 - 1: a lock there keeps other saves out and
// stops nobody's reading or appending, as the advisory lock on Linux does.
constexpr DWORD kLockOffsetLow = 0xFFFFFFFF;
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

// Other copies of the program, and any other program, may read, append to, rename and delete the
// file while it is open here, as on Linux.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int fail(int error) {
  errno = error;
  return -1;
}

int failWithLastError() {
  return fail(errnoFromWin32(GetLastError()));
}

// The path as UTF-16; empty for bytes that are no UTF-8.
std::wstring widePath(const char* path) {
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (units <= 0) {
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide.data(), units);
  wide.resize(static_cast<std::size_t>(units - 1));
  return wide;
}

bool isFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class Win32FileSystem final : public FileSystem {
 public:
  int open(const char* path, int flags,
           mode_t /*mode: a new file takes its folder's rights*/) override {
    const std::wstring wide = widePath(path);
    if (wide.empty()) {
      return fail(ENOENT);
    }
    if ((flags & (O_TRUNC | O_EXCL)) != 0) {
      return fail(EINVAL);  // the record file never asks for them
    }
    const int access = flags & O_ACCMODE;
    const bool folder = (flags & O_DIRECTORY) != 0;
    DWORD rights = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    if (access != O_WRONLY) {
      rights |= GENERIC_READ;
    }
    if (access != O_RDONLY) {
      // With FILE_APPEND_DATA and without FILE_WRITE_DATA every write goes to the end of the file
      // as it stands at that moment, in one step, as with O_APPEND: appends of other programs
      // never overwrite each other.
      rights |= (flags & O_APPEND) != 0 ? FILE_APPEND_DATA : GENERIC_WRITE;
    }
    const DWORD creation = (flags & O_CREAT) != 0 ? OPEN_ALWAYS : OPEN_EXISTING;
    const DWORD attributes =
        folder ? FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
    // Not inheritable: a program started later holds no handle on the file.
    const HANDLE handle =
        CreateFileW(wide.c_str(), rights, kShareAll, nullptr, creation, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      // A folder cannot be opened as a file; Linux says so with EISDIR.
      return fail(code == ERROR_ACCESS_DENIED && !folder && isFolder(wide) ? EISDIR
                                                                           : errnoFromWin32(code));
    }
    if (folder && !isFolder(wide)) {
      CloseHandle(handle);
      return fail(ENOTDIR);
    }
    const std::lock_guard<std::mutex> guard(mutex_);
    const int fd = nextDescriptor_++;
    open_[fd] = {handle, folder};
    return fd;
  }

  ssize_t read(int fd, void* buffer, std::size_t count) override {
    const HANDLE handle = handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) {
      return fail(EBADF);
    }
    DWORD got = 0;
    if (!ReadFile(handle, buffer, clamp(count), &got, nullptr)) {
      return GetLastError() == ERROR_HANDLE_EOF ? 0 : failWithLastError();
    }
    return static_cast<ssize_t>(got);
  }

  // A write larger than one WriteFile can take comes back short, as a POSIX write may.
  ssize_t write(int fd, const void* buffer, std::size_t count) override {
    const HANDLE handle = handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) {
      return fail(EBADF);
    }
    DWORD written = 0;
    if (!WriteFile(handle, buffer, clamp(count), &written, nullptr)) {
      return failWithLastError();
    }
    return static_cast<ssize_t>(written);
  }

  FileOffset lseek(int fd, FileOffset offset, int whence) override {
    const HANDLE handle = handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) {
      return fail(EBADF);
    }
    DWORD method = FILE_BEGIN;
    if (whence == SEEK_CUR) {
      method = FILE_CURRENT;
    } else if (whence == SEEK_END) {
      method = FILE_END;
    } else if (whence != SEEK_SET) {
      return fail(EINVAL);
    }
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(handle, distance, &position, method)) {
      return failWithLastError();
    }
    return static_cast<FileOffset>(position.QuadPart);
  }

  // Writes the file's data and metadata through every cache to the disk. A folder has nothing to
  // sync (EINVAL, as Linux says of file systems that cannot sync one): NTFS records a new file's
  // name in its journal, which FlushFileBuffers of the file writes out up to that file's changes.
  int fsync(int fd) override {
    Open open;
    if (!find(fd, open)) {
      return fail(EBADF);
    }
    if (open.folder) {
      return fail(EINVAL);
    }
    return FlushFileBuffers(open.handle) ? 0 : failWithLastError();
  }

  int fstat(int fd, FileStatus* status) override {
    const HANDLE handle = handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) {
      return fail(EBADF);
    }
    *status = {};
    const DWORD type = GetFileType(handle);
    if (type != FILE_TYPE_DISK) {
      // A console, a printer port or a pipe: no file to keep records in.
      return type == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR ? failWithLastError() : 0;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) {
      return failWithLastError();
    }
    status->kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Folder
                                                                           : FileKind::Regular;
    status->size = static_cast<FileOffset>(wide64(info.nFileSizeHigh, info.nFileSizeLow));
    status->identity = {info.dwVolumeSerialNumber, wide64(info.nFileIndexHigh, info.nFileIndexLow)};
    return 0;
  }

  // A handle that only appends may not set the file's end; a second handle on the very same file
  // (never one that took its name since) does it.
  int ftruncate(int fd, FileOffset length) override {
    const HANDLE handle = handleOf(fd);
    if (handle == INVALID_HANDLE_VALUE) {
      return fail(EBADF);
    }
    if (length < 0) {
      return fail(EINVAL);
    }
    const HANDLE writer = ReOpenFile(handle, GENERIC_WRITE, kShareAll, 0);
    if (writer == INVALID_HANDLE_VALUE) {
      return failWithLastError();
    }
    LARGE_INTEGER end;
    end.QuadPart = length;
    const bool cut = SetFilePointerEx(writer, end, nullptr, FILE_BEGIN) && SetEndOfFile(writer);
    const DWORD code = GetLastError();
    CloseHandle(writer);
    return cut ? 0 : fail(errnoFromWin32(code));
  }

  // The lock goes before the handle does, so that another copy can take it at once.
  int close(int fd) override {
    Open closing;
    {
      const std::lock_guard<std::mutex> guard(mutex_);
      const auto found = open_.find(fd);
      if (found == open_.end()) {
        return fail(EBADF);
      }
      closing = found->second;
      open_.erase(found);
    }
    if (closing.locked) {
      OVERLAPPED at = lockPosition();
      UnlockFileEx(closing.handle, 0, 1, 0, &at);
    }
    return CloseHandle(closing.handle) ? 0 : failWithLastError();
  }

  int lock(int fd) override {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto found = open_.find(fd);
    if (found == open_.end()) {
      return fail(EBADF);
    }
    if (found->second.locked) {
      return 0;  // as on Linux, taking a lock this open holds already succeeds
    }
    OVERLAPPED at = lockPosition();
    if (!LockFileEx(found->second.handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                    0, &at)) {
      return failWithLastError();  // held by another handle: ERROR_LOCK_VIOLATION, EAGAIN
    }
    found->second.locked = true;
    return 0;
  }

 private:
  struct Open {
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool folder = false;
    bool locked = false;
  };

  static DWORD clamp(std::size_t count) {
    return count > MAXDWORD ? MAXDWORD : static_cast<DWORD>(count);
  }
  static std::uint64_t wide64(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
  }
  static OVERLAPPED lockPosition() {
    OVERLAPPED at{};
    at.Offset = kLockOffsetLow;
    at.OffsetHigh = kLockOffsetHigh;
    return at;
  }

  bool find(int fd, Open& open) {
    const std::lock_guard<std::mutex> guard(mutex_);
    const auto found = open_.find(fd);
    if (found == open_.end()) {
      return false;
    }
    open = found->second;
    return true;
  }
  HANDLE handleOf(int fd) {
    Open open;
    return find(fd, open) ? open.handle : INVALID_HANDLE_VALUE;
  }

  std::mutex mutex_;
  std::map<int, Open> open_;
  int nextDescriptor_ = 3;
};

}  // namespace

FileSystem& systemFileSystem() {
  static Win32FileSystem fileSystem;
  return fileSystem;
}

int errnoFromWin32(unsigned long code) {
  switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case kWin32DiskQuotaExceeded:
      return kDiskQuotaExceeded;
    case ERROR_ACCESS_DENIED:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
      return EIO;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_FILE_TOO_LARGE:
      return EFBIG;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_CANT_RESOLVE_FILENAME:
      return ELOOP;
    case ERROR_SHARING_VIOLATION:  // another program opened the file without sharing it
      return EBUSY;
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
      return ENXIO;
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_PARAMETER:
    case ERROR_NEGATIVE_SEEK:
    case ERROR_NOT_SUPPORTED:
      return EINVAL;
    case ERROR_LOCK_VIOLATION:  // the save's lock is held by another copy of the program
      return EAGAIN;
    case ERROR_LOCK_FAILED:
      return ENOLCK;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    default:
      return code > INT_MAX - kSystemErrorBase ? kSystemErrorBase
                                               : kSystemErrorBase + static_cast<int>(code);
  }
}

// Windows sends no signal at a file-size limit: a write past one fails like any other.
void surviveFileSizeLimit() {}

}  // namespace records
