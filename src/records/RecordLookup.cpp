#include "RecordLookup.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// Reads the rest of the file and tells whether `needle` occurs in it. An empty needle stands for
// bytes that cannot occur. A block keeps the last bytes of the one before, so an occurrence that
// straddles two reads is found too.
Scan scanForBytes(FileSystem& fileSystem, int fd, std::string_view needle, std::size_t blockSize,
                  int& error) {
  const std::size_t kept = needle.empty() ? 0 : needle.size() - 1;
  const auto buffer = std::make_unique_for_overwrite<char[]>(kept + blockSize);
  std::size_t carried = 0;
  for (;;) {
    const ssize_t got = readSome(fileSystem, fd, buffer.get() + carried, blockSize);
    if (got < 0) {
      error = errno;
      return Scan::Failed;
    }
    if (got == 0) {
      return Scan::Absent;
    }
    const std::size_t filled = carried + static_cast<std::size_t>(got);
    if (!needle.empty() && findBytes({buffer.get(), filled}, needle) != std::string_view::npos) {
      return Scan::Present;
    }
    carried = std::min(kept, filled);
    std::memmove(buffer.get(), buffer.get() + filled - carried, carried);
  }
}

LookupResult parseFromStart(FileSystem& fileSystem, int fd, const std::string& key,
                            std::size_t blockSize) {
  RecordParser parser(key);
  const auto buffer = std::make_unique_for_overwrite<char[]>(blockSize);
  bool matched = false;
  for (;;) {
    const ssize_t got = readSome(fileSystem, fd, buffer.get(), blockSize);
    if (got < 0) {
      return failed(errno);
    }
    if (got == 0) {
      matched = parser.finish();
      break;
    }
    if (parser.feed({buffer.get(), static_cast<std::size_t>(got)})) {
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
