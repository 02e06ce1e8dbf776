#pragma once
// Apps built for tests, offline. Type-2 AppImages: a copy of a small ELF program marked
// "AI\x02" at offset 8 with a SquashFS payload made by mksquashfs appended; nothing of them is
// executed. Flatpak apps: a hand-written build folder exported to a local repository and
// installed into the user installation of the current (temporary) home.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dovrane::testing {

// The mksquashfs program, absent when squashfs-tools is not installed.
std::optional<std::string> mksquashfs();

// Writes an AppImage at path whose payload holds files (relative path to contents); false
// when the payload could not be made.
bool writeAppImage(const std::string& path, const std::map<std::string, std::string>& files);
// The same with the payload made from the folder root as it stands (links kept as links).
bool writeAppImageFrom(const std::string& path, const std::string& root);

// Runs argv[0] (an absolute path) with output discarded; true when it exits 0.
bool runQuietly(const std::vector<std::string>& argv);

// The flatpak program, absent when Flatpak is not installed.
std::optional<std::string> flatpakProgram();

// Installs a Flatpak app with this ID into the user installation of $HOME / $XDG_DATA_HOME,
// its files (relative to the app's files/ folder) as given; work is a scratch folder. False
// when any step failed. installation is flatpak's option naming another one ("--system",
// "--installation=NAME").
bool installFlatpak(const std::string& work, const std::string& id, const std::map<std::string, std::string>& files,
                    const std::string& installation = "--user");

} // namespace dovrane::testing
