#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace records {

// The record reader's fast way through stretches of the record file written by this program:
// every line a double quote, text without quotes or line ends, a double quote, CR LF. This is the
// one place where the reader looks at many bytes at once. The bytes are sorted, 64 at a time, into
// the few classes the line structure turns on (double quotes, CRs, LFs), and the structure is
// followed with bit arithmetic on those masks: whether every line has the form, and which field of
// its record each line is, by counting line ends.

// Bit i of each mask stands for byte i of a 64-byte chunk. The masks of the bytes 1 and 3 further
// on are taken from the bytes themselves (the kernels read up to a chunk past it), so that
// checking a chunk needs nothing carried from the one before.
struct ChunkMasks {
  std::uint64_t lineFeeds = 0;         // byte i is LF
  std::uint64_t carriageReturns = 0;   // byte i is CR
  std::uint64_t nextQuotes = 0;        // byte i + 1 is a double quote
  std::uint64_t nextLineFeeds = 0;     // byte i + 1 is LF
  std::uint64_t lineFeedsThreeOn = 0;  // byte i + 3 is LF
  // Bytes that could end the line before one holding exactly the key: the key's middle and last
  // bytes and the closing quote just after it stand where they would. Matriculas share their first
  // bytes (the year) and often the middle one, so two of the key's bytes keep false candidates
  // rare.
  std::uint64_t keyProbes = 0;
  // The LFs that end a record's fifth field, where the kernel can tell them at once.
  std::uint64_t recordEnds = 0;
  // How many LFs the chunk holds, where the kernel counted them itself (ChunkForm::WellFormed).
  unsigned lineFeedCount = 0;
};

// Bytes past a chunk that its masks are taken from: the widest kernel takes the shifted views of a
// chunk from the chunk and the one after it.
constexpr std::size_t kLineLookahead = 64;

// How a kernel marks lines as the first of their records.
enum class RecordEnds {
  Unknown,    // each line with the key's probes is counted on its own
  Deposited,  // the kernel fills ChunkMasks::recordEnds
};

// Who checks the form of a chunk's lines.
enum class ChunkForm {
  Unchecked,   // the step, from the masks of quotes, CRs and LFs
  WellFormed,  // the kernel found every line of the chunk well-formed: only its LFs (and their
               // count) are filled
};

// Where the key's probes stand, relative to the LF that ends the line before one holding exactly
// the key, and the bytes that line has there: the key's middle and last bytes and the closing
// quote. Probes stay within the chunk after the LF's, so a long key is probed on its bytes up to
// there.
class KeyProbe {
 public:
  // No key: no byte is ever marked.
  KeyProbe() = default;
  explicit KeyProbe(std::string_view key)
      : enabled_(true),
        middleOffset_(std::clamp<std::size_t>(2 + key.size() / 2, 2, kLineLookahead - 2)),
        lastOffset_(std::clamp<std::size_t>(key.size() + 1, 2, kLineLookahead - 1)),
        closeOffset_(std::min(key.size() + 2, kLineLookahead)),
        middleByte_(lineByte(key, middleOffset_)),
        lastByte_(lineByte(key, lastOffset_)),
        closeByte_(lineByte(key, closeOffset_)),
        keySize_(key.size()) {
    // The line's opening quote, the key and the closing quote, as far as eight bytes go: the first
    // in the lowest byte, whatever the processor's byte order.
    const std::size_t opening = std::min<std::size_t>(key.size() + 2, 8);
    for (std::size_t i = 0; i < opening; ++i) {
      const char byte = i == 0 || i == key.size() + 1 ? '"' : key[i - 1];
      openingBytes_ |= std::uint64_t{static_cast<unsigned char>(byte)} << (8 * i);
      openingMask_ |= std::uint64_t{0xFF} << (8 * i);
    }
  }

  bool enabled() const { return enabled_; }
  std::size_t middleOffset() const { return middleOffset_; }
  char middleByte() const { return middleByte_; }
  std::size_t lastOffset() const { return lastOffset_; }
  char lastByte() const { return lastByte_; }
  std::size_t closeOffset() const { return closeOffset_; }
  char closeByte() const { return closeByte_; }
  std::size_t keySize() const { return keySize_; }
  // Whether the eight bytes from a line's first, taken as by loadWord, open the line that holds
  // exactly the key (or one that starts with the key's first bytes, for a longer key).
  bool mayOpenKeyLine(std::uint64_t firstBytes) const {
    return enabled_ && (firstBytes & openingMask_) == openingBytes_;
  }
  // Bytes that must be readable after the last chunk looked at: the kernels' views, and the line
  // after an LF in the chunk, whose text is compared with the key where the probes match.
  std::size_t lookahead() const { return std::max(kLineLookahead, keySize_ + 2); }

