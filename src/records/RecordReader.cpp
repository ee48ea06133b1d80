#include "RecordReader.h"

#if defined(__linux__)
#include <sched.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

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

// Whether more than one core may run this process: a helper thread on the same core as the scan
// would only add switches between the two.
bool severalCores() {
#if defined(__linux__)
  cpu_set_t cores;
  CPU_ZERO(&cores);
  if (sched_getaffinity(0, sizeof(cores), &cores) == 0) {
    return CPU_COUNT(&cores) > 1;
  }
#endif
  return std::thread::hardware_concurrency() > 1;
}

// How the reader and its helper wait for the counters they move on for each other, and wake each
// other.
// Each waits for the other for tens of microseconds per block, less than it takes to put a thread
// to sleep and wake it: so a wait first only gives its core away for a while (to the other, when
// both share a core), which also spares the other the call that wakes a sleeper, and only then
// sleeps. The sleep is on a condition variable, not on the atomic's own wait: under wine, on a busy
// machine, that one (libstdc++ without futexes) left lookups of a few bytes waiting for minutes.
class Handoff {
 public:
  // Waits until `counter` has a value `ready` accepts, and returns it.
  template <typename Ready>
  std::uint64_t await(const std::atomic<std::uint64_t>& counter, Ready ready) {
    constexpr auto kPatience = std::chrono::microseconds(200);
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t value = counter.load(std::memory_order_acquire);
    while (!ready(value) && std::chrono::steady_clock::now() - start < kPatience) {
      std::this_thread::yield();
      value = counter.load(std::memory_order_acquire);
    }
    if (!ready(value)) {
      std::unique_lock lock(mutex_);
      moved_.wait(lock, [&] {
        value = counter.load(std::memory_order_acquire);
        return ready(value);
      });
    }
    return value;
  }

  // Moves `counter` on to `value` and wakes the other thread if it sleeps. The store is made under
  // the lock, so that a wait that has just found the old value cannot miss the wake-up.
  void publish(std::atomic<std::uint64_t>& counter, std::uint64_t value) {
    {
      const std::lock_guard lock(mutex_);
      counter.store(value, std::memory_order_release);
    }
    moved_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable moved_;
};

// The stretch of the file held in memory, [begin(), end()). Blocks are read into page-aligned areas
// (the kernel copies to one much faster than to an unaligned one), each with room before it for the
// bytes still needed from the blocks before.
//
// Reading ahead, a helper thread fills the areas of a small ring in the file's order while the
// reader follows the block it took last; the reader takes the blocks in the same order, so that
// which bytes come first is never in doubt. The helper starts only once a read fills a whole block
// (a smaller file costs no thread), stops at the end of the file or a failed read, and is stopped
// before anything else moves the descriptor.
class Window {
 public:
  Window(FileSystem& fileSystem, int fd, std::uint64_t start, std::size_t blockSize,
         std::size_t room, ReadThreads threads)
      : fs_(fileSystem),
        fd_(fd),
        blockSize_(blockSize),
        room_(room),
        threads_(threads),
        slots_(threads == ReadThreads::One ? 1 : kRingSlots),
        begin_(start) {
    allocate(slots_[current_]);
    data_ = slots_[current_].area;
  }
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  ~Window() { stopReadingAhead(); }

  std::uint64_t begin() const { return begin_; }
  std::uint64_t end() const { return begin_ + size_; }
  std::size_t room() const { return room_; }
  bool holds(std::uint64_t offset) const { return offset >= begin_ && offset <= end(); }
  const char* at(std::uint64_t offset) const { return data_ + (offset - begin_); }

  // Takes the next block, keeping the bytes from `keep` on, which must be held and fit the room.
  // Returns the count read: 0 at the end of the file, -1 with errno on failure.
  ssize_t extend(std::uint64_t keep) {
    const auto kept = static_cast<std::size_t>(end() - keep);
    if (helper_.joinable()) {
      return takeBlockReadAhead(keep, kept);
    }
    char* const area = slots_[current_].area;
    std::memmove(area - kept, at(keep), kept);
    data_ = area - kept;
    begin_ = keep;
    size_ = kept;
    const ssize_t got = readSome(fs_, fd_, area, blockSize_);
    if (got > 0) {
      size_ += static_cast<std::size_t>(got);
    }
    if (got == static_cast<ssize_t>(blockSize_)) {
      startReadingAhead();
    }
    return got;
  }

  // Drops what it holds and goes on reading at `offset`. Returns false with errno on failure.
  bool moveTo(std::uint64_t offset) {
    stopReadingAhead();
    if (fs_.lseek(fd_, static_cast<FileOffset>(offset), SEEK_SET) < 0) {
      return false;
    }
    data_ = slots_[current_].area;
    begin_ = offset;
    size_ = 0;
    return true;
  }

