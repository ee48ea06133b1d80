#include "ShowMessage.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
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
  const QPointer<QWidget> owner = QApplication::activeWindow();
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok,
                  owner);
  box.exec();
  // Without a window manager nothing hands the activation back to the screen under the box, and a
  // screen reader would hear neither the keys nor the focus that follow.
  if (owner != nullptr) {
    owner->activateWindow();
  }
}

void setMessageHandler(MessageHandler handler) {
  messageHandler() = std::move(handler);
}

}  // namespace app
