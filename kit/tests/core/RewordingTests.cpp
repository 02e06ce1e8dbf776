#include "DovraneKit/core/Language.h"

#include "core/Catalogue.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace dovrane;
using dovrane::testing::ScopedEnv;

namespace {

std::string in(const char* language, std::string_view text) {
    ScopedEnv chosen("APP_LANG", language);
    return reworded(text);
}

// Values as names come: with spaces, full stops and braces. Where two placeholders meet with a
// space between ("davon {2} {3}"), the first is read as far as the first space.
std::string filled(std::string_view text) {
    return catalogue::substituted(text, {"my web app. v2", "{2}40", "npm run build"});
}

} // namespace

// Every text of the catalogue, for any count and for one, reads in the other language and
// back, with its values where that language puts them, and stays as it is in its own.
TEST(Rewording, EveryCatalogueTextBothWays) {
    const auto contents = catalogue::parse(catalogue::embeddedFiles());
    ASSERT_TRUE(contents.problems.empty());
    ASSERT_GT(contents.entries.size(), 100u);
    for (const catalogue::Entry& entry : contents.entries) {
        std::vector<std::pair<std::string_view, std::string_view>> forms = {{entry.english, entry.german}};
        if (!entry.englishOne.empty())
            forms.emplace_back(entry.englishOne, entry.germanOne);
        for (const auto& [english, german] : forms) {
            EXPECT_EQ(in("de", filled(english)), filled(german)) << english;
            EXPECT_EQ(in("en", filled(german)), filled(english)) << german;
            EXPECT_EQ(in("de", filled(german)), filled(german)) << german;
            EXPECT_EQ(in("en", filled(english)), filled(english)) << english;
        }
    }
}

// A reason of two sentences (a project of unknown age and how its folder comes back, an item
// and whose it is) reads sentence by sentence, each with its own values.
TEST(Rewording, SentencesJoinedBySpaces) {
    EXPECT_EQ(in("de", "When shop was last changed is unknown: some of its folders cannot be read. "
                       "Running npm install brings this folder back."),
              "Wann shop zuletzt geändert wurde, ist unbekannt: Einige seiner Ordner lassen sich nicht lesen. "
              "Mit npm install entsteht der Ordner wieder.");
    EXPECT_EQ(in("de", "A cache. The app rebuilds it when needed. This belongs to the user anna. Ask them "
                       "before you move it."),
              "Ein Cache. Die App legt ihn bei Bedarf neu an. Das gehört dem Benutzer anna. Frag nach, bevor du es "
              "verschiebst.");
    EXPECT_EQ(in("en", "Ein Cache. Die App legt ihn bei Bedarf neu an. Verschieben fragt nach deinem "
                       "Administrator-Passwort."),
              "A cache. The app rebuilds it when needed. Moving it asks for your administrator password.");
    // A name that holds a sentence of the catalogue is still one value.
    EXPECT_EQ(in("de", "Running A cache. The app rebuilds it when needed. brings this folder back."),
              "Mit A cache. The app rebuilds it when needed. entsteht der Ordner wieder.");
}

// A counted text keeps its form for one and takes the other language's grouping of digits;
// figures of a text that counts nothing stay as written.
TEST(Rewording, CountsAreGroupedAsTheLanguageGroupsThem) {
    EXPECT_EQ(in("de", "web was last changed 1,234 days ago. Running npm install brings this folder back."),
              "web wurde vor 1.234 Tagen zuletzt geändert. Mit npm install entsteht der Ordner wieder.");
    EXPECT_EQ(in("en", "web wurde vor 1.234 Tagen zuletzt geändert. Der nächste Build legt den Ordner wieder an."),
              "web was last changed 1,234 days ago. The next build brings this folder back.");
    EXPECT_EQ(in("de", "1 snapshot, size not disclosed by macOS"),
              "1 Schnappschuss, Größe von macOS nicht offengelegt");
    EXPECT_EQ(in("en", "12.345 Schnappschüsse, Größe von macOS nicht offengelegt"),
              "12,345 snapshots, size not disclosed by macOS");
    // Not a count as English groups one: kept.
    EXPECT_EQ(in("de", "1,23 snapshots, size not disclosed by macOS"),
              "1,23 Schnappschüsse, Größe von macOS nicht offengelegt");
    EXPECT_EQ(in("de", "Archives 2024,05,01"), "Archive 2024,05,01");
}

// What the catalogue does not make whole stays as it is, in either language: one foreign
// sentence keeps the known ones beside it from being half translated.
TEST(Rewording, OtherTextsStay) {
    for (const char* text :
         {"", "Ledger", "Trash can", " Trash", "Trash ", "A cache.  The app rebuilds it when needed.",
          "A cache. The app rebuilds it when needed. Something else.",
          "Something else. A cache. The app rebuilds it when needed.", "Archives ", " bytes"}) {
        EXPECT_EQ(in("de", text), text);
        EXPECT_EQ(in("en", text), text);
    }
    EXPECT_EQ(in("de", std::string(5000, 'a') + " bytes"), std::string(5000, 'a') + " bytes");
}

// Values that could end at any of many places, tried shortest first, where only the longest
// reading fits: a few are read, but many more would hold up the load of a crafted cache for
// long, and are left as they are.
TEST(Rewording, ATangleOfPossibleValuesIsGivenUp) {
    auto tangle = [](int repeats) {
        std::string text = "x";
        for (int i = 0; i < repeats; ++i)
            text += " was last changed days ago. Running brings this folder back.";
        return text + " Choose the folders with your projects in Settings > Scan.";
    };
    const std::string few = in("de", tangle(3));
    EXPECT_TRUE(few.starts_with("x wurde vor ")) << few;
    EXPECT_TRUE(few.ends_with(". Wähle die Ordner mit deinen Projekten unter Einstellungen > Scan.")) << few;
    EXPECT_EQ(in("de", tangle(60)), tangle(60));
}
