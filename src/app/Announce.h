#pragma once

#include <QString>

class QWidget;

namespace app {

// Has a screen reader speak `text` once, wherever the focus is, and leaves the focus there.
// For news a sighted user reads off the screen but that no focus change brings to a reader: a new
// result, a record found. While `screen`'s window is not the active one (a message box over it is
// closing) the announcement waits until it is active again.
//
// Qt 6.4 has no announcement event. What Orca speaks of a Qt program without the focus moving is a
// notification that becomes visible: each call shows the window's one notification, named `text`,
// afresh. It has no size, so nothing on the screen changes.
void Announce(QWidget& screen, const QString& text);

}  // namespace app
