#pragma once
// The one application model. Every window reads its fields and every action goes through it.
// It lives on the main thread: long work runs on its thread pool with copies of what it needs
// and hands results back to the main thread, where a result of a run that is no longer current
// is dropped. Each field announces a change through changed(Field) only when its value really
// changes; `sheet` announces every assignment. An operation that finishes later returns a
// QFuture that finishes after its last step on the main thread.

#include "AppModel/CacheWriter.h"
#include "AppModel/Lifeline.h"
#include "AppModel/WindowRecords.h"
#include "Services/ModelContainer.h"
#include "Services/RemovalJournal.h"
#include "Services/Services.h"

#include <DovraneKit/apps/Orphans.h>
#include <DovraneKit/scan/Growth.h>
#include <DovraneKit/scan/ScanModel.h>
#include <DovraneKit/scan/ScanSettings.h>
#include <DovraneKit/system/SizeCounter.h>
#include <DovraneKit/system/VolumeInfo.h>
#include <DovraneKit/trash/Trasher.h>
#include <DovraneKit/updates/UpdateInstaller.h>
#include <DovraneKit/updates/UpdateRecords.h>

#include <QFuture>
#include <QObject>
#include <QPromise>
#include <QString>
#include <QThreadPool>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dovrane {

struct AppInventory;
struct ListingEdits;
class Notice;
struct PutBackTally;
struct RemovalState;
struct ScanRunState;
struct UpdateRunState;

class AppModel final : public QObject {
    Q_OBJECT

public:
    enum class Field {
        sidebar,
        sheet,
        settingsTab,
        scan,
        isScanning,
        scanProgress,
        scanLabel,
        apps,
        orphans,
        appsLoaded,
        isLoadingApps,
        updates,
        updatesCheckedAt,
        isCheckingUpdates,
        updateProgress,
        installing,
        installProblems,
        volume,
        dayGrowth,
        weekGrowth,
        backgroundStarted,
        hasFullDiskAccess,
        needsRestart,
        notice,
        isDemo
    };
    Q_ENUM(Field)

    // Restores the Settings tab, starts reading the cached scan and settling the journal on the
    // pool (see scanRestored, journalSettled), reads the startup volume and the access rights;
    // starts no other work. The container must
    // outlive the model.
    AppModel(ModelContainer& container, Services services, QObject* parent = nullptr);
    // Stops the running work; nothing touches the model afterwards.
    ~AppModel() override;

    ModelContainer& container() const { return container_; }
    const Services& services() const { return services_; }

    const std::optional<SidebarItem>& sidebar() const { return sidebar_; }
    void setSidebar(std::optional<SidebarItem> value) { assign(sidebar_, std::move(value), Field::sidebar); }
    const std::optional<ActiveSheet>& sheet() const { return sheet_; }
    void setSheet(std::optional<ActiveSheet> value);
    SettingsTab settingsTab() const { return settingsTab_; }
    // Also stores the tab under "settings.tab", every time, unless a test store is in use.
    void setSettingsTab(SettingsTab value);

    // Valid until the scan changes: a new scan replaces the value, never changes it in place.
    const std::optional<ScanResult>& scan() const { return *scan_; }
    bool isScanning() const { return isScanning_; }
    double scanProgress() const { return scanProgress_; }
    const QString& scanLabel() const { return scanLabel_; }

    const std::vector<InstalledApp>& apps() const { return apps_; }
    const std::vector<Orphan>& orphans() const { return orphans_; }
    bool appsLoaded() const { return appsLoaded_; }
    bool isLoadingApps() const { return isLoadingApps_; }

    // Keyed by the path of the app bundle.
    const std::map<std::string, UpdateCheck>& updates() const { return updates_; }
    const std::optional<Date>& updatesCheckedAt() const { return updatesCheckedAt_; }
    bool isCheckingUpdates() const { return isCheckingUpdates_; }
    double updateProgress() const { return updateProgress_; }
    const std::set<std::string>& installing() const { return installing_; }
    const std::map<std::string, QString>& installProblems() const { return installProblems_; }

