#pragma once
// Flatpak apps: listed with their size and version, never removed or updated here (Flatpak
// removes them), so they are system apps.

#include "DovraneKit/apps/AppRecords.h"

#include <vector>

namespace dovrane::FlatpakApps {

// The apps of the user's and the system's Flatpak installations, one record per app and
// installation: bundle identifier = the Flatpak ID, name and version from its AppStream data
// (else the ID and "?"), size = the installed size, path = its deployed folder. Empty where no
// installation exists or none can be read.
std::vector<InstalledApp> list();

// Whether a record is one of the above.
bool isFlatpak(const InstalledApp& app);

} // namespace dovrane::FlatpakApps