  // Ends reading ahead, once a read in flight has returned; what the helper read and did not hand
  // over is dropped, its failures with it. The descriptor then stands past the last block read.
  void stopReadingAhead() {
    if (!helper_.joinable()) {
      return;
    }
    handoff_.publish(freed_, kStopped);
    helper_.join();
  }

 private:
  static constexpr std::size_t kPage = 4096;
  // The block followed and up to three read ahead: enough that the helper rarely waits for the
  // reader or the reader for the helper, and a few blocks of memory.
  static constexpr std::size_t kRingSlots = 4;
  static constexpr std::uint64_t kStopped = ~std::uint64_t{0};

  struct Slot {
    std::unique_ptr<char[]> storage;
    char* area = nullptr;
    ssize_t got = 0;  // what the helper's read into the area returned
    int error = 0;    // and its errno
  };

  // The ring's other slots are made only when a helper first reads ahead.
  void allocate(Slot& slot) const {
    slot.storage = std::make_unique_for_overwrite<char[]>(room_ + blockSize_ + kPage);
    const auto after = reinterpret_cast<std::uintptr_t>(slot.storage.get()) + room_;
    slot.area = slot.storage.get() + room_ + (kPage - after % kPage) % kPage;
  }

  void startReadingAhead() {
    if (threads_ == ReadThreads::Auto) {
      // Asked once per lookup, at its first whole block.
      threads_ = severalCores() ? ReadThreads::Two : ReadThreads::One;
    }
    if (threads_ == ReadThreads::One) {
      return;
    }
    for (Slot& slot : slots_) {
      if (!slot.storage) {
        allocate(slot);
      }
    }
    first_ = current_;
    taken_ = 0;
    filled_.store(0, std::memory_order_relaxed);
    freed_.store(0, std::memory_order_relaxed);
    try {
      helper_ = std::thread([this] { readAhead(); });
    } catch (const std::system_error&) {
      // No thread to be had: the reader reads each block itself, as on one core.
      threads_ = ReadThreads::One;
    }
  }

  // The helper: block n (from 0) goes to the slot after the one the reader held when it started,
  // n slots on, once the reader has left that slot. A failed read or the end of the file is the
  // last block it hands over.
  void readAhead() {
    const std::size_t slots = slots_.size();
    for (std::uint64_t block = 0;; ++block) {
      const std::uint64_t freed = handoff_.await(freed_, [&](std::uint64_t value) {
        return value == kStopped || block < value + slots - 1;
      });
      if (freed == kStopped) {
        return;
      }
      Slot& slot = slots_[(first_ + 1 + block) % slots];
      slot.got = readSome(fs_, fd_, slot.area, blockSize_);
      slot.error = slot.got < 0 ? errno : 0;
      handoff_.publish(filled_, block + 1);
      if (slot.got <= 0) {
        return;
      }
    }
  }

  // extend() while the helper reads: waits for the next block, puts the kept bytes before it and
  // hands the slot left behind back to the helper.
  ssize_t takeBlockReadAhead(std::uint64_t keep, std::size_t kept) {
    handoff_.await(filled_, [this](std::uint64_t filled) { return filled > taken_; });
    const std::size_t next = (first_ + 1 + taken_) % slots_.size();
    Slot& slot = slots_[next];
    std::memcpy(slot.area - kept, at(keep), kept);
    current_ = next;
    data_ = slot.area - kept;
    begin_ = keep;
    size_ = kept + static_cast<std::size_t>(std::max<ssize_t>(slot.got, 0));
    ++taken_;
    handoff_.publish(freed_, taken_);
    const ssize_t got = slot.got;
    if (got <= 0) {
      helper_.join();  // it handed over its last block
      errno = slot.error;
    }
    return got;
  }

  FileSystem& fs_;
  int fd_;
  std::size_t blockSize_;
  std::size_t room_;
  ReadThreads threads_;
  std::vector<Slot> slots_;
  std::size_t current_ = 0;  // the slot that holds the bytes
  char* data_ = nullptr;
  std::uint64_t begin_;
  std::size_t size_ = 0;
  // Reading ahead: the slot held when the helper started, the blocks the reader has taken from it,
  // and what the two tell each other: the blocks filled, and the blocks taken (every slot but the
  // held one and those filled is free), or kStopped.
  std::thread helper_;
  std::size_t first_ = 0;
  std::uint64_t taken_ = 0;
  std::atomic<std::uint64_t> filled_{0};
  std::atomic<std::uint64_t> freed_{0};
  Handoff handoff_;
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
                std::max<std::size_t>(tuning.blockSize, 1) + kChunk + probe_.lookahead(),
                tuning.threads) {}

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
    window_.stopReadingAhead();
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

// A save reads the tail on its own thread: mostly a few bytes past what it saw last time.
RecordTail checkTail(FileSystem& fileSystem, int fd, std::uint64_t from) {
  ReaderTuning tuning;
  tuning.threads = ReadThreads::One;
  return readTail(fileSystem, fd, from, tuning);
}

}  // namespace records
