// Installing the updates a check found: Homebrew apps through Homebrew, store apps by opening
// their page, every other app through the library's installer, which downloads, verifies and
// replaces the bundle, its old version's move journaled as a cleanup's is. The installer and
// Homebrew block, so they run on the model's pool; every step of the model stays on the main
// thread.

#include "AppModel/AppModel.h"

#include "AppModel/UpdateRunState.h"
#include "AppModel/UpdatesCache.h"
#include "Services/Admin.h"
#include "UpdatesModel/InstallSetup.h"

#include <DovraneKit/apps/AppInventory.h>
#include <DovraneKit/updates/UpdateInstaller.h>

#include <algorithm>

namespace dovrane {

namespace {
constexpr double homebrewTimeout = 600;
constexpr double installerToolTimeout = 300;
constexpr int quitLooks = 20;
constexpr double quitLookSeconds = 0.5;
constexpr const char* storeUpdatesPage = "macappstore://showUpdatesPage";

} // namespace

QFuture<void> AppModel::installAll() {
    const std::vector<AvailableUpdate> snapshot = availableUpdates();
    const bool fromStore = std::any_of(snapshot.begin(), snapshot.end(), [](const AvailableUpdate& pair) {
        return pair.info.source == AppSource::appStore;
    });
    // One page lists every store update, however many there are.
    if (fromStore && !isDemo_)
        if (auto page = Url::parse(storeUpdatesPage))
            services_.workspace->open(*page);
    auto apps = std::make_shared<std::vector<InstalledApp>>();
    for (const AvailableUpdate& pair : snapshot)
        if (pair.info.source != AppSource::appStore)
            apps->push_back(pair.app);
    return installInTurn(std::move(apps), 0);
}

QFuture<void> AppModel::installInTurn(std::shared_ptr<const std::vector<InstalledApp>> apps, std::size_t next) {
    if (next >= apps->size())
        return QtFuture::makeReadyFuture();
    return install((*apps)[next]).then(this, [this, apps, next] { return installInTurn(apps, next + 1); }).unwrap();
}

QFuture<void> AppModel::install(InstalledApp app) {
    const std::string path = app.id();
    auto entry = updates_.find(path);
    std::optional<UpdateInfo> update = entry == updates_.end() ? std::nullopt : entry->second.update();
    if (!update || installing_.count(path))
        return QtFuture::makeReadyFuture();
    if (isDemo_) {
        setUpdate(path, UpdateCheck::upToDate());
        return QtFuture::makeReadyFuture();
    }
    auto installing = installing_;
    installing.insert(path);
    setInstalling(std::move(installing));
    setInstallProblem(path, std::nullopt);

    switch (update->source) {
    case AppSource::homebrew:
        return upgradeWithHomebrew(app, *update);
    case AppSource::appStore:
        // Nothing is installed here: the store updates its own apps.
        if (update->storeURL)
            services_.workspace->open(*update->storeURL);
        installEnded(path);
        return QtFuture::makeReadyFuture();
    default:
        return replaceWithUpdate(app, *update);
    }
}

QFuture<void> AppModel::upgradeWithHomebrew(const InstalledApp& app, const UpdateInfo& update) {
    const std::string path = app.id();
    if (!update.caskToken) {
        setInstallProblem(path, tr("Dovrane does not know this app's Homebrew cask, so it cannot update it."));
        installEnded(path);
        return QtFuture::makeReadyFuture();
    }
    auto done = std::make_shared<QPromise<void>>();
    done->start();
    pool_.start([this, app, token = *update.caskToken, runner = services_.makeRunner(homebrewTimeout),
                 tools = services_.tools, lifeline = lifeline_, done] {
        const bool upgraded = runner && Homebrew::upgrade(token, *runner, tools);
        lifeline.post([this, app, token, upgraded, done] {
            QFuture<bool> written = QtFuture::makeReadyFuture(true);
            if (upgraded)
                written = refresh(app);
            else
                setInstallProblem(app.id(), tr("Homebrew did not finish the update. Run “brew upgrade --cask %1” in "
                                               "Terminal to see why.")
                                                .arg(QString::fromStdString(token)));
            installEnded(app.id());
            written.then([done](bool) { done->finish(); });
        });
    });
    return done->future();
}

QFuture<void> AppModel::replaceWithUpdate(const InstalledApp& app, const UpdateInfo& update) {
    return quit(app)
        .then(this,
              [this, app, update](std::optional<bool> quitted) -> QFuture<void> {
                  if (!quitted) {
                      setInstallProblem(
                          app.id(),
                          tr("%1 is still open. Quit it, then try again.").arg(QString::fromStdString(app.name)));
                      installEnded(app.id());
                      return QtFuture::makeReadyFuture();
                  }
                  const QString prompt =
                      tr("Dovrane wants to put the new version of an app into the Applications folder.");
                  UpdateInstaller installer{UpdateInstaller::urlSessionDownload,
                                            services_.makeRunner(installerToolTimeout),
                                            trasher(),
                                            InstallSetup::workFolder(),
                                            [prompt, paths = services_.systemPaths](const std::string& command) {
                                                return Admin::runAndWait(command, prompt, paths);
                                            },
                                            services_.tools};
                  installer.reached = services_.installReached;
                  const Wording title =
                      Wording::replacedBy(QString::fromStdString(app.name), QString::fromStdString(app.version),
                                          QString::fromStdString(update.newVersion));
                  auto done = std::make_shared<QPromise<void>>();
                  done->start();
                  // The old version's record is under way in the store before it leaves its place.
                  pool_.start([this, installer = std::move(installer), app, update, title, wasRunning = *quitted,
                               store = journalPath(), start = services_.clock->now(), lifeline = lifeline_, done] {
                      std::optional<UpdateInstaller::Result> result;
                      const RemovalJournal::Moved journaled =
                          RemovalJournal::journaled(store, start, title, [&](const Trasher::Journal& hooks) {
                              UpdateInstaller journaling = installer;
                              journaling.journal = hooks;
                              result = journaling.install(update, app);
                              const std::optional<RemovedItem> previous = result->removed();
                              return previous ? std::vector<RemovedItem>{*previous} : std::vector<RemovedItem>{};
                          });
                      if (installer.reached)
                          installer.reached(UpdateInstaller::Step::recorded);
                      lifeline.post([this, app, ended = std::move(*result), journaled, title, wasRunning, done] {
                          installerEnded(app, ended, journaled, title, wasRunning).then([done] { done->finish(); });
                      });
                  });
                  return done->future();
              })
        .unwrap();
}

QFuture<void> AppModel::installerEnded(const InstalledApp& app, const UpdateInstaller::Result& result,
                                       const RemovalJournal::Moved& journaled, const Wording& title, bool wasRunning) {
    QFuture<bool> written = QtFuture::makeReadyFuture(true);
    if (result.isInstalled()) {
        if (journaled.saved) {
            container_.noteWrittenElsewhere();
        } else {
            // The journal could not finish: kept for the next save under the identifier of its
            // record under way, which settling then leaves alone.
            const std::vector<RemovedItem> items{std::get<UpdateInstaller::Installed>(result.value).previous};
            container_.insert(journaled.uuid.isNull()
                                  ? std::make_shared<Removal>(journaled.date, title, items)
                                  : std::make_shared<Removal>(journaled.date, title, items, journaled.uuid));
            container_.save(); // a failed save keeps the record for the next one
        }
        written = refresh(app);
    } else if (auto refusal = result.refusal()) {
        setInstallProblem(app.id(), QString::fromStdString(explanation(*refusal)));
    }
    if (wasRunning)
        services_.workspace->openApplication(app.path);
    installEnded(app.id());
    return written.then([](bool) {});
}

QFuture<std::optional<bool>> AppModel::quit(const InstalledApp& app) {
    auto running = std::make_shared<std::vector<RunningApplication>>();
    for (const RunningApplication& application : services_.workspace->runningApplications())
        if (application.bundleID && *application.bundleID == app.bundleID)
            running->push_back(application);
    if (running->empty())
        return QtFuture::makeReadyFuture(std::optional<bool>(false));
    for (const RunningApplication& application : *running)
        services_.workspace->terminate(application);
    return lookForQuit(std::move(running), 1);
}

QFuture<std::optional<bool>> AppModel::lookForQuit(std::shared_ptr<const std::vector<RunningApplication>> running,
                                                   int look) {
    return services_.clock->delay(quitLookSeconds * services_.delayScale)
        .then(this,
              [this, running, look]() -> QFuture<std::optional<bool>> {
                  const bool allEnded = std::all_of(running->begin(), running->end(), [this](const auto& application) {
                      return services_.workspace->isTerminated(application);
                  });
                  if (allEnded)
                      return QtFuture::makeReadyFuture(std::optional<bool>(true));
                  if (look >= quitLooks)
                      return QtFuture::makeReadyFuture(std::optional<bool>());
                  return lookForQuit(running, look + 1);
              })
        .unwrap();
}

QFuture<bool> AppModel::refresh(const InstalledApp& app) {
    const std::string path = app.id();
    const AppInventory inventory(services_.home, services_.applicationFolders, services_.caskrooms);
    // With the cask map, a Homebrew app keeps its source and token and is checked the same way
    // next time.
    if (std::optional<InstalledApp> fresh = inventory.read(app.path, inventory.caskMap())) {
        auto same =
            std::find_if(apps_.begin(), apps_.end(), [&](const InstalledApp& listed) { return listed.id() == path; });
        if (same != apps_.end()) {
            fresh->size = same->size; // the reading does not measure
            replaceApp(*fresh);
        }
    }
    setUpdate(path, UpdateCheck::upToDate());
    if (isCheckingUpdates_)
        updateRun_->installedDuringCheck.insert(path);
    return UpdatesCache::save(cacheWriter_, updates_, updatesCheckedAt_.value_or(services_.clock->now()));
}

void AppModel::setUpdate(const std::string& path, UpdateCheck check) {
    auto updates = updates_;
    updates.insert_or_assign(path, std::move(check));
    setUpdates(std::move(updates));
}

void AppModel::setInstallProblem(const std::string& path, std::optional<QString> problem) {
    auto problems = installProblems_;
    if (problem)
        problems.insert_or_assign(path, std::move(*problem));
    else
        problems.erase(path);
    setInstallProblems(std::move(problems));
}

void AppModel::installEnded(const std::string& path) {
    auto installing = installing_;
    installing.erase(path);
    setInstalling(std::move(installing));
}

} // namespace dovrane
