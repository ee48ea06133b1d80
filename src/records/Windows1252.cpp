#include "Windows1252.h"

#include <array>
#include <cstdint>

namespace records {
namespace {

// Code points of the bytes 0x80 to 0x9F; the undefined ones map to themselves.
constexpr std::array<char16_t, 32> kHighControls = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

std::optional<char> encodeUnit(char16_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    return static_cast<char>(static_cast<std::uint8_t>(unit));
  }
  for (std::size_t index = 0; index < kHighControls.size(); ++index) {
    if (kHighControls[index] == unit) {
      return static_cast<char>(static_cast<std::uint8_t>(0x80 + index));
    }
  }
  return std::nullopt;
}

}  // namespace

std::u16string decodeWindows1252(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (const char byte : bytes) {
    const auto value = static_cast<std::uint8_t>(byte);
    text.push_back(value >= 0x80 && value <= 0x9F ? kHighControls[value - 0x80]
                                                  : static_cast<char16_t>(value));
  }
  return text;
}

std::optional<std::string> encodeWindows1252(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (const char16_t unit : text) {
    const std::optional<char> byte = encodeUnit(unit);
    if (!byte) {
      return std::nullopt;
    }
    bytes.push_back(*byte);
  }
  return bytes;
}

}  // namespace records
