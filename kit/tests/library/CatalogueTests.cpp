#include "DovraneKit/core/Language.h"
#include "DovraneKit/scan/Explanations.h"
#include "DovraneKit/scan/ScanModel.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/updates/UpdateVerdict.h"
#include "core/Catalogue.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <map>
#include <set>

using namespace dovrane;
using dovrane::testing::ScopedEnv;

namespace {

const std::string kitFolder = DOVRANE_KIT_DIR;

catalogue::Contents parseOne(std::string_view text) {
    const catalogue::File file{"test.txt", text};
    return catalogue::parse(std::span(&file, 1));
}

std::string described(const std::vector<catalogue::Problem>& problems) {
    std::string text;
    for (const auto& problem : problems)
        text += problem.file + " line " + std::to_string(problem.line) + ": " + problem.message + "\n";
    return text;
}

// A string literal of C++ source, joined with the literals right after it as the compiler joins them.
struct Literal {
    std::string text;   // \" \\ \' \n and \t decoded; any other escape kept as written
    std::string callee; // the function it is the first argument of: "L" for L("…"), else empty
    char next = 0;      // the first character after it that is not white space
    int line = 0;
};

bool identifierCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::vector<Literal> literals(std::string_view s) {
    constexpr auto npos = std::string_view::npos;
    constexpr const char* space = " \t\r\n";
    std::vector<Literal> found;
    bool joins = false; // only white space and comments since the last literal
    int line = 1;
    std::size_t counted = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s.substr(i, 2) == "//") {
            i = s.find('\n', i);
            continue;
        }
        if (s.substr(i, 2) == "/*") {
            i = s.find("*/", i + 2);
            i = i == npos ? npos : i + 2;
            continue;
        }
        if (s[i] == '\'') {
            if (i > 0 && identifierCharacter(s[i - 1])) { // a digit separator: 100'000
                ++i;
                continue;
            }
            for (++i; i < s.size() && s[i] != '\''; i += s[i] == '\\' ? 2 : 1) {
            }
            ++i;
            joins = false;
            continue;
        }
        if (s[i] != '"') {
            if (!std::strchr(space, s[i]) || s[i] == 0)
                joins = false;
            ++i;
            continue;
        }
        const std::size_t start = i;
        std::string text;
        if (i > 0 && s[i - 1] == 'R') {
            const std::size_t open = s.find('(', i);
            const std::string close = ")" + std::string(s.substr(i + 1, open - i - 1)) + "\"";
            const std::size_t end = s.find(close, open);
            text = s.substr(open + 1, end - open - 1);
            i = end + close.size();
        } else {
            for (++i; i < s.size() && s[i] != '"'; ++i) {
                if (s[i] != '\\' || i + 1 == s.size()) {
                    text += s[i];
                    continue;
                }
                const char escaped = s[++i];
                if (escaped == 'n')
                    text += '\n';
                else if (escaped == 't')
                    text += '\t';
                else if (escaped == '"' || escaped == '\\' || escaped == '\'')
                    text += escaped;
                else
                    text += std::string("\\") + escaped;
            }
            ++i;
        }
        if (joins) {
            found.back().text += text;
        } else {
            line += int(std::count(s.begin() + std::ptrdiff_t(counted), s.begin() + std::ptrdiff_t(start), '\n'));
            counted = start;
            Literal literal{std::move(text), {}, 0, line};
            if (const std::size_t before = s.find_last_not_of(space, start - 1);
                start > 0 && before != npos && s[before] == '(') {
                std::size_t name = before;
                while (name > 0 && identifierCharacter(s[name - 1]))
                    --name;
                literal.callee = s.substr(name, before - name);
            }
            found.push_back(std::move(literal));
        }
        joins = true;
        const std::size_t next = s.find_first_not_of(space, i);
        found.back().next = next == npos ? 0 : s[next];
    }
    return found;
}

