#include "RecordReader.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include "RecordParser.h"
#include "WellFormedScan.h"

namespace records {
namespace {

constexpr std::size_t kChunk = 64;
constexpr std::size_t kMostExactRecords = 4096;

// No field holds a line end, so the exact parser given this key matches no record.
constexpr std::string_view kNoKey = "\n";

// Reads up to `capacity` bytes: 0 at the end of the file, -1 with errno on failure.
ssize_t readSome(FileSystem& fileSystem, int fd, char* buffer, std::size_t capacity) {
  for (;;) {
    const ssize_t got = fileSystem.read(fd, buffer, capacity);
    if (got >= 0 || errno != EINTR) {
      return got;
    }
  }
}

// The stretch of the file held in memory, [begin(), end()). Blocks are read into a page-aligned
// area (the kernel copies to one much faster than to an unaligned one), with room before it for
// the bytes still needed from the blocks before.
class Window {
 public:
  Window(FileSystem& fileSystem, int fd, std::uint64_t start, std::size_t blockSize,
         std::size_t room)
      : fs_(fileSystem),
        fd_(fd),
        blockSize_(blockSize),
        room_(room),
        storage_(std::make_unique_for_overwrite<char[]>(room + blockSize + kPage)),
        begin_(start) {
    const auto after = reinterpret_cast<std::uintptr_t>(storage_.get()) + room;
    area_ = storage_.get() + room + (kPage - after % kPage) % kPage;
    data_ = area_;
  }

  std::uint64_t begin() const { return begin_; }
  std::uint64_t end() const { return begin_ + size_; }
  std::size_t room() const { return room_; }
  bool holds(std::uint64_t offset) const { return offset >= begin_ && offset <= end(); }
  const char* at(std::uint64_t offset) const { return data_ + (offset - begin_); }

  // Reads the next block, keeping the bytes from `keep` on, which must be held and fit the room.
  // Returns the count read: 0 at the end of the file, -1 with errno on failure.
  ssize_t extend(std::uint64_t keep) {
    const auto kept = static_cast<std::size_t>(end() - keep);
    std::memmove(area_ - kept, at(keep), kept);
    data_ = area_ - kept;
    begin_ = keep;
    size_ = kept;
    const ssize_t got = readSome(fs_, fd_, area_, blockSize_);
    if (got > 0) {
      size_ += static_cast<std::size_t>(got);
    }
    return got;
  }

  // Drops what it holds and goes on reading at `offset`. Returns false with errno on failure.
  bool moveTo(std::uint64_t offset) {
    if (fs_.lseek(fd_, static_cast<FileOffset>(offset), SEEK_SET) < 0) {
      return false;
    }
    data_ = area_;
    begin_ = offset;
    size_ = 0;
    return true;
  }

 private:
  static constexpr std::size_t kPage = 4096;
  FileSystem& fs_;
  int fd_;
  std::size_t blockSize_;
  std::size_t room_;
  std::unique_ptr<char[]> storage_;
  char* area_ = nullptr;
  char* data_ = nullptr;
  std::uint64_t begin_;
  std::size_t size_ = 0;
};

// How reading through the file ended.
struct ReadEnd {
  int error = 0;
  std::optional<FoundRecord> found;
  std::uint64_t end = 0;   // where the data ended, without a match
  std::string completion;  // what completes the record the data ends in
};

class Reader {
 public:
  Reader(FileSystem& fileSystem, int fd, std::uint64_t from, const std::optional<std::string>& key,
         const ReaderTuning& tuning)
      : fs_(fileSystem),
        fd_(fd),
        key_(key),
        probe_(key ? KeyProbe(*key) : KeyProbe()),
        route_(tuning.route),
        window_(fileSystem, fd, from, std::max<std::size_t>(tuning.blockSize, 1),
                std::max<std::size_t>(tuning.blockSize, 1) + kChunk + probe_.lookahead()) {}

  ReadEnd read() {
    std::uint64_t start = window_.begin();
    for (;;) {
      if (route_ != ReadRoute::ExactOnly && !endSeen_) {
        const std::optional<std::uint64_t> handover = followWellFormed(start);
        if (!handover) {
          return {errno, {}, start, {}};
        }
        // Where hand edits run on, the exact parser keeps the reading longer each time the fast
        // way finds no whole line to follow, up to a few blocks' worth of records.
        exactRecords_ = *handover == start ? std::min(exactRecords_ * 2, kMostExactRecords) : 1;
        start = *handover;
      }
      ReadEnd end;
      const std::optional<std::uint64_t> next = parseExactly(start, end);
      if (!next) {
        return end;
      }
      start = *next;
    }
  }

