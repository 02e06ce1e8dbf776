// The installed apps with their sizes, and the leftovers of apps that are gone. The listing
// publishes three times (the apps, then their sizes, then the orphans); what the model changed
// meanwhile (an app removed or refreshed, an orphan moved to the Trash) is applied to each
// publication, so a listing never brings back what is already gone.

#include "AppModel/AppModel.h"

#include "AppModel/Handoff.h"
#include "AppModel/ListingEdits.h"
#include "AppModel/ScanRunState.h"
#include "Services/Permissions.h"

#include <DovraneKit/apps/AppInventory.h>
#include <DovraneKit/apps/FlatpakApps.h>
#include <DovraneKit/core/NameOrder.h>
#include <DovraneKit/formats/DesktopEntry.h>
#include <DovraneKit/system/FileSystem.h>

#include <cstdlib>

namespace dovrane {

namespace {
// What the two concurrent steps of one listing have found so far.
struct ListingResults {
    std::optional<std::vector<InstalledApp>> measured;
    std::optional<std::vector<Orphan>> orphans;
    bool measuredPublished = false;
};
} // namespace

std::vector<InstalledApp> AppModel::listInstalledApps(const AppInventory& inventory,
                                                      const std::function<std::vector<InstalledApp>()>& listFlatpaks) {
    std::vector<InstalledApp> apps = inventory.list();
    if (listFlatpaks) {
        for (InstalledApp& app : listFlatpaks())
            apps.push_back(std::move(app));
        std::stable_sort(apps.begin(), apps.end(), [order = NameOrder()](const InstalledApp& a, const InstalledApp& b) {
            return order(a.name, b.name);
        });
    }
    return apps;
}

QFuture<void> AppModel::loadApps(bool force) {
    if ((appsLoaded_ && !force) || isLoadingApps_ || isDemo_)
        return QtFuture::makeReadyFuture();
    setIsLoadingApps(true);
    *listingEdits_ = {};
    auto done = startedPromise();
    handOff(
        pool_, lifeline_,
        [inventory = AppInventory(services_.home, services_.applicationFolders, services_.caskrooms),
         listFlatpaks = services_.listFlatpaks] { return listInstalledApps(inventory, listFlatpaks); },
        [this, done](std::vector<InstalledApp> listed) { appsListed(std::move(listed), done); });
    return done->future();
}

void AppModel::appsListed(std::vector<InstalledApp> listed, const std::shared_ptr<QPromise<void>>& done) {
    setApps(withListingEdits(listed));
    std::set<std::string> identifiers;
    for (const InstalledApp& app : listed)
        identifiers.insert(app.bundleID);

    auto results = std::make_shared<ListingResults>();
    // Sizes first, then orphans, however the two steps finish.
    auto publish = [this, results, done] {
        if (results->measured && !results->measuredPublished) {
            setApps(withListingEdits(*results->measured));
            results->measuredPublished = true;
        }
        if (!results->measuredPublished || !results->orphans)
            return;
        std::vector<Orphan> orphans = std::move(*results->orphans);
        std::erase_if(orphans,
                      [&](const Orphan& orphan) { return listingEdits_->trashedOrphans.contains(orphan.url.path()); });
        setOrphans(std::move(orphans));
        setAppsLoaded(true);
        setIsLoadingApps(false);
        *listingEdits_ = {};
        done->finish();
    };
    handOff(
        pool_, lifeline_,
        [listed, measure = services_.measure]() mutable {
            // A Flatpak app's installed size is known; its folder shares files with others.
            for (InstalledApp& app : listed)
                if (!FlatpakApps::isFlatpak(app))
                    app.size = measure(app.path, {}).size;
            return listed;
        },
        [results, publish](std::vector<InstalledApp> measured) {
            results->measured = std::move(measured);
            publish();
        });
    auto searchOrphans = [this, identifiers, results, publish] {
        // The sizes of this session's scan spare measuring again; worked out on the pool from
        // the scan's own pointer.
        std::shared_ptr<const std::optional<ScanResult>> measuredScan;
        if (scanRun_->endedThisSession)
            measuredScan = scan_;
        handOff(
            pool_, lifeline_,
            [identifiers, home = services_.home, folders = services_.applicationFolders, measuredScan]() mutable {
                std::map<std::string, std::int64_t> measured;
                if (measuredScan && *measuredScan)
                    for (const Category& category : (*measuredScan)->categories)
                        for (const CleanupItem& item : category.items)
                            measured.emplace(item.url.path(), item.size);
                // Built once per search, then only read, from whatever thread the finder asks on.
                std::set<std::string> known = Permissions::installedBundleIDs(home, folders);
                // On Linux an app is installed when the desktop has an entry for its identifier.
                const char* dataDirs = std::getenv("XDG_DATA_DIRS");
                for (const std::string& identifier :
                     DesktopEntry::installedIdentifiers(Fs::dataHome(), dataDirs ? dataDirs : ""))
                    known.insert(Permissions::foldedBundleID(identifier));
                auto installed = std::make_shared<const std::set<std::string>>(std::move(known));
                OrphanFinder finder(home, identifiers, [installed](const std::string& bundleID) {
                    return installed->contains(Permissions::foldedBundleID(bundleID));
                });
                finder.knownSizes = std::move(measured);
                return finder.find();
            },
            [results, publish](std::vector<Orphan> orphans) {
                results->orphans = std::move(orphans);
                publish();
            });
    };
    // A scan walks the same Library folders: measuring them beside it would only slow both.
    if (isScanning_)
        scanRun_->orphanSearch = std::move(searchOrphans);
    else
        searchOrphans();
}

void AppModel::searchOrphansAfterScan() {
    if (auto search = std::exchange(scanRun_->orphanSearch, nullptr))
        search();
}

std::vector<InstalledApp> AppModel::withListingEdits(std::vector<InstalledApp> apps) const {
    std::erase_if(apps, [&](const InstalledApp& app) { return listingEdits_->removedApps.contains(app.path.path()); });
    for (InstalledApp& app : apps) {
        auto refreshed = listingEdits_->refreshedApps.find(app.path.path());
        if (refreshed == listingEdits_->refreshedApps.end())
            continue;
        const std::int64_t measured = app.size;
        app = refreshed->second;
        if (app.size == 0)
            app.size = measured;
    }
    return apps;
}

void AppModel::removeApp(const Url& bundle) {
    std::vector<InstalledApp> remaining = apps_;
    std::erase_if(remaining, [&](const InstalledApp& app) { return app.path == bundle; });
    if (isLoadingApps_)
        listingEdits_->removedApps.insert(bundle.path());
    setApps(std::move(remaining));
}

void AppModel::replaceApp(const InstalledApp& app) {
    std::vector<InstalledApp> updated = apps_;
    for (InstalledApp& entry : updated)
        if (entry.path == app.path)
            entry = app;
    if (isLoadingApps_)
        listingEdits_->refreshedApps[app.path.path()] = app;
    setApps(std::move(updated));
}

} // namespace dovrane
