#pragma once
// Where the database lives: the file named by APP_STORE (a test store), else Dovrane.store in
// the Dovrane folder of the user's data home. The caches sit beside it.
//
// A test store lives in /tmp, where other users may create files first: it is used only in a
// folder that others cannot empty or fill (not world-writable, or sticky), never through a
// symbolic link, and only when it is the user's own file that nobody else may write.

#include "Services/ModelContainer.h"

#include <DovraneKit/core/Url.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace dovrane::Store {

// Dovrane's own folder in the user's data home, created 0700 when missing and made 0700 when
// its mode is looser; only named when `prepare` is false.
std::string folder(bool prepare = true);
// The store file. Unless prepare is false the default folder is created (0700) each time it is
// worked out; a failure to create it is left for the opening to report.
Url url(bool prepare = true);
// A test store is in use: APP_STORE is set and not empty.
bool isOverridden();
// Why the test store cannot be used safely ("it is a symbolic link"); nothing when no test store
// is set or it may be used, and then a missing store and its two log files ("-wal", "-shm")
// have been created empty (0600).
std::optional<std::string> testStoreProblem();
// For a developer mode that needs a test store: its refusal line, "<prefix> refused: set
// APP_STORE to a file in /tmp" with the reason after a colon when a test store is set but may
// not be used; nothing when it may run.
std::optional<std::string> refusalLine(const std::string& prefix);
// Why path, when it exists, may not be trusted: not a regular file of the user's own that only
// the user may write, or reached through a symbolic link. Nothing when it is missing or fine.
std::optional<std::string> ownFileProblem(const std::string& path);
// The opened database, or why not: a test store that may not be used is not opened at all.
// The store and its log files are made 0600 (in Dovrane's own folder every file is), created
// so when missing. A first start that fails (on a full disk, say) removes the empty files and
// the folder it made; the reason names any file it had to leave.
Expected<std::unique_ptr<ModelContainer>, ModelContainer::OpenFailure> openContainer();
// Moves a damaged store (and its log files) aside to "<store>.damaged", "<store>.damaged-2", …,
// never over an earlier copy; the name it now has, or nothing when it could not be moved.
std::optional<std::string> setAside(const std::string& path);
// The user's choice for a damaged store: it is moved aside as setAside does, and a new store at
// path starts with the journal records the damaged file could still give, so that they can be
// put back. Nothing when the damaged file could not be moved.
struct FreshStart {
    std::string aside;            // the damaged file's new name
    std::size_t keptRemovals = 0; // journal records carried over
};
std::optional<FreshStart> startFresh(const std::string& path);
// The opened database. When it cannot be opened the process ends with status 1 and
// "Could not open the database at PATH: REASON" on standard error; the file is left untouched.
std::unique_ptr<ModelContainer> makeContainer();

} // namespace dovrane::Store
