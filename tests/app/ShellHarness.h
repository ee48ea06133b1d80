#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

#include "ScreenId.h"

namespace testsupport {

// A message as the user would have seen it, with the text of every box and label of the loaded
// screens at that moment, keyed by object name.
struct ShownMessage {
  QString text;
  QMap<QString, QString> controls;
};

// Gives each widget test a program that has just started, with the real screens registered, and
// stands in for what a test cannot run: it records each message instead of opening a modal box, and
// counts the ends of the program instead of leaving the process. start() belongs in init(),
// stop() in cleanup().
class ShellHarness {
 public:
  void start();
  void stop();

  const std::vector<ShownMessage>& messages() const { return messages_; }
  QStringList messageTexts() const;
  int endCount() const { return endCount_; }

  // Lets the running handler return to the event loop: queued work (the end-of-program test) runs
  // and unloaded windows are destroyed.
  static void returnToEventLoop();

  // The loaded screens, as the user sees them: their windows shown, found by object name.
  static std::vector<app::ScreenId> loadedScreens();
  static QWidget* window(app::ScreenId screen);  // nullptr while the screen is not loaded

  template <class Control>
  static Control* control(app::ScreenId screen, const char* name) {
    QWidget* shown = window(screen);
    return shown == nullptr ? nullptr : shown->findChild<Control*>(QString::fromUtf8(name));
  }

  // Clicks the named button of a loaded screen with the mouse; false when there is no such button.
  [[nodiscard]] static bool click(app::ScreenId screen, const char* button);

 private:
  std::vector<ShownMessage> messages_;
  int endCount_ = 0;
};

}  // namespace testsupport
