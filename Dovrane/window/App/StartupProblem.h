#pragma once
// A start-up that cannot go on: the database cannot be opened, or the settings or caches folder
// cannot be used. Standard error always hears of it; with a display, so does the user, who may
// have started Dovrane from the desktop and would otherwise see nothing start.

#include "Services/AppFolders.h"
#include "Services/ModelContainer.h"

#include <QMessageBox>

#include <memory>
#include <string>

namespace dovrane::StartupProblem {

// Windows can be shown: the platform is neither offscreen nor minimal.
bool canShowWindows();

// The box for a store that cannot be opened. For a damaged store it offers to move the file
// aside and start with a fresh one (freshButton); the damaged file is kept either way.
struct StoreBox {
    std::unique_ptr<QMessageBox> box;
    QAbstractButton* freshButton = nullptr; // only for a damaged store
};
StoreBox storeBox(const std::string& path, const ModelContainer::OpenFailure& failure);

// The box for a settings or caches folder that cannot be used; its only answer is Quit.
std::unique_ptr<QMessageBox> folderBox(const AppFolders::FolderProblem& problem);
// Tells of the first folder that cannot be used, on standard error and, with a display, in its
// box; true when there was one and the start must end.
bool reportUnusableFolder();

} // namespace dovrane::StartupProblem
