// The scan run: the library's scanner on the model's thread pool, its progress and result handed
// back to the main thread, where a run that is no longer current is ignored.

#include "AppModel/AppModel.h"

#include "AppModel/Handoff.h"
#include "AppModel/ScanCache.h"
#include "AppModel/ScanRunState.h"
#include "Services/ListFormat.h"

#include <DovraneKit/scan/Explanations.h>
#include <DovraneKit/system/FileSystem.h>

#include <nlohmann/json.hpp>

#include <QtConcurrent/QtConcurrentRun>

#include <utility>

namespace dovrane {

namespace {
constexpr double scanToolTimeout = 30;
}

QFuture<void> AppModel::startScan(Apps apps) {
    if (isScanning_ || isDemo_)
        return QtFuture::makeReadyFuture();
    if (apps == Apps::reload)
        loadApps(true);
    setIsScanning(true);
    setScanProgress(0);
    setScanLabel(tr("Starting…"));

    // The first app of a shared identifier names it.
    auto names = std::make_shared<std::map<std::string, std::string>>();
    for (const InstalledApp& app : apps_)
        names->emplace(app.bundleID, app.name);
    std::set<std::string> running;
    for (const RunningApplication& application : services_.workspace->runningApplications())
        if (application.bundleID)
            running.insert(*application.bundleID);
    DiskScanner scanner(
        services_.home, services_.applicationFolders, settings(), services_.makeRunner(scanToolTimeout),
        [names](const std::string& bundleID) -> std::optional<std::string> {
            auto found = names->find(bundleID);
            return found == names->end() ? std::nullopt : std::optional<std::string>(found->second);
        },
        std::move(running), services_.clock->now());

    scanRun_->pendingCategories.clear();
    for (CategoryID id : allCategoryIDs)
        if (id != CategoryID::other)
            scanRun_->pendingCategories.insert(id);

    const std::uint64_t run = ++scanRun_->runs;
    scanRun_->current = run;
    scanRun_->stop.emplace();
    auto done = std::make_shared<QPromise<void>>();
    done->start();
    QFuture<void> future = done->future();

    pool_.start([this, run, scanner = std::move(scanner), scan = services_.scan, stop = scanRun_->stop->get_token(),
                 lifeline = lifeline_, done] {
        // `this` is only used on the main thread, through the lifeline, while the model lives.
        ScanResult result = scan(
            scanner,
            [this, run, lifeline](CategoryID category, int finished, int total) {
                lifeline.post(
                    [this, run, category, finished, total] { scanProgressed(run, category, finished, total); });
            },
            stop);
        lifeline.post(
            [this, run, result = std::move(result), done]() mutable { scanEnded(run, std::move(result), done); });
    });
    return future;
}

void AppModel::cancelScan() {
    if (scanRun_->current != 0 && scanRun_->stop)
        scanRun_->stop->request_stop();
    scanRun_->current = 0;
    setIsScanning(false);
    setScanLabel(QString());
    searchOrphansAfterScan();
}

void AppModel::scanProgressed(std::uint64_t run, CategoryID category, int finished, int total) {
    if (run != scanRun_->current)
        return;
    setScanProgress(total > 0 ? double(finished) / double(total) : 0.0);
    scanRun_->pendingCategories.erase(category);
    setScanLabel(pendingLabel());
}

QString AppModel::pendingLabel() const {
    QStringList titles;
    for (CategoryID id : allCategoryIDs) {
        if (titles.size() == 2)
            break;
        if (scanRun_->pendingCategories.count(id))
            titles.append(QString::fromStdString(Explanations::title(id)));
    }
    return ListFormat::conjunction(titles);
}

void AppModel::scanEnded(std::uint64_t run, ScanResult result, const std::shared_ptr<QPromise<void>>& done) {
    if (run != scanRun_->current) {
        // Cancelled: a newer run, if any, owns isScanning now.
        done->finish();
        return;
    }
    scanRun_->current = 0;
    scanRun_->endedThisSession = true;
    // The writer keeps a copy of its own; the model takes the result itself, so a large scan
    // is copied once on this thread, not twice.
    QFuture<bool> written = writeScanCache(result);
    setScan(std::move(result));
    recordDaily(*scan_);
    setIsScanning(false);
    searchOrphansAfterScan();
    written.then([done](bool) { done->finish(); });
}

void AppModel::restoreScan() {
    // Without a file there is nothing to wait for, and a first launch's scan can start before
    // the window is built. A look at the name never waits.
    if (!Fs::exists(ScanCache::url().path())) {
        scanRun_->restored = true;
        return;
    }
    handOff(
        pool_, lifeline_, [] { return ScanCache::load(); },
        [this](std::optional<ScanResult> cached) { scanRestoredWith(std::move(cached)); });
}

void AppModel::scanRestoredWith(std::optional<ScanResult> cached) {
    // A scan that ended meanwhile, or the demo's, is newer than the file.
    if (cached && !scan_ && !isDemo_)
        setScan(std::move(cached));
    scanRun_->restored = true;
    for (const auto& waiting : std::exchange(scanRun_->awaitingRestore, {}))
        waiting->finish();
}

bool AppModel::cachedScanRead() const { return scanRun_->restored; }

QFuture<void> AppModel::scanRestored() const {
    if (scanRun_->restored)
        return QtFuture::makeReadyFuture();
    scanRun_->awaitingRestore.push_back(startedPromise());
    return scanRun_->awaitingRestore.back()->future();
}

QFuture<bool> AppModel::writeScanCache(const ScanResult& scan) {
    return cacheWriter_.write(ScanCache::url().path(), [scan]() -> std::optional<std::string> {
        try {
            std::string text = ScanCache::encode(scan);
            // More than the next launch reads back: the old cache stays, as after a failed write.
            if (text.size() > ScanCache::maxBytes)
                return std::nullopt;
            return text;
        } catch (const nlohmann::json::exception&) {
            return std::nullopt; // text the JSON writer refuses; the old cache stays
        }
    });
}

} // namespace dovrane
