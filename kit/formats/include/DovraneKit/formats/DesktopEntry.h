#pragma once
// freedesktop.org desktop entries ("foo.desktop"): the keys of their [Desktop Entry] group.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane::DesktopEntry {

// The unlocalised keys of the [Desktop Entry] group with their values, escapes as written.
// Other groups, comments and localised keys ("Name[de]") are left out; a later key of the same
// name wins, as in the desktop's own readers.
std::map<std::string, std::string> keys(std::string_view text);

// The program an Exec or TryExec value starts: its first word, quotes removed.
std::optional<std::string> program(std::string_view commandLine);

// Reads the file at path (small files only) and tells whether its Exec or TryExec names the
// program at executable, by absolute path.
bool starts(const std::string& path, const std::string& executable);

// The identifiers the desktop knows applications by: the names, less ".desktop", of the entries
// in the "applications" folder of dataHome and of every folder of dataDirs (a colon-separated
// XDG_DATA_DIRS; empty means /usr/local/share:/usr/share).
std::vector<std::string> installedIdentifiers(const std::string& dataHome, std::string_view dataDirs);

} // namespace dovrane::DesktopEntry
