#pragma once

namespace app {

// The program's three screens, in the order in which the user walks through them.
enum class ScreenId { Calculador, Ingreso, Vista };

inline constexpr int kScreenCount = 3;

}  // namespace app
