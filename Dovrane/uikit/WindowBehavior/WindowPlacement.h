#pragma once
// Where a window opens and how it comes forward: a sheet or the Settings window centred on the
// main window, inside that window's screen; raising only where the platform stacks windows
// (the offscreen platform of the headless runs cannot, and says so on standard error).

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace dovrane::WindowPlacement {

// Whether a window system places and stacks the windows (not offscreen or minimal).
bool platformStacksWindows();

// Shows the window (un-minimized), raises it where the platform can, and activates it.
void bringToFront(QWidget* window);

// The top-left corner that centres a frame of `size` on `anchor`, moved inside `room` as far
// as it fits (an empty room leaves it where centring puts it).
QPoint centred(const QRect& anchor, const QSize& size, const QRect& room);

// Moves window so it is centred on anchor, on anchor's screen; with no anchor on show, centred
// on the screen the window would open on. A window not on show has its size settled first.
// A non-empty area (in screen coordinates) takes the place of the anchor's frame. A window
// shorter than placedHeight has its top where a window of that height would have it.
void centreOn(QWidget* window, const QWidget* anchor, const QRect& area = {}, int placedHeight = 0);

// The part of a window a sheet may cover, in screen coordinates: a main window's central
// widget, below its menu bar and toolbar; any other window whole.
QRect sheetArea(const QWidget* window);

// The height of the frame the window system draws around window; before it is shown, that of
// anchor's frame, which the same window system decorates alike.
int frameHeight(const QWidget* window, const QWidget* anchor);

} // namespace dovrane::WindowPlacement
