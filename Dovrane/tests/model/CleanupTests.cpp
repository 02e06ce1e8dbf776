// Cleanups: the plan, real moves into the freedesktop Trash with their journal record, notice,
// pruned scan and cache, counted failures, and the administrator route through a fake pkexec.

#include "AppModel/AppModel.h"
#include "AppModel/ScanCache.h"
#include "support/Await.h"
#include "support/FakePkexec.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/FileSystem.h>
#include <DovraneKit/FreedesktopTrash.h>

#include <QTest>

#include <thread>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

CleanupItem item(const std::string& path, std::int64_t size, CleanupAction action = CleanupAction::trash) {
    return CleanupItem(Url::fromPath(path), std::nullopt, size, 1, std::nullopt, "why", "test", Safety::safe, action);
}

std::vector<std::string> paths(const std::vector<TrashPlan::Entry>& entries) {
    std::vector<std::string> result;
    for (const TrashPlan::Entry& entry : entries)
        result.push_back(entry.url.path());
    return result;
}

// A scan whose caches and downloads hold the given items.
ScanResult scanHolding(const std::vector<CleanupItem>& caches, const std::vector<CleanupItem>& installers) {
    ScanResult scan = makeScan(Date::fromUnix(1714550400), 500'000'000'000, 200'000'000'000);
    for (Category& category : scan.categories) {
        if (category.id == CategoryID::caches)
            category = Category(CategoryID::caches, std::nullopt, caches);
        if (category.id == CategoryID::installers)
            category = Category(CategoryID::installers, std::nullopt, installers);
    }
    scan.computeOther();
    return scan;
}

const Category& categoryOf(const ScanResult& scan, CategoryID id) { return *scan.category(id); }

} // namespace

class CleanupTests : public QObject {
    Q_OBJECT

private slots:
    void requestKeepsTrashItemsAndPlansThem() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ChangeLog log(model);
        const std::string folder = fixture / "Downloads/folder";

        model.requestCleanup({item(folder, 1, CleanupAction::showOnly), item(folder, 1, CleanupAction::emptyTrash),
                              item(folder, 1, CleanupAction::deleteSnapshot)},
                             "nothing");
        QCOMPARE(log.count(AppModel::Field::sheet), 0);

        const std::vector<CleanupItem> items = {item(folder, 10), item(folder + "/inner", 2), item(folder, 10),
                                                item(fixture / ".ssh/id_ed25519", 3),
                                                item(folder, 1, CleanupAction::showOnly)};
        model.requestCleanup(items, "Title");
        const CleanupRequest* request = model.sheet()->cleanupRequest();
        QVERIFY(request);
        QCOMPARE(request->title, QStringLiteral("Title"));
        QCOMPARE(request->items.size(), size_t(4));
        QCOMPARE(paths(request->plan.entries), std::vector<std::string>{folder});
        QCOMPARE(request->plan.refused, std::vector<Url>{Url::fromPath(fixture / ".ssh/id_ed25519")});

