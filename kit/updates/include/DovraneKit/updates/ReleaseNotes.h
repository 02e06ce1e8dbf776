#pragma once
// Release notes as the update list shows them.

#include <optional>
#include <string>

namespace dovrane::ReleaseNotes {

// HTML release notes as plain text of at most 4,000 characters; absent when nothing is left.
std::optional<std::string> plain(const std::optional<std::string>& html);

} // namespace dovrane::ReleaseNotes
