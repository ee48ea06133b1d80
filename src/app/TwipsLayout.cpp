#include "TwipsLayout.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace app {
namespace {

constexpr char kTabIndexProperty[] = "tabIndex";
constexpr char kBackgroundProperty[] = "pinnedBackground";  // a Background, on the window
constexpr char kBlueProperty[] = "blueText";                // on a label of TextColour::Blue

// Text this much brighter or darker than its background can be read (the WCAG 2 threshold for
// text of ordinary size).
constexpr double kReadableContrast = 4.5;

double relativeLuminance(const QColor& colour) {
  const auto linear = [](double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
         0.0722 * linear(colour.blueF());
}

double contrastRatio(const QColor& a, const QColor& b) {
  const double la = relativeLuminance(a);
  const double lb = relativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool readable(const QColor& text, const QColor& background) {
  return contrastRatio(text, background) >= kReadableContrast;
}

struct Colours {
  QColor background;
  QColor text;
  bool ownText;  // false: the text keeps the scheme's colour
};

// The windows pin a light background, while their labels and lines are drawn in the scheme's text
// colour; a dark or high-contrast scheme makes that text light, and it would vanish. So the pinned
// background stands only while the scheme's text can be read on it; otherwise the window takes the
// scheme's own window colour, as the rest of a dark desktop does. A scheme whose text cannot be
// read on its own window either keeps the pinned background with black or white text.
Colours windowColours(const QWidget& window) {
  const QPalette scheme = QApplication::palette(&window);
  const QColor text = scheme.color(QPalette::Active, QPalette::WindowText);
  const QColor pinned =
      window.property(kBackgroundProperty).toInt() == static_cast<int>(Background::White)
          ? QColor(Qt::white)
          : scheme.color(QPalette::Active, QPalette::HighlightedText);
  if (readable(text, pinned)) {
    return {pinned, text, false};
  }
  const QColor schemeWindow = scheme.color(QPalette::Active, QPalette::Window);
  if (readable(text, schemeWindow)) {
    return {schemeWindow, text, false};
  }
  const QColor black(Qt::black);
  const QColor white(Qt::white);
  return {pinned, contrastRatio(black, pinned) >= contrastRatio(white, pinned) ? black : white,
          true};
}

// The banners are blue while blue can be read on the window; on a dark window they take the
// scheme's link colour, or else a blue lightened towards the text colour until it can be read.
QColor blueText(const QColor& background, const QColor& text, const QColor& link) {
  const QColor blue(Qt::blue);
  if (readable(blue, background)) {
    return blue;
  }
  if (readable(link, background)) {
    return link;
  }
  for (int step = 1; step < 10; ++step) {
    const double t = step / 10.0;
    const QColor lighter =
        QColor::fromRgbF(static_cast<float>(blue.redF() + (text.redF() - blue.redF()) * t),
                         static_cast<float>(blue.greenF() + (text.greenF() - blue.greenF()) * t),
                         static_cast<float>(blue.blueF() + (text.blueF() - blue.blueF()) * t));
    if (readable(lighter, background)) {
      return lighter;
    }
  }
  return text;
}

// Sets the window's background and text colours and its banners' blue for the scheme in force.
void applyScheme(QWidget& window) {
  const Colours colours = windowColours(window);
  QPalette palette;  // sets only the roles named below; the others follow the scheme
  palette.setColor(QPalette::Window, colours.background);
  if (colours.ownText) {
    palette.setColor(QPalette::WindowText, colours.text);
  }
  window.setPalette(palette);
  const QColor link = QApplication::palette(&window).color(QPalette::Active, QPalette::Link);
  for (QLabel* label : window.findChildren<QLabel*>()) {
    if (label->property(kBlueProperty).toBool()) {
      QPalette own;
      own.setColor(QPalette::WindowText, blueText(colours.background, colours.text, link));
      label->setPalette(own);
    }
  }
}

// Applies the scheme again whenever it changes while the window is open (the user switches the
// desktop to dark mode), since the pinned colours would not follow it by themselves.
class SchemeFollower : public QObject {
 public:
  explicit SchemeFollower(QWidget& window) : QObject(&window), window_(window) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    const bool changed =
        event->type() == QEvent::ApplicationPaletteChange || event->type() == QEvent::PaletteChange;
    if (watched == &window_ && changed && !applying_) {
      applying_ = true;
      applyScheme(window_);
      applying_ = false;
    }
    return false;
  }

 private:
  QWidget& window_;
  bool applying_ = false;
};

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
  window.setProperty(kBackgroundProperty, static_cast<int>(entry.background));
  applyScheme(window);
  window.installEventFilter(new SchemeFollower(window));
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
    label->setProperty(kBlueProperty, true);
    applyScheme(window);
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
  // Filled with the text colour of the moment, whatever the scheme.
  line->setBackgroundRole(QPalette::WindowText);
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
