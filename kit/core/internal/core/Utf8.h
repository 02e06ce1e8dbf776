#pragma once
// File names are bytes and need not be UTF-8; JSON text and regular-expression matching need
// well-formed UTF-8. Not part of the public API.

#include <string>
#include <string_view>

namespace dovrane::utf8 {

bool isValid(std::string_view text);
// The text with every invalid sequence replaced by U+FFFD.
std::string valid(std::string_view text);
// The longest start of text of at most maxBytes that does not end inside a UTF-8 sequence.
std::string_view prefix(std::string_view text, std::size_t maxBytes);

} // namespace dovrane::utf8
