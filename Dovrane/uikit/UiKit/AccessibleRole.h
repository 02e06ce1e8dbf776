#pragma once
// What assistive technology hears of a custom-drawn widget that no Qt class describes: the role
// it plays (a choice among several, a group such as a card) and, for a checkable button, its
// checked and selected state and the action that presses it.

#include <QAccessible>

class QWidget;

namespace dovrane::AccessibleRole {

// Call before anything touches the widget's accessibility (before setAccessibleName): Qt keeps
// the first interface it made for a widget.
void set(QWidget* widget, QAccessible::Role role);
// The factory that honours set(); installed once with the interface's foundation.
void install();

} // namespace dovrane::AccessibleRole
