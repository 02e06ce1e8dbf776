#pragma once
// Keyboard focus made visible: the ring custom-drawn widgets paint around themselves while
// focused, and the rule that a widget taking the focus inside a scroll area is scrolled into view.

#include <QColor>
#include <QRectF>

class QPainter;

namespace dovrane::FocusRing {

// The chosen theme's accent, read at paint time so a new choice shows at once.
QColor color();
// A ring two pixels wide just inside bounds, with the given corner radius (half the height for a circle).
void paint(QPainter& painter, const QRectF& bounds, qreal radius);
// From now on every widget that gets the focus is scrolled into view in each scroll area that
// holds it, however the focus got there. Idempotent.
void followFocusIntoView();

} // namespace dovrane::FocusRing
