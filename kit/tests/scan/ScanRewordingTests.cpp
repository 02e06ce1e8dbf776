#include "DovraneKit/scan/DiskScanner.h"

#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/ToolPaths.h"
#include "DovraneKit/trash/FreedesktopTrash.h"
#include "support/FakeRunner.h"
#include "support/ScannerFixture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// A home with something of every kind whose texts the scan words itself, a cache folder whose
// file name is a word of the catalogue, and two of your folders that go by German names of
// their own, which are the catalogue's German for the Mac's folders.
void fill(ScannerFixture& f) {
    writeFile(f / ".config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
                                            "XDG_MUSIC_DIR=\"$HOME/Musik\"\n");
    writeFileOfSize(f / "Bilder/photo.jpg", 4000);
    writeFileOfSize(f / "Musik/song.mp3", 4000);
    writeFileOfSize(f / "Library/Caches/com.example.notes/blob", 4000);
    writeFileOfSize(f / "Library/Caches/com.apple.Safari/blob", 4000);
    writeFileOfSize(f / "Library/Caches/Trash/blob", 4000);
    writeFileOfSize(f / "Library/Logs/notes.log", 4000);
    writeFileOfSize(f / "Documents/letter.txt", 4000);
    writeFileOfSize(FreedesktopTrash::homeTrashFiles(f.home.path()) + "/old.txt", 4000);
    for (const char* name : {"Downloads/tool.dmg", "Downloads/source.zip"}) {
        writeFileOfSize(f / name, 4000);
        setTimes(f / name, daysAgo(30, f.now));
    }
    writeFileOfSize(f / "Library/Messages/Attachments/photo.jpg", 4000);
    const std::string backups = f / "Library/Application Support/MobileSync/Backup";
    writeFile(backups + "/A/Info.plist", R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>Device Name</key><string>Anna’s iPhone</string>
<key>Last Backup Date</key><date>2024-05-01T12:00:00Z</date>
</dict></plist>)");
    writeFileOfSize(backups + "/B/blob", 4000);
    f.runner->answer(ToolPaths::current().tmutil, "2024-05-01-093012\n");
    writeFileOfSize(f / "Library/Developer/Xcode/Archives/2024-05-01/build.xcarchive", 4000);
    writeFileOfSize(f / "Library/Developer/CoreSimulator/Caches/blob", 4000);
    writeFileOfSize(f / "Library/Developer/CoreSimulator/Devices/AAA/data", 4000);
    writeFileOfSize(f / ".npm/_cacache/blob", 4000);
    writeFile(f / "Code/shop/package.json", "{}");
    writeFileOfSize(f / "Code/shop/node_modules/left-pad/index.js", 4000);
    setTimesRecursively(f / "Code/shop", daysAgo(1234));
    f.settings.projectFolders = {f / "Code"};
}

// The fixture's home scanned in the language, without the Flatpak apps of this computer.
ScanResult scanIn(const char* language, const ScannerFixture& f) {
    DiskScanner scanner = f.scanner();
    scanner.flatpakApps = nullptr;
    ScopedEnv chosen("APP_LANG", language);
    return scanner.scan({});
}

ScanResult rewordedIn(const char* language, ScanResult scan) {
    ScopedEnv chosen("APP_LANG", language);
    DiskScanner::reword(scan);
    return scan;
}

// Each category's note and each item's name and reason, one a line.
std::vector<std::string> texts(const ScanResult& scan) {
    std::vector<std::string> lines;
    for (const Category& category : scan.categories) {
        lines.push_back(std::string(rawValue(category.id)) + ": " + category.note.value_or(""));
        for (const CleanupItem& item : category.items)
            lines.push_back(item.name + ": " + item.reason);
    }
    return lines;
}

// The scan without those texts.
ScanResult figures(ScanResult scan) {
    for (Category& category : scan.categories) {
        category.note.reset();
        for (CleanupItem& item : category.items)
            item.name = item.reason = {};
    }
    return scan;
}

std::set<std::string> sources(const ScanResult& scan) {
    std::set<std::string> found;
    for (const Category& category : scan.categories)
        for (const CleanupItem& item : category.items)
            found.insert(item.source);
    return found;
}

} // namespace

// A scan kept from an English run, worded again in German, says what a German scan of the same
// home says, and the other way round: reasons (one of them counting 1,234 days), notes, the
// names the scan gives and dates; names of files stay, even one the catalogue knows, and so
// does every figure. (The figures of the two scans may differ: the first reads files the
// second finds used.)
TEST(ScanRewording, AScanOfOneLanguageReadsAsTheOtherLanguageScans) {
    ScannerFixture f;
    fill(f);
    const ScanResult english = scanIn("en", f);
    const ScanResult german = scanIn("de", f);
    for (const char* source : {"caches.app", "caches.apple", "logs", "personal", "trash", "installers.image",
                               "installers.archive", "messages", "backups.ios", "snapshots.local", "xcode.archives",
                               "xcode.simCaches", "simulators.all", "packages.npm", "projects.node_modules"})
        EXPECT_TRUE(sources(german).contains(source)) << source;
    ASSERT_NE(english.categories, german.categories);

    for (const auto& [language, scan, expected] :
         {std::tuple{"de", english, german}, std::tuple{"en", german, english}, std::tuple{"de", german, german}}) {
        const ScanResult reworded = rewordedIn(language, scan);
        EXPECT_EQ(texts(reworded), texts(expected)) << language;
        EXPECT_EQ(figures(reworded), figures(scan)) << language;
    }
}

// A backup that is gone since keeps its name but for what the catalogue words.
TEST(ScanRewording, AGoneBackupKeepsItsName) {
    ScannerFixture f;
    fill(f);
    const ScanResult english = scanIn("en", f);
    ASSERT_TRUE(Fs::removeAll(f / "Library/Application Support/MobileSync"));
    const ScanResult reworded = rewordedIn("de", english);
    std::multiset<std::string> names;
    for (const CleanupItem& item : reworded.category(CategoryID::iosBackups)->items)
        names.insert(item.name);
    EXPECT_EQ(names, (std::multiset<std::string>{"Anna’s iPhone, May 1, 2024", "Unbekanntes Gerät"}));
}
