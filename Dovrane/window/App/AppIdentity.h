#pragma once
// How the desktop knows Dovrane's windows: the application id that ties them to the installed
// menu entry, and the icon every window and dialog carries.

#include <QIcon>

namespace dovrane::AppIdentity {

// Sets the desktop file name and the application's window icon, which every window and dialog
// takes unless it sets its own. Called once, after the QApplication is made.
void install();

// The icon of the desktop's theme (the installed one), else the one built into the program.
QIcon icon();

} // namespace dovrane::AppIdentity
