#pragma once
// ASCII case for identifiers, file extensions, URL schemes and country codes: only A-Z change,
// every other byte (UTF-8 included) stays itself, whatever the process locale. Not part of the
// public API.

#include <string>
#include <string_view>

namespace dovrane::ascii {

inline char lowercased(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// The value of a hexadecimal digit of either case, or -1 for any other byte.
inline int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline std::string lowercased(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = lowercased(c);
    return lower;
}

} // namespace dovrane::ascii
