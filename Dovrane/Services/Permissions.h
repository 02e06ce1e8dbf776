#pragma once
// What the system lets the application do.

namespace dovrane::Permissions {

// Linux has no gate on reading the user's files, so this is true; only the demo data can
// report it as missing (APP_SEED "1" together with APP_NO_FDA "1"), to show the access hint.
bool hasFullDiskAccess();

} // namespace dovrane::Permissions
