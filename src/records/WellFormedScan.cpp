#include "WellFormedScan.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace records {
namespace {

constexpr std::size_t kChunk = 64;

// The portable kernel: plain C++ that every processor runs at a word's worth of bytes at a time.
// The tests of a chunk's lines are written byte by byte, in a form that compilers turn into their
// target's vector compares (SSE2, NEON), but give only whether the chunk breaks the form; where
// and which lines is worked out from the LFs alone, gathered eight bytes to a word, and only a
// chunk that breaks the form (rare in a file this program wrote) has its masks built byte by byte.

// Eight bytes as one word, the first in the lowest byte on every processor.
std::uint64_t loadWord(const char* bytes) {
  std::uint64_t word = 0;
  std::memcpy(&word, bytes, sizeof(word));
  if constexpr (std::endian::native == std::endian::big) {
    std::uint64_t reversed = 0;
    for (std::size_t i = 0; i < sizeof(word); ++i, word >>= 8) {
      reversed = (reversed << 8) | (word & 0xFF);
    }
    word = reversed;
  }
  return word;
}

// Bit i stands for flag i, for 64 flags of 0 or 1: each word's eight flags are multiplied into its
// top byte, every flag landing on a bit of its own (no two products meet, so nothing carries).
// Counts the flags too, bytewise: no processor needs a population count instruction for it.
std::uint64_t gatherFlags(const std::array<unsigned char, kChunk>& flags, unsigned& count) {
  constexpr std::uint64_t kEveryByte = 0x0101010101010101U;
  std::uint64_t mask = 0;
  std::uint64_t sums = 0;  // eight at most in each byte
  for (std::size_t word = 0; word < kChunk / 8; ++word) {
    const std::uint64_t eight = loadWord(reinterpret_cast<const char*>(flags.data()) + 8 * word);
    mask |= ((eight * 0x0102040810204080U) >> 56) << (8 * word);
    sums += eight;
  }
  count = static_cast<unsigned>((sums * kEveryByte) >> 56);
  return mask;
}

// The LFs that end a fifth field, for a chunk of `count` LFs whose line in progress at its start is
// field `field`: the one after the first 4 - field, then every fifth. Without branches for the
// usual chunk, where at most one record ends.
std::uint64_t fifthLineEnds(std::uint64_t lineFeeds, unsigned count, unsigned field) {
  std::uint64_t rest = lineFeeds;
  for (unsigned skipped = 0; skipped < 4; ++skipped) {
    rest = skipped < 4 - field ? rest & (rest - 1) : rest;
  }
  std::uint64_t ends = rest & (~rest + 1);
  if (field + count >= 10) [[unlikely]] {
    // Records shorter than a chunk: the others, every fifth LF on.
    for (rest &= rest - 1; rest != 0; rest &= rest - 1) {
      for (int others = 0; others < 4; ++others) {
        rest &= rest - 1;
      }
      ends |= rest & (~rest + 1);
    }
  }
  return ends;
}

// Of the LFs in `recordEnds`, those whose next line opens as the key's line would. The first is
// looked at without a branch (past the chunk's last byte when there is none, which the lookahead
// allows), since a record ends in about every other chunk, at random.
std::uint64_t keyLineCandidates(const char* data, std::uint64_t recordEnds, const KeyProbe& probe) {
  const std::uint64_t first = recordEnds & (~recordEnds + 1);
  std::uint64_t candidates =
      probe.mayOpenKeyLine(loadWord(data + std::countr_zero(recordEnds) + 1)) ? first : 0;
  for (std::uint64_t ends = recordEnds ^ first; ends != 0; ends &= ends - 1) {
    const int at = std::countr_zero(ends);
    if (probe.mayOpenKeyLine(loadWord(data + at + 1))) {
      candidates |= std::uint64_t{1} << at;
    }
  }
  return candidates;
}

// Whether any line of the chunk at `data` breaks the form, with its LFs' flags in `lineFeeds`.
// Every test is written as a byte of its own and the verdicts are gathered afterwards, a word at a
// time: a form in which both GCC and clang keep each vector lane one byte wide.
bool testChunk(const char* data, std::array<unsigned char, kChunk>& lineFeeds) {
  std::array<unsigned char, kChunk> faults{};
  for (std::size_t i = 0; i < kChunk; ++i) {
    const bool lineFeed = data[i] == '\n';
    const bool lineFeedThreeOn = data[i + 3] == '\n';
    const bool fault = ((data[i + 1] == '"') != (lineFeed || lineFeedThreeOn)) ||
                       ((data[i] == '\r') != (data[i + 1] == '\n')) ||
                       (lineFeed && lineFeedThreeOn);
    faults[i] = fault ? 1 : 0;
    lineFeeds[i] = lineFeed ? 1 : 0;
  }
  std::uint64_t any = 0;
  for (std::size_t word = 0; word < kChunk / 8; ++word) {
    any |= loadWord(reinterpret_cast<const char*>(faults.data()) + 8 * word);
  }
  return any != 0;
}

// The masks the step checks the form with, byte by byte, for a chunk that breaks it.
void fillFormMasks(const char* data, ChunkMasks& masks) {
  for (std::size_t i = 0; i < kChunk; ++i) {
    const std::uint64_t bit = std::uint64_t{1} << i;
    masks.carriageReturns |= data[i] == '\r' ? bit : 0;
    masks.nextQuotes |= data[i + 1] == '"' ? bit : 0;
    masks.nextLineFeeds |= data[i + 1] == '\n' ? bit : 0;
    masks.lineFeedsThreeOn |= data[i + 3] == '\n' ? bit : 0;
  }
}

std::uint64_t followPortable(WellFormedStretch& stretch, const char* data, std::uint64_t offset,
                             std::size_t chunks, const KeyProbe& probe) {
  WellFormedStretch local = stretch;
  std::array<unsigned char, kChunk> lineFeedFlags{};
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, data += kChunk, offset += kChunk) {
    const bool faulty = testChunk(data, lineFeedFlags);
    ChunkMasks masks;
    masks.lineFeeds = gatherFlags(lineFeedFlags, masks.lineFeedCount);
    masks.recordEnds = fifthLineEnds(masks.lineFeeds, masks.lineFeedCount, local.field());
    masks.keyProbes = keyLineCandidates(data, masks.recordEnds, probe);
    std::uint64_t handover = WellFormedStretch::kGoesOn;
    if (!faulty) [[likely]] {
      handover = local.step<RecordEnds::Deposited, ChunkForm::WellFormed>(masks, data, offset);
    } else {
      fillFormMasks(data, masks);
      handover = local.step<RecordEnds::Deposited>(masks, data, offset);
    }
    if (handover != WellFormedStretch::kGoesOn) {
      return handover;
    }
  }
  local.settle();
  stretch = local;
  return WellFormedStretch::kGoesOn;
}

