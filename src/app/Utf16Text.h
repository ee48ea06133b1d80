#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace app {

// The cores take and give UTF-16 text as standard strings; these views and copies carry it across
// without any conversion, so every 16-bit character reaches the core exactly as typed.
inline std::u16string_view toU16(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

inline QString fromU16(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace app
