#pragma once
// Characters as a reader counts them (grapheme clusters: "é" written as e plus an accent is
// one), for the length rules of names and the cut of long notes, and the trimming of Unicode
// space. Not part of the public API.

#include <unicode/unistr.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace dovrane {

std::size_t characterCount(std::string_view text);

// The first `count` characters of the text.
std::string prefixCharacters(const std::string& text, std::size_t count);

// The text without leading and trailing Unicode white space, line breaks included.
std::string trimmedWhiteSpace(std::string_view text);
// The text without leading and trailing tabs and space separators (no line breaks).
std::string trimmedHorizontalSpace(std::string_view text);

// The text in composed form (NFC), so a decomposed accent equals a precomposed one; the text
// unchanged when ICU cannot normalise.
icu::UnicodeString composed(const icu::UnicodeString& text);

} // namespace dovrane
