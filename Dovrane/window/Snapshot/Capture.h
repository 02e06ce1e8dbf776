#pragma once
// One image of one window for the screenshot run: the layout file first, then the window
// system's picture of the window, tried three times, else the window's own drawing. Each
// image that ends up on disk gets its output line; one that does not gets none, so a missing
// image shows as a missing line.

#include "Snapshot/Pausing.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <string>
#include <string_view>

namespace dovrane::Snapshot {

// The application's windows as the run sees them: the visible top-level windows and dialogs
// (no popups, menus or tooltips).
QList<QWidget*> windowList();
// A sheet: a window-modal dialog over its parent window, as the main window shows its sheets.
bool isSheet(const QWidget* window);
// Only the main window can become main; the Settings window, the sheets and the menu bar
// panel cannot.
bool canBecomeMain(const QWidget* window);
// The first window of the list that can become main and is not a sheet, if any.
QWidget* mainWindow();

// Writes "SNAPSHOT " and the text as one line. Standard output keeps its buffering: through a
// pipe the lines arrive in blocks, the last ones when the process ends.
void say(std::string_view text);

// Shows the window, raises it and activates it.
void bringToFront(QWidget* window);

// Beside the image: the image file name's ".png" ending becomes "-layout.json". Only the file
// name's ending changes, so an output folder whose path holds ".png" keeps its layout files.
std::string layoutPath(const std::string& imagePath);

// Captures window, or the main window when none is given, into the PNG file at imagePath
// (bytes, used unchanged) and writes the layout file beside it. Without a window to capture it
// prints "SNAPSHOT no window" and touches no file.
Subtask capture(std::string imagePath, QPointer<QWidget> window);

} // namespace dovrane::Snapshot
