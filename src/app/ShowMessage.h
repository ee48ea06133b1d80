#pragma once

#include <QString>
#include <functional>

namespace app {

// The one caption of every message box of the program.
inline constexpr char kApplicationTitle[] = "Universidad Talvora";

// Shows `text` in a modal message box with no icon, a single OK button and the application title
// as caption, and returns when the user has closed it; meanwhile no screen takes input.
void ShowMessage(const QString& text);

// Tests cannot run a modal loop: a handler set here receives each text at the moment the box would
// appear, while the screens still stand as the box would cover them, and no box is shown. An empty
// handler brings the real box back.
using MessageHandler = std::function<void(const QString& text)>;
void setMessageHandler(MessageHandler handler);

}  // namespace app