 private:
  // The byte `offset` on from the LF before a line that holds exactly `key`.
  static char lineByte(std::string_view key, std::size_t offset) {
    return offset >= 2 && offset - 2 < key.size() ? key[offset - 2] : '"';
  }

  bool enabled_ = false;
  std::size_t middleOffset_ = 2;
  std::size_t lastOffset_ = 2;
  std::size_t closeOffset_ = 2;
  char middleByte_ = '"';
  char lastByte_ = '"';
  char closeByte_ = '"';
  std::size_t keySize_ = 0;
  std::uint64_t openingBytes_ = 0;
  std::uint64_t openingMask_ = 0;
};

// A well-formed stretch followed chunk by chunk from a record boundary, with the line structure
// carried from one chunk to the next in a few bits. It stops at the first line that holds exactly
// the key and opens a record, or at the first chunk that breaks the form; then the exact parser
// takes over, at that line or at the start of the record in progress. A small value: each kernel
// keeps a copy in registers while it loops.
class WellFormedStretch {
 public:
  static constexpr std::uint64_t kGoesOn = ~std::uint64_t{0};

  // `key` (none: no line holds it) must outlive the stretch.
  WellFormedStretch(std::uint64_t start, std::optional<std::string_view> key)
      : start_(start), key_(key.value_or(std::string_view())), recordStart_(start) {}

  // Where the stretch began: a record boundary.
  std::uint64_t start() const { return start_; }

  // The start of the record in progress.
  std::uint64_t boundary() const {
    if (recordEndChunk_ == kGoesOn) {
      return recordStart_;
    }
    // The line end of the last fifth field in that chunk: the ones after it end other fields.
    std::uint64_t ends = recordEndLineFeeds_;
    const unsigned lines = recordEndField_ + static_cast<unsigned>(std::popcount(ends));
    for (unsigned later = lines % kFieldsPerRecord; later > 0; --later) {
      ends ^= std::uint64_t{1} << (63 - std::countl_zero(ends));
    }
    return recordEndChunk_ + kChunk - static_cast<std::uint64_t>(std::countl_zero(ends));
  }

  // The field of the line in progress.
  unsigned field() const { return lines_ % kFieldsPerRecord; }

  // Chunks a kernel may follow in one call.
  static constexpr std::size_t kMostChunks = std::size_t{1} << 20;

  // Called by a kernel when it leaves, with the stretch going on.
  void settle() { lines_ = field(); }

  // Whether the stretch's first line opens as it must; the chunks' masks check every other line
  // start. `bytes` is the stretch's first byte, with two more after it.
  static bool opensLine(const char* bytes) { return bytes[0] == '"' && bytes[2] != '\n'; }

  // Whether the stretch's first line, which no LF in a chunk stands before, may hold exactly the
  // key. `bytes` is the stretch's first byte, with the key's size and two more after it.
  bool mayOpenWithKey(const char* bytes) const {
    return key_.data() != nullptr && holdsKey(bytes + 1) && bytes[key_.size() + 1] == '"';
  }

  // Takes the next chunk, at `offset`, whose bytes are `bytes`. Returns where the exact parser
  // takes over, or kGoesOn. Inlined into each kernel's loop.
  template <RecordEnds kRecordEnds, ChunkForm kForm = ChunkForm::Unchecked>
  [[gnu::always_inline]] std::uint64_t step(const ChunkMasks& masks, const char* bytes,
                                            std::uint64_t offset) {
    // Worked out from the running count of line ends, so that the only thing one chunk waits for
    // from the one before is an addition, and chunks overlap in the processor.
    const unsigned fieldAtStart = field();
    // A well-formed line is `"`, text, `"`, CR, LF, at least 4 bytes: a byte is a quote exactly
    // when a line ends just before it (it opens a line) or two bytes after it (it closes one), a
    // CR exactly when a LF follows, and no line is 3 bytes long (one quote both opening and
    // closing it). Fault bits stand at most one byte before the line they spoil, so every line
    // that ends before the first fault is well-formed.
    std::uint64_t faults = 0;
    if constexpr (kForm == ChunkForm::Unchecked) {
      const std::uint64_t lineEnds = masks.lineFeeds | masks.lineFeedsThreeOn;
      faults = (masks.nextQuotes ^ lineEnds) | (masks.carriageReturns ^ masks.nextLineFeeds) |
               (masks.lineFeeds & masks.lineFeedsThreeOn);
    }
    // The LFs known to end a record, when the kernel tells them; else every LF.
    std::uint64_t lineEndsBefore = masks.lineFeeds;
    if constexpr (kRecordEnds == RecordEnds::Deposited) {
      lineEndsBefore = masks.recordEnds;
    }
    const std::uint64_t keyLines = masks.keyProbes & lineEndsBefore;
    if ((faults | keyLines) != 0) [[unlikely]] {
      const std::uint64_t handover =
          stop(faults, keyLines, masks.lineFeeds, fieldAtStart, bytes, offset);
      if (handover != kGoesOn) {
        return handover;
      }
    }
    auto lineFeeds = masks.lineFeedCount;
    if constexpr (kForm == ChunkForm::Unchecked) {
      lineFeeds = static_cast<unsigned>(std::popcount(masks.lineFeeds));
    }
    lines_ += lineFeeds;
    // A record ends in about every other chunk, at random: a conditional move, not a branch.
    if constexpr (kRecordEnds == RecordEnds::Deposited) {
      const std::uint64_t after = offset + kChunk - std::countl_zero(masks.recordEnds);
      recordStart_ = masks.recordEnds != 0 ? after : recordStart_;
    } else {
      const bool recordEnds = fieldAtStart + lineFeeds >= kFieldsPerRecord;
      recordEndChunk_ = recordEnds ? offset : recordEndChunk_;
      recordEndLineFeeds_ = recordEnds ? masks.lineFeeds : recordEndLineFeeds_;
      recordEndField_ = recordEnds ? fieldAtStart : recordEndField_;
    }
    return kGoesOn;
  }

