// The app list: publication order, ignored calls, demo mode, and changes the model makes while
// a listing runs (a blocking measurer makes the interleaving certain).

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "support/Await.h"
#include "support/Bundles.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/system/FileSystem.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// A measurer that counts its calls and, when told to, holds each call until released.
class HeldMeasurer {
public:
    explicit HeldMeasurer(bool hold) : held_(hold) {}

    // The services measuring with this measurer.
    Services applied(Services services) {
        services.measure = [this](const Url& url, std::stop_token) {
            std::unique_lock lock(mutex_);
            ++calls_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return !held_; });
            return Measurement{std::int64_t(url.path().size()) * 1000, 1, std::nullopt};
        };
        return services;
    }
    void waitForCall() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return calls_ > 0; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }
    int calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool held_;
    int calls_ = 0;
};

// Runs the main thread's events until the listing has published its unmeasured apps.
void waitUntilListed(const AppModel& model) {
    while (model.apps().empty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

std::vector<std::string> namesOf(const std::vector<InstalledApp>& apps) {
    std::vector<std::string> names;
    for (const InstalledApp& app : apps)
        names.push_back(app.name);
    return names;
}

} // namespace

class AppListTests : public QObject {
    Q_OBJECT

private slots:
    void publishesAppsThenSizesThenOrphans() {
        ModelFixture fixture;
        HeldMeasurer measurer(false);
        AppModel& model = fixture.makeModel(measurer.applied(fixture.services()));
        makeAppBundle(fixture / "Applications/Beta.app", "com.example.Beta", "Beta");
        makeAppBundle(fixture / "Applications/Alpha.app", "com.example.alpha", "Alpha");
        writeFile(fixture / "Library/Caches/com.gone.app/data", "gone");
        writeFile(fixture / "Library/Caches/com.example.beta/data", "kept"); // letter case differs

        std::vector<std::int64_t> firstSizes;
        QObject::connect(&model, &AppModel::changed, &model, [&](AppModel::Field field) {
            if (field == AppModel::Field::apps && firstSizes.empty())
                for (const InstalledApp& app : model.apps())
                    firstSizes.push_back(app.size);
        });
        ChangeLog log(model);
        await(model.loadApps(false));

        using F = AppModel::Field;
        QCOMPARE(log.fields,
                 (std::vector<F>{F::isLoadingApps, F::apps, F::apps, F::orphans, F::appsLoaded, F::isLoadingApps}));
        QCOMPARE(firstSizes, (std::vector<std::int64_t>{0, 0}));
        QCOMPARE(namesOf(model.apps()), (std::vector<std::string>{"Alpha", "Beta"}));
        for (const InstalledApp& app : model.apps())
            QCOMPARE(app.size, std::int64_t(app.path.path().size()) * 1000);
        QCOMPARE(model.orphans().size(), size_t(1));
        QCOMPARE(model.orphans()[0].bundleID, std::string("com.gone.app"));
    }

    void linuxAppsJoinTheListAndTheirDataIsNoOrphan() {
        ModelFixture fixture;
        const TempDir dataDirs;
        ScopedEnv systemData("XDG_DATA_DIRS", dataDirs.path());
        HeldMeasurer measurer(false);
        Services services = measurer.applied(fixture.services());
        const std::string flatpakFolder = fixture / ".local/share/flatpak/app/org.example.Flat/x86_64/stable/abc";
        services.listFlatpaks = [flatpakFolder] {
            InstalledApp app;
            app.bundleID = "org.example.Flat";
            app.name = "Flat";
            app.version = "3.1";
            app.path = Url::fromPath(flatpakFolder);
            app.size = 1'250'000'000;
            app.isSystem = true;
            return std::vector<InstalledApp>{app};
        };
        AppModel& model = fixture.makeModel(services);
        makeAppBundle(fixture / "Applications/Zeta.app", "com.example.zeta", "Zeta");
        // Marked as an AppImage, with a payload nothing can read.
        writeFile(fixture / "Applications/Image-1.0.AppImage", std::string("\x7F"
                                                                           "ELF\x02\x01\x01\x00"
                                                                           "AI\x02",
                                                                           11) +
                                                                   "not really one");
        writeFile(fixture / "Applications/Named-1.0.AppImage", "only the name of one");
        writeFile(fixture / ".var/app/org.example.Flat/config/x", "kept");
        writeFile(fixture / ".var/app/org.gone.Flat/config/x", "gone");
        writeFile(fixture / ".local/share/org.desk.Known/x", "kept");
        writeFile(fixture / ".local/share/applications/org.desk.Known.desktop", "[Desktop Entry]\n");
        writeFile(fixture / ".config/net.system.Tool/x", "kept");
        writeFile(dataDirs / "applications/net.system.Tool.desktop", "[Desktop Entry]\n");
        writeFile(fixture / ".cache/io.gone.Tool/x", "gone");

        await(model.loadApps(false));
        QCOMPARE(namesOf(model.apps()), (std::vector<std::string>{"Flat", "Image", "Zeta"}));
        QCOMPARE(model.apps()[0].size, std::int64_t(1'250'000'000));
        QVERIFY(model.apps()[0].isSystem);
        QCOMPARE(model.apps()[1].size, std::int64_t(model.apps()[1].path.path().size()) * 1000);
        QVERIFY(!model.apps()[1].isSystem);
        QCOMPARE(measurer.calls(), 2); // the Flatpak's installed size stands
        std::set<std::string> orphans;
        for (const Orphan& orphan : model.orphans())
            orphans.insert(orphan.bundleID);
        QCOMPARE(orphans, (std::set<std::string>{"io.gone.Tool", "org.gone.Flat"}));
    }

    void callsThatDoNothing() {
        ModelFixture fixture;
        HeldMeasurer measurer(true);
        const Services services = measurer.applied(fixture.services());
        AppModel& model = fixture.makeModel(services);
        makeAppBundle(fixture / "Applications/Alpha.app", "com.example.alpha", "Alpha");

        QFuture<void> loading = model.loadApps(false);
        QVERIFY(model.loadApps(false).isFinished());
        QVERIFY(model.loadApps(true).isFinished()); // even forced, while a listing runs
        waitUntilListed(model);
        measurer.release();
        await(loading);
        ChangeLog log(model);
        await(model.loadApps(false));
        QVERIFY(log.fields.empty());
        await(model.loadApps(true));
        QCOMPARE(measurer.calls(), 2);

        AppModel& demo = fixture.makeModel(services);
        ModelSeeding(demo).setIsDemo(true);
        await(demo.loadApps(true));
        QVERIFY(demo.apps().empty() && !demo.appsLoaded());
        QCOMPARE(measurer.calls(), 2);
    }

    // The list follows the disk: a scan the user starts lists the apps again; the model's own
    // scans (after emptying the Trash, at launch) leave the list as it is.
    void aScanTheUserStartsListsTheAppsAgain() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        makeAppBundle(fixture / "Applications/Alpha.app", "com.example.alpha", "Alpha");
        await(model.loadApps(false));
        makeAppBundle(fixture / "Applications/Beta.app", "com.example.beta", "Beta");

        ChangeLog log(model);
        QFuture<void> own = model.startScan();
        fixture.scan.waitForCall(0);
        fixture.scan.finish(0, makeScan(fixture.clock->now(), 1000, 500));
        await(own);
        QCOMPARE(log.count(AppModel::Field::isLoadingApps), 0);
        QCOMPARE(namesOf(model.apps()), std::vector<std::string>{"Alpha"});

        QFuture<void> users = model.startScan(AppModel::Apps::reload);
        QVERIFY(model.isLoadingApps());
        // The leftover search waits for the scan's sizes, so the scan ends first.
        fixture.scan.waitForCall(1);
        fixture.scan.finish(1, makeScan(fixture.clock->now(), 1000, 500));
        await(users);
        while (model.isLoadingApps())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCOMPARE(namesOf(model.apps()), (std::vector<std::string>{"Alpha", "Beta"}));
    }

    void changesDuringAListingStay() {
        if (QThread::idealThreadCount() < 2)
            QSKIP("the held measurer takes the only worker thread the model's pool has here");
        ModelFixture fixture;
        HeldMeasurer measurer(true);
        AppModel& model = fixture.makeModel(measurer.applied(fixture.services()));
        makeAppBundle(fixture / "Applications/Alpha.app", "com.example.alpha", "Alpha");
        makeAppBundle(fixture / "Applications/Beta.app", "com.example.beta", "Beta");
        const std::string orphan = fixture / "Library/Caches/com.gone.app";
        writeFile(orphan + "/data", "gone");

        QFuture<void> loading = model.loadApps(true);
        waitUntilListed(model);
        measurer.waitForCall();

        // Meanwhile: Beta is updated, the orphan moves to the Trash, and Alpha goes.
        InstalledApp updated = model.apps()[1];
        updated.version = "2.0";
        model.replaceApp(updated);
        await(model.requestCleanup({CleanupItem(Url::fromPath(orphan), std::nullopt, 4, 1, std::nullopt, "", "orphans",
                                                Safety::review, CleanupAction::trash)},
                                   "Orphan"));
        await(model.perform(*model.sheet()->cleanupRequest()));
        const InstalledApp alpha = model.apps()[0];
        await(model.performUninstall({alpha, {}, {}, false}));
        QVERIFY(!Fs::exists(alpha.path.path()));
        measurer.release();
        await(loading);

        QCOMPARE(namesOf(model.apps()), std::vector<std::string>{"Beta"});
        QCOMPARE(model.apps()[0].version, std::string("2.0"));
        QVERIFY(model.apps()[0].size > 0);
        QVERIFY(model.orphans().empty());
    }

    void leftoversWaitForARunningScanAndTakeItsSizes() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        makeAppBundle(fixture / "Applications/Alpha.app", "com.example.alpha", "Alpha");
        const std::string scanned = fixture / "Library/Caches/com.gone.app";
        const std::string unscanned = fixture / "Library/Logs/com.gone.other";
        writeFile(scanned + "/data", "gone");
        writeFile(unscanned + "/log", "gone too");

        QFuture<void> scanning = model.startScan();
        fixture.scan.waitForCall(0);
        QFuture<void> loading = model.loadApps(true);
        waitUntilListed(model);
        // However long the scan takes, the leftovers are not searched beside it.
        QTest::qWait(100);
        QVERIFY(!loading.isFinished());
        QVERIFY(model.orphans().empty());

        ScanResult result = makeScan(fixture.clock->now(), 500'000'000'000, 200'000'000'000);
        result.categories.push_back(
            Category(CategoryID::caches, std::nullopt,
                     {CleanupItem(Url::fromPath(scanned), std::nullopt, 7'000'000, 1, std::nullopt, "", "caches.app",
                                  Safety::safe, CleanupAction::trash)}));
        fixture.scan.finish(0, result);
        await(scanning);
        await(loading);
        QCOMPARE(model.orphans().size(), size_t(2));
        QCOMPARE(model.orphans()[0].url.path(), scanned);
        QCOMPARE(model.orphans()[0].size, std::int64_t(7'000'000));
        QCOMPARE(model.orphans()[1].url.path(), unscanned);
        QVERIFY(model.orphans()[1].size > 0);
    }
};

DOVRANE_MODEL_SUITE(AppListTests)
#include "AppListTests.moc"
