#include "ShowMessage.h"

#include <QApplication>
#include <QMessageBox>
#include <utility>

namespace app {
namespace {

MessageHandler& messageHandler() {
  static MessageHandler handler;
  return handler;
}

}  // namespace

void ShowMessage(const QString& text) {
  if (messageHandler()) {
    messageHandler()(text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

void setMessageHandler(MessageHandler handler) {
  messageHandler() = std::move(handler);
}

}  // namespace app