 private:
  // Follows well-formed stretches from the record boundary `start`. Returns the record boundary
  // where the exact parser must take over, or nothing with errno on a failed read.
  std::optional<std::uint64_t> followWellFormed(std::uint64_t start) {
    WellFormedStretch stretch(start, key_ ? std::optional<std::string_view>(*key_) : std::nullopt);
    const std::size_t lookahead = probe_.lookahead();
    std::uint64_t position = start;
    for (;;) {
      const std::uint64_t held = window_.end() - position;
      if (held < kChunk + lookahead) {
        const std::uint64_t boundary = stretch.boundary();
        const bool keepRecord =
            window_.holds(boundary) && window_.end() - boundary <= window_.room();
        const ssize_t got = window_.extend(keepRecord ? boundary : position);
        if (got < 0) {
          return std::nullopt;
        }
        if (got == 0) {
          endSeen_ = true;
          return boundary;
        }
        continue;
      }
      const auto chunks = static_cast<std::size_t>((held - lookahead) / kChunk);
      const std::uint64_t handover =
          followStretch(stretch, window_.at(position), position, chunks, probe_, kernel());
      if (handover != WellFormedStretch::kGoesOn) {
        return handover;
      }
      position += chunks * kChunk;
    }
  }

  ScanKernel kernel() const {
    switch (route_) {
      case ReadRoute::FastAvx2:
        return ScanKernel::Avx2;
      case ReadRoute::FastPortable:
        return ScanKernel::Portable;
      case ReadRoute::Fast:
      case ReadRoute::ExactOnly:
        break;
    }
    return ScanKernel::Fastest;
  }

  // Parses from the record boundary `start`: to the end of exactRecords_ records when the
  // well-formed way may take over after them, else to the end of the data. Returns where the next
  // record starts, or nothing with the end of the reading in `end`.
  std::optional<std::uint64_t> parseExactly(std::uint64_t start, ReadEnd& end) {
    if (!window_.holds(start) && !window_.moveTo(start)) {
      end.error = errno;
      return std::nullopt;
    }
    RecordParser parser(key_.value_or(std::string(kNoKey)), start);
    std::uint64_t position = start;
    std::size_t recordsLeft = exactRecords_;
    for (;;) {
      const bool handBack = route_ != ReadRoute::ExactOnly && !endSeen_;
      const std::string_view bytes(window_.at(position), window_.end() - position);
      std::size_t taken = bytes.size();
      if (handBack) {
        taken = parser.feedRecord(bytes);
      } else {
        parser.feed(bytes);
      }
      position += taken;
      if (parser.matched()) {
        return found(parser, end);
      }
      if (handBack && position > start && parser.atRecordStart()) {
        if (--recordsLeft == 0) {
          return position;
        }
        if (taken < bytes.size()) {
          continue;
        }
      }
      const ssize_t got = window_.extend(position);
      if (got < 0) {
        end.error = errno;
        return std::nullopt;
      }
      if (got == 0) {
        endSeen_ = true;
        end.end = window_.end();
        end.completion = parser.completion();
        if (parser.finish()) {
          return found(parser, end);
        }
        return std::nullopt;
      }
    }
  }

  std::optional<std::uint64_t> found(const RecordParser& parser, ReadEnd& end) {
    if (fs_.lseek(fd_, static_cast<FileOffset>(parser.matchEnd()), SEEK_SET) < 0) {
      end.error = errno;
    } else {
      end.found = FoundRecord{parser.matchFields(), parser.matchEnd()};
    }
    return std::nullopt;
  }

  FileSystem& fs_;
  int fd_;
  std::optional<std::string> key_;
  KeyProbe probe_;
  ReadRoute route_;
  Window window_;
  bool endSeen_ = false;          // a read returned the end of the file
  std::size_t exactRecords_ = 1;  // records the exact parser reads before the fast way tries again
};

}  // namespace

LookupResult findFirstRecord(FileSystem& fileSystem, int fd, const std::optional<std::string>& key,
                             const ReaderTuning& tuning) {
  ReadEnd end = Reader(fileSystem, fd, 0, key, tuning).read();
  return {end.error, std::move(end.found)};
}

RecordTail readTail(FileSystem& fileSystem, int fd, std::uint64_t from,
                    const ReaderTuning& tuning) {
  if (fileSystem.lseek(fd, static_cast<FileOffset>(from), SEEK_SET) < 0) {
    return {errno, from, {}};
  }
  ReadEnd end = Reader(fileSystem, fd, from, std::nullopt, tuning).read();
  if (end.error != 0) {
    return {end.error, from, {}};
  }
  return {0, end.end, std::move(end.completion)};
}

RecordTail checkTail(FileSystem& fileSystem, int fd, std::uint64_t from) {
  return readTail(fileSystem, fd, from);
}

}  // namespace records
