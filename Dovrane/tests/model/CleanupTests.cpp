// Cleanups and Put Back: the plan, real moves into the freedesktop Trash with their journal
// record, notice, pruned scan and cache, counted failures, demo mode, and the way back.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "AppModel/ScanCache.h"
#include "Services/Translations.h"
#include "support/Await.h"
#include "support/FakePkexec.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/scan/DiskScanner.h>
#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/FreedesktopTrash.h>

#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <cstdio>
#include <map>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

CleanupItem item(const std::string& path, std::int64_t size, CleanupAction action = CleanupAction::trash) {
    return CleanupItem(Url::fromPath(path), std::nullopt, size, 1, std::nullopt, "why", "test", Safety::safe, action);
}

// A scan whose caches hold the given items.
ScanResult scanHolding(const std::vector<CleanupItem>& caches) {
    ScanResult scan = makeScan(Date::fromUnix(1714550400), 500'000'000'000, 200'000'000'000);
    for (Category& category : scan.categories)
        if (category.id == CategoryID::caches)
            category = Category(CategoryID::caches, std::nullopt, caches);
    scan.computeOther();
    return scan;
}

// Writes the files, moves them to the Trash through a confirmed cleanup, returns its record.
std::shared_ptr<Removal> cleanUp(ModelFixture& fixture, AppModel& model, const std::vector<std::string>& files) {
    std::vector<CleanupItem> items;
    for (const std::string& file : files) {
        writeFile(file, file);
        items.push_back(item(file, 1000));
    }
    await(model.requestCleanup(items, "Files"));
    await(model.perform(*model.sheet()->cleanupRequest()));
    return fixture.container().removals()->back();
}

} // namespace

class CleanupTests : public QObject {
    Q_OBJECT

private slots:
    void requestKeepsTrashItemsAndPlansThem() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ChangeLog log(model);
        const std::string folder = fixture / "Downloads/folder", key = fixture / ".ssh/id_ed25519";
        model.requestCleanup({item(folder, 1, CleanupAction::showOnly), item(folder, 1, CleanupAction::emptyTrash)},
                             "");
        QCOMPARE(log.count(AppModel::Field::sheet), 0);

        const std::vector<CleanupItem> items = {item(folder, 10), item(folder + "/inner", 2), item(folder, 10),
                                                item(key, 3), item(folder, 1, CleanupAction::showOnly)};
        await(model.requestCleanup(items, "Title"));
        const CleanupRequest* request = model.sheet()->cleanupRequest();
        QCOMPARE(request->items.size(), size_t(4));
        QCOMPARE(request->plan.entries.size(), size_t(1)); // duplicate and nested entry dropped
        QCOMPARE(request->plan.refused, std::vector<Url>{Url::fromPath(key)});

