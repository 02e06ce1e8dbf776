// The scan run: progress and label, the guards, cancelling (also followed at once by a new
// scan), the cache, and one real scan of a small home.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "AppModel/ScanCache.h"
#include "support/Await.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/system/FileSystem.h>

#include "Services/SettingKeys.h"
#include "support/FakeRunner.h"

#include <nlohmann/json.hpp>

#include <QTest>

#include <sys/stat.h>

#include <chrono>
#include <thread>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

ScanResult resultWithCaches(Date date, std::int64_t caches) {
    return makeScan(date, 1'000'000'000, 400'000'000, {{CategoryID::caches, caches}});
}

std::optional<ScanResult> cachedScan() { return ScanCache::load(); }

} // namespace

class ScanRunTests : public QObject {
    Q_OBJECT

private slots:
    void progressNamesTheNextTwoPendingCategories() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        QFuture<void> done = model.startScan();
        QVERIFY(model.isScanning());
        QCOMPARE(model.scanProgress(), 0.0);
        QCOMPARE(model.scanLabel(), QStringLiteral("Starting…"));

        fixture.scan.report(0, CategoryID::apps, 1);
        runQueuedEvents();
        QCOMPARE(model.scanProgress(), 1.0 / 15.0);
        QCOMPARE(model.scanLabel(), QStringLiteral("Your files and Caches"));

        // Categories finish in any order; the label follows the fixed order of what is left.
        int finished = 1;
        for (CategoryID id : allCategoryIDs)
            if (id != CategoryID::apps && id != CategoryID::other && id != CategoryID::logs)
                fixture.scan.report(0, id, ++finished);
        runQueuedEvents();
        QCOMPARE(model.scanLabel(), QStringLiteral("Logs"));
        fixture.scan.report(0, CategoryID::logs, 15);
        runQueuedEvents();
        QCOMPARE(model.scanLabel(), QString());
        QCOMPARE(model.scanProgress(), 1.0);
        QVERIFY(model.isScanning());