// The sources below a folder of kit/ (its domain folders included), with their literals.
void addLiterals(const std::string& folder, std::map<std::string, std::vector<Literal>>& byFile) {
    for (const std::string& name : Fs::list(kitFolder + "/" + folder)) {
        const std::string relative = folder + "/" + name;
        if (Fs::isDirectory(kitFolder + "/" + relative)) {
            addLiterals(relative, byFile);
        } else if (name.ends_with(".cpp") || name.ends_with(".h")) {
            auto source = Fs::readFile(kitFolder + "/" + relative);
            EXPECT_TRUE(source) << relative;
            if (source)
                byFile[relative] = literals(*source);
        }
    }
}

// The library's sources with their literals, by path relative to kit/.
std::map<std::string, std::vector<Literal>> libraryLiterals() {
    std::map<std::string, std::vector<Literal>> byFile;
    for (const std::string domain : {"core", "system", "formats", "trash", "apps", "scan", "updates"})
        addLiterals(domain, byFile);
    return byFile;
}

bool asksForTranslation(const Literal& literal) {
    return literal.callee == "L" || literal.callee == "Lf" || literal.callee == "Ln" || literal.callee == "N_";
}

std::map<std::string, std::string> compiledInEntries() {
    std::map<std::string, std::string> entries;
    for (const auto& entry : catalogue::parse(catalogue::embeddedFiles()).entries)
        entries.emplace(entry.english, entry.german);
    return entries;
}

} // namespace

// MARK: The files

TEST(CatalogueFiles, EveryEntryOfEveryFileParses) {
    const auto contents = catalogue::parse(catalogue::embeddedFiles());
    EXPECT_TRUE(contents.problems.empty()) << described(contents.problems);
    std::map<std::string_view, int> perFile;
    for (const auto& entry : contents.entries)
        ++perFile[entry.file];
    for (const auto& file : catalogue::embeddedFiles())
        EXPECT_GT(perFile[file.name], 0) << file.name;
    EXPECT_GT(contents.entries.size(), 100u);
}

TEST(CatalogueFiles, TheLibraryCarriesEveryFileOfTheFolderAsItIs) {
    const std::string folder = kitFolder + "/catalogue/de";
    std::vector<std::string> onDisk;
    for (const std::string& name : Fs::list(folder))
        if (name.ends_with(".txt"))
            onDisk.push_back(name);
    std::sort(onDisk.begin(), onDisk.end());

    std::vector<std::string> compiledIn;
    for (const auto& file : catalogue::embeddedFiles()) {
        compiledIn.emplace_back(file.name);
        EXPECT_EQ(Fs::readFile(folder + "/" + std::string(file.name)), std::string(file.text)) << file.name;
    }
    EXPECT_EQ(compiledIn, onDisk);
}

// MARK: The format

TEST(CatalogueFormat, EntriesBetweenCommentsAndEmptyLines) {
    const std::string text = "\xEF\xBB\xBF# A comment\r\n"
                             "\r\n"
                             "en: Keep\r\n"
                             "de: Behalten\r\n"
                             "   \n"
                             "  # an indented comment\n"
                             "en: Used space grew by {1}, {2} of it {3}.\n"
                             "# between the two languages\n"
                             "de: Der belegte Platz ist um {1} gewachsen, davon {2} {3}.";
    const auto contents = parseOne(text);
    EXPECT_TRUE(contents.problems.empty()) << described(contents.problems);
    ASSERT_EQ(contents.entries.size(), 2u);
    EXPECT_EQ(contents.entries[0].english, "Keep");
    EXPECT_EQ(contents.entries[0].german, "Behalten");
    EXPECT_EQ(contents.entries[0].line, 3);
    EXPECT_EQ(contents.entries[1].english, "Used space grew by {1}, {2} of it {3}.");
    EXPECT_EQ(contents.entries[1].german, "Der belegte Platz ist um {1} gewachsen, davon {2} {3}.");
    EXPECT_EQ(contents.entries[1].line, 7);
    EXPECT_EQ(contents.entries[1].file, "test.txt");
}

