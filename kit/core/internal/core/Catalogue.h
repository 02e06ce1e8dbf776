#pragma once
// The library's German: the catalogue files of kit/catalogue/de (format in the README.md there),
// compiled into the library, and the lookup L() and Lf() go through. Not part of the public API.

#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane::catalogue {

// One catalogue file as compiled in: its name ("scan.txt") and its bytes.
struct File {
    std::string_view name;
    std::string_view text;
};

// Every file of kit/catalogue/de, in name order; written at build time.
std::span<const File> embeddedFiles();

// One English text and its German; all point into the file's text. A counted text also has its
// form for one in both languages ("en one:", "de one:"); other texts leave them empty.
struct Entry {
    std::string_view english;
    std::string_view german;
    std::string_view englishOne;
    std::string_view germanOne;
    std::string_view file;
    int line = 0; // of the English
};

struct Problem {
    std::string file;
    int line = 0;
    std::string message;
};

struct Contents {
    std::vector<Entry> entries;
    std::vector<Problem> problems;
};

// The entries of the files, in order. A line or entry that breaks the format becomes a problem
// and is left out, as is a second entry for the same English text.
Contents parse(std::span<const File> files);

// The compiled-in entry of an English text, or nullptr when the catalogue has none; such an
// English text is noted as a miss, whatever the current language.
const Entry* entry(std::string_view english);
// The German for an English text from the compiled-in catalogue, or nullopt when it has none;
// noted as entry() notes it.
std::optional<std::string_view> german(std::string_view english);
// The English texts missed since the start or the last forgetMisses(), sorted.
std::vector<std::string> misses();
void forgetMisses();

// The numbers of the placeholders {1}, {2}, … in text, each once, ascending.
std::vector<int> placeholders(std::string_view text);
// text with each {n} replaced by values[n - 1], in one pass: a value is never read as a
// placeholder. Anything else in braces stays as it is.
std::string substituted(std::string_view text, std::initializer_list<std::string_view> values);
std::string substituted(std::string_view text, std::span<const std::string_view> values);

// text, made earlier from the compiled-in catalogue in either language (one entry, or several
// joined by single spaces, each with names and numbers in its placeholders), made again from
// the same entries in German or English with the same values; a count grouped by the other
// language is grouped anew. nullopt when the catalogue does not make the whole text.
std::optional<std::string> reworded(std::string_view text, bool german);

} // namespace dovrane::catalogue
