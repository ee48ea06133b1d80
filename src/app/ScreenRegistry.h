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

  bool isCreated(ScreenId screen) const;
  bool isLoaded(ScreenId screen) const;
  QWidget* window(ScreenId screen) const;  // nullptr while the screen is not loaded
  int loadedCount() const;

  // Destroys every window at once and empties every slot, forgetting any queued end-of-program
  // test; factories stay. Gives each test the state of a program that has just started.
  void reset();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Slot {
    Factory factory;
    bool created = false;
    QPointer<QWidget> window;
  };

  ScreenRegistry();
  Slot& slot(ScreenId screen);
  const Slot& slot(ScreenId screen) const;
  void queueEndTest();

  std::array<Slot, kScreenCount> slots_;
  bool endTestQueued_ = false;
  unsigned generation_ = 0;  // tells a queued test that a reset came after it
};

// The shell's operations as the screens' handlers call them.
void ShowScreen(ScreenId screen);
void UnloadScreen(ScreenId screen);

}  // namespace app
