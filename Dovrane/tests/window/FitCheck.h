#pragma once
// What a user sees as an unfinished view, found in a widget tree: a label or button whose text
// does not fit its space (a push button's with the style's margins around it), two sibling
// texts on top of each other, a visible box with nothing to show, and a page wider than its
// window (a horizontal scroll bar). Only widgets visible on screen count. And a sheet that does
// not fit the part of its window it may cover. A text cut short on purpose ends in "…" and
// shows the whole text as its tooltip: a label's own, a table cell's where the pointer rests.

#include <QRect>
#include <QString>
#include <QStringList>

class QWidget;

namespace dovrane::testing {

// One line per fault: the widget (its object name or class, with its parents'), the fault and
// the text. Empty when everything fits.
QStringList misfits(const QWidget* root);

// A sheet reaching past area (screen coordinates), and a visible button of it cut off by its
// edge. Empty when it fits.
QStringList sheetMisfits(const QWidget* sheet, const QRect& area);

} // namespace dovrane::testing
