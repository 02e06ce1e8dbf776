#pragma once
// What a user sees as an unfinished view, found in a widget tree: a label or button whose text
// does not fit its space, two sibling texts on top of each other, and a visible box with
// nothing to show. Only widgets visible on screen count.

#include <QString>
#include <QStringList>

class QWidget;

namespace dovrane::testing {

// One line per fault: the widget (its object name or class, with its parents'), the fault and
// the text. Empty when everything fits.
QStringList misfits(const QWidget* root);

} // namespace dovrane::testing
