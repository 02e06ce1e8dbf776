#pragma once
// ASCII case for identifiers, file extensions, URL schemes and country codes: only A-Z change,
// every other byte (UTF-8 included) stays itself, whatever the process locale. Not part of the
// public API.

#include <string>
#include <string_view>

namespace dovrane::ascii {

inline char lowercased(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

inline std::string lowercased(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = lowercased(c);
    return lower;
}

} // namespace dovrane::ascii
