#include "Announce.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace app {
namespace {

// The notification a window's announcements are spoken from.
class Notification : public QWidget {
  Q_OBJECT

 public:
  explicit Notification(QWidget& window) : QWidget(&window) {
    setObjectName(QStringLiteral("announcement"));
    setGeometry(0, 0, 0, 0);
    hide();
  }
};

// Qt gives a plain widget a bare client role, which readers do not speak when it appears.
QAccessibleInterface* notificationInterface(const QString& /*className*/, QObject* object) {
  auto* notification = qobject_cast<Notification*>(object);
  return notification == nullptr ? nullptr
                                 : new QAccessibleWidget(notification, QAccessible::Notification);
}

}  // namespace

void Announce(QWidget& screen, const QString& text) {
  static const bool factoryInstalled = [] {
    QAccessible::installFactory(&notificationInterface);
    return true;
  }();
  (void)factoryInstalled;

  QWidget& window = *screen.window();
  auto* notification = window.findChild<Notification*>(QString(), Qt::FindDirectChildrenOnly);
  if (notification == nullptr) {
    notification = new Notification(window);
  }
  // A reader speaks a notification as it becomes visible, so each announcement is a new showing.
  notification->hide();
  notification->setAccessibleName(text);
  notification->show();
}

}  // namespace app

#include "Announce.moc"
