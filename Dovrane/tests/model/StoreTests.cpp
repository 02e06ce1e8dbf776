// The database: where it lives, how it opens, what it keeps and what it refuses to touch.

#include "AppModel/ScanCache.h"
#include "Services/ModelContainer.h"
#include "Store/Store.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/FileSystem.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

std::unique_ptr<ModelContainer> openOrFail(const std::string& path) {
    auto opened = ModelContainer::open(path);
    if (!opened)
        qWarning("%s", opened.error().message.c_str());
    return opened ? std::move(opened).value() : nullptr;
}

RemovedItem item(const std::string& name, std::int64_t size) {
    return RemovedItem{Url::fromPath("/home/someone/" + name),
                       Url::fromPath("/home/someone/.local/share/Trash/files/" + name), size, false};
}

// Runs one statement on the file through a connection of its own and gives the first column of
// its first row (an invalid value when there is none or the statement fails).
QVariant execute(const std::string& path, const QString& statement) {
    const QString name = QStringLiteral("store-test-raw");
    QVariant value;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(QString::fromStdString(path));
        if (database.open()) {
            QSqlQuery query(database);
            if (query.exec(statement) && query.next())
                value = query.value(0);
            else if (query.lastError().isValid())
                qWarning("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        }
        database.close();
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

struct OpenRun {
    int status = -1;
    QString error;
};

// Opens the store in a child process, as the application does at start-up.
OpenRun openInChild(const std::string& storePath) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("APP_STORE"), QString::fromStdString(storePath));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--open-store")});
    child.waitForFinished(-1);
    return {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1,
            QString::fromUtf8(child.readAllStandardError())};
}

} // namespace

class StoreTests : public QObject {
    Q_OBJECT

private slots:
    void locationFollowsTheTestStore() {
        TempHome home;
        {
            ScopedEnv empty("APP_STORE", "");
            QVERIFY(!Store::isOverridden());
            QCOMPARE(Store::url().path(), home / ".local/share/Dovrane/Dovrane.store");
            QVERIFY(Fs::isDirectory(home / ".local/share/Dovrane"));
            QCOMPARE(ScanCache::url().path(), home / ".local/share/Dovrane/last-scan.json");
        }
        {
            ScopedEnv store("APP_STORE", home / "elsewhere/test.store");
            QVERIFY(Store::isOverridden());
            QCOMPARE(Store::url().path(), home / "elsewhere/test.store");
            QVERIFY(!Fs::exists(home / "elsewhere")); // no folder is made for a test store
            QCOMPARE(ScanCache::url().path(), home / "elsewhere/dovrane-test-scan.json");
        }
    }

