#include "ShellHarness.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstddef>

#include "ProgramEnd.h"
#include "ScreenFactories.h"
#include "ScreenRegistry.h"
#include "ShowMessage.h"

namespace testsupport {
namespace {

constexpr app::ScreenId kScreens[] = {app::ScreenId::Calculador, app::ScreenId::Ingreso,
                                      app::ScreenId::Vista};

// The object name of each screen's window, in the order of ScreenId.
constexpr const char* kWindowNames[] = {"frmCalculador", "frmingreso", "frmvista"};

QMap<QString, QString> controlTexts() {
  QMap<QString, QString> texts;
  for (app::ScreenId screen : kScreens) {
    if (QWidget* shown = ShellHarness::window(screen)) {
      for (const QLineEdit* box : shown->findChildren<QLineEdit*>()) {
        texts.insert(box->objectName(), box->text());
      }
      for (const QLabel* label : shown->findChildren<QLabel*>()) {
        texts.insert(label->objectName(), label->text());
      }
    }
  }
  return texts;
}

}  // namespace

void ShellHarness::start() {
  app::registerScreenFactories();
  messages_.clear();
  endCount_ = 0;
  // Named, the lambda is laid out alike by every clang-format release we check with (14 and 19).
  auto keep = [this](const QString& text) { messages_.push_back({text, controlTexts()}); };
  app::setMessageHandler(keep);
  app::setProgramEndHandler([this] { ++endCount_; });
}

void ShellHarness::stop() {
  // Unloads what the test left loaded, as the program's handlers would, then lets the queued end
  // test run and the windows go, so that the next test starts like the program.
  for (app::ScreenId screen : kScreens) {
    if (window(screen) != nullptr) {
      app::UnloadScreen(screen);
    }
  }
  returnToEventLoop();
  app::setMessageHandler({});
  app::setProgramEndHandler({});
}

QStringList ShellHarness::messageTexts() const {
  QStringList texts;
  for (const ShownMessage& message : messages_) {
    texts.append(message.text);
  }
  return texts;
}

void ShellHarness::returnToEventLoop() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::vector<app::ScreenId> ShellHarness::loadedScreens() {
  std::vector<app::ScreenId> loaded;
  for (app::ScreenId screen : kScreens) {
    if (window(screen) != nullptr) {
      loaded.push_back(screen);
    }
  }
  return loaded;
}

QWidget* ShellHarness::window(app::ScreenId screen) {
  const QString name = QString::fromUtf8(kWindowNames[static_cast<std::size_t>(screen)]);
  for (QWidget* shown : QApplication::topLevelWidgets()) {
    if (shown->objectName() == name && shown->isVisible()) {
      return shown;
    }
  }
  return nullptr;
}

bool ShellHarness::click(app::ScreenId screen, const char* button) {
  auto* target = control<QPushButton>(screen, button);
  if (target == nullptr) {
    return false;
  }
  QTest::mouseClick(target, Qt::LeftButton);
  return true;
}

}  // namespace testsupport