TEST(CatalogueFormat, EachMistakeIsReportedAtItsLineAndTheRestIsRead) {
    const std::string text = "en: No German follows\n" // 1
                             "en: Keep\n"              // 2
                             "de: Behalten\n"          // 3
                             "de: German on its own\n" // 4
                             "English: Review\n"       // 5
                             "en: Trailing space \n"   // 6
                             "de: Leerzeichen\n"       // 7
                             "en: {1} files\n"         // 8
                             "de: Dateien\n"           // 9
                             "en: Broken \xC3\n"       // 10
                             "de: Kaputt\n"            // 11
                             "en:\n"                   // 12
                             "en: Safe\n"              // 13
                             "de: Gefahrlos\n"         // 14
                             "en: The last one\n";     // 15
    const auto contents = parseOne(text);
    ASSERT_EQ(contents.entries.size(), 2u) << described(contents.problems);
    EXPECT_EQ(contents.entries[0].german, "Behalten");
    EXPECT_EQ(contents.entries[1].german, "Gefahrlos");

    std::vector<std::pair<int, std::string>> expected = {
        {1, "no German"}, {4, "without an English"}, {5, "expected"},   {6, "space"}, {9, "placeholders"},
        {10, "UTF-8"},    {12, "expected"},          {15, "no German"},
    };
    ASSERT_EQ(contents.problems.size(), expected.size()) << described(contents.problems);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(contents.problems[i].line, expected[i].first) << described(contents.problems);
        EXPECT_NE(contents.problems[i].message.find(expected[i].second), std::string::npos)
            << contents.problems[i].message;
    }
}

TEST(CatalogueFormat, AnEnglishTextBelongsToOneEntryOnly) {
    const catalogue::File files[] = {
        {"first.txt", "en: Trash\nde: Papierkorb\n"},
        {"second.txt", "\nen: Trash\nde: Mülleimer\n"},
    };
    const auto contents = catalogue::parse(files);
    ASSERT_EQ(contents.entries.size(), 1u);
    EXPECT_EQ(contents.entries[0].german, "Papierkorb");
    ASSERT_EQ(contents.problems.size(), 1u);
    EXPECT_EQ(contents.problems[0].file, "second.txt");
    EXPECT_EQ(contents.problems[0].line, 2);
    EXPECT_NE(contents.problems[0].message.find("first.txt line 1"), std::string::npos) << contents.problems[0].message;
}

TEST(CatalogueFormat, ACountedTextHasItsFormForOneInBothLanguages) {
    const std::string text = "en: {1} snapshots\n"         // 1
                             "en one: {1} snapshot\n"      // 2
                             "de: {1} Schnappschüsse\n"    // 3
                             "# a comment between\n"       // 4
                             "de one: {1} Schnappschuss\n" // 5
                             "en: {1} files\n"             // 6
                             "en one: {1} file\n"          // 7
                             "de: {1} Dateien\n"           // 8
                             "en: Keep\n"                  // 9
                             "de: Behalten\n"              // 10
                             "de one: Behalten\n"          // 11
                             "en one: {1} app\n"           // 12
                             "en: {1} apps\n"              // 13
                             "en one: one app\n"           // 14
                             "de: {1} Apps\n"              // 15
                             "de one: eine App\n"          // 16
                             "en: {1} days\n"              // 17
                             "en one: {1} day\n"           // 18
                             "de: {1} Tage\n"              // 19
                             "de one: {1} Tag\n";          // 20
    const auto contents = parseOne(text);
    ASSERT_EQ(contents.entries.size(), 3u) << described(contents.problems);
    EXPECT_EQ(contents.entries[0].english, "{1} snapshots");
    EXPECT_EQ(contents.entries[0].englishOne, "{1} snapshot");
    EXPECT_EQ(contents.entries[0].german, "{1} Schnappschüsse");
    EXPECT_EQ(contents.entries[0].germanOne, "{1} Schnappschuss");
    EXPECT_EQ(contents.entries[0].line, 1);
    EXPECT_EQ(contents.entries[1].english, "Keep");
    EXPECT_TRUE(contents.entries[1].englishOne.empty());
    EXPECT_TRUE(contents.entries[1].germanOne.empty());
    EXPECT_EQ(contents.entries[2].germanOne, "{1} Tag");

    // A counted text without its German form for one is left out, as is a stray form for one.
    std::vector<std::pair<int, std::string>> expected = {
        {6, "no German form for one"},
        {11, "without a counted text"},
        {12, "without its English text"},
        {14, "placeholders"},
    };
    ASSERT_EQ(contents.problems.size(), expected.size()) << described(contents.problems);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(contents.problems[i].line, expected[i].first) << described(contents.problems);
        EXPECT_NE(contents.problems[i].message.find(expected[i].second), std::string::npos)
            << contents.problems[i].message;
    }
}

