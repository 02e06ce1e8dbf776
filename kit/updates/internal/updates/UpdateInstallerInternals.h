#pragma once
// Steps of an update install that only the installer and its tests call. Not part of the
// public API.

#include "DovraneKit/core/Url.h"

#include <optional>
#include <string>

namespace dovrane::UpdateInstallerInternals {

// "dmg", "zip", "pkg", "tar.xz", "tar.gz", "tar.bz2", "tgz" or "tbz" by the file name's
// suffix, else its extension in lower case when that is only [a-z0-9], else "zip".
std::string archiveType(const Url& download);

// An app bundle at the top of `folder` or one folder down: the one named `name`, else the
// only one. Only real folders count, never symbolic links.
std::optional<Url> findApp(const Url& folder, const std::string& name);

} // namespace dovrane::UpdateInstallerInternals