#if defined(__x86_64__)

// Every processor with AVX2 also has POPCNT, LZCNT, BMI and BMI2, which the bit arithmetic uses.
#define TALVORA_AVX2 __attribute__((target("avx2,popcnt,lzcnt,bmi,bmi2")))
#define TALVORA_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,popcnt,lzcnt,bmi,bmi2")))

// For each field of the line in progress at a chunk's start, which of the chunk's LFs end a fifth
// field: the first to end field 4, then every fifth.
constexpr std::array<std::uint64_t, 5> kFifthLineEnds = [] {
  std::array<std::uint64_t, 5> ends{};
  for (std::size_t field = 0; field < ends.size(); ++field) {
    for (std::size_t bit = 4 - field; bit < 64; bit += 5) {
      ends[field] |= std::uint64_t{1} << bit;
    }
  }
  return ends;
}();

// Asks for the bytes 2 KiB on, or for the last chunk to be followed where that is nearer. Blocks
// read ahead were copied by the helper thread on another core and sit in that core's cache, which
// the processor's own prefetcher does not reach into early enough: asked for this far ahead, they
// arrive before the kernel gets there.
inline void prefetchAhead(const char* data, const char* last) {
  constexpr std::ptrdiff_t kAhead = 2048;
  _mm_prefetch(data + std::min(kAhead, last - data), _MM_HINT_T0);
}

TALVORA_AVX2 inline std::uint64_t equalMask(const char* data, __m256i byte) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + 32));
  const auto lowBits =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, byte)));
  const auto highBits =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, byte)));
  return lowBits | (std::uint64_t{highBits} << 32);
}

