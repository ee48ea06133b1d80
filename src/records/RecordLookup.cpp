#include "RecordLookup.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "ByteSearch.h"
#include "RecordParser.h"

namespace records {
namespace {

enum class Scan { Absent, Present, Failed };

// Reads up to `capacity` bytes: 0 at the end of the file, -1 with errno on failure.
ssize_t readSome(FileSystem& fileSystem, int fd, char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t got = fileSystem.read(fd, buffer, capacity);
    if (got >= 0 || errno != EINTR) {
      return got;
    }
  }
}

LookupResult failed(int error) {
  return {FindStatus::ReadFailed, error, {}};
}

// Memory for reads: a page-aligned area (the kernel copies to it much faster than to an unaligned
// one), with room before it for bytes carried over from the block before.
class ReadBuffer {
 public:
  ReadBuffer(std::size_t before, std::size_t size)
      : storage_(std::make_unique_for_overwrite<char[]>(before + size + kPage)) {
    const auto start = reinterpret_cast<std::uintptr_t>(storage_.get()) + before;
    area_ = storage_.get() + before + (kPage - start % kPage) % kPage;
  }
  char* area() const { return area_; }

 private:
  static constexpr std::size_t kPage = 4096;
  std::unique_ptr<char[]> storage_;
  char* area_ = nullptr;
};

// Reads the rest of the file and tells whether `needle` occurs in it. An empty needle stands for
// bytes that cannot occur. Each block is searched together with the last bytes of the one before,
// so an occurrence that straddles two reads is found too.
Scan scanForBytes(FileSystem& fileSystem, int fd, std::string_view needle, std::size_t blockSize,
                  int& error) {
  const std::size_t kept = needle.empty() ? 0 : needle.size() - 1;
  const ReadBuffer buffer(kept, blockSize);
  char* const area = buffer.area();
  std::size_t carried = 0;
  for (;;) {
    const ssize_t got = readSome(fileSystem, fd, area, blockSize);
    if (got < 0) {
      error = errno;
      return Scan::Failed;
    }
    if (got == 0) {
      return Scan::Absent;
    }
    const auto fresh = static_cast<std::size_t>(got);
    if (!needle.empty() &&
        findBytes({area - carried, carried + fresh}, needle) != std::string_view::npos) {
      return Scan::Present;
    }
    const std::size_t keep = std::min(kept, carried + fresh);
    std::memmove(area - keep, area + fresh - keep, keep);
    carried = keep;
  }
}

LookupResult parseFromStart(FileSystem& fileSystem, int fd, const std::string& key,
                            std::size_t blockSize) {
  RecordParser parser(key);
  const ReadBuffer buffer(0, blockSize);
  bool matched = false;
  for (;;) {
    const ssize_t got = readSome(fileSystem, fd, buffer.area(), blockSize);
    if (got < 0) {
      return failed(errno);
    }
    if (got == 0) {
      matched = parser.finish();
      break;
    }
    if (parser.feed({buffer.area(), static_cast<std::size_t>(got)})) {
      matched = true;
      break;
    }
  }
  if (!matched) {
    return {};
  }
  if (fileSystem.lseek(fd, static_cast<off_t>(parser.matchEnd()), SEEK_SET) < 0) {
    return failed(errno);
  }
  return {FindStatus::Found, 0, parser.matchFields()};
}

}  // namespace

LookupResult lookUpRecord(FileSystem& fileSystem, int fd, const std::optional<std::string>& key,
                          const LookupTuning& tuning) {
  const std::size_t blockSize = std::max<std::size_t>(tuning.blockSize, 1);
  int error = 0;
  if (!key) {
    return scanForBytes(fileSystem, fd, {}, blockSize, error) == Scan::Failed ? failed(error)
                                                                              : LookupResult{};
  }
  // Every field equal to the key holds the key's bytes, so a file without them has no match. The
  // empty key occurs everywhere and always takes the parser.
  if (!key->empty() && tuning.route == LookupRoute::ScanFirst) {
    switch (scanForBytes(fileSystem, fd, *key, blockSize, error)) {
      case Scan::Absent:
        return {};
      case Scan::Failed:
        return failed(error);
      case Scan::Present:
        if (fileSystem.lseek(fd, 0, SEEK_SET) < 0) {
          return failed(errno);
        }
        break;
    }
  }
  return parseFromStart(fileSystem, fd, *key, blockSize);
}

}  // namespace records
