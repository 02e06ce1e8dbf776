#include "core/Utf8.h"

#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>

namespace dovrane::utf8 {

bool isValid(std::string_view text) {
    // ICU counts in 32 bits; a longer text is treated as not readable rather than cut short.
    if (text.size() > std::size_t(INT32_MAX))
        return false;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = int32_t(text.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

std::string valid(std::string_view text) {
    if (isValid(text))
        return std::string(text);
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size()))).toUTF8String(out);
    return out;
}

std::string_view prefix(std::string_view text, std::size_t maxBytes) {
    std::size_t end = std::min(text.size(), maxBytes);
    while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

} // namespace dovrane::utf8