template <bool kProbing, RecordEnds kRecordEnds>
TALVORA_AVX2 std::uint64_t followAvx2(WellFormedStretch& stretch, const char* data,
                                      std::uint64_t offset, std::size_t chunks,
                                      const KeyProbe& probe) {
  const __m256i quote = _mm256_set1_epi8('"');
  const __m256i carriageReturn = _mm256_set1_epi8('\r');
  const __m256i lineFeed = _mm256_set1_epi8('\n');
  const __m256i middle = _mm256_set1_epi8(probe.middleByte());
  const __m256i last = _mm256_set1_epi8(probe.lastByte());
  const __m256i close = _mm256_set1_epi8(probe.closeByte());
  const std::size_t middleOffset = probe.middleOffset();
  const std::size_t lastOffset = probe.lastOffset();
  const std::size_t closeOffset = probe.closeOffset();
  WellFormedStretch local = stretch;
  const char* const lastChunk = data + (chunks - 1) * kChunk;
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, data += kChunk, offset += kChunk) {
    prefetchAhead(data, lastChunk);
    ChunkMasks masks;
    masks.lineFeeds = equalMask(data, lineFeed);
    masks.carriageReturns = equalMask(data, carriageReturn);
    masks.nextQuotes = equalMask(data + 1, quote);
    masks.nextLineFeeds = equalMask(data + 1, lineFeed);
    masks.lineFeedsThreeOn = equalMask(data + 3, lineFeed);
    if constexpr (kProbing) {
      masks.keyProbes = equalMask(data + middleOffset, middle) &
                        equalMask(data + lastOffset, last) & equalMask(data + closeOffset, close);
    }
    if constexpr (kRecordEnds == RecordEnds::Deposited) {
      masks.recordEnds = _pdep_u64(kFifthLineEnds[local.field()], masks.lineFeeds);
    }
    const std::uint64_t handover = local.step<kRecordEnds>(masks, data, offset);
    if (handover != WellFormedStretch::kGoesOn) {
      return handover;
    }
  }
  local.settle();
  stretch = local;
  return WellFormedStretch::kGoesOn;
}

// The 64 bytes `shift` on from a chunk's, taken from the chunk and the one after it.
class ShiftedView {
 public:
  TALVORA_AVX512 explicit ShiftedView(std::size_t shift) {
    alignas(64) std::array<std::uint8_t, 64> indexes{};
    for (std::size_t i = 0; i < indexes.size(); ++i) {
      indexes[i] = static_cast<std::uint8_t>(i + shift);
    }
    indexes_ = _mm512_load_si512(indexes.data());
  }
  TALVORA_AVX512 __m512i of(__m512i chunk, __m512i next) const {
    return _mm512_permutex2var_epi8(chunk, indexes_, next);
  }

 private:
  __m512i indexes_;
};

// Which of the key's probes a kernel compares.
enum class Probes {
  None,           // no key
  MiddleAndLast,  // a key of four bytes or more: two of its own bytes keep false candidates rare
  All,            // a shorter key: the closing quote too, or every short line would be a candidate
};

// Loads each 64 bytes once: the views of the bytes 1, 3 and the probes' offsets further on are
// shuffled out of two registers, which costs less than loading them again across cache lines.
template <Probes kProbes>
TALVORA_AVX512 std::uint64_t followAvx512(WellFormedStretch& stretch, const char* data,
                                          std::uint64_t offset, std::size_t chunks,
                                          const KeyProbe& probe) {
  const __m512i quote = _mm512_set1_epi8('"');
  const __m512i carriageReturn = _mm512_set1_epi8('\r');
  const __m512i lineFeed = _mm512_set1_epi8('\n');
  const __m512i middle = _mm512_set1_epi8(probe.middleByte());
  const __m512i last = _mm512_set1_epi8(probe.lastByte());
  const __m512i close = _mm512_set1_epi8(probe.closeByte());
  const ShiftedView oneOn(1);
  const ShiftedView threeOn(3);
  const ShiftedView middleOn(probe.middleOffset());
  const ShiftedView lastOn(probe.lastOffset());
  const ShiftedView closeOn(probe.closeOffset());
  WellFormedStretch local = stretch;
  __m512i bytes = _mm512_loadu_si512(data);
  for (const char* const end = data + chunks * kChunk; data != end;
       data += kChunk, offset += kChunk) {
    const __m512i next = _mm512_loadu_si512(data + kChunk);
    prefetchAhead(data, end - kChunk);
    const __m512i nextBytes = oneOn.of(bytes, next);
    ChunkMasks masks;
    masks.lineFeeds = _mm512_cmpeq_epi8_mask(bytes, lineFeed);
    masks.carriageReturns = _mm512_cmpeq_epi8_mask(bytes, carriageReturn);
    masks.nextQuotes = _mm512_cmpeq_epi8_mask(nextBytes, quote);
    masks.nextLineFeeds = _mm512_cmpeq_epi8_mask(nextBytes, lineFeed);
    masks.lineFeedsThreeOn = _mm512_cmpeq_epi8_mask(threeOn.of(bytes, next), lineFeed);
    if constexpr (kProbes != Probes::None) {
      // Each compare only where the one before matched.
      const __mmask64 middles = _mm512_cmpeq_epi8_mask(middleOn.of(bytes, next), middle);
      masks.keyProbes = _mm512_mask_cmpeq_epi8_mask(middles, lastOn.of(bytes, next), last);
    }
    if constexpr (kProbes == Probes::All) {
      masks.keyProbes =
          _mm512_mask_cmpeq_epi8_mask(masks.keyProbes, closeOn.of(bytes, next), close);
    }
    // PDEP is fast on every processor with AVX-512.
    masks.recordEnds = _pdep_u64(kFifthLineEnds[local.field()], masks.lineFeeds);
    const std::uint64_t handover = local.step<RecordEnds::Deposited>(masks, data, offset);
    if (handover != WellFormedStretch::kGoesOn) {
      return handover;
    }
    bytes = next;
  }
  local.settle();
  stretch = local;
  return WellFormedStretch::kGoesOn;
}

