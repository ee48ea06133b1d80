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

// The offsets, from a candidate start, of the three bytes compared at once.
struct Probes {
  explicit Probes(std::string_view needle) : middle(needle.size() / 2), last(needle.size() - 1) {}
  std::size_t middle;
  std::size_t last;
};

// Checks each set bit of `mask` (a candidate start at `base` + bit) against the whole needle. Kept
// out of the search loops, which then keep their registers.
__attribute__((noinline)) std::size_t confirm(std::uint64_t mask, const char* haystack,
                                              std::size_t base, std::string_view needle) {
  while (mask != 0) {
    const std::size_t start = base + static_cast<std::size_t>(__builtin_ctzll(mask));
    mask &= mask - 1;
    if (std::memcmp(haystack + start + 1, needle.data() + 1, needle.size() - 2) == 0) {
      return start;
    }
  }
  return kNotFound;
}

__attribute__((target("avx2"))) inline __m256i equalAt(const char* data, __m256i byte) {
  return _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(data)), byte);
}

// The 32 starts from `data` whose first, middle and last bytes agree with the needle's.
__attribute__((target("avx2"))) inline __m256i candidates(const char* data, const Probes& probes,
                                                          __m256i first, __m256i middle,
                                                          __m256i last) {
  return _mm256_and_si256(
      _mm256_and_si256(equalAt(data, first), equalAt(data + probes.middle, middle)),
      equalAt(data + probes.last, last));
}

__attribute__((target("avx2"))) inline std::uint64_t maskOf(__m256i lanes) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(lanes));
}

// 64 starts per step, with one branch for both halves.
__attribute__((target("avx2"))) std::size_t findAvx2(std::string_view haystack,
                                                     std::string_view needle) {
  const char* data = haystack.data();
  const Probes probes(needle);
  const __m256i first = _mm256_set1_epi8(needle.front());
  const __m256i middle = _mm256_set1_epi8(needle[probes.middle]);
  const __m256i last = _mm256_set1_epi8(needle.back());
  std::size_t index = 0;
  for (; index + probes.last + 64 <= haystack.size(); index += 64) {
    const __m256i low = candidates(data + index, probes, first, middle, last);
    const __m256i high = candidates(data + index + 32, probes, first, middle, last);
    const __m256i either = _mm256_or_si256(low, high);
    if (_mm256_testz_si256(either, either) == 0) [[unlikely]] {
      const std::size_t found = confirm(maskOf(low) | (maskOf(high) << 32), data, index, needle);
      if (found != kNotFound) {
        return found;
      }
    }
  }
  return findPlain(haystack, needle, index);
}

inline __m128i equalAt(const char* data, __m128i byte) {
  return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data)), byte);
}

std::size_t findSse2(std::string_view haystack, std::string_view needle) {
  const char* data = haystack.data();
  const Probes probes(needle);
  const __m128i first = _mm_set1_epi8(needle.front());
  const __m128i middle = _mm_set1_epi8(needle[probes.middle]);
  const __m128i last = _mm_set1_epi8(needle.back());
  std::size_t index = 0;
  for (; index + probes.last + 16 <= haystack.size(); index += 16) {
    const __m128i lanes = _mm_and_si128(
        _mm_and_si128(equalAt(data + index, first), equalAt(data + index + probes.middle, middle)),
        equalAt(data + index + probes.last, last));
    const auto mask = static_cast<std::uint32_t>(_mm_movemask_epi8(lanes));
    if (mask != 0) [[unlikely]] {
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
