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
// have been created empty (0600), unless the store is read-only (its opening refuses it).
std::optional<std::string> testStoreProblem();
// For a developer mode that needs a test store: its refusal line, "<prefix> refused: set
// APP_STORE to a file in /tmp" with the reason after a colon when a test store is set but may
// not be used; nothing when it may run.
std::optional<std::string> refusalLine(const std::string& prefix);
// Why path, when it exists, may not be trusted: not a regular file of the user's own that only
// the user may write, or reached through a symbolic link. Nothing when it is missing or fine.
std::optional<std::string> ownFileProblem(const std::string& path);
// A cache Dovrane writes beside its store: `name`, or beside a test store the store's own name
// followed by `testSuffix` (none: the same name beside any store).
struct Cache {
    const char* name;
    const char* testSuffix;
};
inline constexpr Cache scanCache{"last-scan.json", ".scan.json"};
inline constexpr Cache updatesCache{"last-updates.json", ".updates.json"};
// The update checker's index of Homebrew casks, kept in the store's folder.
inline constexpr Cache caskCache{"homebrew-casks.json", nullptr};
// Where the cache lies beside the store at `store`.
std::string cachePath(const std::string& store, const Cache& cache);
// The opened database, or why not: a test store that may not be used is not opened at all,
// nor is a store the user made read-only, whose modes stay as they are. Otherwise the store is
// created 0600 when missing, and Dovrane's own files are made 0600: the store, its log files, the
// lock file of its moves and its caches, each when it is the user's and has no other link.
// Nothing else in the folder changes: it may be a link to a folder the user shares. A first start
// that fails (on a full disk, say) removes the empty files and the folder it made; the reason
// names any file it had to leave.
Expected<std::unique_ptr<ModelContainer>, ModelContainer::OpenFailure> openContainer();
// Moves a damaged store and its log files aside, together, to "<store>.damaged",
// "<store>.damaged-2", …, never over an earlier copy or its logs; the name it now has, or
// nothing when they could not be moved (and then all stay where they were).
std::optional<std::string> setAside(const std::string& path);
// For a damaged store: it is moved aside as setAside does, and a new store at path starts with
// the journal records the damaged file could still give, so that they can be put back. Nothing
// when the damaged file could not be moved.
struct FreshStart {
    std::string aside;            // the damaged file's new name
    std::size_t keptRemovals = 0; // journal records carried over
};
std::optional<FreshStart> startFresh(const std::string& path);

// A symbolic link where Dovrane keeps a file of its own: the link, and the path it names, made
// absolute (a relative target is read from the link's folder).
struct Link {
    std::string path;
    std::string target;
    bool targetExists = false;
};
// The link at path; nothing when path is no symbolic link.
std::optional<Link> linkAt(const std::string& path);

// What a start of the window made of a store it could not open as it was.
struct Recovery {
    enum class Kind {
        setAside, // damaged: kept under `aside`, and a new store made in its place
        linked,   // a symbolic link among its files (`link`): never written through
        unusable, // it could not be opened, or replaced when damaged; left as it is
    };
    Kind kind = Kind::unusable;
    std::string path;             // the store
    std::string reason;           // why it could not be opened as it was
    std::string aside;            // where the damaged file is kept, when it was moved
    std::size_t keptRemovals = 0; // journal records carried over into the new store
    Link link;
    bool damaged = false; // it was found damaged, whether or not it could be set aside
    ModelContainer::OpenFailure::Cause cause = ModelContainer::OpenFailure::Cause::other;
};
struct WindowStore {
    // The store; with a linked or unusable one, a temporary stand-in whose records last until
    // the process ends. Null when not even that could be made (`standInProblem` says why).
    std::unique_ptr<ModelContainer> container;
    std::optional<Recovery> recovery;
    std::string standInProblem;
};
// The store for the window, which opens whatever became of it. A damaged store is set aside
// with its log files and a new one made with the journal records it could still give. A store
// or log file that is a symbolic link is never opened, nor anything written through it; neither
// is a store that cannot be opened otherwise: the window then works on a stand-in in the
// user's runtime folder (else the temporary folder). A link to the folder that holds the store,
// or to one above it, is followed: the store and its logs stay together there.
WindowStore openForWindow();
// The opened database. When it cannot be opened the process ends with status 1 and
// "Could not open the database at PATH: REASON" on standard error; the file is left untouched.
std::unique_ptr<ModelContainer> makeContainer();

} // namespace dovrane::Store
