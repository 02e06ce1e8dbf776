#pragma once
// Lower-casing of the names and identifiers that the leftover and orphan finders compare.

#include "core/Ascii.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <string>
#include <string_view>

namespace dovrane {

// Unicode lower case (root locale, so no Turkish dotless i). A name that is not valid UTF-8
// has only its ASCII letters lowered, so every other byte still compares as itself.
inline std::string lowercased(std::string_view text) {
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
    std::string check;
    unicode.toUTF8String(check);
    if (check != text)
        return ascii::lowercased(text);
    std::string lower;
    unicode.toLower(icu::Locale::getRoot()).toUTF8String(lower);
    return lower;
}

} // namespace dovrane
