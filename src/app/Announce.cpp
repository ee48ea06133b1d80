#include "Announce.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QWidget>

namespace app {
namespace {

// The notification a window's announcements are spoken from. A reader speaks a notification as it
// becomes visible, so each announcement is a new showing.
class Notification : public QWidget {
  Q_OBJECT

 public:
  explicit Notification(QWidget& window) : QWidget(&window) {
    setObjectName(QStringLiteral("announcement"));
    setGeometry(0, 0, 0, 0);
    hide();
    window.installEventFilter(this);
  }

  void announce(const QString& text) {
    setAccessibleName(text);
    pending_ = true;
    if (window()->isActiveWindow()) {
      showAfresh();
    }
  }

 protected:
  // A reader presents a window that becomes active again (a message box over it has closed), and
  // then its focused control, each cutting off what it was saying. An announcement made meanwhile
  // waits until both are told: the activation gives the focus before queued calls run.
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::WindowActivate && pending_) {
      QMetaObject::invokeMethod(this, &Notification::showAfresh, Qt::QueuedConnection);
    }
    return false;
  }

 private:
  void showAfresh() {
    if (!pending_) {
      return;
    }
    pending_ = false;
    hide();
    show();
  }

  bool pending_ = false;
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
  notification->announce(text);
}

}  // namespace app

#include "Announce.moc"
