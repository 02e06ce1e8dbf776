#pragma once
// File names are bytes and need not be UTF-8; JSON text and regular-expression matching need
// well-formed UTF-8. Not part of the public API.

#include <string>
#include <string_view>

namespace dovrane::utf8 {

bool isValid(std::string_view text);
// The text with every invalid sequence replaced by U+FFFD.
std::string valid(std::string_view text);

} // namespace dovrane::utf8
