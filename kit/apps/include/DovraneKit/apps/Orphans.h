#pragma once
// Leftovers of apps that are gone: entries of the user's Library (or its Linux counterparts)
// whose names are bundle identifiers that no installed app owns. Each is measured and explained in one sentence;
// nothing is changed.

#include "DovraneKit/core/Url.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

class HomeLayout;

struct Orphan {
    Url url;              // directly inside one of the searched Library folders
    std::string bundleID; // as the entry's name spells it
    std::int64_t size = 0;
    std::string reason;

    Orphan() = default;
    Orphan(Url url_, std::string bundleID_, std::int64_t size_, std::string reason_)
        : url(std::move(url_)), bundleID(std::move(bundleID_)), size(size_), reason(std::move(reason_)) {}

    std::string id() const { return url.path(); }
    bool operator==(const Orphan&) const = default;
};

struct OrphanFinder {
    Url home;
    // Whether an app with this identifier (as found, letter case kept) is installed anywhere.
    // Asked last, once per candidate that passed every other check; may be called from any
    // thread. None given means no app beyond `installed`; one that throws counts as "installed".
    std::function<bool(const std::string&)> isInstalled;
    std::set<std::string> installed; // lowercased
    // Trees strictly inside which the deletion guard's tree rules block nothing.
    std::vector<Url> sandboxRoots;
    // Sizes a scan has just measured, by path: an entry found here is not walked again.
    std::map<std::string, std::int64_t> knownSizes;

    // Searched below home/Library, in this order; the system Library is never searched.
    static constexpr std::array<std::string_view, 10> folders = {
        "Application Support", "Caches", "Containers", "Preferences", "Saved Application State",
        "HTTPStorages",        "WebKit", "Logs",       "Cookies",     "Application Scripts"};
    // Identifiers of frameworks, updaters and crash reporters that many apps embed. Entries
    // without a trailing dot also cover a longer last word ("com.crashlyticsagent").
    static constexpr std::array<std::string_view, 13> sharedPrefixes = {"org.sparkle-project.",
                                                                        "org.swift.",
                                                                        "org.webkit.",
                                                                        "com.segment.",
                                                                        "com.firebase.",
                                                                        "com.crashlytics",
                                                                        "io.sentry.",
                                                                        "com.google.keystone",
                                                                        "com.google.googleupdater",
                                                                        "com.microsoft.autoupdate",
                                                                        "com.microsoft.shared",
                                                                        "com.plausiblelabs.",
                                                                        "io.fabric."};

    OrphanFinder(const Url& home, std::set<std::string> installed, std::function<bool(const std::string&)> isInstalled,
                 std::vector<Url> sandboxRoots = {});

    // Every folder find() lists, in order: the Library folders above, then .config,
    // .local/share, the cache home, .local/state and .var/app below home.
    std::vector<std::string> searchedFolders() const;
    // The same, read where `layout` (of this home) finds them.
    std::vector<std::string> searchedFolders(const HomeLayout& layout) const;

    // The orphans, largest first (equal sizes in the order found: folder order, then listing).
    std::vector<Orphan> find() const;

    // True when the identifier belongs to no installed app; cheap checks first.
    bool isOrphan(const std::string& identifier) const;

    // The bundle identifier an entry name carries ("com.example.gone.plist" gives
    // "com.example.gone"), or nothing. The folder does not change the answer.
    static std::optional<std::string> bundleID(const std::string& from, const std::string& folder);
};

} // namespace dovrane

template <> struct std::hash<dovrane::Orphan> {
    std::size_t operator()(const dovrane::Orphan& item) const noexcept {
        std::size_t h = std::hash<dovrane::Url>{}(item.url);
        h = h * 31 + std::hash<std::string>{}(item.bundleID);
        h = h * 31 + std::hash<std::int64_t>{}(item.size);
        return h * 31 + std::hash<std::string>{}(item.reason);
    }
};
