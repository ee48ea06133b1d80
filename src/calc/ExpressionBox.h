#pragma once

#include <QLineEdit>
#include <QSet>

namespace calc {

// The calculator's expression box: a line edit that reports each real key release whose key press
// it received itself. A release whose press went elsewhere is not the user typing here: typically
// the Enter or Space that dismissed a message box, released after the focus came back, even when it
// was held long enough to repeat here. Auto-repeat releases are dropped too, so a key held down
// reports one release, when it goes up.
class ExpressionBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit ExpressionBox(QWidget* parent = nullptr);

 signals:
  void keyReleased(int key);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  QSet<quint64> pressedKeys_;
};

}  // namespace calc
