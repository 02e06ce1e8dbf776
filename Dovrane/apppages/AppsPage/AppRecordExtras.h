#pragma once
// What the pages add to the library's app records: the display name of an update source, the
// sort key of the Last Used column, and the folder that holds an orphan.

#include <DovraneKit/apps/AppRecords.h>
#include <DovraneKit/apps/Orphans.h>
#include <DovraneKit/core/Date.h>

#include <QString>

namespace dovrane {

// "Sparkle", "Homebrew", "App Store", "macOS", "Other", in the interface's language.
QString title(AppSource source);
// Where the app came from as the Apps page shows it: Flatpak for a Flatpak app, else its source.
QString sourceTitle(const InstalledApp& app);
// The last use, or the distant past for an app never used (Linux knows none), so such apps
// sort as the oldest.
Date lastUsedSort(const InstalledApp& app);
// The folder that holds a leftover as the user knows it: a Library folder by its name in the
// window's language ("Preferences", "Einstellungen"); a folder below the home by its place there
// ("~/.config", "~/.local/share", "~/.var/app"); any other by its path.
QString holdingFolder(const Url& leftover, const Url& home);
// The folder that holds the orphan, as holdingFolder() names it.
QString folder(const Orphan& orphan, const Url& home);

} // namespace dovrane
