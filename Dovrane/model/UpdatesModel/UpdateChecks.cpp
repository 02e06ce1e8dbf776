// Update checks of the installed apps: the listing and the checker run on the model's pool, the
// results are published and cached on the main thread.

#include "AppModel/AppModel.h"

#include "AppModel/UpdateRunState.h"
#include "AppModel/UpdatesCache.h"
#include "Store/Store.h"
#include "UpdatesModel/UpdateCheckSetup.h"

#include <DovraneKit/apps/AppInventory.h>
#include <DovraneKit/core/NameOrder.h>

#include <algorithm>

namespace dovrane {

std::string AppModel::userAgent() { return UpdateCheckSetup::userAgent(); }

std::vector<AppModel::AvailableUpdate> AppModel::availableUpdates() const {
    std::vector<AvailableUpdate> available;
    for (const InstalledApp& app : apps_) {
        auto found = updates_.find(app.id());
        if (found != updates_.end())
            if (auto info = found->second.update())
                available.push_back({app, std::move(*info)});
    }
    std::stable_sort(available.begin(), available.end(),
                     [order = NameOrder()](const AvailableUpdate& a, const AvailableUpdate& b) {
                         return order(a.app.name, b.app.name);
                     });
    return available;
}

QFuture<void> AppModel::checkUpdates() {
    if (isCheckingUpdates_ || isDemo_)
        return QtFuture::makeReadyFuture();
    setIsCheckingUpdates(true);
    setUpdateProgress(0);
    updateRun_->installedDuringCheck.clear();

    auto done = std::make_shared<QPromise<void>>();
    done->start();
    QFuture<void> future = done->future();
    // While a listing runs the list in hand may be stale: the check lists the apps itself.
    if (appsLoaded_ && !isLoadingApps_) {
        runUpdateCheck(apps_, done);
        return future;
    }
    const AppInventory inventory(services_.home, services_.applicationFolders, services_.caskrooms);
    pool_.start([this, inventory, lifeline = lifeline_, done] {
        std::vector<InstalledApp> listed = inventory.list();
        lifeline.post([this, listed = std::move(listed), done]() mutable {
            if (appsLoaded_ && !isLoadingApps_) {
                runUpdateCheck(apps_, done);
                return;
            }
            // A full listing that runs now will publish measured sizes; this one holds zeros
            // and must not replace them.
            if (!isLoadingApps_)
                setApps(listed);
            runUpdateCheck(std::move(listed), done);
        });
    });
    return future;
}

void AppModel::runUpdateCheck(std::vector<InstalledApp> apps, const std::shared_ptr<QPromise<void>>& done) {
    UpdateChecker checker = UpdateCheckSetup::makeChecker(userAgent(), Store::url().deletingLastPathComponent());
    pool_.start([this, checker = std::move(checker), apps = std::move(apps), lifeline = lifeline_, done] {
        auto results = checker.check(apps, [this, lifeline](std::size_t checked, std::size_t total) {
            lifeline.post([this, checked, total] {
                setUpdateProgress(double(checked) / double(std::max<std::size_t>(total, 1)));
            });
        });
        lifeline.post(
            [this, results = std::move(results), done]() mutable { updateCheckEnded(std::move(results), done); });
    });
}

void AppModel::updateCheckEnded(std::map<std::string, UpdateCheck> results,
                                const std::shared_ptr<QPromise<void>>& done) {
    // The check may have read an app before its update was installed; the install is newer.
    for (const std::string& path : updateRun_->installedDuringCheck)
        if (auto found = results.find(path); found != results.end())
            found->second = UpdateCheck::upToDate();
    updateRun_->installedDuringCheck.clear();

    setUpdates(std::move(results));
    setUpdatesCheckedAt(services_.clock->now());
    setInstallProblems({});
    QFuture<bool> written = UpdatesCache::save(cacheWriter_, updates_, services_.clock->now());
    setIsCheckingUpdates(false);
    written.then([done](bool) { done->finish(); });
}

} // namespace dovrane
