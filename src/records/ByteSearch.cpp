#include "ByteSearch.h"

#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace records {
namespace {

constexpr std::size_t kNotFound = std::string_view::npos;

std::size_t findPlain(std::string_view haystack, std::string_view needle, std::size_t from) {
  return haystack.find(needle, from);
}

#if defined(__x86_64__)

// Checks each set bit of `mask` (a candidate start at `base` + bit) against the whole needle,
// first by its middle byte: in a file of matriculas most candidates fail there, without a call.
inline std::size_t confirm(std::uint64_t mask, const char* haystack, std::size_t base,
                           std::string_view needle) {
  const std::size_t middle = needle.size() / 2;
  while (mask != 0) {
    const std::size_t start = base + static_cast<std::size_t>(__builtin_ctzll(mask));
    mask &= mask - 1;
    if (haystack[start + middle] == needle[middle] &&
        std::memcmp(haystack + start + 1, needle.data() + 1, needle.size() - 2) == 0) {
      return start;
    }
  }
  return kNotFound;
}

// Where the 32 bytes at `data` equal `first` and the 32 bytes `lastOffset` further equal `last`.
__attribute__((target("avx2"))) inline __m256i candidates(const char* data, std::size_t lastOffset,
                                                          __m256i first, __m256i last) {
  const __m256i head = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data));
  const __m256i tail = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + lastOffset));
  return _mm256_and_si256(_mm256_cmpeq_epi8(head, first), _mm256_cmpeq_epi8(tail, last));
}

__attribute__((target("avx2"))) inline std::uint64_t maskOf(__m256i lanes) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(lanes));
}

// 64 positions per step, with one branch for both halves: candidates are rare in real text.
__attribute__((target("avx2"))) std::size_t findAvx2(std::string_view haystack,
                                                     std::string_view needle) {
  const char* data = haystack.data();
  const std::size_t lastOffset = needle.size() - 1;
  const __m256i first = _mm256_set1_epi8(needle.front());
  const __m256i last = _mm256_set1_epi8(needle.back());
  std::size_t index = 0;
  for (; index + lastOffset + 64 <= haystack.size(); index += 64) {
    const __m256i low = candidates(data + index, lastOffset, first, last);
    const __m256i high = candidates(data + index + 32, lastOffset, first, last);
    const __m256i either = _mm256_or_si256(low, high);
    if (_mm256_testz_si256(either, either) == 0) {
      const std::size_t found = confirm(maskOf(low) | (maskOf(high) << 32), data, index, needle);
      if (found != kNotFound) {
        return found;
      }
    }
  }
  return findPlain(haystack, needle, index);
}

std::size_t findSse2(std::string_view haystack, std::string_view needle) {
  const char* data = haystack.data();
  const std::size_t lastOffset = needle.size() - 1;
  const __m128i first = _mm_set1_epi8(needle.front());
  const __m128i last = _mm_set1_epi8(needle.back());
  std::size_t index = 0;
  for (; index + lastOffset + 16 <= haystack.size(); index += 16) {
    const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + index));
    const __m128i tail =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + index + lastOffset));
    const auto mask = static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(head, first), _mm_cmpeq_epi8(tail, last))));
    if (mask != 0) {
      const std::size_t found = confirm(mask, data, index, needle);
      if (found != kNotFound) {
        return found;
      }
    }
  }
  return findPlain(haystack, needle, index);
}

bool hasAvx2() {
  static const bool supported = __builtin_cpu_supports("avx2");
  return supported;
}

#endif

}  // namespace

std::size_t findBytes(std::string_view haystack, std::string_view needle, SearchKernel kernel) {
  if (needle.size() < 2 || haystack.size() < needle.size() || kernel == SearchKernel::Portable) {
    return findPlain(haystack, needle, 0);
  }
#if defined(__x86_64__)
  if (kernel != SearchKernel::Sse2 && hasAvx2()) {
    return findAvx2(haystack, needle);
  }
  return findSse2(haystack, needle);
#else
  return findPlain(haystack, needle, 0);
#endif
}

}  // namespace records
