#pragma once

#include <QLineEdit>
#include <QRect>

class QFrame;
class QLabel;
class QPushButton;
class QWidget;

// The screens' layouts are tables of twips (1/1440 inch) within a window's client area; 15 twips
// are one logical pixel, and Qt scales logical pixels for high-density screens. These types hold
// one row of such a table, and the functions build the window or control the row describes at a
// fixed position that never follows the window's size.
namespace app {

inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) {
  return twips / kTwipsPerPixel;
}

struct TwipsRect {
  int left;
  int top;
  int width;
  int height;
};

QRect toPixels(const TwipsRect& rect);

enum class Background {
  TitleBarText,  // the scheme's colour for the text of an active title bar, white as a rule
  White,
};

struct WindowLayout {
  const char* name;
  const char* caption;
  int clientWidth;  // twips
  int clientHeight;
  Background background;
};

// A button or a text box: both take the focus, in the order of their tab indexes.
struct ControlLayout {
  const char* name;
  const char* caption;  // a text box's text at start is always empty
  TwipsRect rect;
  int tabIndex;
};

enum class TextAlign { Left, Right, Centre };
enum class TextColour { Default, Blue };

// A font of its own; an empty family means the toolkit's default font.
struct FontLayout {
  const char* family;
  double pointSize;
  int weight;  // QFont::Weight
};

inline constexpr FontLayout kDefaultFont{"", 0.0, 0};

// Labels are opaque, on the window's background, and take no focus.
struct LabelLayout {
  const char* name;
  const char* caption;
  TwipsRect rect;
  TextAlign align;
  FontLayout font;
  TextColour colour;
};

// A one-pixel line of the default colour, from (x1, y) to (x2, y).
struct LineLayout {
  const char* name;
  int x1;
  int x2;
  int y;
};

// Names the window, gives it its caption and background, and sizes its client area. The frame stays
// sizable, with the minimize, maximize and close controls.
void setUpWindow(QWidget& window, const WindowLayout& entry);

QPushButton* makeButton(QWidget& window, const ControlLayout& entry);
QLabel* makeLabel(QWidget& window, const LabelLayout& entry);
QFrame* makeLine(QWidget& window, const LineLayout& entry);

// Sets up a text box built by the caller: empty, without QLineEdit's length limit, and named for
// screen readers by `caption`, the label beside it (null for none).
void setUpTextBox(QLineEdit& box, const ControlLayout& entry, QLabel* caption);

template <class Box = QLineEdit>
Box* makeTextBox(QWidget& window, const ControlLayout& entry, QLabel* caption) {
  auto* box = new Box(&window);
  setUpTextBox(*box, entry, caption);
  return box;
}

// Chains the focus through every control made from a ControlLayout, by increasing tab index.
void applyTabOrder(QWidget& window);

}  // namespace app
