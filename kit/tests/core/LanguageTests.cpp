#include "DovraneKit/core/Language.h"
#include "DovraneKit/scan/Explanations.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <vector>

using namespace dovrane;
using dovrane::testing::ScopedEnv;

namespace {

// The language variables of one environment; nullopt leaves a variable unset.
struct Environment {
    std::optional<std::string> appLang, language, lcAll, lcMessages, lang;
};

class LocaleScope {
public:
    explicit LocaleScope(const Environment& e) {
        set("APP_LANG", e.appLang);
        set("LANGUAGE", e.language);
        set("LC_ALL", e.lcAll);
        set("LC_MESSAGES", e.lcMessages);
        set("LANG", e.lang);
    }

private:
    void set(const char* name, const std::optional<std::string>& value) {
        scopes_.push_back(std::make_unique<ScopedEnv>(name, value));
    }
    std::vector<std::unique_ptr<ScopedEnv>> scopes_;
};

Language languageIn(const Environment& e) {
    LocaleScope scope(e);
    return currentLanguage();
}

constexpr auto none = std::nullopt;

} // namespace

TEST(LanguageChoice, AppLangDecidesWhenExactlyEnOrDe) {
    EXPECT_EQ(languageIn({"de", "en_US", none, none, "en_US.UTF-8"}), Language::de);
    EXPECT_EQ(languageIn({"en", "de_DE", none, none, "de_DE.UTF-8"}), Language::en);
}

TEST(LanguageChoice, OtherAppLangValuesAreIgnored) {
    for (const char* value : {"DE", "fr", "", "de-DE", " de"}) {
        EXPECT_EQ(languageIn({value, none, none, none, "de_DE.UTF-8"}), Language::de) << '"' << value << '"';
        EXPECT_EQ(languageIn({value, none, none, none, "en_US.UTF-8"}), Language::en) << '"' << value << '"';
    }
}

TEST(LanguageChoice, LocaleVariablesInOrderOfPrecedence) {
    EXPECT_EQ(languageIn({none, "de_DE:en", "en_US.UTF-8", "en_US.UTF-8", "en_US.UTF-8"}), Language::de);
    EXPECT_EQ(languageIn({none, none, "de_DE.UTF-8", "en_US.UTF-8", "en_US.UTF-8"}), Language::de);
    EXPECT_EQ(languageIn({none, none, "en_US.UTF-8", "de_DE.UTF-8", "de_DE.UTF-8"}), Language::en);
    EXPECT_EQ(languageIn({none, "", "", "de_DE.UTF-8", "en_US.UTF-8"}), Language::de); // empty = unset
    EXPECT_EQ(languageIn({none, none, none, "en_GB.UTF-8", "de_DE.UTF-8"}), Language::en);
    EXPECT_EQ(languageIn({none, none, none, none, "de_CH.UTF-8"}), Language::de);
}

TEST(LanguageChoice, OnlyTheFirstPreferredLanguageCounts) {
    EXPECT_EQ(languageIn({none, "de_AT:en", none, none, none}), Language::de);
    EXPECT_EQ(languageIn({none, "de-AT", none, none, none}), Language::de);
    EXPECT_EQ(languageIn({none, "en_GB:de", none, none, "de_DE.UTF-8"}), Language::en);
}

TEST(LanguageChoice, CAndPosixNameNoLanguage) {
    EXPECT_EQ(languageIn({none, none, none, none, none}), Language::en);
    EXPECT_EQ(languageIn({none, none, none, none, "C"}), Language::en);
    EXPECT_EQ(languageIn({none, none, none, none, "C.UTF-8"}), Language::en);
    EXPECT_EQ(languageIn({none, none, "POSIX", none, "de_DE.UTF-8"}), Language::de);
    EXPECT_EQ(languageIn({none, "C", none, none, "de_DE.UTF-8"}), Language::de);
}

TEST(LanguageChoice, PickerFollowsTheEnvironmentAtEveryCall) {
    EXPECT_EQ(languageFromRaw("de"), Language::de);
    EXPECT_FALSE(languageFromRaw("DE"));
    {
        LocaleScope german({"de", none, none, none, none});
        EXPECT_EQ(L("Keep"), "Behalten");
    }
    LocaleScope english({"en", none, none, none, none});
    EXPECT_EQ(L("Keep"), "Keep");
}

