#include "TwipsLayout.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QVariant>
#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace app {
namespace {

constexpr char kTabIndexProperty[] = "tabIndex";

void placeControl(QWidget& control, const char* name, const TwipsRect& rect, int tabIndex) {
  control.setObjectName(QString::fromUtf8(name));
  control.setGeometry(toPixels(rect));
  control.setProperty(kTabIndexProperty, tabIndex);
}

Qt::Alignment alignment(TextAlign align) {
  // The labels this program grew up with draw their caption from the top edge.
  switch (align) {
    case TextAlign::Right:
      return Qt::AlignRight | Qt::AlignTop;
    case TextAlign::Centre:
      return Qt::AlignHCenter | Qt::AlignTop;
    case TextAlign::Left:
      break;
  }
  return Qt::AlignLeft | Qt::AlignTop;
}

// A caption wider than its label (the calculator's banner, whose font here is wider than the one
// it was laid out with) would be cut off mid-word. It is shown whole instead, centred on the place
// where the label stands, so that the banner stays about centred over the window.
void showWholeCaption(QLabel& label) {
  const int missing = label.sizeHint().width() - label.width();
  if (missing <= 0) {
    return;
  }
  label.setGeometry(label.geometry().adjusted(-missing / 2, 0, missing - missing / 2, 0));
  label.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

}  // namespace

QRect toPixels(const TwipsRect& rect) {
  return {twipsToPixels(rect.left), twipsToPixels(rect.top), twipsToPixels(rect.width),
          twipsToPixels(rect.height)};
}

void setUpWindow(QWidget& window, const WindowLayout& entry) {
  window.setObjectName(QString::fromUtf8(entry.name));
  window.setWindowTitle(QString::fromUtf8(entry.caption));
  QPalette palette = window.palette();
  const QColor background = entry.background == Background::White
                                ? QColor(Qt::white)
                                : palette.color(QPalette::Active, QPalette::HighlightedText);
  palette.setColor(QPalette::Window, background);
  window.setPalette(palette);
  window.setAutoFillBackground(true);
  // The layouts were measured in MS Sans Serif 8 pt, the default of every control without a font of
  // its own; a larger desktop default would clip captions such as "Limpiar Campos".
  window.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  // resize() sizes the client area; the frame stays sizable and the controls keep their places.
  window.resize(twipsToPixels(entry.clientWidth), twipsToPixels(entry.clientHeight));
}

QPushButton* makeButton(QWidget& window, const ControlLayout& entry) {
  auto* button = new QPushButton(QString::fromUtf8(entry.caption), &window);
  placeControl(*button, entry.name, entry.rect, entry.tabIndex);
  button->setAccessibleName(button->text());
  // A plain window has no default button, so Enter on a focused button does not click it.
  button->setAutoDefault(false);
  return button;
}

QLabel* makeLabel(QWidget& window, const LabelLayout& entry) {
  auto* label = new QLabel(QString::fromUtf8(entry.caption), &window);
  label->setObjectName(QString::fromUtf8(entry.name));
  label->setGeometry(toPixels(entry.rect));
  label->setAlignment(alignment(entry.align));
  label->setAutoFillBackground(true);
  label->setTextFormat(Qt::PlainText);
  if (entry.font.family[0] != '\0') {
    QFont font(QString::fromUtf8(entry.font.family));
    font.setPointSizeF(entry.font.pointSize);
    font.setWeight(static_cast<QFont::Weight>(entry.font.weight));
    label->setFont(font);
  }
  if (entry.colour == TextColour::Blue) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
  }
  showWholeCaption(*label);
  return label;
}

QFrame* makeLine(QWidget& window, const LineLayout& entry) {
  auto* line = new QFrame(&window);
  line->setObjectName(QString::fromUtf8(entry.name));
  line->setFrameShape(QFrame::NoFrame);
  line->setGeometry(twipsToPixels(entry.x1), twipsToPixels(entry.y),
                    twipsToPixels(entry.x2 - entry.x1), 1);
  QPalette palette = line->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::WindowText));
  line->setPalette(palette);
  line->setAutoFillBackground(true);
  return line;
}

void setUpTextBox(QLineEdit& box, const ControlLayout& entry, QLabel* caption) {
  placeControl(box, entry.name, entry.rect, entry.tabIndex);
  box.setMaxLength(std::numeric_limits<int>::max());
  if (caption != nullptr) {
    caption->setBuddy(&box);
    box.setAccessibleName(caption->text());
  }
}

void applyTabOrder(QWidget& window) {
  std::vector<std::pair<int, QWidget*>> controls;
  for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QVariant index = child->property(kTabIndexProperty);
    if (index.isValid()) {
      controls.emplace_back(index.toInt(), child);
    }
  }
  std::sort(controls.begin(), controls.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < controls.size(); ++i) {
    QWidget::setTabOrder(controls[i - 1].second, controls[i].second);
  }
}

}  // namespace app
