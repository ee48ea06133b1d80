#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace records {

// The record file stores text one byte per character in the Windows-1252 code page. The five bytes
// that code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the code points of the
// same value, so every byte decodes and every decoded text encodes back to the same bytes.

// Decodes bytes; never fails.
std::u16string decodeWindows1252(std::string_view bytes);

// Encodes a text, or nothing when one of its 16-bit units has no byte (a character outside the
// code page, including a lone surrogate).
std::optional<std::string> encodeWindows1252(std::u16string_view text);

}  // namespace records