TEST(Explanations, TitlesAndTextsInBothLanguages) {
    {
        LocaleScope english({"en", none, none, none, none});
        EXPECT_EQ(Explanations::title(CategoryID::other), "System and the rest");
        EXPECT_EQ(Explanations::text(CategoryID::other), "The system itself, other users, swap and space the system "
                                                         "does not break down. No app can see inside it.");
        EXPECT_EQ(Explanations::title(CategoryID::iosBackups), "iPhone and iPad backups");
        EXPECT_EQ(Explanations::text(CategoryID::docker),
                  "One file that holds all Docker images and containers. Shrink it in Docker Desktop, never by "
                  "deleting the file.");
    }
    LocaleScope german({"de", none, none, none, none});
    EXPECT_EQ(Explanations::title(CategoryID::other), "System und Rest");
    EXPECT_EQ(Explanations::text(CategoryID::other),
              "Das System selbst, andere Benutzer, Auslagerungsspeicher und Platz, den das System nicht aufschlüsselt. "
              "Keine App kann hineinsehen.");
    EXPECT_EQ(Explanations::title(CategoryID::snapshots), "Lokale Time-Machine-Schnappschüsse");
    EXPECT_EQ(Explanations::text(CategoryID::projects),
              "node_modules, .venv, target, .next und build in Projekten, die du länger nicht geändert hast. Das "
              "Werkzeug des Projekts baut sie in Minuten neu.");
    EXPECT_EQ(Explanations::text(CategoryID::messages),
              "Fotos und Dateien aus deinen Chats. Verwalte sie in Nachrichten oder unter Systemeinstellungen > "
              "Allgemein > Speicher.");
}

// Only the categories that need a Mac's folders (Mail, Messages, device backups, snapshots,
// Xcode, simulators) speak of the Mac's own parts; the rest say what is true on any computer.
TEST(Explanations, CategoriesOfEveryComputerNameNoMac) {
    using enum CategoryID;
    // "macOS installer" names a kind of download, not the running system.
    const std::regex mac(
        R"(\bMac\b|macOS(?![ -][Ii]nstaller)|\bFinder\b|\bDock\b|System Settings|Systemeinstellungen)");
    for (const char* language : {"en", "de"}) {
        LocaleScope scope({language, none, none, none, none});
        for (auto id : {apps, personal, caches, logs, trash, installers, docker, packageCaches, projects, other}) {
            EXPECT_FALSE(std::regex_search(Explanations::title(id), mac)) << language << " " << rawValue(id);
            EXPECT_FALSE(std::regex_search(Explanations::text(id), mac)) << language << " " << rawValue(id);
        }
    }
    LocaleScope english({"en", none, none, none, none});
    EXPECT_EQ(Explanations::text(personal), "Documents, Desktop, Downloads, Pictures, Music, Movies and iCloud Drive "
                                            "files kept on this computer. Dovrane only shows them.");
    EXPECT_EQ(Explanations::text(logs), "Records apps and the system write for troubleshooting. Nothing needs the old "
                                        "ones.");
    LocaleScope german({"de", none, none, none, none});
    EXPECT_EQ(
        Explanations::text(logs),
        "Aufzeichnungen, die Apps und das System zur Fehlersuche schreiben. Alte Protokolle braucht nichts mehr.");
}

TEST(Explanations, DefaultSafetyOfEveryCategory) {
    using enum CategoryID;
    for (auto id : {apps, personal, messages, docker, other})
        EXPECT_EQ(Explanations::safety(id), Safety::keep) << rawValue(id);
    for (auto id : {iosBackups, snapshots, xcode, simulators})
        EXPECT_EQ(Explanations::safety(id), Safety::review) << rawValue(id);
    for (auto id : {caches, logs, trash, installers, mailDownloads, packageCaches, projects})
        EXPECT_EQ(Explanations::safety(id), Safety::safe) << rawValue(id);
}

TEST(Explanations, SafetyLabels) {
    {
        LocaleScope english({"en", none, none, none, none});
        EXPECT_EQ(Explanations::label(Safety::safe), "Safe");
        EXPECT_EQ(Explanations::label(Safety::review), "Review");
        EXPECT_EQ(Explanations::label(Safety::keep), "Keep");
    }
    LocaleScope german({"de", none, none, none, none});
    EXPECT_EQ(Explanations::label(Safety::safe), "Gefahrlos");
    EXPECT_EQ(Explanations::label(Safety::review), "Prüfen");
    EXPECT_EQ(Explanations::label(Safety::keep), "Behalten");
}
