#pragma once
// What the main window hands every page it builds: the one model, the shared category choice,
// and the few pieces of the window a page uses without owning them.

#include "AppModel/WindowRecords.h"
#include "UiKit/FolderList.h"
#include "UiKit/StorageSelection.h"

#include <QStringList>

#include <functional>
#include <optional>

class QAction;
class QWidget;

namespace dovrane {

class AppModel;

struct PageContext {
    using FolderPicker = std::function<std::optional<QStringList>(QWidget* parent)>;
    using WidgetMaker = std::function<QWidget*(QWidget* parent)>;

    AppModel& model;
    StorageSelection& selection = StorageSelection::shared();
    // The window's "Clean Up Safe Items…", which owns Ctrl+Return; without one (a page shown
    // on its own) the page makes a plain action that asks the model the same.
    QAction* cleanUpSafeItems = nullptr;
    // The window's access hint for the top of a header; none shows nothing.
    WidgetMaker accessHint = nullptr;
    PageContext::FolderPicker pickFolders = [](QWidget* parent) { return FolderList::pick(parent); };
};

} // namespace dovrane
