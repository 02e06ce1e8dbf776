// The demo apps with their orphans, update results and leftovers.

#include "SeedData/DemoText.h"
#include "SeedData/SeedData.h"

#include <cstdint>
#include <string>

namespace dovrane::SeedData {

namespace {

struct AppRow {
    const char* name;
    const char* bundleID;
    const char* version;
    AppSource source;
    std::int64_t size;
    int days;
};

constexpr AppRow appRows[] = {
    {"Pixelmoor", "com.example.pixelmoor", "4.2.1", AppSource::sparkle, 14'200'000'000, 1},
    {"Tidepool", "com.example.tidepool", "12.0", AppSource::homebrew, 9'800'000'000, 0},
    {"Lumen Browser", "com.example.lumen", "138.0.2", AppSource::sparkle, 1'100'000'000, 0},
    {"Atlas Maps", "com.example.atlas", "3.4", AppSource::appStore, 600'000'000, 40},
    {"Notewell", "com.example.notewell", "2.8.3", AppSource::appStore, 1'400'000'000, 5},
    {"Ledgerly", "com.example.ledgerly", "1.9", AppSource::sparkle, 300'000'000, 210},
    {"Clipstack", "com.example.clipstack", "5.1", AppSource::homebrew, 50'000'000, 2},
    {"Waveform Studio", "com.example.waveform", "11.2", AppSource::unknown, 6'900'000'000, 90},
    {"Typeset", "com.example.typeset", "3.0.4", AppSource::appStore, 400'000'000, 14},
    {"Safari", "com.apple.Safari", "26.1", AppSource::apple, 200'000'000, 0},
};

struct OrphanRow {
    const char* bundleID;
    const char* folder;
    std::int64_t size;
};

constexpr OrphanRow orphanRows[] = {
    {"com.example.oldeditor", "Application Support", 2'400'000'000},
    {"com.example.oldeditor", "Caches", 800'000'000},
    {"com.example.trialvpn", "Containers", 600'000'000},
    {"net.example.screenrec", "Application Support", 310'000'000},
    {"org.example.retired", "Preferences", 20'000},
};

// The one release-notes address of every demo sparkle app, under a domain kept for examples.
constexpr const char* releaseNotesAddress = "https://www.example.com/release-notes";

constexpr Text pixelmoorNotes{QT_TRANSLATE_NOOP("SeedData", "New\n"
                                                            "• Export straight to HEIC and AVIF\n"
                                                            "• Faster thumbnails in large folders\n"
                                                            "Fixed\n"
                                                            "• Crash when renaming a layer while it renders\n"
                                                            "• Color profiles of older RAW files")};
constexpr Text orphanReason{QT_TRANSLATE_NOOP(
    "SeedData", "No installed app has the identifier %1. Usually left behind when an app was deleted.")};
constexpr Text notewellNotes{
    QT_TRANSLATE_NOOP("SeedData", "Shared notebooks can now be pinned. Search finds handwriting.")};
constexpr Text serverGone{QT_TRANSLATE_NOOP("SeedData", "The vendor's update server no longer exists.")};
constexpr Text feedUnknown{QT_TRANSLATE_NOOP(
    "SeedData", "Dovrane cannot tell where this app gets its updates. The app itself may have a menu item for it.")};
constexpr Text byIdentifierReason{QT_TRANSLATE_NOOP("SeedData", "Named after the app's identifier %1.")};
constexpr Text byNameReason{QT_TRANSLATE_NOOP("SeedData", "Has the app's name. Check that no other app uses it.")};

constexpr double day = 86400;

} // namespace

std::vector<InstalledApp> apps() {
    std::vector<InstalledApp> result;
    for (const AppRow& row : appRows) {
        InstalledApp app;
        app.bundleID = row.bundleID;
        app.name = row.name;
        app.version = row.version;
        app.path = home().appending(std::string("Applications/") + row.name + ".app");
        app.teamID = "ABCDE12345";
        app.source = row.source;
        app.size = row.size;
        app.lastUsed = Date::now().adding(-row.days * day);
        app.isSystem = row.source == AppSource::apple;
        result.push_back(std::move(app));
    }
    return result;
}

std::vector<Orphan> orphans() {
    std::vector<Orphan> result;
    for (const OrphanRow& row : orphanRows) {
        const std::string id = row.bundleID;
        result.emplace_back(home().appending(std::string("Library/") + row.folder + "/" + id), id, row.size,
                            orphanReason(id));
    }
    return result;
}

std::map<std::string, UpdateCheck> updates(const std::vector<InstalledApp>& apps) {
    std::map<std::string, UpdateCheck> result;
    for (const InstalledApp& app : apps) {
        if (app.isSystem)
            continue;
        auto update = [&app](std::string newVersion, std::optional<std::string> notes) {
            UpdateInfo info;
            info.bundleID = app.bundleID;
            info.appPath = app.path;
            info.currentVersion = app.version;
            info.newVersion = std::move(newVersion);
            info.source = app.source;
            info.releaseNotes = std::move(notes);
            if (app.source == AppSource::sparkle)
                info.releaseNotesURL = Url::parse(releaseNotesAddress);
            info.checkedAt = Date::now();
            return UpdateCheck::available(std::move(info));
        };
        std::optional<UpdateCheck> check;
        if (app.name == "Pixelmoor")
            check = update("4.3.0", pixelmoorNotes());
        else if (app.name == "Tidepool")
            check = update("12.1.2", std::nullopt);
        else if (app.name == "Notewell")
            check = update("2.9.0", notewellNotes());
        else if (app.name == "Ledgerly")
            check = UpdateCheck::failed(serverGone());
        else if (app.name == "Waveform Studio")
            check = UpdateCheck::unsupported(feedUnknown());
        else
            check = UpdateCheck::upToDate();
        // A later app at the same path replaces the earlier result.
        result.insert_or_assign(app.path.path(), std::move(*check));
    }
    return result;
}

std::vector<Leftover> leftovers(const InstalledApp& app) {
    const std::string& id = app.bundleID;
    const std::string byIdentifier = byIdentifierReason(id);
    const std::string byName = byNameReason();
    const Url library = home().appending("Library");
    return {
        Leftover(library.appending("Application Support/" + id), 1'800'000'000, true, false, byIdentifier),
        Leftover(library.appending("Caches/" + id), 900'000'000, true, false, byIdentifier),
        Leftover(library.appending("Containers/" + id), 400'000'000, true, false, byIdentifier),
        Leftover(library.appending("Preferences/" + id + ".plist"), 4'096, true, false, byIdentifier),
        // The one system-wide entry: outside the demo home, so moving it needs administrator rights.
        Leftover(Url::fromPath("/Library/LaunchDaemons/" + id + ".helper.plist"), 1'024, true, true, byIdentifier),
        Leftover(library.appending("Application Support/" + app.name), 200'000'000, false, false, byName),
    };
}

} // namespace dovrane::SeedData