        ModelSeeding(model).setIsDemo(true); // no guard, every entry as given
        model.requestCleanup(items, "Demo");
        QCOMPARE(model.sheet()->cleanupRequest()->plan.entries.size(), size_t(4));
        QVERIFY(model.sheet()->cleanupRequest()->plan.refused.empty());
    }

    // The plan comes listed as the sheet shows it: each entry by its first item's name, by name
    // in the Finder's order, then by path.
    void aPlanComesListedByName() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        std::vector<CleanupItem> items;
        for (const char* name : {"Version 10", "editor", "Version 9", "Editor"}) {
            items.push_back(item(fixture / (std::string("Downloads/") + std::to_string(items.size())), 1));
            items.back().name = name;
        }
        items.push_back(item(fixture / "Downloads/0", 1)); // the first item names an entry
        items.back().name = "Aardvark";
        await(model.requestCleanup(items, "Listed"));
        const CleanupRequest& request = *model.sheet()->cleanupRequest();
        QVERIFY(request.listing.lists(request.plan));
        std::vector<std::string> listed;
        for (std::size_t entry : request.listing.order)
            listed.push_back(request.listing.names[entry] + " " + request.plan.entries[entry].url.lastPathComponent());
        QCOMPARE(listed, (std::vector<std::string>{"editor 1", "Editor 3", "Version 9 2", "Version 10 0"}));
    }

    // The plan is made on the pool: only the latest request of the scan on show gets its sheet.
    void aPlanOvertakenByALaterRequestOrANewScanIsDropped() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string first = fixture / "Downloads/first.zip", second = fixture / "Downloads/second.zip";
        ModelSeeding(model).setScan(scanHolding({item(first, 10), item(second, 20)}));
        ChangeLog log(model);

        QFuture<void> earlier = model.requestCleanup({item(first, 10)}, "Earlier");
        QFuture<void> later = model.requestCleanup({item(second, 20)}, "Later");
        await(earlier);
        await(later);
        QCOMPARE(log.count(AppModel::Field::sheet), 1);
        QCOMPARE(model.sheet()->cleanupRequest()->title, QStringLiteral("Later"));
        QCOMPARE(model.sheet()->cleanupRequest()->plan.entries.front().url, Url::fromPath(second));

        // A scan that arrives while the plan is made leaves the user to choose again.
        model.setSheet(std::nullopt);
        log.clear();
        QFuture<void> planned = model.requestCleanup({item(first, 10)}, "Before the scan");
        ModelSeeding(model).setScan(scanHolding({item(second, 20)}));
        await(planned);
        QCOMPARE(log.count(AppModel::Field::sheet), 0);
        QVERIFY(!model.sheet());

        // Demo data plan at once, and take the place of a plan still being made.
        planned = model.requestCleanup({item(first, 10)}, "Real");
        ModelSeeding(model).setIsDemo(true);
        model.requestCleanup({item(second, 20)}, "Demo");
        QCOMPARE(model.sheet()->cleanupRequest()->title, QStringLiteral("Demo"));
        await(planned);
        QCOMPARE(model.sheet()->cleanupRequest()->title, QStringLiteral("Demo"));
    }

    void performMovesRecordsAndPrunes() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string cache = fixture / "Library/Caches/com.gone.app", kept = fixture / "Library/Caches/org.kept";
        writeFile(cache + "/data", "cached");
        const CleanupItem moved = item(cache, 3000), keptItem = item(kept, 500);
        ModelSeeding(model).setScan(scanHolding({moved, keptItem}));
        ModelSeeding(model).setOrphans(
            {Orphan(Url::fromPath(cache), "com.gone.app", 3000, ""), Orphan(Url::fromPath(kept), "org.kept", 500, "")});

        await(model.requestCleanup({moved}, "Spring cleaning"));
        await(model.perform(*model.sheet()->cleanupRequest()));
        QVERIFY(!model.sheet());
        const std::string trashFiles = FreedesktopTrash::homeTrashFiles(fixture.home());
        QVERIFY(!Fs::exists(cache));
        QCOMPARE(Fs::readFile(trashFiles + "/com.gone.app/data").value_or(""), std::string("cached"));

        auto removal = fixture.container().removals()->front();
        QCOMPARE(removal->title(), QStringLiteral("Spring cleaning"));
        QCOMPARE(removal->items().front().trashPath.path(), trashFiles + "/com.gone.app");
        QCOMPARE(*model.notice(),
                 QStringLiteral("3 KB moved to the Trash. The space frees up when you empty the Trash."));
        // The scan lost what moved and counts it in the Trash, so the rest keeps its size; the
        // cache has it.
        ScanResult expected = scanHolding({keptItem});
        expected.countMovedToTrash(Url::fromPath(trashFiles), 3000, 1);
        expected.computeOther();
        QCOMPARE(*model.scan(), expected);
        QCOMPARE(model.scan()->category(CategoryID::trash)->size, std::int64_t(3000));
        QCOMPARE(model.scan()->category(CategoryID::other)->size,
                 scanHolding({moved, keptItem}).category(CategoryID::other)->size);
        QCOMPARE(ScanCache::load(), model.scan());
        QCOMPARE(model.orphans().size(), size_t(1));
        QCOMPARE(model.orphans()[0].bundleID, std::string("org.kept"));
    }

    // The scan is pruned on the pool; a scan that lands meanwhile is the one pruned in the end.
    void aScanArrivingWhileTheMovedItemsAreTakenOutIsPrunedInstead() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string cache = fixture / "Library/Caches/com.gone.app", kept = fixture / "Library/Caches/org.kept",
                          fresh = fixture / "Library/Caches/org.fresh";
        writeFile(cache + "/data", "cached");
        const CleanupItem moved = item(cache, 3000);
        ModelSeeding(model).setScan(scanHolding({moved, item(kept, 500)}));
        await(model.requestCleanup({moved}, "Caches"));
        const CleanupRequest request = *model.sheet()->cleanupRequest();

        // Posted once the journal is written, so it lands before the pruned scan comes back.
        ScanResult newer = scanHolding({item(fresh, 700), moved});
        newer.date = Date::fromUnix(1714560000);
        bool posted = false;
        connect(&model, &AppModel::changed, this, [&](AppModel::Field field) {
            if (field == AppModel::Field::notice && !std::exchange(posted, true))
                QMetaObject::invokeMethod(
                    this, [&] { ModelSeeding(model).setScan(newer); }, Qt::QueuedConnection);
        });
        await(model.perform(request));
        QVERIFY(posted);
        ScanResult expected = scanHolding({item(fresh, 700)});
        expected.date = newer.date;
        expected.countMovedToTrash(Url::fromPath(FreedesktopTrash::homeTrashFiles(fixture.home())), 3000, 1);
        expected.computeOther();
        QCOMPARE(*model.scan(), expected);
        QCOMPARE(ScanCache::load(), model.scan());
    }

    void thousandsOfItemsAllMoveAreAllJournalledAndAllComeBack() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        // Three folders taking turns, and among them a link to a protected folder.
        const std::vector<std::string> folders = {fixture / ".cache", fixture / "Downloads",
                                                  fixture / "Library/Caches"};
        std::vector<CleanupItem> items;
        for (int index = 0; index < 3000; ++index) {
            const std::string path = folders[std::size_t(index % 3)] + "/item-" + std::to_string(index);
            writeFile(path, path);
            items.push_back(item(path, 1000 + index));
        }
        writeFile(fixture / ".ssh/id_ed25519", "key");
        Fs::makeDirectories(fixture / ".cache");
        QVERIFY(symlink((fixture / ".ssh").c_str(), (fixture / ".cache/keys").c_str()) == 0);
        items.insert(items.begin() + 1500, item(fixture / ".cache/keys", 3));
        ModelSeeding(model).setScan(scanHolding(items));

        await(model.requestCleanup(items, "Caches"));
        const CleanupRequest request = *model.sheet()->cleanupRequest();
        QCOMPARE(request.plan.entries.size(), std::size_t(3000));
        QCOMPARE(request.plan.refused, std::vector<Url>{Url::fromPath(fixture / ".cache/keys")});

        await(model.perform(request));
        QCOMPARE(model.scan()->category(CategoryID::caches)->items.size(), std::size_t(1)); // the refused link
        fixture.closeContainer(); // what was saved, read afresh by a new model
        AppModel& reopened = fixture.makeModel();
        const auto removals = fixture.container().removals();
        QCOMPARE(removals->size(), std::size_t(1));
        const std::vector<RemovedItem>& removed = removals->front()->items();
        QCOMPARE(removed.size(), std::size_t(3000));
        for (std::size_t index = 0; index < removed.size(); ++index) {
            QCOMPARE(removed[index].originalPath, request.plan.entries[index].url);
            QVERIFY(!Fs::exists(removed[index].originalPath.path()));
            QVERIFY(Trasher::isInTrash(removed[index]));
        }
        QVERIFY(Fs::exists(fixture / ".ssh/id_ed25519"));

        await(reopened.undo(removals->front()));
        for (const RemovedItem& back : removed)
            QCOMPARE(Fs::readFile(back.originalPath.path()).value_or(""), back.originalPath.path());
        QCOMPARE(*reopened.notice(), QStringLiteral("3,000 items are back where they were."));
        QVERIFY(removals->front()->undone());
    }

    // A home given through a link ("/home/u" leading to "/var/home/u") is one home: its items
    // move and come back whichever way they are spelled.
    void aHomeGivenThroughALinkCleansUpAndPutsBack() {
        ModelFixture fixture;
        TempDir work;
        const std::string linked = work / "home";
        makeSymlink(fixture.home(), linked);
        Services services = fixture.services();
        services.home = Url::fromPath(linked);
        AppModel& model = fixture.makeModel(std::move(services));
        const std::string spelled = linked + "/Downloads/old.zip", real = fixture / "Downloads/new.zip";
        auto removal = cleanUp(fixture, model, {spelled, real});
        QCOMPARE(removal->items().size(), size_t(2));
        QCOMPARE(removal->items()[0].originalPath, Url::fromPath(spelled));
        QVERIFY(!Fs::exists(fixture / "Downloads/old.zip"));

        await(model.undo(removal));
        QVERIFY(removal->undone());
        QCOMPARE(Fs::readFile(fixture / "Downloads/old.zip").value_or(""), spelled);
        QCOMPARE(Fs::readFile(real).value_or(""), real);

        // Moved while started with one spelling, put back when started with the other: the
        // recorded place is in the user's own home, under its other spelling.
        const Url realHome = Url::fromPath(fixture.home()), linkedHome = Url::fromPath(linked);
        for (const auto& [movedAs, backAs] : {std::pair(linkedHome, realHome), std::pair(realHome, linkedHome)}) {
            fixture.destroyModel();
            Services moving = fixture.services();
            moving.home = movedAs;
            auto moved = cleanUp(fixture, fixture.makeModel(std::move(moving)), {movedAs.path() + "/Downloads/a.zip"});
            QCOMPARE(moved->items().at(0).originalPath, Url::fromPath(movedAs.path() + "/Downloads/a.zip"));
            fixture.destroyModel();
            Services puttingBack = fixture.services();
            puttingBack.home = backAs;
            AppModel& later = fixture.makeModel(std::move(puttingBack));
            await(later.undo(moved));
            QVERIFY(!later.noticeWarns());
            QVERIFY(moved->undone());
            QCOMPARE(Fs::readFile(fixture / "Downloads/a.zip").value_or(""), movedAs.path() + "/Downloads/a.zip");
        }
    }

    void failuresAreCountedAfterTheNoticeWithTheirReason() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string present = fixture / "Downloads/a.zip", vanishing = fixture / "Downloads/b.zip";
        writeFile(present, "a");
        writeFile(vanishing, "b");
        await(model.requestCleanup({item(present, 1000), item(vanishing, 1000)}, "Both"));
        const CleanupRequest request = *model.sheet()->cleanupRequest();
        Fs::removeAll(vanishing); // gone between the sheet and the confirmation
        await(model.perform(request));
        const QString gone = QStringLiteral(" Items that are no longer at their place cannot be moved.");
        QCOMPARE(*model.notice(), QStringLiteral("1 KB moved to the Trash. The space frees up when you empty the "
                                                 "Trash. 1 items could not be moved.") +
                                      gone);

        // Nothing moved: no record; the count joins whatever notice stands, or stands alone.
        model.setNotice(QStringLiteral("Earlier."));
        await(model.perform(request));
        QCOMPARE(*model.notice(), QStringLiteral("Earlier. 2 items could not be moved.") + gone);
        model.setNotice(std::nullopt);
        await(model.perform(request));
        QCOMPARE(*model.notice(), QStringLiteral("2 items could not be moved.") + gone);
        QCOMPARE(*fixture.container().removalCount(), 1);
    }

    // A full disk: the items are in the Trash, but the journal could not be written, and the
    // notice says so instead of promising a Put Back.
    void aJournalThatCannotBeSavedIsSaidInTheNotice() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        QVERIFY(fixture.container().removals());
        {
            QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("refusing"));
            database.setDatabaseName(QString::fromStdString(fixture.storePath()));
            QVERIFY(database.open());
            QSqlQuery query(database);
            QVERIFY(query.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON removals "
                                              "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END")));
            database.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("refusing"));
        const std::string file = fixture / "Downloads/a.zip";
        writeFile(file, "a");
        await(model.requestCleanup({item(file, 1000), item(fixture / "Downloads/missing.zip", 1000)}, "Full disk"));
        await(model.perform(*model.sheet()->cleanupRequest()));
        QVERIFY(!Fs::exists(file));
        QCOMPARE(*model.notice(), QStringLiteral("1 KB moved to the Trash. The space frees up when you empty the "
                                                 "Trash. The record of this removal could not be saved: the items "
                                                 "are in the Trash, where your file manager can put them back. 1 "
                                                 "items could not be moved. Items that are no longer at their place "
                                                 "cannot be moved."));
    }

    // Without its database the window works on a stand-in: a removal is journaled there, so it
    // can be put back while Dovrane runs, and the notice says that this lasts until it quits.
    void aStandInStoreSaysItsRecordLastsUntilQuit() {
        ModelFixture fixture;
        TempDir runtime;
        auto standIn = ModelContainer::openTemporary(runtime.path());
        QVERIFY(standIn);
        AppModel model(**standIn, fixture.services());
        await(model.scanRestored());
        const std::string file = fixture / "Downloads/a.zip";
        writeFile(file, "a");
        await(model.requestCleanup({item(file, 1000)}, "Files"));
        await(model.perform(*model.sheet()->cleanupRequest()));
        QCOMPARE(*model.notice(), QStringLiteral("1 KB moved to the Trash. The space frees up when you empty the "
                                                 "Trash. Dovrane works without its database, so it can put them back "
                                                 "only until it quits; after that your file manager can."));
        QVERIFY(model.noticeWarns());
        const auto journal = (*standIn)->removals();
        QVERIFY(journal && journal->size() == 1);
        await(model.undo(journal->front()));
        QCOMPARE(Fs::readFile(file), std::optional<std::string>("a"));
    }

    void demoTouchesNothing() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ModelSeeding(model).setIsDemo(true);
        const std::string file = fixture / "Downloads/demo.zip";
        ModelSeeding(model).setScan(scanHolding({item(file, 4096)}));
        auto removal = cleanUp(fixture, model, {file, file});
        QVERIFY(Fs::exists(file));
        QCOMPARE(removal->items().size(), size_t(2));
        QCOMPARE(removal->items()[0].trashPath.path(), std::string("/Users/demo/.Trash/demo.zip"));
        // The one path moved counts once in the Trash; the rest stays as it was.
        ScanResult expected = scanHolding({});
        expected.countMovedToTrash(Url::fromPath("/Users/demo/.Trash/"), 4096, 1);
        expected.computeOther();
        QCOMPARE(*model.scan(), expected);
        QCOMPARE(model.scan()->category(CategoryID::other)->size,
                 scanHolding({item(file, 4096)}).category(CategoryID::other)->size);
        QVERIFY(!Fs::exists(ScanCache::url().path()));

        await(model.undo(removal)); // counted, not moved
        QCOMPARE(*model.notice(), QStringLiteral("2 items are back where they were."));
        QVERIFY(removal->undone());
        QCOMPARE(fixture.scan.calls(), 0);
    }

    void putBackKeepsTheRecordOpenUntilAllAreBack() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string restored = fixture / "Downloads/one", gone = fixture / "Downloads/two",
                          taken = fixture / "Downloads/three";
        auto removal = cleanUp(fixture, model, {restored, gone, taken});
        Fs::removeAll(removal->items()[1].trashPath.path()); // emptied from the Trash meanwhile
        writeFile(taken, "newer");                           // something new stands at the old place

        QFuture<void> undo = model.undo(removal);
        QVERIFY(model.undo(removal).isFinished()); // a second press while it runs does nothing
        await(undo);
        QCOMPARE(Fs::readFile(restored).value_or(""), restored);
        QCOMPARE(Fs::readFile(taken).value_or(""), std::string("newer"));
        QCOMPARE(*model.notice(), QStringLiteral("1 items are back where they were. 1 items stayed in the Trash "
                                                 "because something else is at their original place. 1 items could "
                                                 "not be put back. What was emptied from the Trash cannot come "
                                                 "back."));
        QVERIFY(!removal->undone());
        fixture.scan.waitForCall(0);

        // The one back already is not reported again; nothing else changes.
        model.setNotice(std::nullopt);
        await(model.undo(removal));
        QCOMPARE(*model.notice(), QStringLiteral("1 items stayed in the Trash because something else is at their "
                                                 "original place. 1 items could not be put back. What was emptied "
                                                 "from the Trash cannot come back."));
        QVERIFY(!removal->undone());

        Fs::removeAll(taken);
        await(model.undo(removal));
        QCOMPARE(Fs::readFile(taken).value_or(""), taken);
        QVERIFY(removal->undone());
        fixture.closeContainer();
        QVERIFY(fixture.container().removals()->back()->undone()); // saved
    }

    // An earlier Put Back brought every item back and ended before it marked the record: a second
    // Put Back finds nothing in the Trash, marks the record and says why, in the window's language.
    void aSecondPutBackOfARecordAlreadyBackMarksItAndSaysSo() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        auto removal = cleanUp(fixture, model, {fixture / "Downloads/one", fixture / "Downloads/two"});
        for (const RemovedItem& item : removal->items())
            QCOMPARE(model.trasher().putBack(item), Trasher::PutBackResult::restored());
        const auto english = qScopeGuard([] { Translations::install(); });
        ScopedEnv language("APP_LANG", "de");
        QVERIFY(Translations::install());
        await(model.undo(removal));
        QCOMPARE(*model.notice(), QStringLiteral("2 Objekte waren schon wieder an ihrem Platz."));
        QVERIFY(removal->undone());
        fixture.closeContainer();
        QVERIFY(fixture.container().removals()->back()->undone()); // saved
    }

    // Nothing came back: the record and the scan stay as they were, and the notice says why, in
    // the window's language.
    void putBackThatBringsNothingBackSaysWhy() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        auto removal = cleanUp(fixture, model, {fixture / "Downloads/a"});
        Fs::removeAll(removal->items()[0].trashPath.path());
        const auto english = qScopeGuard([] { Translations::install(); });
        {
            ScopedEnv language("APP_LANG", "en");
            QVERIFY(Translations::install());
            await(model.undo(removal));
            QCOMPARE(*model.notice(), QStringLiteral("1 item could not be put back. What was emptied from the Trash "
                                                     "cannot come back."));
            QVERIFY(!removal->undone());
            QCOMPARE(fixture.scan.calls(), 0);
        }

        // A record that names a file outside the Trash moves nothing.
        ScopedEnv language("APP_LANG", "de");
        QVERIFY(Translations::install());
        const std::string planted = fixture / "Documents/plain.txt";
        writeFile(planted, "plain");
        auto forged = std::make_shared<Removal>(fixture.clock->now(), Wording::plain(QStringLiteral("Forged")),
                                                std::vector<RemovedItem>{{Url::fromPath(fixture / "Documents/copy.txt"),
                                                                          Url::fromPath(planted), 5, false}});
        await(model.undo(forged));
        QCOMPARE(*model.notice(), QStringLiteral("1 Objekt konnte nicht zurückgelegt werden. Dieses Objekt liegt nicht "
                                                 "in deinem Papierkorb, daher wurde nichts bewegt."));
        QVERIFY(!Fs::exists(fixture / "Documents/copy.txt"));
        QVERIFY(Fs::exists(planted));
    }

    // The window shows a scan read back from the cache, hours old: a project edited since and an
    // installer downloaded again since are left out of the plan, each with what changed, and do
    // not move; an unchanged project and installer still move.
    void whatChangedAfterACachedScanIsLeftOutOfThePlan() {
        ModelFixture fixture;
        fixture.clock->set(Date::now());
        for (const std::string project : {"Code/edited", "Code/quiet"}) {
            writeFile(fixture / (project + "/package.json"), "{}");
            writeFileOfSize(fixture / (project + "/node_modules/pad/index.js"), 5000);
            setTimesRecursively(fixture / project, daysAgo(60));
        }
        for (const std::string installer : {"Downloads/kept.deb", "Downloads/setup.deb"}) {
            writeFileOfSize(fixture / installer, 5000);
            setTimes(fixture / installer, daysAgo(30));
        }
        ScanSettings settings;
        settings.projectFolders = {fixture / "Code"};
        DiskScanner scanner(Url::fromPath(fixture.home()), std::nullopt, settings, nullptr);
        scanner.flatpakApps = nullptr;
        writeFile(ScanCache::url().path(), ScanCache::encode(scanner.scan({})));
        AppModel& model = fixture.makeModel();
        QVERIFY(model.scan());
        QCOMPARE(model.safeItems().size(), size_t(4));

        fixture.clock->advance(5 * 3600);
        writeFile(fixture / "Code/edited/src/app.js", "edited after the scan");
        Fs::removeAll(fixture / "Downloads/setup.deb");
        writeFileOfSize(fixture / "Downloads/setup.deb", 5000); // downloaded again
        await(model.requestCleanup(model.safeItems(), Wording::safeItems()));
        const CleanupRequest request = *model.sheet()->cleanupRequest();
        std::map<std::string, GroundCheck::Change> changed;
        for (const ChangedItem& item : request.changed)
            changed[item.name] = item.change;
        QCOMPARE(changed,
                 (std::map<std::string, GroundCheck::Change>{{"edited/node_modules", GroundCheck::Change::project},
                                                             {"setup.deb", GroundCheck::Change::replaced}}));
        QCOMPARE(request.plan.entries.size(), size_t(2));
        QCOMPARE(request.items.size(), size_t(2));

        await(model.perform(request));
        QVERIFY(!Fs::exists(fixture / "Code/quiet/node_modules"));
        QVERIFY(!Fs::exists(fixture / "Downloads/kept.deb"));
        QVERIFY(Fs::exists(fixture / "Code/edited/node_modules/pad/index.js"));
        QVERIFY(Fs::exists(fixture / "Downloads/setup.deb"));
        QCOMPARE(fixture.container().removals()->back()->items().size(), size_t(2));
    }

    // The cache folder is swapped for another real folder holding items of the same names after
    // the sheet showed: nothing of it moves, nothing of it is journalled, and the notice says why
    // in the window's language.
    void aFolderSwappedForAnotherRealFolderBeforeTheConfirmationMovesNothing() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string cache = fixture / ".cache";
        for (const char* name : {"one", "two"})
            writeFile(cache + "/" + name + "/data", "shown");
        await(model.requestCleanup({item(cache + "/one", 1000), item(cache + "/two", 1000)}, "Caches"));
        const CleanupRequest request = *model.sheet()->cleanupRequest();
        QCOMPARE(request.plan.entries.size(), size_t(2));
        QVERIFY(std::rename(cache.c_str(), (cache + ".shown").c_str()) == 0);
        for (const char* name : {"one", "two"})
            writeFile(cache + "/" + name + "/data", "another");

        const auto english = qScopeGuard([] { Translations::install(); });
        ScopedEnv language("APP_LANG", "de");
        QVERIFY(Translations::install());
        await(model.perform(request));
        QCOMPARE(*model.notice(), QStringLiteral("2 Objekte konnten nicht bewegt werden. Dieses Objekt wurde nach der "
                                                 "Anzeige durch ein anderes ersetzt, daher wurde nichts bewegt."));
        QCOMPARE(*fixture.container().removalCount(), 0);
        QVERIFY(Fs::list(FreedesktopTrash::homeTrashFiles(fixture.home())).empty());
        for (const char* name : {"one", "two"}) {
            QCOMPARE(Fs::readFile(cache + "/" + name + "/data").value_or(""), std::string("another"));
            QCOMPARE(Fs::readFile(cache + ".shown/" + name + "/data").value_or(""), std::string("shown"));
        }
    }

    // Put Back as the administrator: a record edited to lead into a protected place asks for no
    // password; a folder swapped for a link is refused with that reason; each in the window's
    // language.
    void administratorPutBackIsGuardedAndSaysItsOwnReason() {
        ModelFixture fixture;
        TempDir tools, elsewhere;
        FakePkexec pkexec(tools.path());
        AppModel& model = fixture.makeModel(pkexec.applied(fixture.services()));
        const std::string file = fixture / "Downloads/setup/run.sh";
        RemovedItem moved = cleanUp(fixture, model, {file})->items().at(0);
        moved.needsAdmin = true; // as if it had needed the password to go
        const auto putBack = [&](const RemovedItem& item) {
            return model.undo(std::make_shared<Removal>(fixture.clock->now(), Wording::plain(QStringLiteral("Setup")),
                                                        std::vector<RemovedItem>{item}));
        };
        const auto english = qScopeGuard([] { Translations::install(); });
        ScopedEnv language("APP_LANG", "de");
        QVERIFY(Translations::install());

        RemovedItem forged = moved;
        forged.originalPath = Url::fromPath(fixture / ".ssh/authorized_keys");
        writeFile(FreedesktopTrash::infoPathFor(forged.trashPath.path()),
                  FreedesktopTrash::infoText(forged.originalPath.path(), 0));
        await(putBack(forged));
        QCOMPARE(*model.notice(), QStringLiteral("1 Objekt konnte nicht zurückgelegt werden. Dovrane bewegt keine "
                                                 "geschützten Dateien und Ordner."));
        QVERIFY(pkexec.calls().empty());
        QVERIFY(!Fs::exists(fixture / ".ssh/authorized_keys"));

        writeFile(FreedesktopTrash::infoPathFor(moved.trashPath.path()),
                  FreedesktopTrash::infoText(moved.originalPath.path(), 0));
        const std::string setup = fixture / "Downloads/setup";
        QVERIFY(std::rename(setup.c_str(), (setup + ".real").c_str()) == 0);
        makeSymlink(elsewhere.path(), setup);
        await(putBack(moved));
        QCOMPARE(*model.notice(), QStringLiteral("1 Objekt konnte nicht zurückgelegt werden. Ein Ordner über dem "
                                                 "ursprünglichen Ort des Objekts ist ein Verweis, und Dovrane bewegt "
                                                 "nichts durch einen Verweis."));
        QCOMPARE(pkexec.calls().size(), size_t(1));
        QVERIFY(Fs::list(elsewhere.path()).empty());
        QVERIFY(Trasher::isInTrash(moved));

        // A password not given is said as such.
        pkexec.setRefusing(true);
        await(putBack(moved));
        QCOMPARE(*model.notice(), QStringLiteral("1 Objekt konnte nicht zurückgelegt werden. Das Administratorpasswort "
                                                 "wurde nicht eingegeben, oder das Bewegen damit ist fehlgeschlagen."));
    }

    // Records edited to lead into another user's home (a folder named by DOVRANE_HOME_FOLDERS
    // stands for /home here), their keys or root's: no password is asked, nothing moves, and the
    // notice gives the guard's reason under a warning, not a check mark.
    void putBackIntoAnotherUsersHomeAsksForNoPassword() {
        ModelFixture fixture;
        TempDir tools, homes;
        makeFolder(homes / "other/.ssh");
        ScopedEnv seam("DOVRANE_HOME_FOLDERS", homes.path());
        FakePkexec pkexec(tools.path());
        AppModel& model = fixture.makeModel(pkexec.applied(fixture.services()));
        const auto english = qScopeGuard([] { Translations::install(); });
        ScopedEnv language("APP_LANG", "en");
        QVERIFY(Translations::install());
        const RemovedItem moved = cleanUp(fixture, model, {fixture / "Downloads/key.pub"})->items().at(0);
        for (const std::string& original : {homes / "other/.ssh/authorized_keys", homes / "other/notes.txt",
                                            std::string("/root/.ssh/authorized_keys")})
            for (bool needsAdmin : {true, false}) {
                model.setNotice(std::nullopt);
                const RemovedItem forged{Url::fromPath(original), moved.trashPath, moved.size, needsAdmin};
                writeFile(FreedesktopTrash::infoPathFor(forged.trashPath.path()),
                          FreedesktopTrash::infoText(original, 0));
                auto record = std::make_shared<Removal>(fixture.clock->now(), Wording::plain(QStringLiteral("Edited")),
                                                        std::vector<RemovedItem>{forged});
                await(model.undo(record));
                QCOMPARE(*model.notice(), QStringLiteral("1 item could not be put back. Dovrane does not move "
                                                         "protected files and folders."));
                QVERIFY(model.noticeWarns());
                QVERIFY(!record->undone());
            }
        QVERIFY(pkexec.calls().empty());
        QCOMPARE(Fs::list(homes / "other"), std::vector<std::string>{".ssh"});
        QVERIFY(Fs::list(homes / "other/.ssh").empty());
        QVERIFY(Fs::exists(moved.trashPath.path()));
    }

    // An item whose info file no longer names the record's place stays in the Trash: the record
    // is not marked put back, the journal counts the item as still there so the row keeps Put
    // Back for it, and the notice warns. Once it is back too, the record is put back.
    void aRecordIsPutBackOnlyWhenEveryItemInTheTrashCameBack() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const std::string one = fixture / "Downloads/one", two = fixture / "Downloads/two";
        const auto english = qScopeGuard([] { Translations::install(); });
        ScopedEnv language("APP_LANG", "en");
        QVERIFY(Translations::install());
        auto removal = cleanUp(fixture, model, {one, two});
        const RemovedItem edited = removal->items().at(1);
        const std::string info = FreedesktopTrash::infoPathFor(edited.trashPath.path());
        const std::string kept = Fs::readFile(info).value_or("");
        writeFile(info, FreedesktopTrash::infoText(fixture / "Downloads/elsewhere", 0));

        await(model.undo(removal));
        QCOMPARE(Fs::readFile(one).value_or(""), one);
        QVERIFY(!Fs::exists(two));
        QCOMPARE(*model.notice(), QStringLiteral("1 item is back where it was. 1 item could not be put back. The "
                                                 "record does not match what is in the Trash, so nothing was moved."));
        QVERIFY(model.noticeWarns());
        QVERIFY(!removal->undone());
        fixture.scan.waitForCall(0);
        const auto counted = awaitResult(model.countInTrash({JournalEntry{0, removal, 0, 0}}));
        QCOMPARE(counted.at(0).inTrash, 1);

        writeFile(info, kept);
        await(model.undo(removal));
        QCOMPARE(Fs::readFile(two).value_or(""), two);
        QVERIFY(removal->undone());
        QVERIFY(!model.noticeWarns());
        QCOMPARE(awaitResult(model.countInTrash({JournalEntry{0, removal, 0, 0}})).at(0).inTrash, 0);
    }

    // Each failed move says why, in the window's language; of several reasons the one most
    // items share.
    void failedMovesNameTheirReasonInBothLanguages() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        TempDir elsewhere;
        const std::string trash = FreedesktopTrash::homeTrash(fixture.home());
        Fs::makeDirectories(Path::parent(trash));
        makeSymlink(elsewhere.path(), trash);
        const std::string vanishing = fixture / "Downloads/gone.zip", kept = fixture / "Downloads/kept.zip";
        writeFile(vanishing, "v");
        writeFile(kept, "k");
        writeFile(fixture / "Documents/notes/page", "p");
        await(model.requestCleanup({item(vanishing, 1000), item(kept, 1000), item(fixture / "Documents/notes", 1000)},
                                   "Three"));
        const CleanupRequest request = *model.sheet()->cleanupRequest();
        Fs::removeAll(vanishing);
        const auto english = qScopeGuard([] { Translations::install(); });
        {
            ScopedEnv language("APP_LANG", "en");
            QVERIFY(Translations::install());
            await(model.perform(request));
            QCOMPARE(*model.notice(), QStringLiteral("3 items could not be moved. Your Trash is a link to another "
                                                     "place, and Dovrane moves nothing through a link."));
        }
        ScopedEnv language("APP_LANG", "de");
        QVERIFY(Translations::install());
        model.setNotice(std::nullopt);
        await(model.perform(request));
        QCOMPARE(*model.notice(), QStringLiteral("3 Objekte konnten nicht bewegt werden. Dein Papierkorb ist ein "
                                                 "Verweis auf einen anderen Ort, und Dovrane bewegt nichts durch "
                                                 "einen Verweis."));
        QVERIFY(Fs::list(elsewhere.path()).empty());
        QVERIFY(Fs::exists(kept) && Fs::exists(fixture / "Documents/notes/page"));
        QCOMPARE(*fixture.container().removalCount(), 0);
    }
};

DOVRANE_MODEL_SUITE(CleanupTests)
#include "CleanupTests.moc"
