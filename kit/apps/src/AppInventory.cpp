#include "DovraneKit/apps/AppInventory.h"

#include "DovraneKit/apps/AppImages.h"
#include "DovraneKit/apps/BundleInfo.h"
#include "DovraneKit/apps/CodeSigning.h"
#include "DovraneKit/core/NameOrder.h"
#include "DovraneKit/formats/Plist.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/FileSystem.h"

#include "core/Pattern.h"
#include "core/Utf8.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <set>

namespace dovrane {

namespace {

// Metadata files are small JSON documents; anything larger is not one.
constexpr std::uint64_t maximumMetadataSize = 8ull << 20;

// Direction marks that some apps put into their names to steer right-to-left display.
std::string withoutDirectionMarks(std::string name) {
    static constexpr std::string_view marks[] = {"\u200E", "\u200F", "\u202A", "\u202C"};
    for (std::string_view mark : marks)
        for (auto at = name.find(mark); at != std::string::npos; at = name.find(mark, at))
            name.erase(at, mark.size());
    return name;
}

std::optional<std::string> nonEmpty(std::optional<std::string> text) {
    if (text && text->empty())
        return std::nullopt;
    return text;
}

// The quoted ".app" names of a cask's metadata, without their quotes, in order; absent when
// the text is not UTF-8 (such a file is not read).
std::optional<std::vector<std::string>> quotedAppNames(std::string_view text) {
    static const Pattern appName(R"re("([^"/]+\.app)")re", Pattern::unicode);
    if (!utf8::isValid(text))
        return std::nullopt;
    std::vector<std::string> found;
    // A match is never empty (it holds two quotes at least), so each search starts further on.
    std::size_t from = 0;
    while (auto match = appName.find(text, from)) {
        found.emplace_back(match->groupIn(text));
        from = match->end;
    }
    return found;
}

// Every file named `fileName` in the tree below folder, in listing order. Links are never
// followed into, so a loop cannot trap the walk; a linked file is still read through.
void collectFiles(const std::string& folder, const std::string& fileName, std::vector<std::string>& files) {
    for (const std::string& name : Fs::list(folder)) {
        std::string path = Path::join(folder, name);
        if (!Fs::isSymlink(path) && Fs::isDirectory(path))
            collectFiles(path, fileName, files);
        else if (name == fileName)
            files.push_back(std::move(path));
    }
}

// "google-chrome" becomes "Google Chrome.app": dashes to spaces, every word title-cased.
std::string madeUpAppName(const std::string& token) {
    std::string spaced = token;
    std::replace(spaced.begin(), spaced.end(), '-', ' ');
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(spaced.data(), int32_t(spaced.size())));
    std::string titled;
    unicode.toTitle(nullptr, icu::Locale::getRoot()).toUTF8String(titled);
    return titled + ".app";
}

} // namespace

AppInventory::AppInventory(const Url& home, std::optional<std::vector<Url>> folders_, std::vector<Url> caskrooms_)
    : caskrooms(std::move(caskrooms_)) {
    if (folders_)
        folders = std::move(*folders_);
    else
        folders = {Url::fromPath("/Applications"), Url::fromPath("/Applications/Utilities"),
                   Url::fromPath(Path::join(home.path(), "Applications")),
                   Url::fromPath(Path::join(home.path(), ".local/bin"))};
}

std::vector<InstalledApp> AppInventory::list() const {
    const auto casks = caskMap();
    std::set<std::string> seen;
    std::vector<InstalledApp> apps;
    for (const Url& folder : folders) {
        const std::string base = folder.path();
        for (const std::string& name : Fs::list(base)) {
            const bool appImage = AppImages::hasAppImageName(name);
            if (Path::extension(name) != "app" && !appImage)
                continue;
            const std::string path = Path::join(base, name);
            if (appImage && !AppImages::isAppImage(path))
                continue;
            if (!seen.insert(DeletionGuard::canonical(path)).second)
                continue;
            if (auto app = read(Url::fromPath(path), casks))
                apps.push_back(std::move(*app));
        }
    }
    std::stable_sort(apps.begin(), apps.end(), [order = NameOrder()](const InstalledApp& a, const InstalledApp& b) {
        return order(a.name, b.name);
    });
    return apps;
}

std::optional<InstalledApp> AppInventory::read(const Url& bundle,
                                               const std::map<std::string, std::string>& casks) const {
    if (AppImages::hasAppImageName(bundle.lastPathComponent()))
        return AppImages::isAppImage(bundle.path()) ? std::optional(AppImages::read(bundle)) : std::nullopt;
    auto info = BundleInfo::read(bundle);
    if (!info || info->empty())
        return std::nullopt;
    // An empty identifier names no app: every lookup keyed by it would match the wrong things.
    auto identifier = nonEmpty(Plist::string(*info, "CFBundleIdentifier"));
    if (!identifier)
        return std::nullopt;

    const std::string path = bundle.path();
    const std::string fileName = bundle.lastPathComponent();

    InstalledApp app;
    app.bundleID = *identifier;
    std::optional<std::string> name = Plist::string(*info, "CFBundleDisplayName");
    if (!name)
        name = Plist::string(*info, "CFBundleName");
    app.name = withoutDirectionMarks(name ? *name : Path::deletingExtension(fileName));
    auto shortVersion = Plist::string(*info, "CFBundleShortVersionString");
    app.build = Plist::string(*info, "CFBundleVersion");
    app.version = shortVersion ? *shortVersion : app.build ? *app.build : "?";
    if (auto feed = Plist::string(*info, "SUFeedURL"))
        app.feedURL = Url::parse(*feed);

    auto cask = casks.find(fileName);
    if (DeletionGuard::canonical(path).starts_with("/System/")) {
        app.source = AppSource::apple;
        app.isSystem = true;
    } else if (Fs::exists(Path::join(path, "Contents/_MASReceipt/receipt"))) {
        app.source = AppSource::appStore;
    } else if (cask != casks.end()) {
        app.source = AppSource::homebrew;
    } else if (app.feedURL || Fs::exists(Path::join(path, "Contents/Frameworks/Sparkle.framework"))) {
        app.source = AppSource::sparkle;
    } else {
        app.source = AppSource::unknown;
    }

    app.teamID = teamID(bundle);
    app.edKey = nonEmpty(Plist::string(*info, "SUPublicEDKey"));
    if (cask != casks.end())
        app.caskToken = cask->second;
    app.lastUsed = lastUsed(bundle);
    app.path = bundle;
    app.size = 0;
    return app;
}

std::map<std::string, std::string> AppInventory::caskMap() const {
    std::map<std::string, std::string> map;
    for (const Url& caskroom : caskrooms) {
        const std::string room = caskroom.path();
        for (const std::string& token : Fs::list(room)) {
            if (token.starts_with("."))
                continue;
            std::vector<std::string> files;
            collectFiles(Path::join(Path::join(room, token), ".metadata"), token + ".json", files);
            bool matched = false;
            for (const std::string& file : files) {
                auto text = Fs::readFile(file, maximumMetadataSize);
                if (!text)
                    continue;
                auto names = quotedAppNames(*text);
                if (!names)
                    continue;
                for (std::string& name : *names) {
                    map[std::move(name)] = token;
                    matched = true;
                }
            }
            if (!matched)
                map[madeUpAppName(token)] = token;
        }
    }
    return map;
}

std::optional<std::string> AppInventory::teamID(const Url& bundle) {
    if (!bundle.isFile())
        return std::nullopt;
    return CodeSigning::teamID(bundle.path());
}

std::optional<Date> AppInventory::lastUsed(const Url&) { return std::nullopt; }

} // namespace dovrane