// MARK: Placeholders

TEST(CataloguePlaceholders, FilledInOnePassInAnyOrder) {
    EXPECT_EQ(catalogue::substituted("{1} wurde vor {2} Tagen zuletzt geändert.", {"web", "40"}),
              "web wurde vor 40 Tagen zuletzt geändert.");
    EXPECT_EQ(catalogue::substituted("{2}, then {1}", {"first", "second"}), "second, then first");
    // A value is put in as it is, even when it looks like a placeholder.
    EXPECT_EQ(catalogue::substituted("{1} and {2}", {"{2}", "x"}), "{2} and x");
    // What names no value stays.
    EXPECT_EQ(catalogue::substituted("{3} {0} {} {x} {1", {"a", "b"}), "{3} {0} {} {x} {1");
    EXPECT_EQ(catalogue::substituted("{10}", {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}), "j");
}

TEST(CataloguePlaceholders, NumbersOfAText) {
    EXPECT_EQ(catalogue::placeholders("{2} of {1}, {2} again, {} and {x}"), (std::vector<int>{1, 2}));
    EXPECT_TRUE(catalogue::placeholders("No placeholder { here }").empty());
}

// MARK: Lookup

TEST(CatalogueLookup, GermanFromTheCatalogueEnglishAsWritten) {
    {
        ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(L("Keep"), "Behalten");
        EXPECT_EQ(Lf("Archives {1}", {"2024-05-01"}), "Archive 2024-05-01");
        EXPECT_EQ(Lf("Named after the app's identifier {1}.", {"com.example.Notes"}),
                  "Trägt die Kennung der App, com.example.Notes.");
    }
    ScopedEnv english("APP_LANG", "en");
    EXPECT_EQ(L("Keep"), "Keep");
    EXPECT_EQ(Lf("Archives {1}", {"2024-05-01"}), "Archives 2024-05-01");
}

TEST(CatalogueLookup, ACountedTextTakesItsFormForOneInEitherLanguage) {
    const char* note = "{1} snapshots, size not disclosed by macOS";
    {
        ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(Ln(note, 1, {"1"}), "1 Schnappschuss, Größe von macOS nicht offengelegt");
        EXPECT_EQ(Ln(note, 2, {"2"}), "2 Schnappschüsse, Größe von macOS nicht offengelegt");
        EXPECT_EQ(Ln(note, 0, {"0"}), "0 Schnappschüsse, Größe von macOS nicht offengelegt");
    }
    ScopedEnv english("APP_LANG", "en");
    EXPECT_EQ(Ln(note, 1, {"1"}), "1 snapshot, size not disclosed by macOS");
    EXPECT_EQ(Ln(note, 0, {"0"}), "0 snapshots, size not disclosed by macOS");
    EXPECT_EQ(Ln(note, -1, {"-1"}), "-1 snapshots, size not disclosed by macOS");
    EXPECT_EQ(
        Ln("{1} was last changed {2} days ago. Running {3} brings this folder back.", 1, {"web", "1", "npm install"}),
        "web was last changed 1 day ago. Running npm install brings this folder back.");
    // A text the catalogue lacks stays as written, for one too, and is noted.
    catalogue::forgetMisses();
    EXPECT_EQ(Ln("{1} widgets nowhere", 1, {"1"}), "1 widgets nowhere");
    EXPECT_EQ(catalogue::misses(), std::vector<std::string>{"{1} widgets nowhere"});
    catalogue::forgetMisses();
}

