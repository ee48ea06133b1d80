#include "MemoryFileSystem.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace fuzzing {
namespace {

int failWith(int error) {
  errno = error;
  return -1;
}

}  // namespace

void MemoryFileSystem::setFile(std::string bytes) {
  bytes_ = std::move(bytes);
  exists_ = true;
}

records::FileOffset MemoryFileSystem::position(int fd) const {
  const auto found = handles_.find(fd);
  return found == handles_.end() ? -1 : found->second.position;
}

int MemoryFileSystem::open(const char* path, int flags, mode_t /*mode*/) {
  const int access = flags & O_ACCMODE;
  Handle handle;
  handle.readable = access == O_RDONLY || access == O_RDWR;
  handle.writable = access == O_WRONLY || access == O_RDWR;
  if (fileName_ != path) {
    if (handle.writable) {
      return failWith(EISDIR);
    }
    handle.folder = true;
  } else {
    if ((flags & O_DIRECTORY) != 0) {
      return failWith(ENOTDIR);
    }
    if (!exists_ && (flags & O_CREAT) == 0) {
      return failWith(ENOENT);
    }
    exists_ = true;
    handle.append = (flags & O_APPEND) != 0;
    if ((flags & O_TRUNC) != 0 && handle.writable) {
      bytes_.clear();
    }
  }
  const int fd = nextDescriptor_++;
  handles_[fd] = handle;
  return fd;
}

MemoryFileSystem::Handle* MemoryFileSystem::fileHandle(int fd) {
  const auto found = handles_.find(fd);
  if (found == handles_.end()) {
    errno = EBADF;
    return nullptr;
  }
  if (found->second.folder) {
    errno = EISDIR;
    return nullptr;
  }
  return &found->second;
}

ssize_t MemoryFileSystem::read(int fd, void* buffer, std::size_t count) {
  Handle* handle = fileHandle(fd);
  if (handle == nullptr) {
    return -1;
  }
  if (!handle->readable) {
    return failWith(EBADF);
  }
  const auto from = static_cast<std::size_t>(handle->position);
  const std::size_t got = from >= bytes_.size() ? 0 : std::min(count, bytes_.size() - from);
  std::memcpy(buffer, bytes_.data() + from, got);
  handle->position += static_cast<records::FileOffset>(got);
  return static_cast<ssize_t>(got);
}

ssize_t MemoryFileSystem::write(int fd, const void* buffer, std::size_t count) {
  Handle* handle = fileHandle(fd);
  if (handle == nullptr) {
    return -1;
  }
  if (!handle->writable) {
    return failWith(EBADF);
  }
  if (handle->append) {
    handle->position = static_cast<records::FileOffset>(bytes_.size());
  }
  const auto at = static_cast<std::size_t>(handle->position);
  if (bytes_.size() < at + count) {
    bytes_.resize(at + count);
  }
  bytes_.replace(at, count, static_cast<const char*>(buffer), count);
  handle->position += static_cast<records::FileOffset>(count);
  return static_cast<ssize_t>(count);
}

records::FileOffset MemoryFileSystem::lseek(int fd, records::FileOffset offset, int whence) {
  Handle* handle = fileHandle(fd);
  if (handle == nullptr) {
    return -1;
  }
  records::FileOffset base = 0;
  if (whence == SEEK_CUR) {
    base = handle->position;
  } else if (whence == SEEK_END) {
    base = static_cast<records::FileOffset>(bytes_.size());
  } else if (whence != SEEK_SET) {
    return failWith(EINVAL);
  }
  if (offset < -base) {
    return failWith(EINVAL);
  }
  handle->position = base + offset;
  return handle->position;
}

int MemoryFileSystem::fsync(int fd) {
  return handles_.count(fd) == 0 ? failWith(EBADF) : 0;
}

int MemoryFileSystem::fstat(int fd, records::FileStatus* status) {
  const auto found = handles_.find(fd);
  if (found == handles_.end()) {
    return failWith(EBADF);
  }
  *status = {};
  status->kind = found->second.folder ? records::FileKind::Folder : records::FileKind::Regular;
  status->size = found->second.folder ? 0 : static_cast<records::FileOffset>(bytes_.size());
  return 0;
}

int MemoryFileSystem::ftruncate(int fd, records::FileOffset length) {
  Handle* handle = fileHandle(fd);
  if (handle == nullptr) {
    return -1;
  }
  if (!handle->writable || length < 0) {
    return failWith(handle->writable ? EINVAL : EBADF);
  }
  bytes_.resize(static_cast<std::size_t>(length));
  return 0;
}

int MemoryFileSystem::close(int fd) {
  return handles_.erase(fd) == 0 ? failWith(EBADF) : 0;
}

int MemoryFileSystem::lock(int fd) {
  return handles_.count(fd) == 0 ? failWith(EBADF) : 0;
}

}  // namespace fuzzing
