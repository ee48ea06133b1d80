#include "RecordTail.h"

#include <unistd.h>

#include <cerrno>
#include <memory>

#include "RecordParser.h"

namespace records {
namespace {

constexpr std::size_t kBlockSize = std::size_t{128} * 1024;

// No field holds a line end, so this key matches no record and the parser reads to the end.
constexpr const char* kNoKey = "\n";

}  // namespace

RecordTail checkTail(FileSystem& fileSystem, int fd, std::uint64_t from) {
  if (fileSystem.lseek(fd, static_cast<off_t>(from), SEEK_SET) < 0) {
    return {errno, from, {}};
  }
  RecordParser parser(kNoKey);
  const auto block = std::make_unique_for_overwrite<char[]>(kBlockSize);
  std::uint64_t end = from;
  for (;;) {
    const ssize_t got = fileSystem.read(fd, block.get(), kBlockSize);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return {errno, end, {}};
    }
    if (got == 0) {
      return {0, end, parser.completion()};
    }
    parser.feed({block.get(), static_cast<std::size_t>(got)});
    end += static_cast<std::uint64_t>(got);
  }
}

}  // namespace records
