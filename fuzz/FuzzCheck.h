#pragma once

#include <cstdio>
#include <cstdlib>

namespace fuzzing {

// Stops the fuzzer on a broken property. libFuzzer takes the abort for a crash and keeps the
// input that caused it, so the message only has to say which property broke.
inline void require(bool holds, const char* property) {
  if (!holds) {
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
  }
}

}  // namespace fuzzing
