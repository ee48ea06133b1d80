#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "ScreenId.h"

namespace app {

// The program's three screen slots. A slot's instance is created by the first ShowScreen; from then
// on the screen is either loaded (its window and controls exist and are shown) or unloaded (neither
// exists). Loading asks the screen's factory for a fresh window, which builds every control from
// the screen's layout and runs the screen's load handler; unloading destroys that window. The shell
// knows the screens only through the factories registered by main and by the tests, so it does not
// depend on the screens' code.
//
// After a handler has unloaded the last loaded screen and returned to the event loop, the program
// ends. The test is queued rather than made inside the handler, so that a handler may unload its
// own screen before it shows the next one.
class ScreenRegistry : public QObject {
  Q_OBJECT

 public:
  // Builds a screen's window with all its controls and runs its load handler.
  using Factory = std::function<std::unique_ptr<QWidget>()>;

  static ScreenRegistry& instance();

  void setFactory(ScreenId screen, Factory factory);

  // ShowScreen: creates the instance if needed, loads the screen if it is not loaded (centred on
  // the screen), shows its window and makes it the active window.
  void show(ScreenId screen);

  // UnloadScreen: hides the window at once and destroys it, with its controls, once the running
  // handler has returned, so a handler that unloads its own screen still runs to its end safely.
  void unload(ScreenId screen);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Slot {
    Factory factory;
    QPointer<QWidget> window;
  };

  ScreenRegistry();
  Slot& slot(ScreenId screen);
  int loadedCount() const;
  void queueEndTest();

  std::array<Slot, kScreenCount> slots_;
  bool endTestQueued_ = false;
};

// The shell's operations as the screens' handlers call them.
void ShowScreen(ScreenId screen);
void UnloadScreen(ScreenId screen);

}  // namespace app
