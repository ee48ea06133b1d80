#include "ScreenRegistry.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <utility>

#include "ProgramEnd.h"

namespace app {
namespace {

// Centres the window, frame included, on the primary screen's available area. The native window
// is made first so that the platform can tell the frame; a window manager that adds its frame only
// once the window is mapped leaves it out, and the window is then off by half the title bar.
void centreOnScreen(QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return;
  }
  window.winId();
  QRect frame = window.frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window.move(frame.topLeft());
}

}  // namespace

ScreenRegistry::ScreenRegistry() {
  // The program ends by the shell's own test, never because Qt saw its last window close.
  QGuiApplication::setQuitOnLastWindowClosed(false);
}

ScreenRegistry& ScreenRegistry::instance() {
  static ScreenRegistry registry;
  return registry;
}

void ScreenRegistry::setFactory(ScreenId screen, Factory factory) {
  slot(screen).factory = std::move(factory);
}

void ScreenRegistry::show(ScreenId screen) {
  Slot& target = slot(screen);
  if (target.window.isNull()) {
    if (!target.factory) {
      return;
    }
    std::unique_ptr<QWidget> window = target.factory();
    centreOnScreen(*window);
    window->installEventFilter(this);
    target.window = window.release();
  }
  target.window->show();
  target.window->raise();
  // Without a window manager nothing else activates the window, and keys would go nowhere.
  target.window->activateWindow();
}

void ScreenRegistry::unload(ScreenId screen) {
  Slot& target = slot(screen);
  if (target.window.isNull()) {
    return;
  }
  QWidget* window = target.window;
  target.window = nullptr;
  window->removeEventFilter(this);
  window->hide();
  window->deleteLater();
  queueEndTest();
}

int ScreenRegistry::loadedCount() const {
  return static_cast<int>(std::count_if(slots_.begin(), slots_.end(),
                                        [](const Slot& s) { return !s.window.isNull(); }));
}

bool ScreenRegistry::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Close) {
    return QObject::eventFilter(watched, event);
  }
  // The title bar's close control unloads the screen exactly as UnloadScreen does; Qt's own close
  // is refused so that the window goes through the same path.
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].window == watched) {
      event->ignore();
      unload(static_cast<ScreenId>(i));
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

ScreenRegistry::Slot& ScreenRegistry::slot(ScreenId screen) {
  return slots_.at(static_cast<std::size_t>(screen));
}

void ScreenRegistry::queueEndTest() {
  if (endTestQueued_) {
    return;
  }
  endTestQueued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        endTestQueued_ = false;
        if (loadedCount() == 0) {
          EndProgram();
        }
      },
      Qt::QueuedConnection);
}

void ShowScreen(ScreenId screen) {
  ScreenRegistry::instance().show(screen);
}

void UnloadScreen(ScreenId screen) {
  ScreenRegistry::instance().unload(screen);
}

}  // namespace app
