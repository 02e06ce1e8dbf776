#include "Services/ListFormat.h"

#include <DovraneKit/core/Language.h>

#include <unicode/listformatter.h>
#include <unicode/unistr.h>

#include <memory>
#include <vector>

namespace dovrane::ListFormat {

QString conjunction(const QStringList& entries) {
    if (entries.isEmpty())
        return {};
    const icu::Locale locale(currentLanguage() == Language::de ? "de" : "en");
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::ListFormatter> formatter(
        icu::ListFormatter::createInstance(locale, ULISTFMT_TYPE_AND, ULISTFMT_WIDTH_WIDE, status));
    if (U_FAILURE(status) || !formatter)
        return entries.join(QStringLiteral(", "));
    std::vector<icu::UnicodeString> items;
    items.reserve(size_t(entries.size()));
    for (const QString& entry : entries)
        items.emplace_back(reinterpret_cast<const UChar*>(entry.utf16()), int32_t(entry.size()));
    icu::UnicodeString joined;
    formatter->format(items.data(), int32_t(items.size()), joined, status);
    if (U_FAILURE(status))
        return entries.join(QStringLiteral(", "));
    return QString(reinterpret_cast<const QChar*>(joined.getBuffer()), joined.length());
}

} // namespace dovrane::ListFormat
