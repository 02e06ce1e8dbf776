// Removing an app with the leftovers the user ticks, and handing leftovers of apps that are gone
// to the cleanup road. Uninstall sheets show one at a time, in the order they were asked for.

#include "AppModel/AppModel.h"
#include "SeedData/SeedData.h"

#include "AppModel/Handoff.h"
#include "AppModel/RemovalState.h"

#include <DovraneKit/apps/AppImages.h>
#include <DovraneKit/apps/AppInventory.h>
#include <DovraneKit/apps/Leftovers.h>
#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/system/FolderDescent.h>

namespace dovrane {

namespace {
const Url demoTrashPath = Url::fromPath("/Users/demo/.Trash/x");
constexpr double quitWaitSeconds = 1;

std::set<std::string> exactPaths(const std::vector<Leftover>& leftovers) {
    std::set<std::string> paths;
    for (const Leftover& leftover : leftovers)
        if (leftover.exact)
            paths.insert(leftover.url.path());
    return paths;
}
} // namespace

QFuture<void> AppModel::requestUninstall(const Url& url) {
    if (url.pathExtension() != "app" && !AppImages::hasAppImageName(url.lastPathComponent()))
        return QtFuture::makeReadyFuture();
    const AppInventory inventory(services_.home, services_.applicationFolders, services_.caskrooms);
    auto app = inventory.read(url, {});
    if (!app)
        return QtFuture::makeReadyFuture();
    setSidebar(SidebarItem::apps);
    return requestUninstall(*app);
}

QFuture<void> AppModel::requestUninstall(const InstalledApp& app) {
    if (app.isSystem)
        return QtFuture::makeReadyFuture();
    const std::string path = app.path.path();
    const UninstallRequest* showing = sheet_ ? sheet_->uninstallRequest() : nullptr;
    const bool asked = std::any_of(removals_->uninstallQueue.begin(), removals_->uninstallQueue.end(),
                                   [&](const RemovalState::QueuedUninstall& queued) { return queued.path == path; });
    if (asked || (showing && showing->app.path == app.path))
        return QtFuture::makeReadyFuture();
    connect(this, &AppModel::changed, this, &AppModel::sheetChangedForUninstalls, Qt::UniqueConnection);

    bool isRunning = false;
    for (const RunningApplication& running : services_.workspace->runningApplications())
        if (running.bundleID && *running.bundleID == app.bundleID)
            isRunning = true;

    const std::uint64_t ticket = ++removals_->uninstallTickets;
    removals_->uninstallQueue.push_back({ticket, path, std::nullopt});
    if (isDemo_) {
        std::vector<Leftover> leftovers = SeedData::leftovers(app);
        std::set<std::string> checked = exactPaths(leftovers);
        uninstallSearched(ticket, UninstallRequest{app, std::move(leftovers), std::move(checked), false});
        return QtFuture::makeReadyFuture();
    }

    // The inventory does not measure: an app dropped on the window comes without its size.
    InstalledApp sized = app;
    if (sized.size == 0)
        for (const InstalledApp& listed : apps_)
            if (listed.path == app.path)
                sized.size = listed.size;

    auto done = startedPromise();
    handOff(
        pool_, lifeline_,
        [sized, isRunning, finder = LeftoverFinder(services_.home, services_.systemLibrary),
         measure = services_.measure]() mutable {
            std::vector<Leftover> leftovers = finder.find(sized.bundleID, sized.name, sized.path, sized.teamID);
            if (sized.size == 0)
                sized.size = measure(sized.path, {}).size;
            std::set<std::string> checked = exactPaths(leftovers);
            std::map<std::string, FolderDescent::Identity> identities;
            const auto note = [&identities](const Url& url) {
                if (auto identity = FolderDescent::identify(url.path()))
                    identities.emplace(url.path(), *identity);
            };
            note(sized.path);
            for (const Leftover& leftover : leftovers)
                note(leftover.url);
            return UninstallRequest{std::move(sized), std::move(leftovers), std::move(checked), isRunning,
                                    std::move(identities)};
        },
        [this, ticket, done](UninstallRequest request) {
            uninstallSearched(ticket, std::move(request));
            done->finish();
        });
    return done->future();
}

void AppModel::uninstallSearched(std::uint64_t ticket, UninstallRequest request) {
    for (RemovalState::QueuedUninstall& queued : removals_->uninstallQueue)
        if (queued.ticket == ticket)
            queued.request = std::move(request);
    showNextUninstall();
}

void AppModel::sheetChangedForUninstalls(Field field) {
    if (field == Field::sheet && !sheet_)
        showNextUninstall();
}

void AppModel::showNextUninstall() {
    // Requests show in the order they were made: a search that ends early waits for the
    // earlier ones, and every request waits while another uninstall sheet shows.
    while (!removals_->uninstallQueue.empty() && removals_->uninstallQueue.front().request) {
        if (sheet_ && sheet_->uninstallRequest())
            return;
        UninstallRequest request = std::move(*removals_->uninstallQueue.front().request);
        removals_->uninstallQueue.pop_front();
        if (!isDemo_ && !Fs::exists(request.app.path.path()))
            continue; // removed while it waited
        setSheet(ActiveSheet::uninstall(std::move(request)));
        return;
    }
}

QFuture<void> AppModel::performUninstall(UninstallRequest request) {
    setSheet(std::nullopt);
    const InstalledApp& app = request.app;
    const auto identity = [&request](const Url& url) -> std::optional<FolderDescent::Identity> {
        const auto found = request.identities.find(url.path());
        return found == request.identities.end() ? std::nullopt : std::optional(found->second);
    };
    std::vector<Trasher::Candidate> entries = {{app.path, app.size, 1, false, identity(app.path)}};
    for (const Leftover& leftover : request.leftovers)
        if (request.checked.contains(leftover.url.path()))
            entries.push_back({leftover.url, leftover.size, 1, leftover.needsAdmin, identity(leftover.url)});
    const int leftoverCount = int(entries.size()) - 1;
    const QString name = QString::fromStdString(app.name);
    const Wording title = Wording::appWithLeftovers(name, leftoverCount);

    auto done = startedPromise();
    QFuture<void> future = done->future();
    if (isDemo_) {
        Trasher::Outcome outcome;
        for (const Trasher::Candidate& entry : entries)
            outcome.removed.push_back({entry.url, demoTrashPath, entry.size, false});
        uninstalled({std::move(outcome), false, services_.clock->now(), {}}, title, app.path, done);
        return future;
    }

    auto move = [this, entries, title, bundle = app.path, done] {
        handOff(
            pool_, lifeline_,
            [trasher = trasher(), entries, title, store = journalPath(), start = services_.clock->now()] {
                const TrashPlan plan = trasher.plan(entries);
                RemovalJournal::Moved moved = RemovalJournal::move(trasher, plan, store, start, title);
                // A protected bundle or leftover did not move either: the notice counts it.
                for (const Url& refused : plan.refused)
                    moved.outcome.failed.push_back(TrashFailure::blocked(refused));
                return moved;
            },
            [this, title, bundle, done](RemovalJournal::Moved moved) { uninstalled(moved, title, bundle, done); });
    };
    if (!request.isRunning) {
        move();
        return future;
    }
    for (const RunningApplication& running : services_.workspace->runningApplications())
        if (running.bundleID && *running.bundleID == app.bundleID) {
            services_.workspace->terminate(running);
            break;
        }
    // The move goes ahead whether or not the app has quit.
    services_.clock->delay(quitWaitSeconds).then(this, move);
    return future;
}

void AppModel::uninstalled(const RemovalJournal::Moved& journaled, const Wording& title, const Url& bundle,
                           const std::shared_ptr<QPromise<void>>& done) {
    const Trasher::Outcome& outcome = journaled.outcome;
    record(journaled, title);
    const bool moved = std::any_of(outcome.removed.begin(), outcome.removed.end(),
                                   [&](const RemovedItem& item) { return item.originalPath.path() == bundle.path(); });
    if (moved)
        removeApp(bundle);
    done->finish();
}

void AppModel::trashOrphans(const std::vector<Orphan>& orphans) {
    std::vector<CleanupItem> items;
    for (const Orphan& orphan : orphans)
        items.emplace_back(orphan.url, orphan.bundleID, orphan.size, 1, std::nullopt, orphan.reason, "orphans",
                           Safety::review, CleanupAction::trash);
    requestCleanup(items, Wording::orphans());
}

} // namespace dovrane