TEST(CountText, GroupsOfThreeDigitsInTheLanguagesWay) {
    {
        ScopedEnv english("APP_LANG", "en");
        EXPECT_EQ(countText(0), "0");
        EXPECT_EQ(countText(999), "999");
        EXPECT_EQ(countText(1000), "1,000");
        EXPECT_EQ(countText(258718), "258,718");
        EXPECT_EQ(countText(1234567), "1,234,567");
        EXPECT_EQ(countText(-45000), "-45,000");
        EXPECT_EQ(countText(std::numeric_limits<std::int64_t>::min()), "-9,223,372,036,854,775,808");
    }
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(countText(258718), "258.718");
    EXPECT_EQ(countText(1234), "1.234");
    EXPECT_EQ(countText(12), "12");
}

TEST(CatalogueLookup, AMissingTextFallsBackToEnglishAndIsNoted) {
    catalogue::forgetMisses();
    {
        ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(L("A sentence no catalogue file has."), "A sentence no catalogue file has.");
        EXPECT_EQ(Lf("Nothing in the catalogue about {1}.", {"Notes"}), "Nothing in the catalogue about Notes.");
        EXPECT_EQ(catalogue::misses(), (std::vector<std::string>{"A sentence no catalogue file has.",
                                                                 "Nothing in the catalogue about {1}."}));
    }
    catalogue::forgetMisses();
    ScopedEnv english("APP_LANG", "en");
    EXPECT_EQ(L("Keep"), "Keep");
    EXPECT_TRUE(catalogue::misses().empty());
    EXPECT_EQ(L("Missing in English too."), "Missing in English too.");
    EXPECT_EQ(catalogue::misses(), std::vector<std::string>{"Missing in English too."});
    catalogue::forgetMisses();
}

TEST(CatalogueLookup, EveryTableTextIsFoundInGerman) {
    catalogue::forgetMisses();
    ScopedEnv german("APP_LANG", "de");
    std::set<std::string> titles;
    for (CategoryID id : allCategoryIDs) {
        titles.insert(Explanations::title(id));
        Explanations::text(id);
    }
    for (Safety safety : allSafeties)
        Explanations::label(safety);
    for (UpdateRefusal refusal : allUpdateRefusals)
        explanation(refusal);
    for (std::int64_t count : {0, 1, 5, -1})
        bytes(count);
    EXPECT_TRUE(catalogue::misses().empty()) << catalogue::misses().front();
    EXPECT_TRUE(titles.contains("Protokolle"));
    EXPECT_EQ(explanation(UpdateRefusal::noApp), "Der Download enthält keine App.");
    EXPECT_EQ(bytes(5), "5 Byte");
}

// MARK: The catalogue against the library's sources

TEST(SourceLiterals, JoinedAsTheCompilerJoinsThem) {
    const auto found = literals("auto a = L(\"Two \" // a comment with \"quotes\"\n"
                                "           \"parts\\\"\");\n"
                                "/* L(\"commented out\") */ int n = 100'000; char q = '\"';\n"
                                "auto b = Lf(\"{1} at {2}\", {x, y}); auto r = R\"re(\"[a-z]\")re\";\n"
                                "auto c = URL(\"https://example.com\"), d = N_(\"Table\");\n");
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0].callee, "L");
    EXPECT_EQ(found[0].text, "Two parts\"");
    EXPECT_EQ(found[0].next, ')');
    EXPECT_EQ(found[0].line, 1);
    EXPECT_EQ(found[1].callee, "Lf");
    EXPECT_EQ(found[1].next, ',');
    EXPECT_EQ(found[1].line, 4);
    EXPECT_EQ(found[2].text, "\"[a-z]\"");
    EXPECT_EQ(found[2].callee, "");
    EXPECT_EQ(found[3].callee, "URL");
    EXPECT_EQ(found[4].callee, "N_");
    EXPECT_EQ(found[4].text, "Table");
}

