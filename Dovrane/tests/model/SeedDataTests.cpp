// The demo data over a real model on a test store: the figures follow from the item table,
// the journal goes in once, observers see demo mode first, and nothing happens unless asked.

#include "AppModel/ScanCache.h"
#include "Launch/SeedEntry.h"
#include "SeedData/SeedData.h"
#include "Services/SettingKeys.h"
#include "Services/StoreRecords.h"
#include "Services/Translations.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>

#include <QCoreApplication>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>
#include <set>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const UpdateCheck* checkOf(const std::map<std::string, UpdateCheck>& updates, const std::string& app) {
    auto found = updates.find("/Users/demo/Applications/" + app + ".app");
    return found == updates.end() ? nullptr : &found->second;
}

std::vector<std::shared_ptr<Removal>> newestFirst(ModelContainer& container) {
    auto records = container.removals().value_or(std::vector<std::shared_ptr<Removal>>{});
    std::sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a->date() > b->date(); });
    return records;
}

const CleanupItem* itemAt(const ScanResult& scan, const std::string& path) {
    for (const Category& category : scan.categories)
        for (const CleanupItem& item : category.items)
            if (item.url.path() == "/Users/demo/" + path)
                return &item;
    return nullptr;
}

// A date that was `seconds` before some moment between `before` and `after`.
bool agedBetween(Date date, double seconds, Date before, Date after) {
    return date >= before.adding(-seconds) && date <= after.adding(-seconds);
}

