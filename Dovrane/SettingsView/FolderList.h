#pragma once
// The folder picker of the folder lists (and of "Choose Project Folders…"): folders only,
// several at once.

#include <QStringList>

#include <memory>
#include <optional>

class QFileDialog;
class QWidget;

namespace dovrane {

namespace FolderList {

// Runs the picker modally; the chosen folders' paths in the dialog's order, or none when it
// was not confirmed.
std::optional<QStringList> pick(QWidget* parent = nullptr);
// The picker pick() runs, set up but not shown.
std::unique_ptr<QFileDialog> makePicker(QWidget* parent = nullptr);

} // namespace FolderList

} // namespace dovrane
