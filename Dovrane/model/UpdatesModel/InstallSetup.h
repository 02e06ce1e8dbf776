#pragma once
// Where update installs keep their downloads while they work.

#include <DovraneKit/core/Url.h>

namespace dovrane::InstallSetup {

// Per user and private: "dovrane-updates" in $XDG_RUNTIME_DIR when that is set, else
// "dovrane-updates-UID" in the temporary directory. A fixed name in a shared /tmp could be
// made first by another user, and the installer refuses a folder that is not the user's own.
Url workFolder();

} // namespace dovrane::InstallSetup