// Runs one statement on the store file through a connection of the test's own.
void execute(const std::string& path, const char* statement) {
    const QString name = QStringLiteral("seed-test-raw");
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(QString::fromStdString(path));
        QVERIFY(database.open());
        QSqlQuery query(database);
        QVERIFY2(query.exec(QString::fromLatin1(statement)), statement);
        database.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

class SeedDataTests : public QObject {
    Q_OBJECT

private slots:
    void init() { seed_.emplace("APP_SEED", "1"); }
    void cleanup() { seed_.reset(); }

    void scanFiguresFollowFromTheItemTable() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const Date before = Date::now();
        SeedData::insertIfRequested(model);
        const Date after = Date::now();
        QVERIFY(model.scan());
        const ScanResult& scan = *model.scan();

        const std::vector<std::pair<CategoryID, std::int64_t>> expected = {
            {CategoryID::apps, 48'200'000'000},         {CategoryID::personal, 204'600'000'000},
            {CategoryID::caches, 24'099'999'999},       {CategoryID::logs, 2'300'000'000},
            {CategoryID::trash, 6'800'000'000},         {CategoryID::installers, 9'400'000'000},
            {CategoryID::mailDownloads, 1'600'000'000}, {CategoryID::messages, 18'700'000'000},
            {CategoryID::iosBackups, 22'000'000'000},   {CategoryID::snapshots, 0},
            {CategoryID::xcode, 41'300'000'000},        {CategoryID::simulators, 38'600'000'000},
            {CategoryID::docker, 38'000'000'000},       {CategoryID::packageCaches, 11'500'000'000},
            {CategoryID::projects, 4'700'000'000},      {CategoryID::other, 210'200'000'001}};
        QCOMPARE(scan.categories.size(), expected.size());
        std::int64_t measured = 0;
        std::size_t items = 0;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const Category& category = scan.categories[i];
            QCOMPARE(int(category.id), int(expected[i].first));
            QCOMPARE(category.size, expected[i].second);
            if (category.id != CategoryID::other) {
                measured += category.size;
                items += category.items.size();
            }
        }
        QCOMPARE(measured, std::int64_t(471'799'999'999));
        QCOMPARE(items, std::size_t(47));
        QVERIFY(scan.categories.back().items.empty());

        // Safe items are the table's safe moves to the Trash: not the Trash itself (emptied, not
        // moved) and not the unavailable simulators (shown only).
        QCOMPARE(model.safeItems().size(), std::size_t(21));
        QCOMPARE(model.safeTotal(), std::int64_t(79'300'000'000));

        // Rows whose shape differs from their neighbours.
        const CleanupItem* installer = itemAt(scan, "Downloads/Pixelmoor-4.2.dmg");
        QVERIFY(installer);
        QCOMPARE(installer->name, std::string("Pixelmoor-4.2.dmg"));
        const CleanupItem* venv = itemAt(scan, "Documents/Code/forecast/.venv");
        QVERIFY(venv && venv->lastUsed);
        QCOMPARE(venv->source, std::string("projects..venv"));
        QVERIFY(agedBetween(*venv->lastUsed, 45 * 86400.0, before, after));

        // The snapshots: an estimate with its note and three distinct items.
        const Category* snapshots = scan.category(CategoryID::snapshots);
        QVERIFY(snapshots);
        QVERIFY(snapshots->sizeIsEstimate);
        QCOMPARE(snapshots->note.value_or(""), std::string("3 snapshots, size not disclosed by macOS"));
        QCOMPARE(snapshots->items.size(), std::size_t(3));
        const std::vector<std::string> texts = {"tmsnapshot:2026-11-02-09301", "tmsnapshot:2026-11-01-093011",
                                                "tmsnapshot:2026-11-00-093021"};
        std::set<std::string> paths, names;
        for (std::size_t i = 0; i < 3; ++i) {
            const CleanupItem& item = snapshots->items[i];
            QCOMPARE(item.url.text(), texts[i]);
            QCOMPARE(item.action, CleanupAction::deleteSnapshot);
            QVERIFY(Url::parse(item.url.text()));
            paths.insert(item.url.path());
            names.insert(item.name);
        }
        QCOMPARE(paths.size(), std::size_t(3));
        QCOMPARE(names.size(), std::size_t(3));
        QVERIFY(!names.contains(""));

        // The model's own figures: the scan's volume, the Part's ages, xcode grew most.
        QCOMPARE(model.volume(),
                 std::optional<VolumeInfo>(VolumeInfo{scan.volume, scan.total, scan.free, scan.available}));
        QVERIFY(agedBetween(scan.date, 240, before, after));
        QVERIFY(model.updatesCheckedAt() && agedBetween(*model.updatesCheckedAt(), 720, before, after));
        QCOMPARE(model.dayGrowth()->top, std::optional<CategoryID>(CategoryID::xcode));
        QCOMPARE(model.weekGrowth()->top, std::optional<CategoryID>(CategoryID::xcode));
        QCOMPARE(model.weekGrowth()->days, 7);
    }

    void appsUpdatesAndOrphansAreKeyedByPath() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        SeedData::insertIfRequested(model);
        QVERIFY(model.appsLoaded());
        QCOMPARE(model.apps().size(), std::size_t(10));
        const auto system = std::count_if(model.apps().begin(), model.apps().end(),
                                          [](const InstalledApp& app) { return app.isSystem; });
        QCOMPARE(int(system), 1);

        const auto& updates = model.updates();
        QCOMPARE(updates.size(), std::size_t(9));
        QVERIFY(!checkOf(updates, "Safari"));
        for (const char* current : {"Lumen Browser", "Atlas Maps", "Clipstack", "Typeset"}) {
            QVERIFY2(checkOf(updates, current), current);
            QCOMPARE(checkOf(updates, current)->kind(), UpdateCheck::Kind::upToDate);
        }
        QCOMPARE(checkOf(updates, "Ledgerly")->kind(), UpdateCheck::Kind::failed);
        QCOMPARE(checkOf(updates, "Waveform Studio")->kind(), UpdateCheck::Kind::unsupported);
        QVERIFY(!checkOf(updates, "Waveform Studio")->message().empty());

        // Only the available sparkle app carries the notes address; Notewell has notes but comes
        // from the App Store; Tidepool has neither.
        const auto pixelmoor = checkOf(updates, "Pixelmoor")->update();
        const auto notewell = checkOf(updates, "Notewell")->update();
        const auto tidepool = checkOf(updates, "Tidepool")->update();
        QVERIFY(pixelmoor && notewell && tidepool);
        QCOMPARE(pixelmoor->currentVersion, std::string("4.2.1"));
        QCOMPARE(pixelmoor->newVersion, std::string("4.3.0"));
        QVERIFY(pixelmoor->releaseNotesURL);
        QCOMPARE(pixelmoor->releaseNotesURL->scheme(), std::string("https"));
        QVERIFY(pixelmoor->releaseNotesURL->host().ends_with("example.com"));
        QVERIFY(pixelmoor->releaseNotes->starts_with("New\n• Export"));
        QVERIFY(!pixelmoor->releaseNotes->ends_with("\n"));
        QVERIFY(notewell->releaseNotes && !notewell->releaseNotesURL);
        QVERIFY(!tidepool->releaseNotes && !tidepool->releaseNotesURL);
        QCOMPARE(tidepool->newVersion, std::string("12.1.2"));

        // The two oldeditor orphans share their identifier and differ by folder.
        const auto& orphans = model.orphans();
        QCOMPARE(orphans.size(), std::size_t(5));
        QCOMPARE(orphans[0].bundleID, orphans[1].bundleID);
        QCOMPARE(orphans[0].url.path(), std::string("/Users/demo/Library/Application Support/com.example.oldeditor"));
        QCOMPARE(orphans[1].url.path(), std::string("/Users/demo/Library/Caches/com.example.oldeditor"));
        QVERIFY(orphans[4].url.path().ends_with("/Preferences/org.example.retired"));
    }

    void leftoversOfAnAppWhoseNameHasABlank() {
        std::optional<InstalledApp> waveform;
        for (const InstalledApp& app : SeedData::apps())
            if (app.name == "Waveform Studio")
                waveform = app;
        QVERIFY(waveform);
        const auto leftovers = SeedData::leftovers(*waveform);
        QCOMPARE(leftovers.size(), std::size_t(6));
        for (std::size_t i = 0; i < 6; ++i) {
            QCOMPARE(leftovers[i].needsAdmin, i == 4);
            QCOMPARE(leftovers[i].exact, i != 5);
            QCOMPARE(leftovers[i].url.path().starts_with("/Users/demo/"), i != 4);
        }
        QCOMPARE(leftovers[4].url.path(), std::string("/Library/LaunchDaemons/com.example.waveform.helper.plist"));
        QCOMPARE(leftovers[5].url.path(), std::string("/Users/demo/Library/Application Support/Waveform Studio"));
        QCOMPARE(leftovers[5].reason, std::string("Has the app's name. Check that no other app uses it."));
        QCOMPARE(leftovers[0].reason, std::string("Named after the app's identifier com.example.waveform."));
        // The demo home is a value: nothing was made there.
        QVERIFY(!Fs::exists("/Users/demo"));
    }

    void journalGoesInOnceIntoAnEmptyStore() {
        ModelFixture fixture;
        SeedData::insertIfRequested(fixture.makeModel());
        // A second launch: a fresh database connection and model on the same file.
        fixture.closeContainer();
        SeedData::insertIfRequested(fixture.makeModel());
        fixture.closeContainer();

        const auto records = newestFirst(fixture.container());
        QCOMPARE(records.size(), std::size_t(4));
        const QStringList titles = {"Caches", "Old installers", "Xcode", "Ledgerly and 3 leftovers"};
        const std::vector<std::int64_t> sizes = {12'400'000'000, 7'899'999'999, 21'300'000'000, 420'000'000};
        const std::vector<std::size_t> counts = {5, 3, 8, 4};
        for (std::size_t i = 0; i < 4; ++i) {
            QCOMPARE(records[i]->title(), titles[int(i)]);
            QCOMPARE(records[i]->size(), sizes[i]);
            QCOMPARE(records[i]->items().size(), counts[i]);
            QCOMPARE(records[i]->undone(), i == 3);
        }
        QCOMPARE(records[1]->items()[2].size, std::int64_t(2'633'333'333));
    }

    // The four records go in one save: a save that fails part way leaves none behind, and the
    // next launch then writes the whole journal.
    void failedSaveLeavesNoHalfJournal() {
        ModelFixture fixture;
        fixture.container();
        fixture.closeContainer();
        execute(fixture.storePath(), "CREATE TRIGGER refuse_xcode BEFORE INSERT ON removals WHEN NEW.title = 'Xcode' "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        SeedData::insertIfRequested(fixture.makeModel());
        fixture.closeContainer();
        QCOMPARE(fixture.container().removalCount(), std::optional<int>(0));
        fixture.closeContainer();

        execute(fixture.storePath(), "DROP TRIGGER refuse_xcode");
        SeedData::insertIfRequested(fixture.makeModel());
        fixture.closeContainer();
        QCOMPARE(fixture.container().removalCount(), std::optional<int>(4));
    }

    void journalLeavesAnotherJournalAlone() {
        ModelFixture fixture;
        fixture.container().insert(std::make_shared<Removal>(Date::now(), "Mine", std::vector<RemovedItem>{}));
        QVERIFY(fixture.container().save());
        AppModel& model = fixture.makeModel();
        SeedData::insertIfRequested(model);
        QVERIFY(model.isDemo()); // the model is filled all the same
        fixture.closeContainer();
        const auto records = newestFirst(fixture.container());
        QCOMPARE(records.size(), std::size_t(1));
        QCOMPARE(records[0]->title(), QString("Mine"));
    }

    void observersSeeDemoModeAndNothingIsWritten() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ChangeLog log(model);
        std::vector<bool> demoWhenAnnounced;
        QObject::connect(&model, &AppModel::changed, &model, [&](AppModel::Field field) {
            if (field == AppModel::Field::scan || field == AppModel::Field::apps || field == AppModel::Field::updates)
                demoWhenAnnounced.push_back(model.isDemo());
        });
        SeedData::insertIfRequested(model);
        QCOMPARE(demoWhenAnnounced, std::vector<bool>({true, true, true}));
        using F = AppModel::Field;
        QCOMPARE(log.fields, std::vector<F>({F::isDemo, F::scan, F::apps, F::orphans, F::appsLoaded, F::updates,
                                             F::updatesCheckedAt, F::volume, F::dayGrowth, F::weekGrowth}));

        // Whatever the announcements started has run; only the store's own files lie beside it.
        QCoreApplication::processEvents();
        fixture.destroyModel();
        QVERIFY(!Fs::exists(ScanCache::url().path()));
        const auto daily = fixture.container().dailySizes();
        QVERIFY(daily && daily->empty());
        QVERIFY(!fixture.settings->contains(SettingKeys::settingsTab.key()));
        for (const auto& name : Fs::list(Path::parent(fixture.storePath())))
            QVERIFY2(QString::fromStdString(name).startsWith("test.store"), name.c_str());
    }

    void offOrRefusedLeavesTheModelAlone_data() {
        QTest::addColumn<QString>("seed");  // "-": unset
        QTest::addColumn<QString>("store"); // "-": unset; "path": the fixture's store
        QTest::newRow("digit and blank") << "1 "
                                         << "path";
        QTest::newRow("leading zero") << "01"
                                      << "path";
        QTest::newRow("word") << "yes"
                              << "path";
        QTest::newRow("empty") << ""
                               << "path";
        QTest::newRow("unset") << "-"
                               << "path";
        QTest::newRow("no test store") << "1"
                                       << "-";
        QTest::newRow("empty test store") << "1"
                                          << "";
    }

    void offOrRefusedLeavesTheModelAlone() {
        QFETCH(QString, seed);
        QFETCH(QString, store);
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const auto initialScan = model.scan();
        const auto initialVolume = model.volume();
        ChangeLog log(model);
        {
            ScopedEnv seedEnv("APP_SEED", seed == "-" ? std::nullopt : std::optional<std::string>(seed.toStdString()));
            std::optional<ScopedEnv> storeEnv;
            if (store != "path")
                storeEnv.emplace("APP_STORE", store == "-" ? std::nullopt : std::optional<std::string>(""));
            SeedData::insertIfRequested(model);
        }
        QVERIFY(log.fields.empty());
        QVERIFY(!model.isDemo());
        QCOMPARE(model.scan(), initialScan);
        QCOMPARE(model.volume(), initialVolume);
        QVERIFY(model.apps().empty());
        QCOMPARE(fixture.container().removalCount().value_or(-1), 0);
    }

    // A backup's name ends with its day as the window's language writes dates.
    void backupNamesCarryTheirDayInTheWindowsLanguage() {
        const auto backupNames = [] {
            ModelFixture fixture;
            AppModel& model = fixture.makeModel();
            SeedData::insertIfRequested(model);
            std::vector<std::string> names;
            for (const CleanupItem& item : model.scan()->category(CategoryID::iosBackups)->items)
                names.push_back(item.name);
            std::sort(names.begin(), names.end());
            return names;
        };
        const auto english = qScopeGuard([] { Translations::install(); });
        {
            ScopedEnv language("APP_LANG", "en");
            QVERIFY(Translations::install());
            QCOMPARE(backupNames(), std::vector<std::string>({"iPad, Sep 2, 2026", "iPhone, Mar 14, 2024"}));
        }
        ScopedEnv language("APP_LANG", "de");
        QVERIFY(Translations::install());
        QCOMPARE(backupNames(), std::vector<std::string>({"iPad, 2. Sept. 2026", "iPhone, 14. März 2024"}));
    }

    void germanTextsAndFileNames() {
        // The German demo texts come from the catalogue, loaded as the application loads it;
        // taken out again once the language is English again.
        const auto english = qScopeGuard([] { Translations::install(); });
        ScopedEnv german("APP_LANG", "de");
        QVERIFY(Translations::install());
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        SeedData::insertIfRequested(model);
        const ScanResult& scan = *model.scan();
        const Category* personal = scan.category(CategoryID::personal);
        QVERIFY(personal);
        std::vector<std::string> names;
        for (const CleanupItem& item : personal->items)
            names.push_back(item.name);
        QCOMPARE(names, std::vector<std::string>({"Bilder", "Dokumente", "Filme", "Downloads", "Musik",
                                                  "iCloud Drive (auf diesem Mac)", "Schreibtisch"}));
        QCOMPARE(personal->items[0].reason, std::string("Deine eigenen Dateien. Dovrane zeigt sie nur."));
        QCOMPARE(scan.category(CategoryID::snapshots)->note.value_or(""),
                 std::string("3 Schnappschüsse, Größe von macOS nicht offengelegt"));
        std::vector<std::string> installers;
        for (const CleanupItem& item : scan.category(CategoryID::installers)->items)
            installers.push_back(item.name);
        QCOMPARE(installers, std::vector<std::string>({"Pixelmoor-4.2.dmg", "Tidepool-Setup.pkg", "Fotos-Urlaub.zip"}));
        QVERIFY(model.orphans()[0].reason.starts_with("Keine installierte App hat die Kennung com.example.oldeditor."));
        QCOMPARE(checkOf(model.updates(), "Ledgerly")->message(),
                 std::string("Den Update-Server des Herstellers gibt es nicht mehr."));

        fixture.closeContainer();
        QStringList titles;
        for (const auto& record : newestFirst(fixture.container()))
            titles << record->title();
        QCOMPARE(titles, QStringList({"Caches", "Alte Installer", "Xcode", "Ledgerly und 3 Reste"}));
    }

private:
    std::optional<ScopedEnv> seed_;
};

DOVRANE_MODEL_SUITE(SeedDataTests)
#include "SeedDataTests.moc"
