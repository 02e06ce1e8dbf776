#pragma once
// libsodium set-up, and the encodings and hash that property lists, the journal's records and the
// signing code share. Not part of the public API.

#include <optional>
#include <string>
#include <string_view>

namespace dovrane::sodium {

// sodium_init() once per process; false when the library cannot start.
bool ready();

// Standard Base64 with padding.
std::string toBase64(std::string_view bytes);
// Strict standard Base64: any character outside the alphabet (white space included) fails.
std::optional<std::string> fromBase64(std::string_view text);

std::string toHex(std::string_view bytes, bool upperCase = false);

// SHA-256 of the bytes, raw 32 bytes.
std::string sha256(std::string_view bytes);

} // namespace dovrane::sodium