    void opensWithWriteAheadLogAndSchema() {
        TempDir folder;
        auto container = openOrFail(folder / "a.store");
        QVERIFY(container);
        container.reset();
        QCOMPARE(execute(folder / "a.store", QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
        QCOMPARE(execute(folder / "a.store", QStringLiteral("PRAGMA user_version")).toInt(), 1);
    }

    void recordsSurviveAReopenAndStayDistinct() {
        TempDir folder;
        const std::string path = folder / "journal.store";
        const Date when = Date::fromUnix(1714550400);
        {
            auto container = openOrFail(path);
            QVERIFY(container);
            auto first = std::make_shared<Removal>(when, QStringLiteral("Old caches"),
                                                   std::vector<RemovedItem>{item("a", 100), item("b", 23)});
            auto twin = std::make_shared<Removal>(when, QStringLiteral("Old caches"),
                                                  std::vector<RemovedItem>{item("a", 100), item("b", 23)});
            QVERIFY(!first->undone());
            QCOMPARE(first->size(), std::int64_t(123));
            QVERIFY(first->uuid() != twin->uuid());
            container->insert(first);
            container->insert(twin);
            container->insert(std::make_shared<DailySize>(when, 42));
            QCOMPARE(container->removals()->size(), size_t(2)); // waiting records are fetched too
            QVERIFY(container->save());
            first->setUndone(true);
            QVERIFY(container->save());
        }
        auto container = openOrFail(path);
        QVERIFY(container);
        auto removals = *container->removals();
        QCOMPARE(removals.size(), size_t(2));
        QVERIFY(removals[0] != removals[1]);
        QVERIFY(removals[0]->undone());
        QVERIFY(!removals[1]->undone());
        QCOMPARE(removals[0]->title(), QStringLiteral("Old caches"));
        QCOMPARE(removals[0]->date(), when);
        QCOMPARE(removals[0]->items(), (std::vector<RemovedItem>{item("a", 100), item("b", 23)}));
        QVERIFY(removals[0]->uuid() != removals[1]->uuid());
        // The same row is the same object on every fetch.
        QCOMPARE((*container->removals())[0], removals[0]);
        auto days = *container->dailySizes();
        QCOMPARE(days.size(), size_t(1));
        QCOMPARE(days[0]->used(), std::int64_t(42));
        QVERIFY(days[0]->categories().empty());
    }

    void unusableFilesAreRefusedAndLeftAlone_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not a database") << QByteArray("this is a note, not a database\n") << "not a database";
        QTest::newRow("newer schema") << QByteArray() << "newer version";
    }

    void unusableFilesAreRefusedAndLeftAlone() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        TempDir folder;
        const std::string path = folder / "refused.store";
        if (contents.isEmpty())
            execute(path, QStringLiteral("PRAGMA user_version = 7"));
        else
            writeFile(path, contents.toStdString());
        const auto before = Fs::readFile(path);
        QVERIFY(before);

        auto opened = ModelContainer::open(path);
        QVERIFY(!opened);
        QVERIFY2(QString::fromStdString(opened.error().message).contains(reason), opened.error().message.c_str());
        QCOMPARE(Fs::readFile(path), before);

        // The application stops with the sentence and status 1, and still changes nothing.
        const OpenRun run = openInChild(path);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.error.startsWith(QStringLiteral("Could not open the database at ") + QString::fromStdString(path) +
                                      ": "),
                 qPrintable(run.error));
        QCOMPARE(Fs::readFile(path), before);
    }

    void aMissingFolderStopsTheApplication() {
        TempDir folder;
        const OpenRun run = openInChild(folder / "no/such/folder/x.store");
        QCOMPARE(run.status, 1);
        QVERIFY(run.error.startsWith(QStringLiteral("Could not open the database at ")));
        QVERIFY(!Fs::exists(folder / "no"));
    }

    void undecodableRowsAreSkippedAndKept() {
        TempDir folder;
        const std::string path = folder / "odd.store";
        {
            auto container = openOrFail(path);
            QVERIFY(container);
            container->insert(std::make_shared<Removal>(Date(), QStringLiteral("Good"), std::vector<RemovedItem>{}));
            container->insert(
                std::make_shared<DailySize>(Date{100}, 5, std::map<std::string, std::int64_t>{{"caches", 5}}));
            QVERIFY(container->save());
        }
        execute(path, QStringLiteral(
                          "INSERT INTO removals (date, title, items, undone, uuid) "
                          "VALUES (0, 'Bad', '{\"not\": \"a list\"}', 0, '8f1d1a52-3c57-4f1c-9a55-3a0c1fd0f001')"));
        execute(path, QStringLiteral("INSERT INTO daily_sizes (day, used, categories) VALUES (200, 1, '[1, 2]')"));
        {
            auto container = openOrFail(path);
            QVERIFY(container);
            auto removals = *container->removals();
            QCOMPARE(removals.size(), size_t(1));
            QCOMPARE(removals[0]->title(), QStringLiteral("Good"));
            QCOMPARE(container->dailySizes()->size(), size_t(1));
            // A later save does not drop the row it could not read.
            container->insert(std::make_shared<Removal>(Date(), QStringLiteral("Later"), std::vector<RemovedItem>{}));
            QVERIFY(container->save());
        }
        QCOMPARE(execute(path, QStringLiteral("SELECT COUNT(*) FROM removals WHERE title = 'Bad'")).toInt(), 1);
    }

    void aFailedSaveKeepsTheChangesForTheNext() {
        TempDir folder;
        const std::string path = folder / "refusing.store";
        auto container = openOrFail(path);
        QVERIFY(container);
        // Another connection makes every insert fail for a while.
        execute(path, QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON removals "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        auto waiting = std::make_shared<Removal>(Date(), QStringLiteral("Waiting"), std::vector<RemovedItem>{});
        container->insert(waiting);
        container->insert(std::make_shared<DailySize>(Date{1}, 1));
        QVERIFY(!container->save());
        QVERIFY(container->hasChanges());
        QCOMPARE(container->removals()->size(), size_t(1));
        execute(path, QStringLiteral("DROP TRIGGER refuse"));
        QVERIFY(container->save());
        QVERIFY(!container->hasChanges());
        container.reset();
        container = openOrFail(path);
        QCOMPARE(container->removals()->size(), size_t(1)); // written once, not twice
        QCOMPARE(container->dailySizes()->size(), size_t(1));
    }

    void oldDailyRecordsGoAtTheNextSave() {
        TempDir folder;
        auto container = openOrFail(folder / "days.store");
        QVERIFY(container);
        for (double day : {100.0, 200.0, 300.0})
            container->insert(std::make_shared<DailySize>(Date{day}, std::int64_t(day)));
        QVERIFY(container->save());
        container->deleteDailySizes(Date{200});
        QCOMPARE(container->dailySizes()->size(), size_t(2)); // at once for fetches
        QVERIFY(container->save());
        container.reset();
        container = openOrFail(folder / "days.store");
        auto days = *container->dailySizes();
        QCOMPARE(days.size(), size_t(2));
        QCOMPARE(days[0]->day(), Date{200}); // "earlier than" the cut-off: the record on it stays
        QCOMPARE(container->dailySizes(Date{300})->size(), size_t(1));
    }
};

DOVRANE_MODEL_SUITE(StoreTests)
#include "StoreTests.moc"
