#pragma once
// What the harnesses share: the input as text, a private scratch folder per process that
// stands in for home and temporary files, and a check that aborts so libFuzzer reports it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dovrane::fuzz {

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A folder under /tmp made once per process, with HOME, XDG_DATA_HOME and XDG_CONFIG_HOME
// inside it, TZ and APP_LANG fixed; nothing a harness runs can reach the real home.
const std::string& scratch();

// Writes the bytes to a file below scratch() and gives its path.
std::string writeScratchFile(const std::string& relative, std::string_view bytes);

// Aborts with the message when the condition does not hold.
void check(bool condition, const char* what);

} // namespace dovrane::fuzz
