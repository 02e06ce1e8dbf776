#pragma once
// The library speaks English or German. Every sentence is written as a pair at its place of
// use and chosen when the text is built.

#include <optional>
#include <string>
#include <string_view>

namespace dovrane {

enum class Language { en, de };

std::string_view rawValue(Language language);
std::optional<Language> languageFromRaw(std::string_view raw);

// Decided afresh on every call: APP_LANG when it is exactly "en" or "de"; otherwise German
// when the first preferred language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG; "C" and "POSIX"
// name none) begins with "de"; otherwise English.
Language currentLanguage();

// The German text when the current language is German, else the English one.
std::string L(std::string_view english, std::string_view german);

} // namespace dovrane