    const std::optional<VolumeInfo>& volume() const { return volume_; }
    void setVolume(std::optional<VolumeInfo> value) { assign(volume_, std::move(value), Field::volume); }
    const std::optional<Growth>& dayGrowth() const { return dayGrowth_; }
    const std::optional<Growth>& weekGrowth() const { return weekGrowth_; }
    bool backgroundStarted() const { return backgroundStarted_; }
    bool hasFullDiskAccess() const { return hasFullDiskAccess_; }
    bool needsRestart() const { return needsRestart_; }
    const std::optional<QString>& notice() const { return notice_; }
    // The notice tells of something that did not happen, so it wears a warning, not a check mark.
    bool noticeWarns() const { return noticeWarns_; }
    // Out of line: inlined where a caller passes nullopt, GCC 12 warns, wrongly, that the absent
    // notice's text may be read unset (-Wmaybe-uninitialized).
    void setNotice(std::optional<QString> value, bool warns = false);
    // The model's own notices are made as a Notice, whose sentences decide its mark.
    void setNotice(const Notice& notice);
    bool isDemo() const { return isDemo_; }

    // The scan settings, read afresh from the user settings.
    ScanSettings settings() const;
    // The last scan's items rated safe whose action is a move to the Trash, developer
    // categories included; empty without a scan.
    std::vector<CleanupItem> safeItems() const;
    std::int64_t safeTotal() const;
    // Whether the lists of categories show this one. A Linux home leaves out the categories only a
    // Mac's folders feed while they hold nothing; demo data and a home laid out like a Mac's show
    // all of them.
    bool showsCategory(CategoryID id) const;
    // A home without a Mac's Library folder, demo data aside: texts speak of its Linux folders.
    bool isLinuxHome() const { return !isDemo_ && !macStyleHome_; }

    // What a scan reads besides the disk's categories: a scan the user starts (and one after a
    // put back) lists the apps again too, since apps come and go while the window is open.
    enum class Apps { keep, reload };
    // Starts a whole-disk scan unless one runs or demo data are shown. The future finishes
    // once the run has ended on the main thread and its cache write is done; a reload of the
    // apps runs beside it and is not waited for.
    QFuture<void> startScan(Apps apps = Apps::keep);
    // Ends the running scan: it stops measuring, and its result and late progress are dropped.
    void cancelScan();
    // Finishes on the main thread once the cached scan, read off the main thread after the model
    // was made, is in scan() or was found missing, unreadable or too large; a new future on every
    // call. Until then scan() is empty; a scan set meanwhile (one that ended, demo data) is newer
    // and is kept.
    QFuture<void> scanRestored() const;
    // Finishes on the main thread once the journal's records that a killed process left under
    // way are settled against the Trash (RemovalJournal::settle), which the model starts when it
    // is made.
    QFuture<void> journalSettled() const;

    // Today's daily record from a scan, then the growth figures.
    void recordDaily(const ScanResult& scan);
    void refreshGrowth();

    // Puts a summary of versions and counts on the clipboard; it names no file or app.
    void copyDiagnostics();

    // Updates of other apps. Per-app state is keyed by the path of the app bundle.
    struct AvailableUpdate {
        InstalledApp app;
        UpdateInfo info;
    };
    // The User-Agent of update checks: "Dovrane/" and the short version, else "1.0".
    static std::string userAgent();
    // The apps of `apps` whose last check found an update, in the Finder's order of names.
    std::vector<AvailableUpdate> availableUpdates() const;
    // Checks every installed app, listing them first when the app list is not loaded, unless a
    // check runs or demo data are shown. Finishes once the results are stored and cached.
    QFuture<void> checkUpdates();
    // Updates one app whose check found an update, unless its install runs already. The record
    // is taken as a copy: the change this announces may rebuild the view that held it.
    QFuture<void> install(InstalledApp app);
    // Opens the store's updates page once for every store app, then updates the others in turn.
    QFuture<void> installAll();