        // Demo data plan without the guard: every entry as given.
        model.setIsDemo(true);
        model.requestCleanup(items, "Demo");
        request = model.sheet()->cleanupRequest();
        QCOMPARE(paths(request->plan.entries),
                 (std::vector<std::string>{folder, folder + "/inner", folder, fixture / ".ssh/id_ed25519"}));
        QVERIFY(request->plan.refused.empty());
    }

    void performMovesRecordsAndPrunes() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string cache = fixture / "Library/Caches/com.gone.app";
        const std::string installer = fixture / "Downloads/setup.dmg";
        const std::string kept = fixture / "Library/Caches/org.kept";
        writeFile(cache + "/data", "cached");
        writeFile(installer, "image");
        const CleanupItem cacheItem = item(cache, 1000), installerItem = item(installer, 2000),
                          keptItem = item(kept, 500);
        model.setScan(scanHolding({cacheItem, keptItem}, {installerItem}));
        model.setOrphans({Orphan(Url::fromPath(cache), "com.gone.app", 1000, "gone"),
                          Orphan(Url::fromPath(kept), "org.kept", 500, "kept")});

        model.requestCleanup({cacheItem, installerItem}, "Spring cleaning");
        await(model.perform(*model.sheet()->cleanupRequest()));
        QVERIFY(!model.sheet());

        const std::string trashFiles = FreedesktopTrash::homeTrashFiles(fixture.home());
        QVERIFY(!Fs::exists(cache));
        QVERIFY(!Fs::exists(installer));
        QCOMPARE(Fs::readFile(trashFiles + "/com.gone.app/data").value_or(""), std::string("cached"));
        QVERIFY(Fs::exists(trashFiles + "/setup.dmg"));

        auto removals = fixture.container().removals();
        QCOMPARE(removals->size(), size_t(1));
        const Removal& removal = *removals->front();
        QCOMPARE(removal.title(), QStringLiteral("Spring cleaning"));
        QCOMPARE(removal.items().size(), size_t(2));
        QCOMPARE(removal.items()[0].trashPath.path(), trashFiles + "/com.gone.app");
        QCOMPARE(removal.size(), std::int64_t(3000));
        QCOMPARE(*model.notice(),
                 QStringLiteral("3 KB moved to the Trash. The space frees up when you empty the Trash."));

        // The scan lost what moved; sizes and the remainder follow.
        const ScanResult& scan = *model.scan();
        QCOMPARE(categoryOf(scan, CategoryID::caches).items, std::vector<CleanupItem>{keptItem});
        QCOMPARE(categoryOf(scan, CategoryID::caches).size, std::int64_t(500));
        QCOMPARE(categoryOf(scan, CategoryID::installers).size, std::int64_t(0));
        ScanResult recomputed = scan;
        recomputed.computeOther();
        QCOMPARE(scan, recomputed);
        QCOMPARE(categoryOf(scan, CategoryID::other).size,
                 categoryOf(scanHolding({keptItem}, {}), CategoryID::other).size);
        QCOMPARE(model.orphans().size(), size_t(1));
        QCOMPARE(model.orphans()[0].bundleID, std::string("org.kept"));
        QCOMPARE(ScanCache::load(), model.scan());
    }

    void failuresAreCountedAfterTheNotice() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string present = fixture / "Downloads/a.zip";
        const std::string vanishing = fixture / "Downloads/b.zip";
        writeFile(present, "a");
        writeFile(vanishing, "b");

        // Moved items and failures: the count follows the moved sentence.
        model.requestCleanup({item(present, 1000), item(vanishing, 1000)}, "Both");
        CleanupRequest request = *model.sheet()->cleanupRequest();
        Fs::removeAll(vanishing); // gone between the sheet and the confirmation
        await(model.perform(request));
        QCOMPARE(*model.notice(), QStringLiteral("1 KB moved to the Trash. The space frees up when you empty the "
                                                 "Trash. 1 items could not be moved."));

        // Nothing moved: no record, the count joins whatever notice stands.
        model.setNotice(QStringLiteral("Earlier."));
        await(model.perform(request));
        QCOMPARE(*model.notice(), QStringLiteral("Earlier. 2 items could not be moved."));
        QCOMPARE(*fixture.container().removalCount(), 1);
        model.setNotice(std::nullopt);
        await(model.perform(request));
        QCOMPARE(*model.notice(), QStringLiteral("2 items could not be moved."));
    }

    void demoPerformTouchesNothing() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        model.setIsDemo(true);
        const std::string file = fixture / "Downloads/demo.zip";
        writeFile(file, "d");
        model.setScan(scanHolding({}, {item(file, 4096)}));
        model.requestCleanup({item(file, 4096), item(file, 4096)}, "Demo");
        await(model.perform(*model.sheet()->cleanupRequest()));

        QVERIFY(Fs::exists(file));
        auto removals = fixture.container().removals();
        QCOMPARE(removals->size(), size_t(1));
        QCOMPARE(removals->front()->items().size(), size_t(2));
        QCOMPARE(removals->front()->items()[0].trashPath.path(), std::string("/Users/demo/.Trash/demo.zip"));
        QCOMPARE(categoryOf(*model.scan(), CategoryID::installers).size, std::int64_t(0));
        QVERIFY(!Fs::exists(ScanCache::url().path()));
    }

    void administratorRouteOfTheModelsTrasher() {
        ModelFixture fixture;
        TempDir tools;
        FakePkexec pkexec(tools.path());
        Services services = pkexec.applied(fixture.services());
        AppModel& model = fixture.makeModel(services);
        // A name with a quote and a backslash must survive the root shell.
        const std::string file = fixture / "Shared/it's a \\ file";
        writeFile(file, "x");
        const Trasher trasher = model.trasher();
        const TrashPlan plan = trasher.plan({{Url::fromPath(file), 1, 1, true}});
        auto execute = [&] {
            Trasher::Outcome outcome;
            std::thread worker([&] { outcome = trasher.execute(plan); });
            worker.join();
            return outcome;
        };

        pkexec.setRefusing(true);
        Trasher::Outcome refused = execute();
        QVERIFY(refused.removed.empty());
        QCOMPARE(refused.failed.size(), size_t(1));
        QVERIFY(Fs::exists(file));

        pkexec.setRefusing(false);
        Trasher::Outcome moved = execute();
        QCOMPARE(moved.removed.size(), size_t(1));
        QVERIFY(moved.removed[0].needsAdmin);
        QVERIFY(!Fs::exists(file));
        QCOMPARE(Fs::readFile(moved.removed[0].trashPath.path()).value_or(""), std::string("x"));
        QCOMPARE(pkexec.calls().size(), size_t(2));
        QCOMPARE(pkexec.calls()[1][0], std::string("/bin/sh"));

        // Without pkexec the move fails at once.
        writeFile(file, "y");
        services.systemPaths.pkexec = tools / "missing";
        AppModel& withoutPkexec = fixture.makeModel(services);
        const Trasher lacking = withoutPkexec.trasher();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Administrator rights need pkexec"));
        Trasher::Outcome failed;
        std::thread worker([&] { failed = lacking.execute(lacking.plan({{Url::fromPath(file), 1, 1, true}})); });
        worker.join();
        QCOMPARE(failed.failed.size(), size_t(1));
        QVERIFY(Fs::exists(file));
        QCOMPARE(pkexec.calls().size(), size_t(2));
    }
};

DOVRANE_MODEL_SUITE(CleanupTests)
#include "CleanupTests.moc"
