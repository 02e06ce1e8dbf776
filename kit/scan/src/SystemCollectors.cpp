// The collectors of what the system and the developer tools own: local snapshots, Xcode's
// data, simulator devices and the download caches of package managers.

#include "scan/ScanCollectors.h"

#include "DovraneKit/core/Language.h"
#include "DovraneKit/scan/ToolOutputParsers.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/ToolPaths.h"

#include "core/Ascii.h"
#include "core/Characters.h"
#include "core/Utf8.h"

namespace dovrane {

namespace {

std::string trimmed(std::string_view text) {
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

// A derived-data folder is named by its project, a dash and a long hash; the hash goes.
std::string derivedDataName(const std::string& entry) {
    auto dash = entry.rfind('-');
    if (dash != std::string::npos && characterCount(std::string_view(entry).substr(dash)) >= 21)
        return entry.substr(0, dash);
    return entry;
}

} // namespace

Category ScanCollectors::snapshots(std::stop_token stop) const {
    std::vector<CleanupItem> items;
    std::optional<std::string> note;
    auto output = runTool(ToolPaths::current().tmutil, {"listlocalsnapshotdates", "/"}, stop);
    // No answer: a computer without Time Machine (Linux has no tmutil) keeps no snapshots whose
    // size could go undisclosed.
    if (!output)
        return Category(CategoryID::snapshots);
    if (utf8::isValid(*output)) {
        const std::string reason =
            L("Deleting asks for your administrator password and cannot be undone. macOS frees these on its own "
              "when space runs low.");
        for (const auto& snapshot : SnapshotParser::parse(*output)) {
            Url url = Url::parse("tmsnapshot:" + snapshot.stamp).value_or(Url());
            items.emplace_back(std::move(url), DateText::abbreviatedDateShortTime(snapshot.date), 0, 1, snapshot.date,
                               reason, "snapshots.local", Safety::review, CleanupAction::deleteSnapshot);
        }
        if (!items.empty())
            note = Ln("{1} snapshots, size not disclosed by macOS", std::int64_t(items.size()),
                      {countText(std::int64_t(items.size()))});
    }
    return Category(CategoryID::snapshots, 0, std::move(items), true, std::move(note));
}

Category ScanCollectors::xcode(std::stop_token stop) const {
    std::vector<Candidate> candidates;

    // Each folder on its own: one of them may be kept elsewhere behind a link.
    const Url derivedData = homeFolder("Library/Developer/Xcode/DerivedData");
    const std::string derivedReason = L("Build products. Xcode makes them again on the next build.");
    for (const std::string& entry : Fs::list(derivedData.path()))
        candidates.push_back({derivedData.appending(entry), derivedDataName(entry), derivedReason, "xcode.derivedData",
                              Safety::safe, CleanupAction::trash});

    const Url archives = homeFolder("Library/Developer/Xcode/Archives");
    const std::string archiveReason = L("Your archived builds with their debug symbols. Keep the ones you released.");
    for (const std::string& entry : Fs::list(archives.path()))
        candidates.push_back({archives.appending(entry), Lf("Archives {1}", {entry}), archiveReason, "xcode.archives",
                              Safety::review, CleanupAction::trash});

    const std::string supportReason =
        L("Debug files for one device version. Xcode copies them again when you connect that device.");
    for (const char* platform : {"iOS", "watchOS", "tvOS", "visionOS", "macOS"}) {
        const Url support = homeFolder(std::string("Library/Developer/Xcode/") + platform + " DeviceSupport");
        for (const std::string& entry : Fs::list(support.path()))
            candidates.push_back({support.appending(entry), std::string(platform) + " " + entry, supportReason,
                                  "xcode.deviceSupport", Safety::safe, CleanupAction::trash});
    }

    candidates.push_back({homeFolder("Library/Developer/CoreSimulator/Caches"), L("Simulator caches"),
                          L("Caches of the simulators. They are rebuilt when needed."), "xcode.simCaches", Safety::safe,
                          CleanupAction::trash});
    return Category(CategoryID::xcode, std::nullopt, measuredItems(std::move(candidates), stop));
}

Category ScanCollectors::simulators(std::stop_token stop) const {
    const Url devices = homeFolder("Library/Developer/CoreSimulator/Devices");
    std::vector<CleanupItem> items;
    auto output = runTool(ToolPaths::current().xcrun, {"simctl", "list", "devices", "--json"}, stop);
    if (!output) {
        add(items, measuredItem(devices, L("All simulators"),
                                L("Manage simulators in Xcode > Window > Devices and Simulators."), "simulators.all",
                                Safety::review, CleanupAction::showOnly, stop));
        return Category(CategoryID::simulators, std::nullopt, std::move(items));
    }

    for (const auto& device : SimctlParser::parse(*output)) {
        const Url folder = device.dataPath ? Url::fromPath(*device.dataPath).deletingLastPathComponent()
                                           : devices.appending(device.udid);
        std::string name = device.name + " (" + device.runtime + ")";
        if (device.isAvailable)
            add(items, measuredItem(folder, std::move(name), L("A simulator with its apps and data."),
                                    "simulators.device", Safety::review, CleanupAction::showOnly, stop));
        else
            add(items,
                measuredItem(folder, std::move(name),
                             L("Belongs to an Xcode version you no longer have. Remove it on the Developer page."),
                             "simulators.unavailable", Safety::safe, CleanupAction::showOnly, stop));
    }
    return Category(CategoryID::simulators, std::nullopt, std::move(items));
}

Category ScanCollectors::packageCaches(std::stop_token stop) const {
    std::optional<Url> homebrew;
    for (const std::string& brew : ToolPaths::current().brew) {
        auto output = runTool(brew, {"--cache"}, stop);
        if (output && utf8::isValid(*output)) {
            std::string path = trimmed(*output);
            if (!path.empty()) {
                homebrew = path.starts_with('/') ? layout_.resolved(Url::fromPath(path)) : Url::fromPath(path);
                break;
            }
        }
    }

    const std::pair<Url, std::string> folders[] = {
        {homebrew ? *homebrew : homeFolder("Library/Caches/Homebrew"), "Homebrew"},
        {homeFolder(".npm/_cacache"), "npm"},
        {homeFolder("Library/pnpm/store"), "pnpm"},
        {homeFolder("Library/Caches/Yarn"), "Yarn"},
        {homeFolder("Library/Caches/pip"), "pip"},
        {homeFolder(".cargo/registry/cache"), "Cargo"},
        {homeFolder(".gradle/caches"), "Gradle"},
    };
    std::vector<Candidate> candidates;
    for (const auto& [url, tool] : folders)
        candidates.push_back({url, tool, Lf("Downloaded packages. {1} loads them again when needed.", {tool}),
                              "packages." + ascii::lowercased(tool), Safety::safe, CleanupAction::trash});
    return Category(CategoryID::packageCaches, std::nullopt, measuredItems(std::move(candidates), stop));
}

} // namespace dovrane
