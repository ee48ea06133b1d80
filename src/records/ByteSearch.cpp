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

// Checks each set bit of `mask` (a candidate start at `base` + bit) against the whole needle.
inline std::size_t confirm(std::uint32_t mask, const char* haystack, std::size_t base,
                           std::string_view needle) {
  while (mask != 0) {
    const auto bit = static_cast<std::size_t>(__builtin_ctz(mask));
    if (std::memcmp(haystack + base + bit + 1, needle.data() + 1, needle.size() - 2) == 0) {
      return base + bit;
    }
    mask &= mask - 1;
  }
  return kNotFound;
}

__attribute__((target("avx2"))) std::size_t findAvx2(std::string_view haystack,
                                                     std::string_view needle) {
  const char* data = haystack.data();
  const std::size_t lastOffset = needle.size() - 1;
  const __m256i first = _mm256_set1_epi8(needle.front());
  const __m256i last = _mm256_set1_epi8(needle.back());
  std::size_t index = 0;
  for (; index + lastOffset + 32 <= haystack.size(); index += 32) {
    const __m256i head = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + index));
    const __m256i tail =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + index + lastOffset));
    const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi8(head, first), _mm256_cmpeq_epi8(tail, last))));
    if (mask != 0) {
      const std::size_t found = confirm(mask, data, index, needle);
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
  static const bool supported = __builtin_cpu_supports("avx2") != 0;
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
