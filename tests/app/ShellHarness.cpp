#include "ShellHarness.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ProgramEnd.h"
#include "ScreenFactories.h"
#include "ScreenRegistry.h"
#include "ShowMessage.h"

namespace testsupport {
namespace {

constexpr app::ScreenId kScreens[] = {app::ScreenId::Calculador, app::ScreenId::Ingreso,
                                      app::ScreenId::Vista};

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

void emptyRegistry() {
  app::ScreenRegistry::instance().reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace

void ShellHarness::start() {
  emptyRegistry();
  app::registerScreenFactories();
  messages_.clear();
  endCount_ = 0;
  app::setMessageHandler([this](const QString& text) {
    messages_.push_back({text, controlTexts()});
  });
  app::setProgramEndHandler([this] { ++endCount_; });
}

void ShellHarness::stop() {
  emptyRegistry();
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
    if (app::ScreenRegistry::instance().isLoaded(screen)) {
      loaded.push_back(screen);
    }
  }
  return loaded;
}

QWidget* ShellHarness::window(app::ScreenId screen) {
  return app::ScreenRegistry::instance().window(screen);
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
