#pragma once
// What the diagnostics tell about the system: its distribution, kernel, machine and the user's
// language.

#include <string>
#include <string_view>
#include <vector>

namespace dovrane::SystemFacts {

// The kernel release as three numbers ("6.1.0-18-amd64" gives "6.1.0"; missing ones are 0).
std::string kernelVersion();
// The distribution's PRETTY_NAME from the first of these os-release files that can be read;
// "Linux", the name os-release itself gives to a system that names none, when none of them does.
std::string distribution(const std::vector<std::string>& osReleaseFiles = {"/etc/os-release", "/usr/lib/os-release"});
std::string machine();
// The first preferred language of the POSIX locale variables as a language tag ("de-DE"), or
// "?" when they name none.
std::string preferredLanguageTag();

std::string threeNumberVersion(std::string_view release);
// PRETTY_NAME of an os-release text with its shell quoting undone, on one line and at most 100
// characters; empty when the text has none.
std::string prettyName(std::string_view osRelease);
// "de_DE.UTF-8" and "de_DE@euro" give "de-DE"; "C", "POSIX" and "" give "".
std::string languageTag(std::string_view localeName);

} // namespace dovrane::SystemFacts
