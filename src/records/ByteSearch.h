#pragma once

#include <cstddef>
#include <string_view>

namespace records {

// Finds the first occurrence of a non-empty byte string, or returns std::string_view::npos. Built
// to prove quickly that a large block does not contain a key: on x86-64 it compares 32 (AVX2) or
// 16 (SSE2) positions at once against the key's first, middle and last bytes, and checks the rest
// only where all three agree. (With the first and last bytes alone, a matricula such as
// "2019-04871" agrees with one in ten matriculas of the file, and handling those candidates cost
// more than the search itself.)
enum class SearchKernel {
  Fastest,   // the best the processor offers
  Avx2,      // 32 positions at once (SSE2 where the processor lacks AVX2)
  Sse2,      // 16 positions at once
  Portable,  // the standard library's search
};

std::size_t findBytes(std::string_view haystack, std::string_view needle,
                      SearchKernel kernel = SearchKernel::Fastest);

}  // namespace records
