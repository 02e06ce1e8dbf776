#include "DovraneKit/core/NameOrder.h"

#include "DovraneKit/core/Language.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cstdint>
#include <string>

namespace dovrane {

struct NameOrder::Collator {
    std::unique_ptr<icu::Collator> icu;
};

NameOrder::NameOrder() {
    UErrorCode status = U_ZERO_ERROR;
    auto collator = std::make_shared<Collator>();
    collator->icu.reset(
        icu::Collator::createInstance(icu::Locale(std::string(rawValue(currentLanguage())).c_str()), status));
    if (U_FAILURE(status) || !collator->icu)
        return;
    collator->icu->setStrength(icu::Collator::SECONDARY);
    collator->icu->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
    if (U_SUCCESS(status))
        collator_ = std::move(collator);
}

int NameOrder::compare(std::string_view a, std::string_view b) const {
    // Without a collator, plain byte order still gives one fixed order.
    if (!collator_)
        return a.compare(b);
    UErrorCode status = U_ZERO_ERROR;
    // ICU's collators are safe to use from several threads at once.
    return collator_->icu->compareUTF8(icu::StringPiece(a.data(), int32_t(a.size())),
                                       icu::StringPiece(b.data(), int32_t(b.size())), status);
}

int NameOrder::tieBreak(std::string_view nameA, std::string_view pathA, std::string_view nameB,
                        std::string_view pathB) const {
    if (const int byName = compare(nameA, nameB); byName != 0)
        return byName;
    const int byPath = pathA.compare(pathB);
    return byPath < 0 ? -1 : byPath > 0 ? 1 : 0;
}

std::string NameOrder::tieKey(std::string_view name, std::string_view path) const {
    std::string bytes = key(name);
    bytes += '\0';
    bytes += path;
    return bytes;
}

std::string NameOrder::key(std::string_view text) const {
    if (!collator_)
        return std::string(text);
    // Read as compareUTF8 reads it: a malformed sequence stands for U+FFFD.
    const icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), int32_t(text.size())));
    // Most keys fit on the stack; the string then takes no more than the key.
    std::uint8_t buffer[256];
    const int32_t needed = collator_->icu->getSortKey(unicode, buffer, int32_t(sizeof buffer));
    if (needed <= 0)
        return {};
    // Without the terminating zero, the only zero byte of a key.
    if (std::size_t(needed) <= sizeof buffer)
        return std::string(reinterpret_cast<const char*>(buffer), std::size_t(needed) - 1);
    std::string key(std::size_t(needed), '\0');
    collator_->icu->getSortKey(unicode, reinterpret_cast<std::uint8_t*>(key.data()), needed);
    key.pop_back();
    return key;
}

} // namespace dovrane
