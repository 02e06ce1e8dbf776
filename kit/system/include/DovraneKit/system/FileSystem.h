#pragma once
// The one rule for paths, in the library and the application alike:
//   - records and their JSON hold a `Url` (CleanupItem, TrashPlan, RemovedItem, trash failures);
//   - every call into the file system takes the byte path, a std::string (Url::path() gives it,
//     Url::fromPath() takes it back), so a name that is not valid UTF-8 still names the same
//     file;
//   - Qt's QString appears only where a path is shown to the user, never on the way to a file.
// These helpers are the one way the library lists, tests and reads files.

#include "DovraneKit/core/Date.h"
#include "DovraneKit/core/Path.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

namespace Fs {
// Direct children of a folder, hidden ones included, "." and ".." left out, in the order the
// file system gives them. A folder that cannot be listed gives an empty list. Listing leaves
// the folder's access time alone (openToLook).
std::vector<std::string> list(const std::string& folder);
// Something is there, a dangling symbolic link included (no link is followed).
bool exists(const std::string& path);
// A folder, following symbolic links (the file manager's existence test).
bool isDirectory(const std::string& path);
bool isSymlink(const std::string& path);
// What a symbolic link holds, as written (a relative target stays relative); nothing when path
// is no link.
std::optional<std::string> linkTarget(const std::string& path);
bool isRegularFile(const std::string& path); // follows links
bool isExecutableFile(const std::string& path);
// The path with every symbolic link, "." and ".." resolved; nothing when it does not exist.
std::optional<std::string> realPath(const std::string& path);
std::optional<Date> modificationDate(const std::string& path); // follows links

// Opens to look, not to use: with O_NOATIME where the kernel allows it (the file's owner, or
// root), so listing a folder or reading a file leaves the access time that tells when it was
// last used; as usual where the kernel refuses. A caller that knows the kernel would refuse (a
// walk has the owner from its listing) passes false and spares the attempt.
int openToLook(int at, const char* path, int flags, bool tryKeepingAccessTime = true);
// A descriptor for reading the regular file at path (links followed), or -1. Never blocks: a
// named pipe, socket or device put in a file's place is refused, not waited on. Every reading
// of a file someone else may have placed goes through here.
int openForReading(const std::string& path);
// Whole file, or nothing when it cannot be read, is no regular file (see openForReading) or is
// larger than maxBytes.
std::optional<std::string> readFile(const std::string& path, std::uint64_t maxBytes = 64ull << 20);
// Writes beside the target and renames over it, so a reader never sees half a file. The file
// written beside it is "<path>.tmp-XXXXXX", locked (flock) while it is written.
bool writeFileAtomically(const std::string& path, std::string_view data, unsigned mode = 0644);
// The files writeFileAtomically left beside path when it was stopped before its rename: each
// "<path>.tmp-XXXXXX" of this user's own that is a regular file, last written more than
// minAgeSeconds ago and locked by no writer goes. Nothing else is touched. How many went.
std::size_t removeStaleTemporaries(const std::string& path, double minAgeSeconds = 60);
bool writeFile(const std::string& path, std::string_view data);
// Writes all of data to an open descriptor, retrying short writes and interruptions.
bool writeAll(int fd, std::string_view data);
// Creates the folder and missing parents; true when it exists as a folder afterwards.
bool makeDirectories(const std::string& path, unsigned mode = 0755);
// Removes a file or a whole tree without following symbolic links; true when nothing is left.
// Nothing on another file system or behind another mount is removed or entered: such an entry
// stays, with the folders that hold it, and the answer is false.
bool removeAll(const std::string& path);
// As removeAll(path), adding to freed the allocated bytes of what it removed: each folder, and
// each file whose last link went (a file linked from elsewhere as well frees nothing).
bool removeAll(const std::string& path, std::int64_t& freed);
// Whether something is mounted at the path (another file system or a bind mount); no link is
// followed.
bool isMountPoint(const std::string& path);
// A folder itself, not a link to one, with nothing mounted on it: one look, for walks.
bool isOwnFolder(const std::string& path);
// Whether something is mounted at the path or anywhere below it.
bool holdsMountPoint(const std::string& path);
// The same against a table read once before (mountPoints()), for many paths in a row.
bool holdsMountPoint(const std::string& path, const std::vector<std::string>& mountPoints);
// Where something is mounted now, sorted, from the kernel's table; empty when it cannot be read.
std::vector<std::string> mountPoints();
// Renames path to path + suffix, or path + suffix + "-2", "-3", … when that is taken, never
// replacing anything; the new name, or nothing when it could not be moved. Companions are the
// endings of files that belong to it (a database's "-wal"): each that exists moves along, to the
// new name with the same ending, and a name counts as taken when any of these is. When one
// cannot follow, everything goes back and nothing is moved.
std::optional<std::string> moveAside(const std::string& path, std::string_view suffix,
                                     const std::vector<std::string>& companions = {});
// A fresh private (0700) folder below parent, named prefix + random letters.
std::optional<std::string> makeUniqueDirectory(const std::string& parent, std::string_view prefix);
// A new random UUID in its usual text form.
std::string makeUuid();

std::string homeDirectory();       // $HOME, else the password database
std::string temporaryDirectory();  // $TMPDIR, else /tmp
std::string dataHome();            // $XDG_DATA_HOME, else ~/.local/share
std::string executableDirectory(); // folder of the running program
// Folder of Dovrane's modules (the AppImage reader): the same way from the programs' folder in
// the build tree and installed.
std::string moduleDirectory();
} // namespace Fs

} // namespace dovrane