bool hasAvx2() {
  static const bool supported = __builtin_cpu_supports("avx2") &&
                                __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi") &&
                                __builtin_cpu_supports("bmi2");
  return supported;
}

// AMD processors before Zen 3 run PDEP in microcode, hundreds of cycles a time.
bool hasFastPdep() {
  static const bool fast = !__builtin_cpu_is("amdfam15h") && !__builtin_cpu_is("amdfam17h");
  return fast;
}

bool hasAvx512() {
  static const bool supported = hasAvx2() && __builtin_cpu_supports("avx512f") &&
                                __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("avx512vbmi");
  return supported;
}

#endif

}  // namespace

namespace {

std::uint64_t followWith(WellFormedStretch& stretch, const char* data, std::uint64_t offset,
                         std::size_t chunks, const KeyProbe& probe,
                         [[maybe_unused]] ScanKernel kernel) {
#if defined(__x86_64__)
  if (kernel == ScanKernel::Fastest && hasAvx512()) {
    if (!probe.enabled()) {
      return followAvx512<Probes::None>(stretch, data, offset, chunks, probe);
    }
    return probe.keySize() >= 4
               ? followAvx512<Probes::MiddleAndLast>(stretch, data, offset, chunks, probe)
               : followAvx512<Probes::All>(stretch, data, offset, chunks, probe);
  }
  if (kernel != ScanKernel::Portable && hasAvx2()) {
    if (hasFastPdep()) {
      return probe.enabled()
                 ? followAvx2<true, RecordEnds::Deposited>(stretch, data, offset, chunks, probe)
                 : followAvx2<false, RecordEnds::Deposited>(stretch, data, offset, chunks, probe);
    }
    return probe.enabled()
               ? followAvx2<true, RecordEnds::Unknown>(stretch, data, offset, chunks, probe)
               : followAvx2<false, RecordEnds::Unknown>(stretch, data, offset, chunks, probe);
  }
#endif
  return followPortable(stretch, data, offset, chunks, probe);
}

}  // namespace

std::uint64_t followStretch(WellFormedStretch& stretch, const char* data, std::uint64_t offset,
                            std::size_t chunks, const KeyProbe& probe, ScanKernel kernel) {
  if (offset == stretch.start()) {
    if (!WellFormedStretch::opensLine(data)) {
      return stretch.boundary();
    }
    if (stretch.mayOpenWithKey(data)) {
      return stretch.start();
    }
  }
  while (chunks > 0) {
    const std::size_t taken = std::min(chunks, WellFormedStretch::kMostChunks);
    const std::uint64_t handover = followWith(stretch, data, offset, taken, probe, kernel);
    if (handover != WellFormedStretch::kGoesOn) {
      return handover;
    }
    chunks -= taken;
    data += taken * kChunk;
    offset += taken * kChunk;
  }
  return WellFormedStretch::kGoesOn;
}

// Fields are short, so 16 bytes at a time with SSE2 (every x86-64 has it) is the sweet spot.
std::size_t findFieldStop(const char* bytes, std::size_t from, std::size_t count, char stop) {
  std::size_t index = from;
#if defined(__SSE2__)
  const __m128i stops = _mm_set1_epi8(stop);
  const __m128i carriageReturns = _mm_set1_epi8('\r');
  const __m128i lineFeeds = _mm_set1_epi8('\n');
  for (; index + 16 <= count; index += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + index));
    const __m128i hits = _mm_or_si128(
        _mm_cmpeq_epi8(chunk, stops),
        _mm_or_si128(_mm_cmpeq_epi8(chunk, carriageReturns), _mm_cmpeq_epi8(chunk, lineFeeds)));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) {
      return index + static_cast<std::size_t>(__builtin_ctz(mask));
    }
  }
#endif
  while (index < count) {
    const char byte = bytes[index];
    if (byte == stop || byte == '\r' || byte == '\n') {
      break;
    }
    ++index;
  }
  return index;
}

}  // namespace records
