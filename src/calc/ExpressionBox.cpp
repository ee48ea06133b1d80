#include "ExpressionBox.h"

#include <QKeyEvent>

namespace calc {
namespace {

// A physical key, by its scan code where the platform gives one: a "+" typed with Shift may come
// back as "=" if Shift goes up first. Synthesised events carry no scan code, only the key.
quint64 physicalKey(const QKeyEvent& event) {
  constexpr quint64 kScanCodeTag = quint64{1} << 32;
  if (event.nativeScanCode() != 0) {
    return kScanCodeTag | event.nativeScanCode();
  }
  return static_cast<quint32>(event.key());
}

}  // namespace

ExpressionBox::ExpressionBox(QWidget* parent) : QLineEdit(parent) {}

void ExpressionBox::keyPressEvent(QKeyEvent* event) {
  // Only the first press of a key starts a stroke here. The repeats of a key held down since it
  // dismissed a message box arrive here too, but that key was pressed elsewhere.
  if (!event->isAutoRepeat()) {
    pressedKeys_.insert(physicalKey(*event));
  }
  QLineEdit::keyPressEvent(event);
}

void ExpressionBox::keyReleaseEvent(QKeyEvent* event) {
  QLineEdit::keyReleaseEvent(event);
  if (event->isAutoRepeat() || !pressedKeys_.remove(physicalKey(*event))) {
    return;
  }
  event->accept();
  emit keyReleased(event->key());
}

void ExpressionBox::focusOutEvent(QFocusEvent* event) {
  // Keys still down when the focus leaves are released elsewhere, or here after the focus came
  // back: either way their release no longer belongs to what was typed here.
  pressedKeys_.clear();
  QLineEdit::focusOutEvent(event);
}

}  // namespace calc
