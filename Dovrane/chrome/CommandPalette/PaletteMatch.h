#pragma once
// How well a command title matches what was typed in the command palette: a lower score is a
// better match, no score means no match. Pure; callable from any thread.

#include <optional>
#include <string_view>

namespace dovrane::PaletteMatch {

// Each word of the query (split at white space) adds 0 when the whole title begins with it,
// 1 when one of the title's words does, 3 when it occurs anywhere in the title; a word found
// nowhere ends the match. Both texts are UTF-8; comparison is by grapheme clusters of the
// NFC, root-locale lower-cased texts, so canonically equivalent spellings match.
std::optional<int> score(std::string_view query, std::string_view title);

} // namespace dovrane::PaletteMatch
