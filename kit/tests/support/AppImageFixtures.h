#pragma once
// Type-2 AppImages built for tests: a copy of a small ELF program marked "AI\x02" at offset 8
// with a SquashFS payload made by mksquashfs appended. Nothing is executed.

#include <map>
#include <optional>
#include <string>

namespace dovrane::testing {

// The mksquashfs program, absent when squashfs-tools is not installed.
std::optional<std::string> mksquashfs();

// Writes an AppImage at path whose payload holds files (relative path to contents); false
// when the payload could not be made.
bool writeAppImage(const std::string& path, const std::map<std::string, std::string>& files);

} // namespace dovrane::testing
