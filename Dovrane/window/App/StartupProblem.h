#pragma once
// A start-up that does not go as it should: the database cannot be opened as it is (damaged, a
// symbolic link, unwritable), or the settings or caches folder cannot be used. Standard error
// always hears of it. The window opens anyway and says, in the user's language, what is wrong
// with which file and what the user can do; a developer run (the self-test, the traces, the
// screenshot run) ends with its error instead. Only a start left without any database, not even
// a stand-in, ends with a box.

#include "Services/AppFolders.h"
#include "Services/ModelContainer.h"
#include "Store/Store.h"

#include <QMessageBox>
#include <QString>

#include <memory>
#include <string>

namespace dovrane::StartupProblem {

// Windows can be shown: the platform is neither offscreen nor minimal.
bool canShowWindows();

// The database for the window (Store::openForWindow) and what the window says of it at launch,
// each problem also told on standard error; a cache beside the store that is a symbolic link,
// and a folder that cannot be used, are told too. Without any database the box for that is
// shown, with a display, and the container is null: the start ends.
struct WindowStart {
    std::unique_ptr<ModelContainer> container;
    QString problems; // one paragraph each; empty when all is well
};
WindowStart openForWindow();

// What the window says of a store it opened without, or with a new one in its place, with
// advice that fits the fault.
QString describe(const Store::Recovery& recovery);
// Of a folder Dovrane cannot keep its files in.
QString describe(const AppFolders::FolderProblem& problem);
// Of a cache beside the store that is a symbolic link, neither read nor written.
QString describeCacheLink(const Store::Link& link);

// Shows the problems over the window in a window-modal box of their own, without waiting for
// its answer: the paths and what to do are longer than the notice bar's three lines.
void showOver(QWidget* window, const QString& problems);

// The box for a start left without any database; its only answer is Quit.
std::unique_ptr<QMessageBox> noDatabaseBox(const std::string& path, const std::string& reason);

// For a developer run: tells of the first folder that cannot be used on standard error; true
// when there was one and the start must end.
bool reportUnusableFolder();

} // namespace dovrane::StartupProblem
