#pragma once
// The library speaks English or German. Its code writes the English; the German comes from
// the catalogue files in kit/catalogue/de, which are compiled into the library. The language
// is chosen when the text is built.

#include <cstdint>
#include <initializer_list>
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

// The catalogue's German for this English text when the current language is German and the
// catalogue has the text; else the English text.
std::string L(std::string_view english);

// As L(english), then each placeholder {1}, {2}, … replaced by the value at that place:
// Lf("Used space grew by {1}.", {size}). Values are put in as they are.
std::string Lf(std::string_view english, std::initializer_list<std::string_view> values);

// A counted text: as Lf(english, values), but when count is 1 the catalogue's form for one in
// the current language: Ln("{1} snapshots", n, {countText(n)}) is "1 snapshot" for one. The
// count only chooses the form; it is shown where the caller puts it among the values.
std::string Ln(std::string_view english, std::int64_t count, std::initializer_list<std::string_view> values);

// A text the library made earlier in either language (one kept in a cache from another run),
// as the current language words it: made again from the same catalogue texts, with the same
// names and numbers in them. A text the catalogue does not make whole stays as it is.
std::string reworded(std::string_view text);

// A count as the current language writes it, in groups of three digits: "258,718" in English,
// "258.718" in German.
std::string countText(std::int64_t count);

// Marks an English text kept in a table for the catalogue; L() translates it where it is shown.
constexpr const char* N_(const char* english) { return english; }

} // namespace dovrane
