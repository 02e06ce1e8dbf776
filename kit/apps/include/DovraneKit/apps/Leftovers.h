#pragma once
// What one installed app keeps in the Library folders: preferences, caches, containers,
// support folders, saved state, web storage, logs, launch items and helper tools, and on Linux
// in .config, .local/share, the cache home, .local/state, .var/app and its menu and autostart
// entries. Each item
// is measured and explained in one sentence; nothing is changed.

#include "DovraneKit/core/Url.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

struct Leftover {
    Url url; // directly inside one of the searched Library folders
    std::int64_t size = 0;
    bool exact = false;      // tied to this app alone; offered ticked
    bool needsAdmin = false; // found in the system Library
    std::string reason;

    Leftover() = default;
    Leftover(Url url_, std::int64_t size_, bool exact_, bool needsAdmin_, std::string reason_)
        : url(std::move(url_)), size(size_), exact(exact_), needsAdmin(needsAdmin_), reason(std::move(reason_)) {}

    std::string id() const { return url.path(); }
    bool operator==(const Leftover&) const = default;
};

struct LeftoverFinder {
    Url home;
    Url systemLibrary; // "/Library" for the real system
    // Trees strictly inside which the deletion guard's tree rules block nothing, such as a
    // home folder that lives in a temporary directory.
    std::vector<Url> sandboxRoots;

    // Searched below home/Library, in this order.
    static constexpr std::array<std::string_view, 13> userFolders = {"Application Support",
                                                                     "Caches",
                                                                     "Containers",
                                                                     "Group Containers",
                                                                     "Preferences",
                                                                     "Preferences/ByHost",
                                                                     "Saved Application State",
                                                                     "HTTPStorages",
                                                                     "WebKit",
                                                                     "Logs",
                                                                     "LaunchAgents",
                                                                     "Cookies",
                                                                     "Application Scripts"};
    // Searched below systemLibrary after the user's folders; moving from them needs
    // administrator rights.
    static constexpr std::array<std::string_view, 5> systemFolders = {
        "LaunchAgents", "LaunchDaemons", "Application Support", "PrivilegedHelperTools", "Preferences"};

    LeftoverFinder(const Url& home_, const Url& systemLibrary_, std::vector<Url> sandboxRoots_ = {})
        : home(home_), systemLibrary(systemLibrary_), sandboxRoots(std::move(sandboxRoots_)) {}

    // The app's leftovers, largest first (equal sizes in the order found). The app's URL is
    // needed only to recognise launch items and desktop entries that start it, the team only for the containers
    // its developer shares. An empty identifier or team matches nothing by itself.
    std::vector<Leftover> find(const std::string& bundleID, const std::string& name, const std::optional<Url>& appPath,
                               const std::optional<std::string>& teamID) const;

    // Whether the property list at plist is a launch item whose program lies inside app.
    static bool launchItem(const Url& plist, const Url& app);

    bool operator==(const LeftoverFinder&) const = default;
};

} // namespace dovrane

template <> struct std::hash<dovrane::Leftover> {
    std::size_t operator()(const dovrane::Leftover& item) const noexcept {
        std::size_t h = std::hash<dovrane::Url>{}(item.url);
        h = h * 31 + std::hash<std::int64_t>{}(item.size);
        h = h * 31 + (item.exact ? 1 : 0);
        h = h * 31 + (item.needsAdmin ? 1 : 0);
        return h * 31 + std::hash<std::string>{}(item.reason);
    }
};
