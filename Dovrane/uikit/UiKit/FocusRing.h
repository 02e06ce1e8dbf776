#pragma once
// Keyboard focus made visible: the ring custom-drawn widgets paint around themselves while
// focused, and the rule that a widget taking the focus inside a scroll area is scrolled into view.

#include <QColor>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace dovrane::FocusRing {

// The chosen theme's accent, read at paint time so a new choice shows at once.
QColor color();
// A ring two pixels wide just inside bounds, with the given corner radius (half the height for a circle).
void paint(QPainter& painter, const QRectF& bounds, qreal radius);
// The same in another colour: on a fill of the accent the ring takes the colour of the fill's
// text, so it shows on any accent.
void paint(QPainter& painter, const QRectF& bounds, qreal radius, const QColor& color);
// Gives a widget whose style draws no focus mark (a button drawn as a link) the ring while it
// has the focus, drawn over it by a child that takes no clicks.
void attach(QWidget* widget, qreal radius = 4);
// From now on every widget that gets the focus is scrolled into view in each scroll area that
// holds it, however the focus got there. Idempotent.
void followFocusIntoView();

// The ring over a part of a widget that its owner places and shows (the keyboard's row in a
// list drawn by hand); it takes no clicks and no focus.
class Marker final : public QWidget {
public:
    explicit Marker(QWidget* parent, qreal radius = 6);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal radius_;
};

} // namespace dovrane::FocusRing
