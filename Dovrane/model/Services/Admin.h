#pragma once
// Work that needs more than the user's own rights, and the one removal that does not go
// through the Trash.
//
// Administrator runs go through polkit: `pkexec SHELL -c COMMAND`, the command as one argument,
// so it reaches the shell exactly as written. polkit shows its own dialog with its own text;
// the prompt is kept for the callers' sake and not shown. The runs take turns on one thread of
// their own, so a single password dialog shows at a time, and neither the main thread nor the
// model's worker threads run them: a worker may wait for an answer, the window never does.

#include "Services/SystemPaths.h"

#include <DovraneKit/core/Url.h>
#include <DovraneKit/system/Shell.h>

#include <QFuture>
#include <QString>

#include <cstdint>
#include <string>

namespace dovrane::Admin {

// Any thread. Finishes with true only when the command ran as root and exited with status 0;
// a dismissed or refused password dialog (pkexec's 126 and 127) gives false. Without an
// executable pkexec it finishes false at once, runs nothing and says so on standard error.
QFuture<bool> run(const std::string& command, const QString& prompt, const SystemPaths& paths = {});

// For closures that must answer on the spot (the trasher's administrator closure): runs as run()
// does and waits on the calling thread; the command's exit status, or no status when it did not
// run (no pkexec, the dialog dismissed, the password refused). Never call it on the main thread.
Shell::AdminAnswer runAndWait(const std::string& command, const QString& prompt, const SystemPaths& paths = {});

// How emptying the Trash ended; the three refusals removed nothing.
enum class Emptying {
    emptied,  // files/ is empty afterwards (a trash that does not exist is empty)
    partly,   // some entries stayed (a disk mounted inside one, an entry that could not go)
    linked,   // refused: the trash folder, files/ or info/ is a symbolic link
    foreign,  // refused: one of them is no folder or another user's
    readOnly, // refused: one of them may not be written
};

// How it ended, and the allocated bytes of what went: what emptying gave back to the disk,
// whatever else wrote to it meanwhile.
struct Emptied {
    Emptying outcome = Emptying::emptied;
    std::int64_t freed = 0;
};

// Empties the freedesktop home trash of this home folder: every entry of files/ (links removed,
// never followed), every info/*.trashinfo and the directorysizes cache. Refuses, removing
// nothing, when the trash folder, files/ or info/ is a symbolic link, not a folder of this
// user, or one this user may not write. The trashes of other volumes are left alone.
QFuture<Emptied> emptyTrash(const Url& home);

// The blocking work of emptyTrash(), for any thread.
Emptied emptyHomeTrash(const std::string& trashFolder);

} // namespace dovrane::Admin
