#pragma once

#include <sys/types.h>

#include <cstddef>
#include <map>
#include <string>
#include <utility>

#include "FileSystem.h"

namespace fuzzing {

// The file system the record file sees, held in memory: one regular file under one name, and a
// folder under every other name. It lets a fuzzer drive the real save and lookup code many
// thousands of times a second without touching the disk, and shows which descriptors are open and
// where each stands. Calls behave as their POSIX namesakes do on a healthy disk.
class MemoryFileSystem final : public records::FileSystem {
 public:
  explicit MemoryFileSystem(std::string fileName) : fileName_(std::move(fileName)) {}

  // Makes the file exist with these bytes.
  void setFile(std::string bytes);
  bool fileExists() const { return exists_; }
  const std::string& fileBytes() const { return bytes_; }

  std::size_t openDescriptors() const { return handles_.size(); }
  // The read or write position of an open descriptor, or -1.
  records::FileOffset position(int fd) const;

  int open(const char* path, int flags, mode_t mode) override;
  ssize_t read(int fd, void* buffer, std::size_t count) override;
  ssize_t write(int fd, const void* buffer, std::size_t count) override;
  records::FileOffset lseek(int fd, records::FileOffset offset, int whence) override;
  int fsync(int fd) override;
  int fstat(int fd, records::FileStatus* status) override;
  int ftruncate(int fd, records::FileOffset length) override;
  int close(int fd) override;
  int lock(int fd) override;  // one program alone: always granted on an open descriptor

 private:
  struct Handle {
    bool folder = false;
    bool readable = false;
    bool writable = false;
    bool append = false;
    records::FileOffset position = 0;
  };

  // The open handle on the file (not a folder) behind `fd`, or null with errno set.
  Handle* fileHandle(int fd);

  std::string fileName_;
  std::string bytes_;
  bool exists_ = false;
  std::map<int, Handle> handles_;
  int nextDescriptor_ = 3;
};

}  // namespace fuzzing