    // Starts the background loop once per model; never with demo data.
    void startBackgroundWork();
    // Removals. Every move to the Trash goes through trasher() and ends in record(); the
    // futures finish after the operation's last step on the main thread.

    // The trasher for the user's home: the deletion guard, the freedesktop home trash, and
    // administrator moves through Admin::runAndWait, which block the worker thread that
    // executes (never the main thread) until the password dialog is answered. A new value on
    // every call; run execute() and putBack() off the main thread.
    Trasher trasher() const;
    // What a plan checks its items' ratings against: the ages of the settings, the model's clock.
    GroundCheck groundCheck() const;
    // Shows the cleanup sheet for the items whose action is a move to the Trash; none, nothing.
    // The plan is made on the pool (the guard looks at every path) while the window answers; the
    // future finishes once the sheet shows, or once the plan is dropped: a later request, or a
    // change of the scan while it was made, takes its place. Demo data plan at once. An item
    // whose rating no longer holds (GroundCheck) is left out of the plan, named in `changed`.
    QFuture<void> requestCleanup(std::vector<CleanupItem> items, const QString& title);
    QFuture<void> requestCleanup(std::vector<CleanupItem> items, const Wording& title);
    // Closes the sheet, moves the plan's entries, records them and takes them out of the scan.
    QFuture<void> perform(const CleanupRequest& request);
    // A dropped ".app" bundle: read, then as below. Anything else is ignored.
    QFuture<void> requestUninstall(const Url& url);
    // Searches the app's leftovers off the main thread, then shows the uninstall sheet; while
    // another uninstall sheet shows, the request waits its turn. A system app is ignored.
    QFuture<void> requestUninstall(const InstalledApp& app);
    // Asks a running app to quit, then moves the bundle and the ticked leftovers.
    QFuture<void> performUninstall(UninstallRequest request);
    // Asks for a cleanup of the orphans, titled "Leftovers without an app".
    void trashOrphans(const std::vector<Orphan>& orphans);
    // Lists the installed apps, then their sizes, then the orphans; once per process unless
    // forced, never two at a time, never in demo mode.
    QFuture<void> loadApps(bool force);
    // The apps as the Apps page lists them: the inventory's, then the Flatpak apps, by name.
    // Blocking.
    static std::vector<InstalledApp> listInstalledApps(const AppInventory& inventory,
                                                       const std::function<std::vector<InstalledApp>()>& listFlatpaks);
    // Replaces the entry of apps with the same path (an update put a new version there); a
    // listing that runs meanwhile keeps the new entry.
    void replaceApp(const InstalledApp& app);
    // The journal for the Cleaned Up page, read on the pool a page at a time, newest first
    // (ModelContainer::readJournal); the future holds nothing when the store cannot be read.
    QFuture<std::optional<JournalPage>> journalPage(int offset, int limit);
    // The entries with their items in the Trash counted, on the pool; in demo mode the Trash is
    // not looked at and the entries come back as they were.
    QFuture<std::vector<JournalEntry>> countInTrash(std::vector<JournalEntry> entries);
    // Puts the record's items back from the Trash. Ignored while the record's put back runs.
    // Holds the record itself, since the row that asked may be rebuilt meanwhile.
    QFuture<void> undo(std::shared_ptr<Removal> removal);
    // The three removals that skip the Trash; each reports the measured gain and rescans.
    QFuture<void> emptyTrash();
    QFuture<void> deleteSnapshots(const std::vector<CleanupItem>& items);
    QFuture<void> deleteUnavailableSimulators();
    // Reads the access rights again; newly granted access asks for a restart.
    void refreshPermissions();

signals:
    void changed(AppModel::Field field);

private:
    friend class ModelSeeding;

    template <class T> void assign(T& slot, T value, Field field) {
        if (slot == value)
            return;
        slot = std::move(value);
        emit changed(field);
    }

