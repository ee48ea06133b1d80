#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

// Turns fuzzer bytes into a 16-bit text. Each byte is one character of the same value, so the
// dictionaries' ASCII tokens ("1E", "+-", ".5") reach the code unchanged, and a zero byte is the
// character U+0000; the byte 0xFF takes the next two bytes as one arbitrary 16-bit unit (big
// end first), so that surrogates and characters beyond Latin-1 are reached too.
inline std::u16string textFromBytes(const std::uint8_t* data, std::size_t size) {
  constexpr std::uint8_t kWideUnit = 0xFF;
  std::u16string text;
  text.reserve(size);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == kWideUnit && i + 2 < size) {
      text.push_back(static_cast<char16_t>((data[i + 1] << 8) | data[i + 2]));
      i += 2;
    } else {
      text.push_back(data[i]);
    }
  }
  return text;
}

}  // namespace fuzzing
