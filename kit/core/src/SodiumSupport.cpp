#include "core/SodiumSupport.h"

#include <sodium.h>

#include <algorithm>

namespace dovrane::sodium {

bool ready() {
    static const bool started = sodium_init() >= 0;
    return started;
}

std::string toBase64(std::string_view bytes) {
    constexpr int variant = sodium_base64_VARIANT_ORIGINAL;
    std::string text(sodium_base64_encoded_len(bytes.size(), variant), '\0');
    sodium_bin2base64(text.data(), text.size(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                      variant);
    text.resize(text.size() - 1); // the terminating NUL
    return text;
}

std::optional<std::string> fromBase64(std::string_view text) {
    // libsodium 1.0.18 reads every byte from 0x80 up as "/", so a damaged text could decode to
    // other bytes. Only the alphabet, in whole groups of four, with at most two "=" at the end.
    auto inAlphabet = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
    };
    std::size_t padding = text.size() - std::min(text.size(), text.find_last_not_of('=') + 1);
    if (text.size() % 4 != 0 || padding > 2 ||
        !std::all_of(text.begin(), text.end() - std::ptrdiff_t(padding), inAlphabet))
        return std::nullopt;
    std::string bytes(text.size() / 4 * 3 + 3, '\0');
    std::size_t length = 0;
    const char* end = nullptr;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), text.data(), text.size(),
                          nullptr, &length, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != text.data() + text.size())
        return std::nullopt;
    bytes.resize(length);
    return bytes;
}

std::string toHex(std::string_view bytes, bool upperCase) {
    static const char lower[] = "0123456789abcdef";
    static const char upper[] = "0123456789ABCDEF";
    const char* digits = upperCase ? upper : lower;
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        text.push_back(digits[c >> 4]);
        text.push_back(digits[c & 15]);
    }
    return text;
}

std::string sha256(std::string_view bytes) {
    std::string digest(crypto_hash_sha256_BYTES, '\0');
    crypto_hash_sha256(reinterpret_cast<unsigned char*>(digest.data()),
                       reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return digest;
}

} // namespace dovrane::sodium
