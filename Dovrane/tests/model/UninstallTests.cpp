// App removal: what is no app, the sheet with its leftovers, size and running state, the move
// with its title, refused entries, the queue of sheets, and orphans handed to the cleanup.

#include "AppModel/AppModel.h"
#include "support/Await.h"
#include "support/Bundles.h"
#include "support/FakePkexec.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/AppInventory.h>
#include <DovraneKit/FileSystem.h>
#include <DovraneKit/FreedesktopTrash.h>

#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

InstalledApp readApp(const std::string& bundle) {
    return *AppInventory(Url::fromPath("/nonexistent"), std::vector<Url>{}, {}).read(Url::fromPath(bundle), {});
}

// Services whose measurer gives every bundle the same size.
Services measuringServices(ModelFixture& fixture, std::int64_t size) {
    Services services = fixture.services();
    services.measure = [size](const Url&, std::stop_token) { return Measurement{size, 1, std::nullopt}; };
    return services;
}

const UninstallRequest& shownRequest(const AppModel& model) {
    static const UninstallRequest none;
    return model.sheet() && model.sheet()->uninstallRequest() ? *model.sheet()->uninstallRequest() : none;
}

} // namespace

class UninstallTests : public QObject {
    Q_OBJECT

private slots:
    void ignoresWhatIsNoRemovableApp() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ChangeLog log(model);
        makeAppBundle(fixture / "Applications/Loud.APP", "com.example.loud", "Loud");
        makeAppBundle(fixture / "Applications/Folder", "com.example.folder", "Folder");
        makeAppBundle(fixture / "Applications/Nameless.app", "", "Nameless");
        for (const char* name : {"Loud.APP", "Folder", "Nameless.app"})
            await(model.requestUninstall(Url::fromPath(fixture / ("Applications/" + std::string(name)))));
        InstalledApp system = readApp(makeAppBundle(fixture / "System/Core.app", "com.example.core", "Core"));
        system.isSystem = true;
        await(model.requestUninstall(system));
        QVERIFY(log.fields.empty());
    }

    void sheetShowsLeftoversSizeAndRunningState() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel(measuringServices(fixture, 12345));
        const std::string bundle = makeAppBundle(fixture / "Applications/Tool.app", "com.example.tool", "Tool");
        writeFile(fixture / "Library/Caches/com.example.tool/cache.db", "c");
        writeFile(fixture / "Library/Application Support/Tool/settings", "s");
        fixture.workspace->running = {{4242, 1, Url::fromPath(bundle), std::string("com.example.tool")}};

        await(model.requestUninstall(Url::fromPath(bundle)));
        QCOMPARE(model.sidebar(), std::optional<SidebarItem>(SidebarItem::apps));
        const UninstallRequest request = shownRequest(model);
        QCOMPARE(request.app.bundleID, std::string("com.example.tool"));
        QVERIFY(request.isRunning);
        QCOMPARE(request.app.size, std::int64_t(12345)); // measured, as the inventory leaves it 0
        QCOMPARE(request.leftovers.size(), size_t(2));
        QCOMPARE(request.checked, std::set<std::string>{fixture / "Library/Caches/com.example.tool"});

        // The listed size is used when the app list has it.
        model.setSheet(std::nullopt);
        InstalledApp listed = request.app;
        listed.size = 777;
        model.setApps({listed});
        InstalledApp unmeasured = listed;
        unmeasured.size = 0;
        await(model.requestUninstall(unmeasured));
        QCOMPARE(shownRequest(model).app.size, std::int64_t(777));
    }

    void performMovesBundleAndTickedLeftovers() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel(measuringServices(fixture, 5000));
        const std::string bundle = makeAppBundle(fixture / "Applications/Tool.app", "com.example.tool", "Tool");
        const std::string cache = fixture / "Library/Caches/com.example.tool";
        const std::string support = fixture / "Library/Application Support/Tool";
        writeFile(cache + "/cache.db", "c");
        writeFile(support + "/settings", "s");
        const RunningApplication running{4242, 1, Url::fromPath(bundle), std::string("com.example.tool")};
        fixture.workspace->running = {running};
        await(model.requestUninstall(Url::fromPath(bundle)));
        UninstallRequest request = shownRequest(model);
        model.setApps({request.app});

        await(model.performUninstall(request));
        QVERIFY(!model.sheet());
        QCOMPARE(fixture.workspace->terminated, std::vector<RunningApplication>{running});
        QCOMPARE(fixture.clock->delays, std::vector<double>{1.0});
        QVERIFY(!Fs::exists(bundle));
        QVERIFY(!Fs::exists(cache));
        QVERIFY(Fs::exists(support)); // not ticked
        const std::string trashFiles = FreedesktopTrash::homeTrashFiles(fixture.home());
        QVERIFY(Fs::exists(trashFiles + "/Tool.app/Contents/Info.plist"));
        QVERIFY(model.apps().empty());
        auto removals = fixture.container().removals();
        QCOMPARE(removals->size(), size_t(1));
        QCOMPARE(removals->front()->title(), QStringLiteral("Tool and 1 leftovers"));
        QCOMPARE(removals->front()->items().front().size, std::int64_t(5000));

        // Nothing ticked: the bare name.
        const std::string other = makeAppBundle(fixture / "Applications/Other.app", "com.example.other", "Other");
        await(model.requestUninstall(Url::fromPath(other)));
        await(model.performUninstall(shownRequest(model)));
        QCOMPARE(fixture.container().removals()->back()->title(), QStringLiteral("Other"));
    }

    void systemLeftoverMovesAsAdministrator() {
        ModelFixture fixture;
        TempDir tools;
        FakePkexec pkexec(tools.path());
        Services services = pkexec.applied(measuringServices(fixture, 1000));
        services.systemLibrary = Url::fromPath(fixture / "System Library");
        AppModel& model = fixture.makeModel(services);
        const std::string bundle = makeAppBundle(fixture / "Applications/Tool.app", "com.example.tool", "Tool");
        const std::string daemon = fixture / "System Library/LaunchDaemons/com.example.tool.plist";
        writeFile(daemon, "<plist/>");
        await(model.requestUninstall(Url::fromPath(bundle)));
        const UninstallRequest request = shownRequest(model);
        QCOMPARE(request.checked, std::set<std::string>{daemon});
        QVERIFY(request.leftovers.front().needsAdmin);

        // Dismissed: the bundle moves, the daemon stays and is counted.
        pkexec.setRefusing(true);
        await(model.performUninstall(request));
        QVERIFY(Fs::exists(daemon));
        QVERIFY(model.notice()->endsWith(QStringLiteral(" 1 items could not be moved.")));

        pkexec.setRefusing(false);
        UninstallRequest again = request;
        again.app.path = Url::fromPath(makeAppBundle(fixture / "Applications/Tool.app", "com.example.tool", "Tool"));
        await(model.performUninstall(again));
        QVERIFY(!Fs::exists(daemon));
        const RemovedItem moved = fixture.container().removals()->back()->items().back();
        QVERIFY(moved.needsAdmin);
        QCOMPARE(Fs::readFile(moved.trashPath.path()).value_or(""), std::string("<plist/>"));
        QCOMPARE(pkexec.calls().size(), size_t(2));
    }

    void refusedBundleIsCountedAndStays() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel(measuringServices(fixture, 1000));
        // Inside ~/.ssh the guard refuses the bundle; its ticked leftover still moves.
        const std::string bundle = makeAppBundle(fixture / ".ssh/Keys.app", "com.example.keys", "Keys");
        writeFile(fixture / "Library/Caches/com.example.keys/c", "c");
        await(model.requestUninstall(Url::fromPath(bundle)));
        UninstallRequest request = shownRequest(model);
        model.setApps({request.app});

        await(model.performUninstall(request));
        QVERIFY(Fs::exists(bundle));
        QCOMPARE(model.apps().size(), size_t(1));
        QVERIFY(model.notice()->endsWith(QStringLiteral(" 1 items could not be moved.")));
        auto removals = fixture.container().removals();
        QCOMPARE(removals->front()->title(), QStringLiteral("Keys and 1 leftovers"));
        QCOMPARE(removals->front()->items().size(), size_t(1));
    }

    void sheetsTakeTurnsInRequestOrder() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel(measuringServices(fixture, 1));
        std::vector<InstalledApp> apps;
        for (const char* name : {"Alpha", "Beta", "Gamma", "Delta"})
            apps.push_back(readApp(makeAppBundle(fixture / ("Applications/" + std::string(name) + ".app"),
                                                 "com.example." + std::string(name), name)));
        auto shownName = [&] { return shownRequest(model).app.name; };

        // Dropped at once: each shows, one after the other; the second Alpha counts once.
        QFuture<void> first = model.requestUninstall(apps[0]);
        QFuture<void> second = model.requestUninstall(apps[1]);
        QFuture<void> again = model.requestUninstall(apps[0]);
        QFuture<void> third = model.requestUninstall(apps[2]);
        QFuture<void> fourth = model.requestUninstall(apps[3]);
        for (const QFuture<void>& request : {first, second, again, third, fourth})
            await(request);
        QCOMPARE(shownName(), std::string("Alpha"));

        model.setSheet(std::nullopt);
        QCOMPARE(shownName(), std::string("Beta"));
        await(model.requestUninstall(apps[1])); // the one on show
        // Gamma leaves the disk while it waits: its turn is skipped.
        Fs::removeAll(apps[2].path.path());
        await(model.performUninstall(shownRequest(model)));
        QCOMPARE(shownName(), std::string("Delta"));
        model.setSheet(std::nullopt);
        QVERIFY(!model.sheet());
    }

    void demoShowsAtOnceWithoutRunningState() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        model.setIsDemo(true);
        const InstalledApp app = readApp(makeAppBundle(fixture / "Applications/Demo.app", "com.example.demo", "Demo"));
        fixture.workspace->running = {{1, 1, app.path, app.bundleID}};
        QFuture<void> request = model.requestUninstall(app);
        QVERIFY(request.isFinished());
        QCOMPARE(shownRequest(model).app.name, std::string("Demo"));
        QVERIFY(!shownRequest(model).isRunning);

        model.setApps({app});
        await(model.performUninstall(shownRequest(model)));
        QVERIFY(Fs::exists(app.path.path()));
        QVERIFY(fixture.workspace->terminated.empty());
        QVERIFY(model.apps().empty());
        QCOMPARE(fixture.container().removals()->front()->items().front().trashPath.path(),
                 std::string("/Users/demo/.Trash/x"));
    }

    void orphansGoToTheCleanupSheet() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const Url url = Url::fromPath(fixture / "Library/Caches/com.gone.app");
        model.trashOrphans({Orphan(url, "com.gone.app", 4096, "No app")});
        const CleanupRequest* request = model.sheet()->cleanupRequest();
        QCOMPARE(request->title, QStringLiteral("Leftovers without an app"));
        QCOMPARE(request->items.size(), size_t(1));
        QCOMPARE(request->items[0].safety, Safety::review);
        QCOMPARE(request->items[0].source, std::string("orphans"));
        QCOMPARE(request->items[0].name, std::string("com.gone.app"));
        QCOMPARE(request->plan.entries.size(), size_t(1));
    }
};

DOVRANE_MODEL_SUITE(UninstallTests)
#include "UninstallTests.moc"