 private:
  static constexpr std::uint64_t kChunk = 64;
  static constexpr unsigned kFieldsPerRecord = 5;

  // A line after an LF with the key's probes opens a record and holds the key, before any fault:
  // the exact parser reads that record. Otherwise a fault sends it back to the record in progress.
  std::uint64_t stop(std::uint64_t faults, std::uint64_t keyLines, std::uint64_t lineFeeds,
                     unsigned fieldAtStart, const char* bytes, std::uint64_t offset) const {
    const std::uint64_t beforeFault =
        faults == 0 ? ~std::uint64_t{0} : (std::uint64_t{1} << std::countr_zero(faults)) - 1;
    for (std::uint64_t lines = keyLines & beforeFault; lines != 0; lines &= lines - 1) {
      const int at = std::countr_zero(lines);
      // The LFs up to this one, which ends the line before the key's.
      const std::uint64_t upTo = lineFeeds & ((std::uint64_t{2} << at) - 1);
      const unsigned field =
          (fieldAtStart + static_cast<unsigned>(std::popcount(upTo))) % kFieldsPerRecord;
      if (field == 0 && holdsKey(bytes + at + 2)) {
        return offset + static_cast<std::uint64_t>(at) + 1;
      }
    }
    return faults != 0 ? boundary() : kGoesOn;
  }

  // Whether `text` starts with the key's bytes. A loop rather than a call to memcmp, which would
  // make the compiler keep the kernels' constants out of their registers.
  bool holdsKey(const char* text) const {
    for (std::size_t i = 0; i < key_.size(); ++i) {
      if (text[i] != key_[i]) {
        return false;
      }
    }
    return true;
  }

  std::uint64_t start_;
  std::string_view key_;
  // The line ends passed since the stretch began, modulo 5 between kernel calls: 32 bits make the
  // field a cheap division, and a call takes at most kMostChunks chunks of at most 64 line ends.
  std::uint32_t lines_ = 0;
  // Where the record in progress started, followed by kernels that tell record ends.
  std::uint64_t recordStart_;
  // Else the last chunk in which a record ended (kGoesOn: none yet), its LFs and the field of the
  // line in progress at its start.
  std::uint64_t recordEndChunk_ = kGoesOn;
  std::uint64_t recordEndLineFeeds_ = 0;
  unsigned recordEndField_ = 0;
};

enum class ScanKernel {
  Fastest,   // the widest comparisons the processor offers: 64 (AVX-512) or 32 (AVX2) bytes at once
  Avx2,      // 32 bytes at once (the portable kernel where the processor lacks AVX2)
  Portable,  // plain C++ on every processor: a word at a time where a word's worth of bytes will do
};

// Follows `stretch` over `chunks` chunks of 64 bytes from `data`, which stands at file offset
// `offset`. Returns where the exact parser takes over, or WellFormedStretch::kGoesOn when every
// chunk was well-formed. The bytes up to chunks * 64 + probe.lookahead() must be readable.
std::uint64_t followStretch(WellFormedStretch& stretch, const char* data, std::uint64_t offset,
                            std::size_t chunks, const KeyProbe& probe, ScanKernel kernel);

// The position of the first byte in [from, count) that is `stop` or a line end (CR, LF), or
// `count`. The exact parser's way past the text of a field.
std::size_t findFieldStop(const char* bytes, std::size_t from, std::size_t count, char stop);

}  // namespace records
