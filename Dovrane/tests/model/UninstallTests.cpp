// App removal: what is no removable app, the sheet with leftovers, size and running state, the
// move with its title, the administrator route, refused entries, the queue of sheets, demo mode.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "support/Await.h"
#include "support/Bundles.h"
#include "support/FakePkexec.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/apps/AppInventory.h>
#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/system/FolderDescent.h>
#include <DovraneKit/system/Shell.h>
#include <DovraneKit/system/ToolPaths.h>
#include <DovraneKit/trash/FreedesktopTrash.h>

#include <QCoreApplication>
#include <QTest>

#include <cstdio>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

InstalledApp readApp(const std::string& bundle) {
    return *AppInventory(Url::fromPath("/nonexistent"), std::vector<Url>{}, {}).read(Url::fromPath(bundle), {});
}

// Services whose measurer gives every bundle the same size.
Services measuring(Services services, std::int64_t size) {
    services.measure = [size](const Url&, std::stop_token) { return Measurement{size, 1, std::nullopt}; };
    return services;
}

UninstallRequest shown(const AppModel& model) {
    const UninstallRequest* request = model.sheet() ? model.sheet()->uninstallRequest() : nullptr;
    return request ? *request : UninstallRequest();
}

} // namespace

class UninstallTests : public QObject {
    Q_OBJECT

private slots:
    void ignoresWhatIsNoRemovableApp() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ChangeLog log(model);
        for (std::string name : {"Loud.APP", "Folder", "Nameless.app"})
            await(model.requestUninstall(Url::fromPath(makeAppBundle(
                fixture / ("Applications/" + name), name == "Nameless.app" ? "" : "com.example.x", "X"))));
        InstalledApp system = readApp(makeAppBundle(fixture / "System/Core.app", "com.example.core", "Core"));
        system.isSystem = true;
        await(model.requestUninstall(system));
        QVERIFY(log.fields.empty());
    }

    void removesTheAppWithItsTickedLeftovers() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel(measuring(fixture.services(), 12345));
        const std::string bundle = makeAppBundle(fixture / "Applications/Tool.app", "com.example.tool", "Tool");
        const std::string cache = fixture / "Library/Caches/com.example.tool";
        const std::string support = fixture / "Library/Application Support/Tool";
        writeFile(cache + "/cache.db", "c");
        writeFile(support + "/settings", "s");
        const RunningApplication running{4242, 1, Url::fromPath(bundle), std::string("com.example.tool")};
        fixture.workspace->running = {running};

        await(model.requestUninstall(Url::fromPath(bundle)));
        QCOMPARE(model.sidebar(), std::optional<SidebarItem>(SidebarItem::apps));
        const UninstallRequest request = shown(model);
        QVERIFY(request.isRunning);
        QCOMPARE(request.app.size, std::int64_t(12345)); // measured: the inventory leaves it 0
        QCOMPARE(request.leftovers.size(), size_t(2));
        QCOMPARE(request.checked, std::set<std::string>{cache}); // the name match starts unticked

        ModelSeeding(model).setApps({request.app});
        await(model.performUninstall(request));
        QCOMPARE(fixture.workspace->terminated, std::vector<RunningApplication>{running});
        QCOMPARE(fixture.clock->delays, std::vector<double>{1.0});
        QVERIFY(!Fs::exists(bundle) && !Fs::exists(cache) && Fs::exists(support));
        const std::string trashFiles = FreedesktopTrash::homeTrashFiles(fixture.home());
        QVERIFY(Fs::exists(trashFiles + "/Tool.app/Contents/Info.plist"));
        QVERIFY(model.apps().empty());
        auto removal = fixture.container().removals()->back();
        QCOMPARE(removal->title(), QStringLiteral("Tool and 1 leftovers"));
        QCOMPARE(removal->items().front().size, std::int64_t(12345));

        // Listed with a size: that one is used. Nothing ticked: the bare name.
        const std::string other = makeAppBundle(fixture / "Applications/Other.app", "com.example.other", "Other");
        InstalledApp listed = readApp(other);
        listed.size = 777;
        ModelSeeding(model).setApps({listed});
        await(model.requestUninstall(readApp(other)));
        QCOMPARE(shown(model).app.size, std::int64_t(777));
        await(model.performUninstall(shown(model)));
        QCOMPARE(fixture.container().removals()->back()->title(), QStringLiteral("Other"));
    }

    // An app put back from the Trash is listed again, without a restart.
    void putBackListsTheAppAgain() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string bundle = makeAppBundle(fixture / "Applications/Tool.app", "com.example.tool", "Tool");
        await(model.loadApps(false));
        QCOMPARE(model.apps().size(), size_t(1));
        await(model.requestUninstall(Url::fromPath(bundle)));
        await(model.performUninstall(shown(model)));
        QVERIFY(model.apps().empty());

        await(model.undo(fixture.container().removals()->back()));
        QVERIFY(Fs::exists(bundle));
        QVERIFY(model.isLoadingApps());
        // The leftover search waits for the scan the put back started.
        fixture.scan.waitForCall(0);
        fixture.scan.finish(0, makeScan(fixture.clock->now(), 1000, 500));
        while (model.isLoadingApps())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCOMPARE(model.apps().size(), size_t(1));
        QCOMPARE(model.apps()[0].path.path(), bundle);
    }

    void anAppImageGoesWithItsMenuEntryAndData() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel(measuring(fixture.services(), 4000));
        const std::string appImage = fixture / "Applications/Tool-1.0-x86_64.AppImage";
        writeFile(appImage, std::string("\x7F"
                                        "ELF\x02\x01\x01\x00"
                                        "AI\x02",
                                        11) +
                                "damaged, so named after its file");
        const std::string entry = fixture / ".local/share/applications/appimagekit_tool.desktop";
        writeFile(entry, "[Desktop Entry]\nName=Tool\nExec=" + appImage + " %U\n");
        const std::string config = fixture / ".config/Tool";
        writeFile(config + "/settings.ini", "s");

        await(model.requestUninstall(Url::fromPath(appImage)));
        const UninstallRequest request = shown(model);
        QCOMPARE(request.app.name, std::string("Tool"));
        QCOMPARE(request.leftovers.size(), size_t(2));
        QCOMPARE(request.checked, std::set<std::string>{entry}); // the name match starts unticked

        await(model.performUninstall(request));
        QVERIFY(!Fs::exists(appImage) && !Fs::exists(entry) && Fs::exists(config));
        const std::string trashFiles = FreedesktopTrash::homeTrashFiles(fixture.home());
        QVERIFY(Fs::exists(trashFiles + "/Tool-1.0-x86_64.AppImage"));
    }

    void systemLeftoverMovesAsAdministrator() {
        ModelFixture fixture;
        TempDir tools;
        FakePkexec pkexec(tools.path());
        Services services = pkexec.applied(measuring(fixture.services(), 1000));
        services.systemLibrary = Url::fromPath(fixture / "System Library");
        AppModel& model = fixture.makeModel(services);
        const std::string bundle = fixture / "Applications/Tool.app";
        const std::string daemon = fixture / "System Library/LaunchDaemons/com.example.tool.plist";
        writeFile(daemon, "<plist/>");
        await(model.requestUninstall(Url::fromPath(makeAppBundle(bundle, "com.example.tool", "Tool"))));
        const UninstallRequest request = shown(model);
        QVERIFY(request.leftovers.at(0).needsAdmin);

        pkexec.setRefusing(true); // dismissed: the bundle moves, the daemon stays and is counted
        await(model.performUninstall(request));
        QVERIFY(Fs::exists(daemon));
        QVERIFY(model.notice()->endsWith(QStringLiteral(" 1 items could not be moved. The administrator password "
                                                        "was not given, or the move with it failed.")));

        pkexec.setRefusing(false);
        makeAppBundle(bundle, "com.example.tool", "Tool");
        await(model.performUninstall(request));
        QVERIFY(!Fs::exists(daemon));
        const RemovedItem moved = fixture.container().removals()->back()->items().back();
        QVERIFY(moved.needsAdmin);
        QCOMPARE(Fs::readFile(moved.trashPath.path()).value_or(""), std::string("<plist/>"));
    }

    // While the password dialog shows, the folder above the leftover becomes a link to another
    // user's folder holding a file of the same name: the administrator's move leaves both alone,
    // and its command line names the mover and the leftover it was asked to move.
    void systemLeftoverBehindAFolderSwappedForALinkStays() {
        ModelFixture fixture;
        TempDir tools, elsewhere;
        FakePkexec pkexec(tools.path());
        Services services = pkexec.applied(measuring(fixture.services(), 1000));
        services.systemLibrary = Url::fromPath(fixture / "System Library");
        AppModel& model = fixture.makeModel(services);
        const std::string bundle = fixture / "Applications/Tool.app";
        const std::string daemons = fixture / "System Library/LaunchDaemons";
        writeFile(daemons + "/com.example.tool.plist", "<plist/>");
        writeFile(elsewhere / "com.example.tool.plist", "another user's");
        const auto before = snapshotTree(elsewhere.path());
        await(model.requestUninstall(Url::fromPath(makeAppBundle(bundle, "com.example.tool", "Tool"))));
        const UninstallRequest request = shown(model);
        QVERIFY(request.leftovers.at(0).needsAdmin);
        const FolderDescent::Identity daemon = request.identities.at(daemons + "/com.example.tool.plist");

        pkexec.setBeforeNextRun("mv '" + daemons + "' '" + daemons + ".real' && ln -s '" + elsewhere.path() + "' '" +
                                daemons + "'");
        await(model.performUninstall(request));
        QCOMPARE(snapshotTree(elsewhere.path()), before);
        QCOMPARE(Fs::readFile(daemons + ".real/com.example.tool.plist").value_or(""), std::string("<plist/>"));
        QVERIFY(model.notice()->endsWith(QStringLiteral(" 1 items could not be moved. A folder above this item is a "
                                                        "link, and Dovrane moves nothing through a link.")));
        const std::vector<RemovedItem> moved = fixture.container().removals()->back()->items();
        QCOMPARE(moved.size(), size_t(1));
        QCOMPARE(moved[0].originalPath.path(), bundle);

        const std::string trashFiles = FreedesktopTrash::homeTrashFiles(fixture.home());
        QCOMPARE(pkexec.calls(),
                 (std::vector<std::vector<std::string>>{
                     {"/bin/sh", "-c",
                      Shell::quote(ToolPaths::current().mover) + " " + Shell::quote(fixture.home()) + " " +
                          Shell::quote(daemons + "/com.example.tool.plist") + " " + Shell::quote(trashFiles) + " " +
                          Shell::quote(trashFiles + "/com.example.tool.plist") + " " + daemon.item.text() + " " +
                          daemon.folder.text()}}));
        QVERIFY(Fs::list(Path::join(Path::parent(trashFiles), "info")).size() == 1); // the bundle's alone
    }

    // A leftover's folder swapped for another real folder after the sheet showed: the app moves,
    // the item now at the leftover's path stays and is not journalled, and the notice says why.
    void aLeftoverReplacedAfterTheSheetShowedStays() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel(measuring(fixture.services(), 1000));
        const std::string bundle = makeAppBundle(fixture / "Applications/Tool.app", "com.example.tool", "Tool");
        const std::string caches = fixture / "Library/Caches";
        writeFile(caches + "/com.example.tool/cache.db", "shown");
        await(model.requestUninstall(Url::fromPath(bundle)));
        const UninstallRequest request = shown(model);
        QCOMPARE(request.checked, std::set<std::string>{caches + "/com.example.tool"});
        QCOMPARE(request.identities.size(), size_t(2));

        QVERIFY(std::rename(caches.c_str(), (caches + ".shown").c_str()) == 0);
        writeFile(caches + "/com.example.tool/cache.db", "another");
        await(model.performUninstall(request));
        QVERIFY(!Fs::exists(bundle));
        QCOMPARE(Fs::readFile(caches + "/com.example.tool/cache.db").value_or(""), std::string("another"));
        QCOMPARE(Fs::readFile(caches + ".shown/com.example.tool/cache.db").value_or(""), std::string("shown"));
        const std::vector<RemovedItem> moved = fixture.container().removals()->back()->items();
        QCOMPARE(moved.size(), size_t(1));
        QCOMPARE(moved[0].originalPath.path(), bundle);
        QVERIFY(model.notice()->endsWith(QStringLiteral(" 1 items could not be moved. This item was replaced by "
                                                        "another one after it was shown, so nothing was moved.")));
    }

    void refusedBundleIsCountedAndStays() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel(measuring(fixture.services(), 1000));
        // Inside ~/.ssh the guard refuses the bundle; its ticked leftover still moves.
        const std::string bundle = makeAppBundle(fixture / ".ssh/Keys.app", "com.example.keys", "Keys");
        writeFile(fixture / "Library/Caches/com.example.keys/c", "c");
        await(model.requestUninstall(Url::fromPath(bundle)));
        ModelSeeding(model).setApps({shown(model).app});
        await(model.performUninstall(shown(model)));
        QVERIFY(Fs::exists(bundle));
        QCOMPARE(model.apps().size(), size_t(1));
        QVERIFY(model.notice()->endsWith(
            QStringLiteral(" 1 items could not be moved. Dovrane does not move protected files and folders.")));
        QCOMPARE(fixture.container().removals()->front()->items().size(), size_t(1));
    }

    void sheetsTakeTurnsInRequestOrder() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel(measuring(fixture.services(), 1));
        std::vector<InstalledApp> apps;
        for (std::string name : {"Alpha", "Beta", "Gamma", "Delta"})
            apps.push_back(
                readApp(makeAppBundle(fixture / ("Applications/" + name + ".app"), "com.example." + name, name)));

        // Dropped at once: each shows, one after the other; the second Alpha counts once.
        std::vector<QFuture<void>> requests;
        for (int index : {0, 1, 0, 2, 3})
            requests.push_back(model.requestUninstall(apps[index]));
        for (const QFuture<void>& request : requests)
            await(request);
        QCOMPARE(shown(model).app.name, std::string("Alpha"));
        model.setSheet(std::nullopt);
        QCOMPARE(shown(model).app.name, std::string("Beta"));
        await(model.requestUninstall(apps[1])); // the one on show
        Fs::removeAll(apps[2].path.path());     // Gamma leaves the disk while it waits: skipped
        await(model.performUninstall(shown(model)));
        QCOMPARE(shown(model).app.name, std::string("Delta"));
        model.setSheet(std::nullopt);
        QVERIFY(!model.sheet());
    }

    void demoShowsAtOnceAndMovesNothing() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ModelSeeding(model).setIsDemo(true);
        const InstalledApp app = readApp(makeAppBundle(fixture / "Applications/Demo.app", "com.example.demo", "Demo"));
        fixture.workspace->running = {{1, 1, app.path, app.bundleID}};
        QVERIFY(model.requestUninstall(app).isFinished());
        QVERIFY(!shown(model).isRunning);
        ModelSeeding(model).setApps({app});
        await(model.performUninstall(shown(model)));
        QVERIFY(Fs::exists(app.path.path()));
        QVERIFY(fixture.workspace->terminated.empty());
        QVERIFY(model.apps().empty());
        QCOMPARE(fixture.container().removals()->front()->items().front().trashPath.path(),
                 std::string("/Users/demo/.Trash/x"));
    }
};

DOVRANE_MODEL_SUITE(UninstallTests)
#include "UninstallTests.moc"
