#pragma once
// Characters as a reader counts them (grapheme clusters: "é" written as e plus an accent is
// one), for the length rules of names and the cut of long notes. Not part of the public API.

#include <cstddef>
#include <string>
#include <string_view>

namespace dovrane {

std::size_t characterCount(std::string_view text);

// The first `count` characters of the text.
std::string prefixCharacters(const std::string& text, std::size_t count);

} // namespace dovrane
