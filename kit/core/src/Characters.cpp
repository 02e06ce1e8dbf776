#include "core/Characters.h"

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>

namespace dovrane {

namespace {

// Null when ICU cannot make one; callers then count code points instead.
std::unique_ptr<icu::BreakIterator> characterBreaks(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !characters)
        return nullptr;
    characters->setText(text);
    return characters;
}

bool isWhiteOrLineBreak(UChar32 c) { return u_isUWhiteSpace(c) != 0; }
bool isHorizontalSpace(UChar32 c) { return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR; }

// The text without leading and trailing code points that match.
std::string trimmed(std::string_view text, bool (*matches)(UChar32)) {
    icu::UnicodeString wide = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
    int32_t start = 0;
    while (start < wide.length() && matches(wide.char32At(start)))
        start = wide.moveIndex32(start, 1);
    int32_t end = wide.length();
    while (end > start) {
        int32_t previous = wide.moveIndex32(end, -1);
        if (!matches(wide.char32At(previous)))
            break;
        end = previous;
    }
    if (start == 0 && end == wide.length())
        return std::string(text);
    std::string out;
    wide.tempSubString(start, end - start).toUTF8String(out);
    return out;
}

} // namespace

std::size_t characterCount(std::string_view text) {
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
    auto characters = characterBreaks(unicode);
    if (!characters)
        return std::size_t(unicode.countChar32());
    std::size_t count = 0;
    while (characters->next() != icu::BreakIterator::DONE)
        ++count;
    return count;
}

std::string prefixCharacters(const std::string& text, std::size_t count) {
    if (text.size() <= count)
        return text; // every character is at least one byte
    icu::UnicodeString wide = icu::UnicodeString::fromUTF8(text);
    int32_t end = wide.length();
    if (auto characters = characterBreaks(wide)) {
        int32_t boundary = characters->first();
        for (std::size_t n = 0; n < count && boundary != icu::BreakIterator::DONE; ++n)
            boundary = characters->next();
        if (boundary != icu::BreakIterator::DONE)
            end = boundary;
    } else {
        end = std::min(end, wide.moveIndex32(0, int32_t(count)));
    }
    std::string out;
    wide.tempSubString(0, end).toUTF8String(out);
    return out;
}

std::string trimmedWhiteSpace(std::string_view text) { return trimmed(text, isWhiteOrLineBreak); }

std::string trimmedHorizontalSpace(std::string_view text) { return trimmed(text, isHorizontalSpace); }

icu::UnicodeString composed(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status))
        return text;
    icu::UnicodeString result = nfc->normalize(text, status);
    return U_SUCCESS(status) ? result : text;
}

} // namespace dovrane
