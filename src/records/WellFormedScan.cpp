#include "WellFormedScan.h"

#include <algorithm>
#include <array>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace records {
namespace {

constexpr std::size_t kChunk = 64;

std::uint64_t followPortable(WellFormedStretch& stretch, const char* data, std::uint64_t offset,
                             std::size_t chunks, const KeyProbe& probe) {
  WellFormedStretch local = stretch;
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, data += kChunk, offset += kChunk) {
    ChunkMasks masks;
    for (std::size_t i = 0; i < kChunk; ++i) {
      const std::uint64_t bit = std::uint64_t{1} << i;
      masks.lineFeeds |= data[i] == '\n' ? bit : 0;
      masks.carriageReturns |= data[i] == '\r' ? bit : 0;
      masks.nextQuotes |= data[i + 1] == '"' ? bit : 0;
      masks.nextLineFeeds |= data[i + 1] == '\n' ? bit : 0;
      masks.lineFeedsThreeOn |= data[i + 3] == '\n' ? bit : 0;
      if (probe.enabled() && data[i + probe.middleOffset()] == probe.middleByte() &&
          data[i + probe.lastOffset()] == probe.lastByte() &&
          data[i + probe.closeOffset()] == probe.closeByte()) {
        masks.keyProbes |= bit;
      }
    }
    const std::uint64_t handover = local.step<RecordEnds::Unknown>(masks, data, offset);
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
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, data += kChunk, offset += kChunk) {
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
                         std::size_t chunks, const KeyProbe& probe, ScanKernel kernel) {
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
