#pragma once
// Measures one user's disk category by category: fifteen collectors run at once, each turns
// its folders (and the output of a few tools) into explained, rated items; the scanner drops
// excluded paths, demotes protected items and those no Trash would take to show-only and what
// the user may not simply move to review, removes double counting between the personal folders
// and what was found inside them, and adds the volume figures.

#include "DovraneKit/apps/FlatpakApps.h"
#include "DovraneKit/core/Date.h"
#include "DovraneKit/core/Url.h"
#include "DovraneKit/scan/ScanModel.h"
#include "DovraneKit/scan/ScanSettings.h"
#include "DovraneKit/system/CommandRunner.h"
#include "DovraneKit/system/DeletionGuard.h"
#include "DovraneKit/system/HomeLayout.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

namespace dovrane {

struct DiskScanner {
    // Bundle identifier in, display name out. Called from several threads at once.
    using AppNameLookup = std::function<std::optional<std::string>(const std::string&)>;
    // (category, categories finished so far, categories in all).
    using Progress = std::function<void(CategoryID, int finished, int total)>;

    Url home;
    std::vector<Url> applicationFolders;
    ScanSettings settings;
    std::shared_ptr<const CommandRunner> runner; // must accept concurrent runs
    AppNameLookup appName;
    std::set<std::string> running; // bundle identifiers of the apps running at the start
    Date now;                      // the scan's date; installer ages count back from it
    // The installed Flatpak apps, counted in the apps category with their installed size as
    // the Apps page lists them; none when empty.
    std::function<std::vector<InstalledApp>()> flatpakApps = FlatpakApps::list;
    // Where the home's folders are read (HomeLayout); the process's at construction.
    HomeLayout::Environment environment = HomeLayout::Environment::current();

    // Children of the caches folder (Library/Caches or the cache home) that belong to the
    // package-caches category.
    static const std::set<std::string> packageCacheNames;

    // Absent application folders become "/Applications" and home/Applications.
    DiskScanner(Url home, std::optional<std::vector<Url>> applicationFolders, ScanSettings settings,
                std::shared_ptr<const CommandRunner> runner, AppNameLookup appName = noNames(),
                std::set<std::string> running = {}, Date now = Date::now());

    static AppNameLookup noNames();

    // Every category but "other" at once, one thread each; progress is called on the calling
    // thread, once per finished category in completion order. A stop request makes the
    // measuring and the project walk end early and ends a running tool, so the result comes
    // back soon with partial figures. Categories come back in their fixed order, followed by "other".
    // The home layout is made once, at the start.
    ScanResult scan(const Progress& progress, std::stop_token stop = {}) const;

    // One category, with excluded items dropped, protected trash items and those no Trash would
    // take made show-only and the rest kept within the user's reach (keepWithinReach). The folders are read where
    // `layout` finds them; without one, a layout of the home and `environment` is made for this call.
    Category collect(CategoryID id, std::stop_token stop = {}) const;
    Category collect(CategoryID id, const HomeLayout& layout, std::stop_token stop = {}) const;
    // The same with the deletion guard of `layout` (DeletionGuard(layout)) made by the caller,
    // once for every category it collects.
    Category collect(CategoryID id, const HomeLayout& layout, const DeletionGuard& guard,
                     std::stop_token stop = {}) const;

    // Only what a move to the Trash takes is offered: an item whose Trash would refuse it (on a
    // disk without one this user may use) is shown, with the reason the move would give.
    void refuseWhereNoTrashTakes(std::vector<CleanupItem>& items) const;

    // Only what is the user's and what they may move by their own rights is offered as safe: any
    // other item to move to the Trash is at most review, and its reason says whose it is or that
    // moving it asks for the administrator's password.
    static void keepWithinReach(std::vector<CleanupItem>& items);

    // Reduces each personal folder by the installers and project folders found below it.
    static std::vector<Category> deduplicateDownloads(std::vector<Category> categories);

    // A scan made in an earlier run, perhaps in the other language (the cached one), with every
    // text the scan words itself worded again in the current language: the items' reasons, the
    // categories' notes and the names the scan gives (your folders, the Trash, dates, a device
    // without a name). Names of files, apps and devices and every figure stay as they are.
    static void reword(ScanResult& scan);
};

} // namespace dovrane