        fixture.scan.finish(0, resultWithCaches(fixture.clock->now(), 5));
        await(done);
        QVERIFY(!model.isScanning());
        QCOMPARE(model.scan(), std::optional<ScanResult>(resultWithCaches(fixture.clock->now(), 5)));
    }

    void theScannerGetsWhatTheModelKnows() {
        ModelFixture fixture;
        SettingKeys::scanInstallerAge.set(*fixture.settings, 3);
        fixture.workspace->running = {{10, 1, Url::fromPath("/Applications/A.app"), std::string("org.example.a")},
                                      {11, 1, Url::fromPath("/Applications/B.app"), std::nullopt}};
        AppModel& model = fixture.makeModel();
        InstalledApp first, second, other;
        first.bundleID = second.bundleID = "org.example.shared";
        first.name = "First";
        second.name = "Second";
        other.bundleID = "org.example.other";
        other.name = "Other";
        ModelSeeding(model).setApps({first, second, other});
        QFuture<void> done = model.startScan();
        fixture.scan.waitForCall(0);
        const DiskScanner scanner = fixture.scan.scanner(0);
        QCOMPARE(scanner.appName("org.example.shared"), std::optional<std::string>("First"));
        QCOMPARE(scanner.appName("org.example.other"), std::optional<std::string>("Other"));
        QVERIFY(!scanner.appName("org.example.none"));
        QCOMPARE(scanner.running, std::set<std::string>{"org.example.a"});
        QCOMPARE(scanner.settings.installerAgeDays, 3);
        QCOMPARE(scanner.home.path(), fixture.home());
        QCOMPARE(scanner.now, fixture.clock->now());
        fixture.scan.finish(0, ScanResult());
        await(done);
    }

    void guardsAgainstASecondRunAndDemoData() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        QFuture<void> done = model.startScan();
        fixture.scan.report(0, CategoryID::apps, 1);
        runQueuedEvents();
        QVERIFY(model.startScan().isFinished());
        QCOMPARE(model.scanProgress(), 1.0 / 15.0); // not reset
        fixture.scan.finish(0, ScanResult());
        await(done);
        QCOMPARE(fixture.scan.calls(), 1);

        ModelSeeding(model).setIsDemo(true);
        ChangeLog log(model);
        QVERIFY(model.startScan().isFinished());
        QVERIFY(log.fields.empty());
        QCOMPARE(fixture.scan.calls(), 1);
    }

    void cancellingKeepsThePreviousResult() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        QFuture<void> first = model.startScan();
        fixture.scan.finish(0, resultWithCaches(fixture.clock->now(), 7));
        await(first);
        const auto cacheBefore = Fs::readFile(ScanCache::url().path());
        QVERIFY(cacheBefore);

        fixture.clock->advance(3600);
        QFuture<void> second = model.startScan();
        fixture.scan.report(1, CategoryID::apps, 1);
        runQueuedEvents();
        model.cancelScan();
        QVERIFY(!model.isScanning());
        QCOMPARE(model.scanLabel(), QString());
        QVERIFY(fixture.scan.stopRequested(1));

        // The measuring ends with a result of its own; it is dropped.
        fixture.scan.finish(1, resultWithCaches(fixture.clock->now(), 99));
        await(second);
        QCOMPARE(model.scan(), std::optional<ScanResult>(resultWithCaches(fixture.clock->now().adding(-3600), 7)));
        QCOMPARE(Fs::readFile(ScanCache::url().path()), cacheBefore);
        QCOMPARE(fixture.container().dailySizes()->front()->categories().at("caches"), std::int64_t(7));
    }

    void aNewScanRightAfterCancellingIsNotDisturbedByTheOldOne() {
        ModelFixture fixture;
        fixture.scan.endsWhenStopped = false;
        AppModel& model = fixture.makeModel();
        QFuture<void> old = model.startScan();
        fixture.scan.waitForCall(0);
        model.cancelScan();
        QFuture<void> current = model.startScan();
        QVERIFY(model.isScanning());
        fixture.scan.waitForCall(1);
        fixture.scan.report(1, CategoryID::apps, 1);
        runQueuedEvents();
        const QString label = model.scanLabel();

        // The old run was asked to stop; it still reports late and ends.
        QVERIFY(fixture.scan.stopRequested(0));
        QVERIFY(!fixture.scan.stopRequested(1));
        fixture.scan.report(0, CategoryID::personal, 14);
        runQueuedEvents();
        QCOMPARE(model.scanProgress(), 1.0 / 15.0);
        QCOMPARE(model.scanLabel(), label);
        fixture.scan.finish(0, resultWithCaches(fixture.clock->now(), 1));
        await(old);
        QVERIFY(model.isScanning());
        QVERIFY(!model.scan());

        // Its pending categories were not touched either.
        fixture.scan.report(1, CategoryID::personal, 2);
        runQueuedEvents();
        QCOMPARE(model.scanLabel(), QStringLiteral("Caches and Logs"));
        fixture.scan.finish(1, resultWithCaches(fixture.clock->now(), 2));
        await(current);
        QVERIFY(!model.isScanning());
        QCOMPARE(model.scan()->categories[size_t(position(CategoryID::caches))].size, std::int64_t(2));
    }

    void theCacheIsWrittenAndReadBack() {
        ModelFixture fixture("Dovrane.store");
        AppModel& model = fixture.makeModel();
        QFuture<void> done = model.startScan();
        const ScanResult result = resultWithCaches(fixture.clock->now(), 12345);
        fixture.scan.finish(0, result);
        await(done);
        const std::string cache = fixture.storePath() + ".scan.json";
        QCOMPARE(ScanCache::url().path(), cache);
        QVERIFY(Fs::exists(cache));
        QVERIFY(!Fs::exists(fixture / "last-scan.json"));
        struct stat info {};
        QCOMPARE(::stat(cache.c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);

        fixture.destroyModel();
        QCOMPARE(fixture.makeModel().scan(), std::optional<ScanResult>(result));
    }

    // A result handed back to the model but never taken in goes with the model, while the model
    // still exists: a future continued on the model ends cancelled instead of running, or being
    // run, against a model that is gone.
    void workQueuedForTheModelGoesWithIt() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        bool ran = false;
        QFuture<void> continued = model.startScan().then(&model, [&ran] { ran = true; });
        fixture.scan.waitForCall(0);
        fixture.scan.finish(0, resultWithCaches(fixture.clock->now(), 5));
        // The result is queued for the main thread, which takes no event before the model goes.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        fixture.destroyModel();
        QVERIFY(continued.isFinished());
        QVERIFY(continued.isCanceled());
        QVERIFY(!ran);
    }

    void theCacheIsSkippedForDemoDataOnly_data() {
        QTest::addColumn<QString>("seed");
        QTest::addColumn<bool>("read");
        QTest::newRow("1") << "1" << false;
        QTest::newRow("true") << "true" << true;
        QTest::newRow("01") << "01" << true;
    }

    void theCacheIsSkippedForDemoDataOnly() {
        QFETCH(QString, seed);
        QFETCH(bool, read);
        ModelFixture fixture;
        const ScanResult result = resultWithCaches(fixture.clock->now(), 1);
        writeFile(ScanCache::url().path(), result.toJson().dump());
        ScopedEnv demo("APP_SEED", seed.toStdString());
        QCOMPARE(cachedScan().has_value(), read);
        QCOMPARE(fixture.makeModel().scan().has_value(), read);
    }

    void theCacheTextIsTheScansJsonByteForByte() {
        ScanResult scan = makeScan(Date::fromUnix(1714550400.25), 500'000'000'000, 200'000'000'000,
                                   {{CategoryID::caches, 0}, {CategoryID::logs, 0}});
        scan.volume = "Platte \"categories\":[] \xff";
        std::vector<CleanupItem> items;
        for (int i = 0; i < 3; ++i)
            items.emplace_back(Url::fromPath("/home/u/.cache/\"items\":[] " + std::to_string(i)),
                               i == 1 ? std::optional<std::string>("Größe") : std::nullopt, 4096 * i, i + 1,
                               i ? std::optional<Date>(Date::fromUnix(1e9 + i)) : std::nullopt, "why \xfe",
                               "caches.app", Safety::safe, CleanupAction::trash);
        scan.categories.push_back(Category(CategoryID::projects, std::nullopt, items, true, "a note \"items\":[]"));
        scan.categories.push_back(Category(CategoryID::trash, 7, {}, false, std::nullopt));
        const std::string text = ScanCache::encode(scan);
        QCOMPARE(text, scan.toJson().dump());
        QCOMPARE(ScanCache::encode(ScanResult()), ScanResult().toJson().dump());

        ModelFixture fixture;
        writeFile(ScanCache::url().path(), text);
        QCOMPARE(cachedScan(), ScanResult::fromJson(nlohmann::json::parse(text)).value());
    }

    void anUndecodableCacheGivesNoScan_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("truncated") << QByteArray(R"({"date": 1, "volume": "Fixture", "total": 5)");
        QTest::newRow("missing field") << QByteArray(
            R"({"date": 1, "volume": "Fixture", "total": 5, "free": 1, "available": 1})");
        QTest::newRow("mistyped field") << QByteArray(
            R"({"date": "today", "volume": "Fixture", "total": 5, "free": 1, "available": 1, "categories": []})");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("nested past the limit")
            << QByteArray(
                   R"({"date": 1, "volume": "Fixture", "total": 5, "free": 1, "available": 1, "categories": [], "x": )") +
                   QByteArray(64, '[') + QByteArray(64, ']') + "}";
        QTest::newRow("a repeated key making a field null") << QByteArray(
            R"({"date": 1, "volume": "Fixture", "total": 5, "free": 1, "available": 1, "categories": [], "free": null})");
        QTest::newRow("a number past a double") << QByteArray(
            R"({"date": 1e999, "volume": "Fixture", "total": 5, "free": 1, "available": 1, "categories": []})");
    }

    void anUndecodableCacheGivesNoScan() {
        QFETCH(QByteArray, contents);
        ModelFixture fixture;
        writeFile(ScanCache::url().path(), contents.toStdString());
        QVERIFY(!fixture.makeModel().scan());
        QCOMPARE(Fs::readFile(ScanCache::url().path()), std::optional<std::string>(contents.toStdString()));
    }

    // The model is made without reading the cache; the scan arrives once the main thread is
    // free, announced like any other. A model gone before the read comes back takes nothing.
    void theCachedScanArrivesAfterTheModelIsMade() {
        ModelFixture fixture;
        const ScanResult cached = resultWithCaches(fixture.clock->now(), 3);
        writeFile(ScanCache::url().path(), ScanCache::encode(cached));
        AppModel& model = fixture.startModel();
        ChangeLog log(model);
        QVERIFY(!model.scan());
        QVERIFY(!model.scanRestored().isFinished());
        await(model.scanRestored());
        QCOMPARE(model.scan(), std::optional<ScanResult>(cached));
        QCOMPARE(log.count(AppModel::Field::scan), 1);

        const QFuture<void> restored = fixture.startModel().scanRestored();
        fixture.destroyModel();
        runQueuedEvents();
        QVERIFY(restored.isCanceled());
    }

    // A scan set before the read comes back (one that ended, the demo's) is newer than the file.
    void aScanSetMeanwhileWinsOverTheCache() {
        ModelFixture fixture;
        writeFile(ScanCache::url().path(), ScanCache::encode(resultWithCaches(fixture.clock->now(), 3)));
        AppModel& model = fixture.startModel();
        const ScanResult fresh = resultWithCaches(fixture.clock->now(), 9);
        ModelSeeding(model).setScan(fresh);
        await(model.scanRestored());
        QCOMPARE(model.scan(), std::optional<ScanResult>(fresh));
    }

    // The cache's bound: a file over it is ignored, however sound its JSON, and one at it is read.
    void aCacheLargerThanAnyScanWritesIsIgnored() {
        ModelFixture fixture;
        const std::string text = ScanCache::encode(resultWithCaches(fixture.clock->now(), 3));
        writeFile(ScanCache::url().path(), text + std::string(ScanCache::maxBytes - text.size() + 1, ' '));
        QVERIFY(!fixture.makeModel().scan());

        writeFile(ScanCache::url().path(), text);
        QVERIFY(ScanCache::load(text.size()));
        QVERIFY(!ScanCache::load(text.size() - 1));
    }

    void destroyingTheModelStopsItsScan() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        QFuture<void> done = model.startScan();
        fixture.scan.report(0, CategoryID::apps, 1); // a step still queued for the model
        fixture.destroyModel();
        QVERIFY(fixture.scan.stopRequested(0));
        await(done);
        QVERIFY(done.isCanceled()); // its main-thread end never ran
        runQueuedEvents();
        QVERIFY(!Fs::exists(ScanCache::url().path()));
    }

    void aRealScanOfASmallHome() {
        ModelFixture fixture;
        writeFileOfSize(fixture / "Library/Caches/com.example.app/blob", 64 * 1024);
        writeFileOfSize(fixture / "Documents/letter.txt", 8 * 1024);
        Services services = fixture.services();
        services.scan = Services::system().scan;
        auto runner = std::make_shared<FakeRunner>();
        services.makeRunner = [runner](double) -> std::shared_ptr<const CommandRunner> { return runner; };
        AppModel& model = fixture.makeModel(services);
        await(model.startScan());

        QVERIFY(model.scan());
        const ScanResult& scan = *model.scan();
        QCOMPARE(scan.categories.size(), size_t(16));
        QVERIFY(scan.category(CategoryID::caches)->size >= 64 * 1024);
        QCOMPARE(scan.date, fixture.clock->now());
        QCOMPARE(cachedScan(), model.scan());
        auto days = *fixture.container().dailySizes();
        QCOMPARE(days.size(), size_t(1));
        QCOMPARE(days[0]->used(), scan.used());
        QCOMPARE(days[0]->categories(), scan.sizesByCategory());
    }
};

DOVRANE_MODEL_SUITE(ScanRunTests)
#include "ScanRunTests.moc"
