#include "DovraneKit/scan/Explanations.h"

#include "core/Pattern.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace dovrane;
using dovrane::testing::ScopedEnv;

TEST(Explanations, TitlesAndTextsInBothLanguages) {
    {
        ScopedEnv english("APP_LANG", "en");
        EXPECT_EQ(Explanations::title(CategoryID::other), "System and the rest");
        EXPECT_EQ(Explanations::text(CategoryID::other), "The system itself, other users, swap and space the system "
                                                         "does not break down. No app can see inside it.");
        EXPECT_EQ(Explanations::title(CategoryID::iosBackups), "iPhone and iPad backups");
        EXPECT_EQ(Explanations::text(CategoryID::docker),
                  "One file that holds all Docker images and containers. Shrink it in Docker Desktop, never by "
                  "deleting the file.");
    }
    ScopedEnv german("APP_LANG", "de");
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
    const Pattern mac(R"(\bMac\b|macOS(?![ -][Ii]nstaller)|\bFinder\b|\bDock\b|System Settings|Systemeinstellungen)",
                      Pattern::unicode);
    ASSERT_TRUE(mac.find("Open it in the Finder") && !mac.find("a macOS installer")); // the pattern compiled
    for (const char* language : {"en", "de"}) {
        ScopedEnv scope("APP_LANG", std::string(language));
        for (auto id : {apps, personal, caches, logs, trash, installers, docker, packageCaches, projects, other}) {
            EXPECT_FALSE(mac.find(Explanations::title(id))) << language << " " << rawValue(id);
            EXPECT_FALSE(mac.find(Explanations::text(id))) << language << " " << rawValue(id);
        }
    }
    ScopedEnv english("APP_LANG", "en");
    EXPECT_EQ(Explanations::text(personal), "Documents, Desktop, Downloads, Pictures, Music, Movies and iCloud Drive "
                                            "files kept on this computer. Dovrane only shows them.");
    EXPECT_EQ(Explanations::text(logs), "Records apps and the system write for troubleshooting. Nothing needs the old "
                                        "ones.");
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(Explanations::text(logs),
              "Aufzeichnungen, die Apps und das System zur Fehlersuche schreiben. Alte Protokolle werden nicht mehr "
              "gebraucht.");
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
        ScopedEnv english("APP_LANG", "en");
        EXPECT_EQ(Explanations::label(Safety::safe), "Safe");
        EXPECT_EQ(Explanations::label(Safety::review), "Review");
        EXPECT_EQ(Explanations::label(Safety::keep), "Keep");
    }
    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(Explanations::label(Safety::safe), "Gefahrlos");
    EXPECT_EQ(Explanations::label(Safety::review), "Prüfen");
    EXPECT_EQ(Explanations::label(Safety::keep), "Behalten");
}
