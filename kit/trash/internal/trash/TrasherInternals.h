#pragma once
// Pieces of the trasher that only its tests call. Not part of the public API.

#include "DovraneKit/trash/Trasher.h"

#include <functional>
#include <string>
#include <system_error>

namespace dovrane::TrasherInternals {

// The user lacks the rights: EACCES or EPERM of the system's error category.
bool isPermissionError(const std::error_code& error);

// A name in the trasher's trashFolder with nothing at it, nor at its info file: "Name.ext",
// "Name 2.ext", ...
Url uniqueTrashURL(const Trasher& trasher, const Url& item);

// What a move does to the disk, step by step, for a test that checks their order.
enum class Step {
    infoWritten, // an info file, at its path
    flushed,     // a trash's file system flushed (the trash's folder; empty for the move's last flush)
    moved,       // an item renamed into the Trash, at its path there
};
using StepWatch = std::function<void(Step, const std::string& path)>;
// Every step of every move from now on goes to `watch` (none: to nobody), on the moving thread.
void watchSteps(StepWatch watch);
void note(Step step, const std::string& path);

} // namespace dovrane::TrasherInternals
