#pragma once
// What the diagnostics tell about the system: its version, machine and the user's language.

#include <string>
#include <string_view>

namespace dovrane::SystemFacts {

// The kernel release as three numbers ("6.1.0-18-amd64" gives "6.1.0"; missing ones are 0).
std::string systemVersion();
std::string machine();
// The first preferred language of the POSIX locale variables as a language tag ("de-DE"), or
// "?" when they name none.
std::string preferredLanguageTag();

std::string threeNumberVersion(std::string_view release);
// "de_DE.UTF-8" and "de_DE@euro" give "de-DE"; "C", "POSIX" and "" give "".
std::string languageTag(std::string_view localeName);

} // namespace dovrane::SystemFacts