    // The fields that only the model's own work sets; seeding and tests reach them through
    // ModelSeeding.
    // By reference: a disengaged optional moved into a by-value parameter draws a false
    // -Wmaybe-uninitialized from GCC 12.
    void setScan(std::optional<ScanResult>&& value);
    void setIsScanning(bool value) { assign(isScanning_, value, Field::isScanning); }
    void setScanProgress(double value) { assign(scanProgress_, value, Field::scanProgress); }
    void setScanLabel(QString value) { assign(scanLabel_, std::move(value), Field::scanLabel); }
    void setApps(std::vector<InstalledApp> value) { assign(apps_, std::move(value), Field::apps); }
    void setOrphans(std::vector<Orphan> value) { assign(orphans_, std::move(value), Field::orphans); }
    void setAppsLoaded(bool value) { assign(appsLoaded_, value, Field::appsLoaded); }
    void setIsLoadingApps(bool value) { assign(isLoadingApps_, value, Field::isLoadingApps); }
    void setUpdates(std::map<std::string, UpdateCheck> value) { assign(updates_, std::move(value), Field::updates); }
    void setUpdatesCheckedAt(std::optional<Date> value) { assign(updatesCheckedAt_, value, Field::updatesCheckedAt); }
    void setIsCheckingUpdates(bool value) { assign(isCheckingUpdates_, value, Field::isCheckingUpdates); }
    void setUpdateProgress(double value) { assign(updateProgress_, value, Field::updateProgress); }
    void setInstalling(std::set<std::string> value) { assign(installing_, std::move(value), Field::installing); }
    void setInstallProblems(std::map<std::string, QString> value) {
        assign(installProblems_, std::move(value), Field::installProblems);
    }
    void setDayGrowth(std::optional<Growth> value) { assign(dayGrowth_, value, Field::dayGrowth); }
    void setWeekGrowth(std::optional<Growth> value) { assign(weekGrowth_, value, Field::weekGrowth); }
    void setBackgroundStarted(bool value) { assign(backgroundStarted_, value, Field::backgroundStarted); }
    void setHasFullDiskAccess(bool value) { assign(hasFullDiskAccess_, value, Field::hasFullDiskAccess); }
    void setNeedsRestart(bool value) { assign(needsRestart_, value, Field::needsRestart); }
    void setIsDemo(bool value) { assign(isDemo_, value, Field::isDemo); }

    void scanProgressed(std::uint64_t run, CategoryID category, int finished, int total);
    void scanEnded(std::uint64_t run, ScanResult result, const std::shared_ptr<QPromise<void>>& done);
    QString pendingLabel() const;
    void restoreScan();
    void scanRestoredWith(std::optional<ScanResult> cached);
    bool cachedScanRead() const;

    // Update checks and installs (UpdatesModel).
    void runUpdateCheck(std::vector<InstalledApp> apps, const std::shared_ptr<QPromise<void>>& done);
    void updateCheckEnded(std::map<std::string, UpdateCheck> results, const std::shared_ptr<QPromise<void>>& done);
    QFuture<void> installInTurn(std::shared_ptr<const std::vector<InstalledApp>> apps, std::size_t next);
    QFuture<void> upgradeWithHomebrew(const InstalledApp& app, const UpdateInfo& update);
    QFuture<void> replaceWithUpdate(const InstalledApp& app, const UpdateInfo& update);
    QFuture<void> installerEnded(const InstalledApp& app, const UpdateInstaller::Result& result,
                                 const RemovalJournal::Moved& journaled, const Wording& title, bool wasRunning);
    // false: the app was not running; true: it quit; absent: it was still running at the end.
    QFuture<std::optional<bool>> quit(const InstalledApp& app);
    QFuture<std::optional<bool>> lookForQuit(std::shared_ptr<const std::vector<RunningApplication>> running, int look);
    // The app read again after its update; finishes once the cache is written.
    QFuture<bool> refresh(const InstalledApp& app);
    void setUpdate(const std::string& path, UpdateCheck check);
    void setInstallProblem(const std::string& path, std::optional<QString> problem);
    void installEnded(const std::string& path);

