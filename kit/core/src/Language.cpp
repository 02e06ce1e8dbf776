#include "DovraneKit/core/Language.h"

#include "core/Catalogue.h"

#include <cstdlib>

namespace dovrane {

std::string_view rawValue(Language language) { return language == Language::de ? "de" : "en"; }

std::optional<Language> languageFromRaw(std::string_view raw) {
    if (raw == "en")
        return Language::en;
    if (raw == "de")
        return Language::de;
    return std::nullopt;
}

namespace {

// The first preferred language the POSIX locale variables name, or empty.
std::string firstPreferredLanguage() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value)
            continue;
        std::string_view text(value);
        text = text.substr(0, text.find(':')); // LANGUAGE is a list; its first entry counts
        if (text.empty() || text == "C" || text == "POSIX" || text.substr(0, 2) == "C.")
            continue;
        return std::string(text);
    }
    return {};
}

} // namespace

Language currentLanguage() {
    if (const char* forced = std::getenv("APP_LANG")) {
        if (auto language = languageFromRaw(forced))
            return *language;
    }
    return firstPreferredLanguage().rfind("de", 0) == 0 ? Language::de : Language::en;
}

std::string L(std::string_view english) {
    // Looked up in either language, so that a text the catalogue lacks is noted in English too.
    const std::optional<std::string_view> german = catalogue::german(english);
    return std::string(german && currentLanguage() == Language::de ? *german : english);
}

std::string Lf(std::string_view english, std::initializer_list<std::string_view> values) {
    return catalogue::substituted(L(english), values);
}

std::string Ln(std::string_view english, std::int64_t count, std::initializer_list<std::string_view> values) {
    const catalogue::Entry* entry = catalogue::entry(english);
    const bool german = entry && currentLanguage() == Language::de;
    std::string_view text = german ? entry->german : english;
    // English and German both take the form for one for exactly 1 ("0 items", "1 item").
    if (entry && count == 1 && !entry->englishOne.empty())
        text = german ? entry->germanOne : entry->englishOne;
    return catalogue::substituted(text, values);
}

std::string reworded(std::string_view text) {
    std::optional<std::string> again = catalogue::reworded(text, currentLanguage() == Language::de);
    return again ? std::move(*again) : std::string(text);
}

std::string countText(std::int64_t count) {
    const char separator = currentLanguage() == Language::de ? '.' : ',';
    // In unsigned, so that the most negative count has a magnitude too.
    std::uint64_t magnitude = count < 0 ? 0 - std::uint64_t(count) : std::uint64_t(count);
    const std::string digits = std::to_string(magnitude);
    std::string text = count < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += separator;
        text += digits[i];
    }
    return text;
}

} // namespace dovrane