// The check that fails when the library asks for a text the catalogue does not have.
TEST(CatalogueAndSources, EveryTextTheLibraryAsksForHasAnEntry) {
    const auto entries = compiledInEntries();
    int asked = 0;
    for (const auto& [file, found] : libraryLiterals())
        for (const Literal& literal : found) {
            if (!asksForTranslation(literal))
                continue;
            ++asked;
            EXPECT_TRUE(entries.contains(literal.text))
                << file << " line " << literal.line << " asks for a text kit/catalogue/de does not have:\n"
                << literal.text;
        }
    EXPECT_GT(asked, 100);
}

TEST(CatalogueAndSources, EveryEntryIsUsedByTheLibrary) {
    std::set<std::string> asked;
    for (const auto& [file, found] : libraryLiterals())
        for (const Literal& literal : found)
            if (asksForTranslation(literal))
                asked.insert(literal.text);
    for (const auto& entry : catalogue::parse(catalogue::embeddedFiles()).entries)
        EXPECT_TRUE(asked.contains(std::string(entry.english)))
            << entry.file << " line " << entry.line << " is used nowhere in the library:\n"
            << entry.english;
}

// A text the library counts (Ln) has its forms for one, so that no window says "1 snapshots";
// a text it does not count has none.
TEST(CatalogueAndSources, CountedTextsAndOnlyTheseHaveFormsForOne) {
    std::set<std::string> counted;
    for (const auto& [file, found] : libraryLiterals())
        for (const Literal& literal : found)
            if (literal.callee == "Ln")
                counted.insert(literal.text);
    EXPECT_GE(counted.size(), 2u);
    for (const auto& entry : catalogue::parse(catalogue::embeddedFiles()).entries) {
        const bool hasForms = !entry.englishOne.empty() && !entry.germanOne.empty();
        if (counted.contains(std::string(entry.english)))
            EXPECT_TRUE(hasForms) << entry.file << " line " << entry.line
                                  << ": the library counts this text (Ln), so it needs \"en one: \" and "
                                     "\"de one: \" lines with its forms for one:\n"
                                  << entry.english;
        else
            EXPECT_FALSE(hasForms) << entry.file << " line " << entry.line
                                   << ": forms for one, but the library does not count this text (Ln):\n"
                                   << entry.english;
    }
}

TEST(CatalogueAndSources, TheSourcesWriteEnglishOnly) {
    int checked = 0;
    for (const auto& [file, found] : libraryLiterals())
        for (const Literal& literal : found) {
            const std::string where = file + " line " + std::to_string(literal.line) + ": " + literal.text;
            for (const char* german : {"ä", "ö", "ü", "ß", "Ä", "Ö", "Ü", "„"})
                EXPECT_EQ(literal.text.find(german), std::string::npos) << where;
            if (!asksForTranslation(literal))
                continue;
            ++checked;
            const bool hasPlaceholders = !catalogue::placeholders(literal.text).empty();
            if (literal.callee == "Lf" || literal.callee == "Ln") {
                EXPECT_EQ(literal.next, ',') << where;
                EXPECT_TRUE(hasPlaceholders) << where;
            } else {
                // L("English", "German") would keep a German text beside the code.
                EXPECT_EQ(literal.next, ')') << where;
                EXPECT_FALSE(hasPlaceholders) << where;
            }
        }
    EXPECT_GT(checked, 100);
}