    // The background loop (Background).
    void backgroundLoop();
    QFuture<void> backgroundPass();
    QFuture<void> notifyUpdates();
    QFuture<void> sendWeeklyReport();
    QFuture<bool> postNotification(const QString& identifier, const QString& title, const QString& body);
    // The last time is at least `every` seconds ago (a setting's "never" is the distant past).
    bool due(Date last, double every) const;
    // Seconds from date to now; a date after now counts as long ago.
    double secondsSince(Date date) const;
    // Journals a move to the Trash, reports it in the notice and drops moved orphans. A record
    // that the move's own journal did not save (demo data, a store that refused it) is inserted
    // and saved here.
    void record(const RemovalJournal::Moved& moved, const Wording& title);
    void cleanedUp(const RemovalJournal::Moved& moved, const Wording& title,
                   const std::shared_ptr<QPromise<void>>& done);
    // The store a move journals into as it goes; empty when it takes no writes.
    std::string journalPath() const;
    // Settles on the pool what a killed process left under way in the journal.
    void settleJournal();
    // Takes what moved out of the scan on the pool, then writes the cache; done finishes after.
    void pruneScan(std::shared_ptr<const std::vector<RemovedItem>> removed,
                   const std::shared_ptr<QPromise<void>>& done);
    // Writes the scan on show to the cache, encoded on the writer's thread.
    QFuture<bool> writeScanCache();
    void uninstallSearched(std::uint64_t ticket, UninstallRequest request);
    void sheetChangedForUninstalls(Field field);
    void showNextUninstall();
    void uninstalled(const RemovalJournal::Moved& moved, const Wording& title, const Url& bundle,
                     const std::shared_ptr<QPromise<void>>& done);
    void appsListed(std::vector<InstalledApp> listed, const std::shared_ptr<QPromise<void>>& done);
    void searchOrphansAfterScan();
    std::vector<InstalledApp> withListingEdits(std::vector<InstalledApp> apps) const;
    void removeApp(const Url& bundle);
    void putBackEnded(const std::shared_ptr<Removal>& removal, const PutBackTally& tally);
    std::int64_t availableSpace() const;

    ModelContainer& container_;
    Services services_;

    std::optional<SidebarItem> sidebar_;
    std::optional<ActiveSheet> sheet_;
    SettingsTab settingsTab_ = SettingsTab::general;
    // Replaced whole at every change, never changed in place: work on the pool reads the scan of
    // its start through its own pointer while the main thread goes on.
    std::shared_ptr<const std::optional<ScanResult>> scan_;
    bool isScanning_ = false;
    double scanProgress_ = 0;
    QString scanLabel_;
    std::vector<InstalledApp> apps_;
    std::vector<Orphan> orphans_;
    bool appsLoaded_ = false;
    bool isLoadingApps_ = false;
    std::map<std::string, UpdateCheck> updates_;
    std::optional<Date> updatesCheckedAt_;
    bool isCheckingUpdates_ = false;
    double updateProgress_ = 0;
    std::set<std::string> installing_;
    std::map<std::string, QString> installProblems_;
    std::optional<VolumeInfo> volume_;
    std::optional<Growth> dayGrowth_;
    std::optional<Growth> weekGrowth_;
    bool backgroundStarted_ = false;
    bool hasFullDiskAccess_ = false;
    bool needsRestart_ = false;
    std::optional<QString> notice_;
    bool noticeWarns_ = false;
    bool isDemo_ = false;
    bool macStyleHome_ = false;

    // The run state of the long work, each defined in its own header beside the files that
    // use it, so that a change to it rebuilds only those.
    std::unique_ptr<ScanRunState> scanRun_;
    std::unique_ptr<RemovalState> removals_;
    std::unique_ptr<ListingEdits> listingEdits_;
    QFuture<void> journalSettled_;

    Lifeline lifeline_{this};
    QThreadPool pool_;
    CacheWriter cacheWriter_;
    std::unique_ptr<UpdateRunState> updateRun_;
};

} // namespace dovrane
