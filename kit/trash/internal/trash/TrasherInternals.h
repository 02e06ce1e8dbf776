#pragma once
// Pieces of the trasher that only its tests call. Not part of the public API.

#include "DovraneKit/trash/Trasher.h"

#include <system_error>

namespace dovrane::TrasherInternals {

// The user lacks the rights: EACCES or EPERM of the system's error category.
bool isPermissionError(const std::error_code& error);

// A name in the trasher's trashFolder with nothing at it, nor at its info file: "Name.ext",
// "Name 2.ext", ...
Url uniqueTrashURL(const Trasher& trasher, const Url& item);

} // namespace dovrane::TrasherInternals
