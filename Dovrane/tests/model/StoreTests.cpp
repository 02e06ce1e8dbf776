// The database: where it lives, how it opens, what it keeps and what it refuses to touch.

#include "AppModel/CacheWriter.h"
#include "AppModel/ScanCache.h"
#include "Background/LocalCalendar.h"
#include "QtWaits.h"
#include "Services/AppFolders.h"
#include "Services/LoginItem.h"
#include "Services/ModelContainer.h"
#include "Services/Translations.h"
#include "Services/Wording.h"
#include "Store/Store.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"
#include "support/Patience.h"
#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>
#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <grp.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <future>
#include <limits>
#include <map>

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

// Opens the store in a child process, as the application does at start-up: the test store at
// storePath, or with an empty one the store in Dovrane's folder of the home given. On a full
// disk the child can write no byte into any file. A child still running after half a minute is
// stopped.
OpenRun openInChild(const std::string& storePath, const std::string& home = {}, bool fullDisk = false) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("APP_STORE"), QString::fromStdString(storePath));
    child.setProcessEnvironment(environment);
    if (fullDisk)
        child.setChildProcessModifier([] {
            const struct rlimit none { 0, 0 };
            ::setrlimit(RLIMIT_FSIZE, &none);
            ::signal(SIGXFSZ, SIG_IGN); // a write then fails, as on a full disk, instead of ending the child
        });
    QStringList arguments{QStringLiteral("--open-store")};
    if (!home.empty())
        arguments << QString::fromStdString(home);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(patientMs(10'000))) {
        child.kill();
        child.waitForFinished(-1);
        return {-1, QStringLiteral("still running after 30 s")};
    }
    return {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1,
            QString::fromUtf8(child.readAllStandardError())};
}

// Runs the test binary as another process writing the store (see ModelTestMain).
int writeFromChild(const std::string& storePath) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("APP_STORE"), QString::fromStdString(storePath));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--store-writer")});
    child.waitForFinished(-1);
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

// A store of 400 removals and 400 daily records, spread over many pages, closed so that
// everything is in the main file.
void writeLargeStore(const std::string& path) {
    auto opened = ModelContainer::open(path);
    QVERIFY(opened);
    auto container = std::move(opened).value();
    const std::map<std::string, std::int64_t> categories{{"caches", 1}, {"developer", 2}, {"downloads", 3}};
    for (int number = 0; number < 400; ++number) {
        container->insert(
            std::make_shared<Removal>(Date{double(number)}, QStringLiteral("Removal %1").arg(number),
                                      std::vector<RemovedItem>{item("file" + std::to_string(number), 1)}));
        container->insert(std::make_shared<DailySize>(QDate(2024, 1, 1).addDays(number), number, categories));
    }
    QVERIFY(container->save());
}

// Overwrites one page of the file in place, as a failing disk would.
void damagePage(const std::string& path, long page) {
    const int pageSize = execute(path, QStringLiteral("PRAGMA page_size")).toInt();
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(qint64(pageSize) * page));
    QVERIFY(file.write(QByteArray(pageSize, '\x5a')) == pageSize);
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
            QCOMPARE(ScanCache::url().path(), home / "elsewhere/test.store.scan.json");
        }
    }

    // The journal lists the paths of removed files: only the user may read the folder and what
    // it holds, whoever made the folder first and however an older version left the modes.
    void theStoreFolderAndDovranesFilesInItArePrivate() {
        TempHome home;
        ScopedEnv realStore("APP_STORE", std::nullopt);
        const std::string folder = home / ".local/share/Dovrane";
        const auto mode = [](const std::string& path) {
            struct stat status {};
            return ::lstat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : mode_t(01);
        };
        const auto saveOne = [&] {
            auto container = Store::openContainer();
            QVERIFY(container);
            (*container)->insert(std::make_shared<DailySize>(QDate(2024, 5, 1), 1));
            QVERIFY((*container)->save());
            for (const char* suffix : {"", "-wal", "-shm"})
                QCOMPARE(mode(Store::url().path() + suffix), mode_t(0600));
        };
        const mode_t umaskBefore = ::umask(022);
        saveOne();
        QCOMPARE(mode(folder), mode_t(0700));

        for (const char* name : {"Dovrane.store", "Dovrane.store-wal", "Dovrane.store-shm", "last-scan.json"}) {
            if (!Fs::exists(folder + "/" + name))
                writeFile(folder + "/" + name, "");
            QCOMPARE(::chmod((folder + "/" + name).c_str(), 0644), 0);
        }
        QCOMPARE(::chmod(folder.c_str(), 0755), 0);
        saveOne();
        QCOMPARE(mode(folder), mode_t(0700));
        QCOMPARE(mode(folder + "/last-scan.json"), mode_t(0600));
        ::umask(umaskBefore);
    }

    // The folder may be a link to one the user shares: what else is in it keeps its mode, and so
    // does a file of Dovrane's name that is another file too by a hard link.
    void onlyDovranesOwnFilesAreMadePrivate() {
        TempHome home;
        ScopedEnv realStore("APP_STORE", std::nullopt);
        const std::string shared = home / "Shared";
        writeFile(shared + "/team-notes.txt", "notes");
        writeFile(home / "Documents/page.html", "<p>");
        makeHardLink(home / "Documents/page.html", shared + "/page.html");
        writeFile(home / "Documents/scan.json", "{}");
        makeHardLink(home / "Documents/scan.json", shared + "/last-scan.json");
        writeFile(shared + "/last-updates.json", "{}");
        makeFolder(home / ".local/share");
        makeSymlink(shared, home / ".local/share/Dovrane");
        for (const std::string& path : {shared + "/team-notes.txt", home / "Documents/page.html",
                                        home / "Documents/scan.json", shared + "/last-updates.json"})
            QCOMPARE(::chmod(path.c_str(), 0644), 0);
        QCOMPARE(::chmod(shared.c_str(), 0755), 0);

        QVERIFY(Store::openContainer());
        const auto mode = [](const std::string& path) {
            struct stat status {};
            return ::lstat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : mode_t(01);
        };
        QCOMPARE(mode(shared + "/Dovrane.store"), mode_t(0600));
        QCOMPARE(mode(shared + "/last-updates.json"), mode_t(0600));
        QCOMPARE(mode(shared + "/team-notes.txt"), mode_t(0644));
        QCOMPARE(mode(home / "Documents/page.html"), mode_t(0644));
        QCOMPARE(mode(home / "Documents/scan.json"), mode_t(0644));
        QCOMPARE(mode(shared), mode_t(0755));
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
            container->insert(std::make_shared<DailySize>(QDate(2024, 5, 1), 42));
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

    // Items go in as their UTF-8 bytes and are read back as such, whether encoded beforehand or
    // at the save: the column holds text an older Dovrane reads, with names in any script and
    // names that are no UTF-8 at all.
    void itemsAreStoredAsTheirTextAndReadBackWhole() {
        TempDir folder;
        const std::string path = folder / "names.store";
        const std::vector<RemovedItem> items{item("Über Caches", 5), item("日本語", 7), item("odd\xff\xfe", 9)};
        {
            auto container = openOrFail(path);
            QVERIFY(container);
            container->insert(std::make_shared<Removal>(Date{10}, QStringLiteral("Encoded"), items));
            container->insert(std::make_shared<Removal>(Date{20}, Wording::plain(QStringLiteral("Encoded before")),
                                                        items, ModelContainer::encodeItems(items)));
            QVERIFY(container->save());
        }
        QCOMPARE(execute(path, QStringLiteral("SELECT COUNT(*) FROM removals WHERE typeof(items) = 'text' AND "
                                              "items LIKE '%Über Caches%' AND items LIKE '%日本語%'"))
                     .toInt(),
                 2);
        const auto page = ModelContainer::readJournal(path, 0, 10, {});
        QVERIFY(page && page->entries.size() == 2);
        for (const JournalEntry& entry : page->entries) {
            QVERIFY(entry.record);
            QCOMPARE(entry.record->items(), items);
        }
        auto container = openOrFail(path);
        QVERIFY(container);
        const auto removals = container->removals();
        QVERIFY(removals && removals->size() == 2);
        for (const auto& record : *removals)
            QCOMPARE(record->items(), items);
    }

    void unusableFilesAreRefusedAndLeftAlone_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("damaged");
        // What SQLite calls no database is offered a new one as a damaged file is.
        QTest::newRow("not a database") << QByteArray("this is a note, not a database\n") << "not a database" << true;
        QTest::newRow("newer schema") << QByteArray() << "newer version" << false;
    }

    void unusableFilesAreRefusedAndLeftAlone() {
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        QFETCH(bool, damaged);
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
        QCOMPARE(opened.error().damaged, damaged);
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
                std::make_shared<DailySize>(QDate(2024, 5, 1), 5, std::map<std::string, std::int64_t>{{"caches", 5}}));
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

    // The journal is counted in the file, with the records waiting for a save; a row that no
    // longer decodes counts, as the file keeps it.
    void theJournalIsCountedInTheFile() {
        TempDir folder;
        const std::string path = folder / "counted.store";
        auto container = openOrFail(path);
        QVERIFY(container);
        const auto removal = [](const char* title) {
            return std::make_shared<Removal>(Date(), QString::fromLatin1(title), std::vector<RemovedItem>{});
        };
        QCOMPARE(container->removalCount(), std::optional<int>(0));
        container->insert(removal("First"));
        container->insert(removal("Second"));
        QCOMPARE(container->removalCount(), std::optional<int>(2));
        QVERIFY(container->save());
        container->insert(removal("Waiting"));
        QCOMPARE(container->removalCount(), std::optional<int>(3));
        QCOMPARE(container->removals()->size(), std::size_t(3));
        QVERIFY(container->save());
        QCOMPARE(container->removalCount(), std::optional<int>(3));
        execute(path, QStringLiteral("INSERT INTO removals (date, title, items, undone, uuid) "
                                     "VALUES (0, 'Unreadable', 'no list', 0, 'no uuid')"));
        QCOMPARE(container->removalCount(), std::optional<int>(4));
        QCOMPARE(container->removals()->size(), std::size_t(3));
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
        container->insert(std::make_shared<DailySize>(QDate(2024, 5, 1), 1));
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

    // One damaged page must not read as fewer records: the store is refused whole at opening,
    // and a file damaged while open stops answering and is no longer written.
    void aDamagedStoreIsRefusedAndNeverWritten() {
        TempDir folder;
        const std::string path = folder / "damaged.store";
        writeLargeStore(path);
        const int pages = execute(path, QStringLiteral("PRAGMA page_count")).toInt();
        QVERIFY(pages > 20);
        {
            auto container = openOrFail(path);
            QVERIFY(container);
            QCOMPARE(container->dailySizes()->size(), size_t(400));
            damagePage(path, pages - 4);
            // The connection may answer from pages it still holds; what it cannot read is a failure.
            const auto days = container->dailySizes();
            if (!days) {
                QVERIFY(container->isDamaged());
                const auto before = Fs::readFile(path);
                container->insert(std::make_shared<DailySize>(QDate(2024, 5, 1), 1));
                QVERIFY(!container->save());
                QCOMPARE(Fs::readFile(path), before);
            } else {
                QCOMPARE(days->size(), size_t(400));
            }
        }
        const auto before = Fs::readFile(path);
        auto opened = ModelContainer::open(path);
        QVERIFY(!opened);
        QVERIFY(opened.error().damaged);
        QVERIFY2(opened.error().message.starts_with("the file is damaged"), opened.error().message.c_str());
        QCOMPARE(Fs::readFile(path), before);

        // Moved aside by the user's choice, the damaged file is kept and numbered, never replaced.
        writeFile(path + ".damaged", "an earlier copy");
        const auto aside = Store::setAside(path);
        QCOMPARE(aside, std::optional<std::string>(path + ".damaged-2"));
        QCOMPARE(Fs::readFile(*aside), before);
        QCOMPARE(Fs::readFile(path + ".damaged"), std::optional<std::string>("an earlier copy"));
        QVERIFY(openOrFail(path));
    }

    // The journal records a damaged store can still give go with the user into the new store:
    // those before and after a damaged page of the journal, with their put-back state.
    void aFreshStartKeepsTheJournalRecordsThatCanBeRead() {
        TempDir folder;
        const std::string path = folder / "journal.store";
        writeLargeStore(path);
        {
            auto container = openOrFail(path);
            QVERIFY(container);
            (*container->removals())[399]->setUndone(true);
            QVERIFY(container->save());
        }
        const auto bytes = Fs::readFile(path);
        QVERIFY(bytes);
        const std::size_t at = bytes->find("Removal 200");
        QVERIFY(at != std::string::npos);
        const int pageSize = execute(path, QStringLiteral("PRAGMA page_size")).toInt();
        damagePage(path, long(at / std::size_t(pageSize)));
        QVERIFY(!ModelContainer::open(path));
        const auto damaged = Fs::readFile(path);

        const auto started = Store::startFresh(path);
        QVERIFY(started);
        QCOMPARE(Fs::readFile(started->aside), damaged);
        auto fresh = openOrFail(path);
        QVERIFY(fresh);
        const auto kept = *fresh->removals();
        QCOMPARE(kept.size(), started->keptRemovals);
        QVERIFY2(kept.size() > 300 && kept.size() < 400, std::to_string(kept.size()).c_str());
        QCOMPARE(kept.front()->title(), QStringLiteral("Removal 0"));
        QCOMPARE(kept.back()->title(), QStringLiteral("Removal 399"));
        QVERIFY(kept.back()->undone());
        QVERIFY(!kept.front()->undone());
        QCOMPARE(kept.front()->items().size(), size_t(1));
        QVERIFY(std::none_of(kept.begin(), kept.end(),
                             [](const auto& record) { return record->title() == QStringLiteral("Removal 200"); }));
        // What a store without a journal table gives: nothing, and the file stays as it is.
        writeFile(folder / "other.store", "not a database");
        QVERIFY(ModelContainer::readableRemovals(folder / "other.store").empty());
        QCOMPARE(Fs::readFile(folder / "other.store"), std::optional<std::string>("not a database"));
    }

    // A store or log file in Dovrane's folder that is a symbolic link is never opened, nor anything
    // written through it: the window works on a stand-in in the runtime folder, which goes when it
    // closes, and learns where the link points. A link to the folder itself is followed: the store
    // and its logs stay together behind it.
    void theWindowNeverWritesThroughALinkedStore() {
        TempHome home;
        TempDir runtime;
        ScopedEnv realStore("APP_STORE", std::nullopt), runtimeFolder("XDG_RUNTIME_DIR", runtime.path());
        const std::string path = Store::url().path();
        const std::string moved = home / "Moved/Dovrane.store";
        QVERIFY(Fs::makeDirectories(home / "Moved"));
        {
            auto container = openOrFail(moved);
            QVERIFY(container);
            container->insert(std::make_shared<Removal>(Date{1}, QStringLiteral("Old"), std::vector<RemovedItem>{}));
            QVERIFY(container->save());
        }
        const auto bytes = Fs::readFile(moved);
        QVERIFY(bytes);
        const auto expectLinked = [&](const std::string& link, bool there) {
            Store::WindowStore opened = Store::openForWindow();
            QVERIFY(opened.recovery);
            QCOMPARE(opened.recovery->kind, Store::Recovery::Kind::linked);
            QCOMPARE(opened.recovery->link.path, link);
            QCOMPARE(opened.recovery->link.target, there ? moved : home / "Unplugged/Dovrane.store");
            QCOMPARE(opened.recovery->link.targetExists, there);
            QVERIFY(opened.container && opened.container->isTemporary());
            const std::string standIn = Path::parent(opened.container->path());
            QCOMPARE(Path::parent(standIn), runtime.path());
            opened.container->insert(std::make_shared<DailySize>(QDate(2024, 5, 1), 1));
            QVERIFY(opened.container->save());
            opened.container.reset();
            QVERIFY(!Fs::exists(standIn));
            QVERIFY(Fs::isSymlink(link));
            QCOMPARE(Fs::readFile(moved), bytes);
            QCOMPARE(Fs::list(home / "Moved"), std::vector<std::string>{"Dovrane.store"});
        };
        // Read from the link's folder, a relative target is shown whole.
        makeSymlink("../../../Moved/Dovrane.store", path);
        expectLinked(path, true);
        QVERIFY(::unlink(path.c_str()) == 0);
        makeSymlink(home / "Unplugged/Dovrane.store", path); // a disk that is not there
        expectLinked(path, false);
        QVERIFY(::unlink(path.c_str()) == 0);

        // A linked log file is as bad: SQLite would write the log into the file it names.
        QVERIFY(openOrFail(path));
        makeSymlink(moved, path + "-wal");
        expectLinked(path + "-wal", true);
        QVERIFY(Fs::removeAll(home / ".local/share/Dovrane"));

        QVERIFY(Fs::makeDirectories(home / "Disk/Dovrane"));
        makeSymlink(home / "Disk/Dovrane", home / ".local/share/Dovrane");
        Store::WindowStore opened = Store::openForWindow();
        QVERIFY(!opened.recovery);
        QVERIFY(opened.container && !opened.container->isTemporary());
        QVERIFY(Fs::isRegularFile(home / "Disk/Dovrane/Dovrane.store"));
    }

    // A damaged store goes aside for the window together with its log, byte for byte, beside
    // every earlier copy, and a new store takes its place.
    void theWindowSetsADamagedStoreAsideWithItsLog() {
        TempHome home;
        ScopedEnv realStore("APP_STORE", std::nullopt);
        const std::string path = Store::url().path();
        writeFile(path, "not a database, but the user's bytes");
        writeFile(path + "-wal", "its log");
        writeFile(path + ".damaged", "an earlier copy");
        Store::WindowStore opened = Store::openForWindow();
        QVERIFY(opened.recovery);
        QCOMPARE(opened.recovery->kind, Store::Recovery::Kind::setAside);
        QCOMPARE(opened.recovery->aside, path + ".damaged-2");
        QCOMPARE(Fs::readFile(path + ".damaged-2"), std::optional<std::string>("not a database, but the user's bytes"));
        QCOMPARE(Fs::readFile(path + ".damaged-2-wal"), std::optional<std::string>("its log"));
        QCOMPARE(Fs::readFile(path + ".damaged"), std::optional<std::string>("an earlier copy"));
        QVERIFY(opened.container && !opened.container->isTemporary());
        QCOMPARE(opened.container->path(), path);
        QCOMPARE(opened.container->removals()->size(), std::size_t(0));
    }

    // A store the window cannot open, though not damaged (one of a newer Dovrane), is left
    // exactly as it is while a stand-in serves; without room even for that there is no store.
    void aStoreTheWindowCannotOpenIsLeftAsItIs() {
        TempDir folder, runtime;
        const std::string path = folder / "newer.store";
        execute(path, QStringLiteral("PRAGMA user_version = 7"));
        const auto before = Fs::readFile(path);
        ScopedEnv store("APP_STORE", path), runtimeFolder("XDG_RUNTIME_DIR", runtime.path());
        Store::WindowStore opened = Store::openForWindow();
        QVERIFY(opened.recovery);
        QCOMPARE(opened.recovery->kind, Store::Recovery::Kind::unusable);
        QVERIFY2(opened.recovery->reason.find("newer version") != std::string::npos, opened.recovery->reason.c_str());
        QCOMPARE(opened.recovery->cause, ModelContainer::OpenFailure::Cause::newer);
        QVERIFY(opened.recovery->aside.empty());
        QVERIFY(opened.container && opened.container->isTemporary());
        QCOMPARE(Fs::readFile(path), before);
        QVERIFY(!Fs::exists(path + ".damaged"));

        writeFile(folder / "no-folder", "");
        ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt), temporary("TMPDIR", folder / "no-folder");
        opened = Store::openForWindow();
        QVERIFY(!opened.container);
        QVERIFY(!opened.standInProblem.empty());
        QCOMPARE(Fs::readFile(path), before);
    }

    // A store this user may not write (another's, or on a read-only disk) is not opened read-only
    // to fail at every save: it is refused with the reason and left as it is.
    void aStoreThatCannotBeWrittenIsRefused() {
        if (geteuid() != 0)
            QSKIP("the store must be another user's, which only root can make here");
        TempDir folder;
        const std::string path = folder / "theirs.store";
        execute(path, QStringLiteral("CREATE TABLE theirs (name TEXT)"));
        const auto before = Fs::readFile(path);
        QCOMPARE(::chmod(folder.path().c_str(), 0755), 0);
        QCOMPARE(::chmod(path.c_str(), 0644), 0);
        QCOMPARE(asOrdinaryUser([&] {
                     auto opened = ModelContainer::open(path);
                     if (opened)
                         return std::string("opened");
                     const bool notWritable = opened.error().cause == ModelContainer::OpenFailure::Cause::notWritable;
                     return opened.error().message + (notWritable ? "" : " (another cause)");
                 }),
                 std::string("it cannot be written: Permission denied"));
        QCOMPARE(Fs::readFile(path), before);
    }

    // A store the user made read-only (the file 0444, or its folder 0500) keeps its mode and its
    // bytes: the window works on a stand-in, a developer run's opening fails with the reason.
    // Root may write it all the same, so the mode decides. A store Dovrane makes is private.
    void aReadOnlyStoreIsLeftAsTheUserSetIt() {
        const auto mode = [](const std::string& path) {
            struct stat status {};
            return ::lstat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : mode_t(01);
        };
        for (const bool folderReadOnly : {false, true}) {
            TempHome home;
            TempDir runtime;
            ScopedEnv realStore("APP_STORE", std::nullopt), runtimeFolder("XDG_RUNTIME_DIR", runtime.path());
            const std::string path = Store::url().path(), folder = Store::folder(false);
            {
                auto container = Store::openContainer();
                QVERIFY(container);
                (*container)->insert(std::make_shared<DailySize>(QDate(2024, 5, 1), 1));
                QVERIFY((*container)->save());
            }
            QCOMPARE(mode(folder), mode_t(0700));
            QCOMPARE(mode(path), mode_t(0600));
            const std::string readOnly = folderReadOnly ? folder : path;
            QCOMPARE(::chmod(readOnly.c_str(), folderReadOnly ? 0500 : 0444), 0);
            const auto unlock = qScopeGuard([&] { ::chmod(readOnly.c_str(), 0700); });
            const auto before = Fs::readFile(path);
            const std::vector<std::string> listing = Fs::list(folder);
            const std::string reason = folderReadOnly ? "its folder is read-only" : "it is read-only";

            Store::WindowStore opened = Store::openForWindow();
            QVERIFY(opened.recovery);
            QCOMPARE(opened.recovery->kind, Store::Recovery::Kind::unusable);
            QCOMPARE(opened.recovery->cause, ModelContainer::OpenFailure::Cause::readOnly);
            QCOMPARE(opened.recovery->reason, reason);
            QVERIFY(opened.container && opened.container->isTemporary());
            opened.container.reset();
            auto developerRun = Store::openContainer();
            QVERIFY(!developerRun);
            QCOMPARE(developerRun.error().message, reason);

            QCOMPARE(mode(folder), mode_t(folderReadOnly ? 0500 : 0700));
            QCOMPARE(mode(path), mode_t(folderReadOnly ? 0600 : 0444));
            QCOMPARE(Fs::readFile(path), before);
            QCOMPARE(Fs::list(folder), listing);
        }
    }

    // The developer runs open the store as it is: a named pipe ends the start at once, and stays.
    void aNamedPipeEndsADeveloperRunAndStays() {
        TempHome home;
        ScopedEnv realStore("APP_STORE", std::nullopt);
        const std::string path = Store::url().path();
        QCOMPARE(::mkfifo(path.c_str(), 0600), 0);
        const OpenRun run = openInChild("", home.path());
        QCOMPARE(run.status, 1);
        QCOMPARE(run.error, QStringLiteral("Could not open the database at %1: it is not a regular file\n")
                                .arg(QString::fromStdString(path)));
        struct stat status {};
        QVERIFY(::lstat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode));
    }

    // A first start on a full disk cannot make its store: it leaves neither a file nor its folder
    // behind, and a folder that was there stays.
    void aFirstStartThatCannotWriteLeavesNothingBehind() {
        TempHome home;
        ScopedEnv realStore("APP_STORE", std::nullopt);
        QVERIFY(Fs::makeDirectories(home / ".local/share"));
        const std::string folder = Store::folder(false);
        for (const bool folderWasThere : {false, true}) {
            if (folderWasThere)
                QVERIFY(Fs::makeDirectories(folder));
            const OpenRun run = openInChild("", home.path(), true);
            QCOMPARE(run.status, 1);
            QVERIFY2(run.error.startsWith(QStringLiteral("Could not open the database at ") +
                                          QString::fromStdString(folder + "/Dovrane.store: ")),
                     qPrintable(run.error));
            QCOMPARE(Fs::list(home / ".local/share"),
                     folderWasThere ? std::vector<std::string>{"Dovrane"} : std::vector<std::string>{});
            QCOMPARE(Fs::exists(folder) && Fs::list(folder).empty(), folderWasThere);
        }
    }

    void aTruncatedStoreIsRefusedAndLeftAlone() {
        TempDir folder;
        const std::string path = folder / "short.store";
        writeLargeStore(path);
        const auto whole = Fs::readFile(path);
        QVERIFY(whole);
        writeFile(path, whole->substr(0, whole->size() / 2));
        const auto before = Fs::readFile(path);
        auto opened = ModelContainer::open(path);
        QVERIFY(!opened);
        // It fails before its pages are checked; SQLite's word for it still offers a new database.
        QVERIFY2(opened.error().damaged, opened.error().message.c_str());
        QCOMPARE(Fs::readFile(path), before);
    }

    // A test store lives in /tmp, where other users can make files first.
    void aTestStoreThatOthersCouldRedirectIsRefused() {
        TempDir folder;
        const auto problem = [](const std::string& path) {
            ScopedEnv store("APP_STORE", path);
            return Store::testStoreProblem().value_or("");
        };
        QCOMPARE(problem(folder / "fresh.store"), std::string());
        QVERIFY(Fs::isRegularFile(folder / "fresh.store")); // made by the check, without following links
        QCOMPARE(problem(folder / "fresh.store"), std::string());

        writeFile(folder / "someone-elses", "theirs");
        QVERIFY(::symlink((folder / "someone-elses").c_str(), (folder / "link.store").c_str()) == 0);
        QCOMPARE(problem(folder / "link.store"), std::string("it is a symbolic link"));
        QCOMPARE(Fs::readFile(folder / "someone-elses"), std::optional<std::string>("theirs"));

        writeFile(folder / "open.store", "");
        QVERIFY(::chmod((folder / "open.store").c_str(), 0666) == 0);
        QCOMPARE(problem(folder / "open.store"), std::string("other users may write to it"));

        QVERIFY(Fs::makeDirectories(folder / "shared"));
        QVERIFY(::chmod((folder / "shared").c_str(), 0777) == 0);
        QCOMPARE(problem(folder / "shared/a.store"), std::string("any user may replace files in its folder"));
        QVERIFY(::chmod((folder / "shared").c_str(), 01777) == 0);
        QCOMPARE(problem(folder / "shared/a.store"), std::string());

        QCOMPARE(problem("/var/tmp/a.store"), std::string("it is not a file in /tmp"));
        QCOMPARE(problem("/tmp/../etc/a.store"), std::string("it is not a file in /tmp"));

        // Ownership needs a second user; only root can hand a file to one.
        if (geteuid() == 0) {
            writeFile(folder / "planted.store", "");
            QVERIFY(::chown((folder / "planted.store").c_str(), 65534, 65534) == 0);
            QCOMPARE(problem(folder / "planted.store"), std::string("it belongs to another user"));
        } else {
            qInfo("the foreign-owner case needs root to give a file away; skipped");
        }

        // The application refuses before opening anything.
        const OpenRun run = openInChild(folder / "link.store");
        QCOMPARE(run.status, 1);
        QVERIFY2(run.error.contains(QStringLiteral("it is a symbolic link")), qPrintable(run.error));
        QCOMPARE(Fs::readFile(folder / "someone-elses"), std::optional<std::string>("theirs"));
    }

    // SQLite would make the log files itself, after the check and by name: they are made with the
    // store and checked like it, and SQLite keeps using the very files that were checked.
    void aTestStoresLogFilesAreMadeAndCheckedBeforeOpening() {
        TempDir folder;
        const std::string path = folder / "logs.store";
        ScopedEnv store("APP_STORE", path);
        const auto problem = [] { return Store::testStoreProblem().value_or(""); };
        const auto inode = [](const std::string& file) {
            struct stat status {};
            return ::lstat(file.c_str(), &status) == 0 ? status.st_ino : ino_t(0);
        };
        QCOMPARE(problem(), std::string());
        std::map<std::string, ino_t> made;
        for (const std::string& log : {path + "-wal", path + "-shm"}) {
            struct stat status {};
            QVERIFY(::lstat(log.c_str(), &status) == 0);
            QVERIFY(S_ISREG(status.st_mode));
            QCOMPARE(status.st_mode & 0777, mode_t(0600));
            QCOMPARE(status.st_uid, geteuid());
            made[log] = status.st_ino;
        }
        {
            auto opened = Store::openContainer();
            QVERIFY2(opened, opened ? "" : opened.error().message.c_str());
            (*opened)->insert(std::make_shared<Removal>(Date(), QStringLiteral("Logged"), std::vector<RemovedItem>{}));
            QVERIFY((*opened)->save());
            for (const auto& [log, number] : made)
                QCOMPARE(inode(log), number);
        }

        // SQLite removes the log files when its last connection closes; the next check makes them again.
        writeFile(folder / "theirs", "their log");
        ::unlink((path + "-shm").c_str());
        QVERIFY(::symlink((folder / "theirs").c_str(), (path + "-shm").c_str()) == 0);
        QCOMPARE(problem(), std::string("it is a symbolic link (logs.store-shm)"));
        QCOMPARE(Fs::readFile(folder / "theirs"), std::optional<std::string>("their log"));

        QVERIFY(::unlink((path + "-shm").c_str()) == 0);
        ::unlink((path + "-wal").c_str());
        writeFile(path + "-wal", "");
        QVERIFY(::chmod((path + "-wal").c_str(), 0622) == 0);
        QCOMPARE(problem(), std::string("other users may write to it (logs.store-wal)"));
        // Refused before anything is opened: no log index is made beside a refused store.
        QVERIFY(!Store::openContainer());
        QVERIFY(!Fs::exists(path + "-shm"));

        if (geteuid() == 0) {
            QVERIFY(::chmod((path + "-wal").c_str(), 0600) == 0);
            QVERIFY(::chown((path + "-wal").c_str(), 65534, 65534) == 0);
            QCOMPARE(problem(), std::string("it belongs to another user (logs.store-wal)"));
        } else {
            qInfo("the foreign-owner case needs root to give a file away; skipped");
        }
    }

    // The settings and caches folders are checked at start, and a missing one is not made by the
    // check: only the first write makes it.
    void foldersThatCannotHoldDovranesFilesAreNamed() {
        TempDir folder;
        QCOMPARE(AppFolders::problem(folder / "new/deeper"), std::nullopt);
        QVERIFY(!Fs::exists(folder / "new"));
        writeFile(folder / "file", "");
        QCOMPARE(AppFolders::problem(folder / "file"), std::optional<std::string>("it is not a folder"));
        QCOMPARE(AppFolders::problem(folder / "file/Dovrane/deeper"),
                 std::optional<std::string>("it cannot be created: " + (folder / "file") + " is not a folder"));

        // The settings folder comes first; the caches sit beside the store.
        ScopedEnv config("XDG_CONFIG_HOME", folder / "config");
        ScopedEnv store("APP_STORE", folder / "caches/test.store");
        QVERIFY(Fs::makeDirectories(folder / "caches"));
        QCOMPARE(AppFolders::startupProblem().has_value(), false);
        QVERIFY(!Fs::exists(folder / "config"));
        writeFile(folder / "config", "");
        auto found = AppFolders::startupProblem();
        QVERIFY(found);
        QCOMPARE(found->message(), "Could not use the settings folder at " + (folder / "config/Dovrane") +
                                       ": it cannot be created: " + (folder / "config") + " is not a folder");

        // Write access is the user's: as root a child drops privileges to meet a folder it may
        // only read.
        QVERIFY(Fs::removeAll(folder / "config") && Fs::makeDirectories(folder / "config"));
        QCOMPARE(::chmod((folder / "config").c_str(), 0777), 0);
        QCOMPARE(::chmod(folder.path().c_str(), 0755), 0);
        QCOMPARE(::chmod((folder / "caches").c_str(), 0555), 0);
        const auto inChild = [&]() -> std::string {
            const auto answer = AppFolders::startupProblem();
            return answer ? answer->message() : "";
        };
        std::string message;
        if (geteuid() == 0) {
            int pipe[2];
            QCOMPARE(::pipe(pipe), 0);
            const pid_t child = ::fork();
            if (child == 0) {
                ::close(pipe[0]);
                if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
                    ::setresuid(65534, 65534, 65534) != 0)
                    ::_exit(2);
                const std::string answer = inChild();
                ::_exit(::write(pipe[1], answer.data(), answer.size()) == ssize_t(answer.size()) ? 0 : 3);
            }
            ::close(pipe[1]);
            char buffer[1024];
            ssize_t count = 0;
            while ((count = ::read(pipe[0], buffer, sizeof buffer)) > 0)
                message.append(buffer, size_t(count));
            ::close(pipe[0]);
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        } else {
            message = inChild();
        }
        QCOMPARE(::chmod((folder / "caches").c_str(), 0700), 0);
        QCOMPARE(message, "Could not use the caches folder at " + (folder / "caches") +
                              ": it cannot be written: Permission denied");
    }

    // Saves killed before their rename leave "<file>.tmp-XXXXXX" beside the caches and the
    // autostart entry. A start removes those a minute old that no writer holds, and only those.
    void aStartRemovesWhatKilledSavesLeftBehind() {
        ModelFixture fixture;
        const std::string store = fixture.storePath(), folder = Path::parent(store);
        const std::vector<std::string> stale{store + ".scan.json.tmp-a1B2c3", store + ".updates.json.tmp-D4e5F6",
                                             folder + "/homebrew-casks.json.tmp-g7H8i9"};
        const std::string fresh = store + ".scan.json.tmp-fresh1", held = store + ".scan.json.tmp-held12",
                          another = folder + "/notes.txt.tmp-a1B2c3";
        for (const std::string& path : stale)
            writeFile(path, "half a save");
        for (const std::string& path : {fresh, held, another})
            writeFile(path, "kept");
        for (const std::string& path : {stale[0], stale[1], stale[2], held, another})
            setTimes(path, Date::now().adding(-120));
        const int writer = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
        QVERIFY(writer >= 0 && ::flock(writer, LOCK_EX) == 0);
        const auto release = qScopeGuard([writer] { ::close(writer); });

        fixture.makeModel();
        DOVRANE_TRY_VERIFY_WITHIN(std::none_of(stale.begin(), stale.end(), Fs::exists), 20000);
        for (const std::string& path : {fresh, held, another})
            QVERIFY2(Fs::exists(path), path.c_str());

        TempDir config;
        AutostartEntry entry(config.path(), "/usr/bin/dovrane");
        QVERIFY(!entry.set(true));
        writeFile(entry.path() + ".tmp-Zz9Yy8", "half an entry");
        setTimes(entry.path() + ".tmp-Zz9Yy8", Date::now().adding(-120));
        QVERIFY(entry.followExecutable());
        QCOMPARE(Fs::list(Path::parent(entry.path())), std::vector<std::string>{"dovrane.desktop"});
    }

    // Caches beside a test store carry its name, and one planted by someone else is not read.
    void cachesBesideATestStoreAreItsOwn() {
        TempDir folder;
        ScopedEnv store("APP_STORE", folder / "own.store");
        QCOMPARE(ScanCache::url().path(), folder / "own.store.scan.json");
        writeFile(folder / "elsewhere.json", "{}");
        QVERIFY(::symlink((folder / "elsewhere.json").c_str(), (folder / "own.store.scan.json").c_str()) == 0);
        QVERIFY(!readCache(ScanCache::url()));
        QVERIFY(Fs::removeAll(folder / "own.store.scan.json"));
        writeFile(folder / "own.store.scan.json", "{}");
        QVERIFY(readCache(ScanCache::url()));
        QVERIFY(::chmod((folder / "own.store.scan.json").c_str(), 0666) == 0);
        QVERIFY(!readCache(ScanCache::url()));

        // A link in a cache's place is neither written through nor replaced.
        QVERIFY(Fs::removeAll(folder / "own.store.scan.json"));
        QVERIFY(::symlink((folder / "elsewhere.json").c_str(), (folder / "own.store.scan.json").c_str()) == 0);
        CacheWriter writer;
        QFuture<bool> written = writer.write(ScanCache::url().path(), [] { return std::optional<std::string>("[]"); });
        written.waitForFinished();
        QVERIFY(!written.result());
        QVERIFY(Fs::isSymlink(folder / "own.store.scan.json"));
        QCOMPARE(Fs::readFile(folder / "elsewhere.json"), std::optional<std::string>("{}"));
    }

    // Another process on the same store: its put back shows in the next listing here, and a day
    // both record stays one record.
    void twoProcessesShareOneStore() {
        TempDir folder;
        const std::string path = folder / "shared.store";
        auto container = openOrFail(path);
        QVERIFY(container);
        container->insert(std::make_shared<Removal>(Date(), QStringLiteral("Mine"), std::vector<RemovedItem>{}));
        QVERIFY(container->save());
        const auto mine = (*container->removals())[0];
        QVERIFY(!mine->undone());
        const QDate day(2024, 5, 1);
        const QString stored = QString::number(LocalCalendar::instantOf(day).secondsSinceReference, 'f', 0);
        QVERIFY(container->dailySizes(day)->empty()); // looked up before the other writes

        QCOMPARE(writeFromChild(path), 0);
        QVERIFY(mine->undone() == false);
        const auto again = *container->removals();
        QCOMPARE(again.size(), size_t(1));
        QCOMPARE(again[0], mine); // the same object, brought up to date
        QVERIFY(mine->undone());

        container->insert(std::make_shared<DailySize>(day, 9));
        QVERIFY(container->save());
        QCOMPARE(execute(path, QStringLiteral("SELECT COUNT(*) FROM daily_sizes WHERE day = %1").arg(stored)).toInt(),
                 1);
        QCOMPARE(execute(path, QStringLiteral("SELECT used FROM daily_sizes WHERE day = %1").arg(stored)).toInt(), 9);
        const auto days = *container->dailySizes();
        QCOMPARE(days.size(), size_t(1));
        QCOMPARE(days[0]->used(), std::int64_t(9));
    }

    // Two starts at the same moment on a store that is not there yet: each waits for the other's
    // opening instead of failing, a few times over.
    void twoProcessesOpeningANewStoreAtOnceBothOpenIt() {
        TempDir folder;
        for (int round = 0; round < 5; ++round) {
            const std::string path = folder / ("new-" + std::to_string(round) + ".store");
            std::future<OpenRun> other = std::async(std::launch::async, [&path] { return openInChild(path); });
            const OpenRun mine = openInChild(path);
            const OpenRun theirs = other.get();
            QCOMPARE(mine.error, QString());
            QCOMPARE(theirs.error, QString());
            QCOMPARE(mine.status + theirs.status, 0);
            QCOMPARE(execute(path, QStringLiteral("PRAGMA user_version")).toInt(), ModelContainer::schemaVersion);
        }
    }

    // A store from before one record per day keeps the latest record of each day.
    // A title kept with its wording reads in the language of a later start; an older store's
    // titles, with no wording, read as they were stored, and it keeps opening and taking records.
    void titlesAreWordedInTheLanguageOfTheStart() {
        TempDir folder;
        const std::string path = folder / "older.store";
        const auto english = qScopeGuard([] { Translations::install(); });
        execute(path, QStringLiteral("CREATE TABLE removals (id INTEGER PRIMARY KEY, date REAL NOT NULL, title TEXT "
                                     "NOT NULL, items TEXT NOT NULL, undone INTEGER NOT NULL, uuid TEXT NOT NULL)"));
        execute(path, QStringLiteral("INSERT INTO removals (date, title, items, undone, uuid) VALUES (5, 'Old "
                                     "caches', '[]', 0, '8d1c3c8e-8a8d-4d36-9a8e-1f7f5bb0c001')"));
        execute(path, QStringLiteral("PRAGMA user_version = 1"));
        {
            ScopedEnv language("APP_LANG", "en");
            QVERIFY(Translations::install());
            auto container = openOrFail(path);
            QVERIFY(container);
            const Date when = Date::fromUnix(1714550400);
            for (const Wording& title :
                 {Wording::safeItems(), Wording::categoryTitle(CategoryID::logs),
                  Wording::appWithLeftovers(QStringLiteral("Inkwell %2 Studio"), 1),
                  Wording::appWithLeftovers(QStringLiteral("Notewell"), 0),
                  Wording::replacedBy(QStringLiteral("Notewell"), QStringLiteral("1.2"), QStringLiteral("1.3"))})
                container->insert(std::make_shared<Removal>(when, title, std::vector<RemovedItem>{item("a", 1)}));
            QVERIFY(container->save());
        }
        const auto titles = [&] {
            auto container = openOrFail(path);
            QStringList found;
            const auto removals = container ? container->removals() : std::nullopt;
            for (const auto& record : removals.value_or(std::vector<std::shared_ptr<Removal>>{}))
                found << record->title();
            return found;
        };
        QCOMPARE(titles(), QStringList({"Old caches", "Safe items", "Logs", "Inkwell %2 Studio and 1 leftover",
                                        "Notewell", "Notewell 1.2, replaced by 1.3"}));
        ScopedEnv language("APP_LANG", "de");
        QVERIFY(Translations::install());
        QCOMPARE(titles(),
                 QStringList({"Old caches", "Gefahrlose Objekte", "Protokolle", "Inkwell %2 Studio und 1 Rest",
                              "Notewell", "Notewell 1.2, ersetzt durch 1.3"}));
        // An older Dovrane reads the store as it always did, the titles as first worded.
        QCOMPARE(execute(path, QStringLiteral("SELECT title FROM removals WHERE id = 2")).toString(),
                 QStringLiteral("Safe items"));
        QCOMPARE(execute(path, QStringLiteral("SELECT COUNT(*) FROM removals")).toInt(), 6);
    }

    // What a stored wording may say: a wording this version cannot word leaves the stored title.
    void aStoredWordingIsCheckedBeforeItIsUsed() {
        const QString safe = Wording::safeItems().toJson();
        QCOMPARE(Wording::fromJson(safe), std::optional(Wording::safeItems()));
        const Wording leftovers = Wording::appWithLeftovers(QStringLiteral("Inkwell"), 3);
        QCOMPARE(Wording::fromJson(leftovers.toJson()), std::optional(leftovers));
        QCOMPARE(Wording::fromJson(Wording::categoryTitle(CategoryID::xcode).toJson()),
                 std::optional(Wording::categoryTitle(CategoryID::xcode)));
        QVERIFY(Wording::plain(QStringLiteral("Notewell")).toJson().isEmpty());
        for (const char* refused :
             {"", "[]", "{}", R"({"category":"nothing"})", R"({"source":"Something new"})",
              R"({"source":"%1 and %Ln leftovers","values":["A"]})",
              R"({"source":"%1 and %Ln leftovers","values":["A"],"count":-1})",
              R"({"source":"%1 and %Ln leftovers","values":["A"],"count":1.5})",
              R"({"source":"%1 and %Ln leftovers","count":2})",
              R"({"source":"%1 %2, replaced by %3","values":["A","1"]})",
              R"({"source":"%1 %2, replaced by %3","values":["A","1",2]})", R"({"source":"Safe items","count":2})"})
            QVERIFY2(!Wording::fromJson(QString::fromUtf8(refused)), refused);
    }

    void duplicateDaysOfAnOlderStoreBecomeOne() {
        TempDir folder;
        const std::string path = folder / "older.store";
        execute(path, QStringLiteral("CREATE TABLE daily_sizes (id INTEGER PRIMARY KEY, day REAL NOT NULL, "
                                     "used INTEGER NOT NULL, categories TEXT NOT NULL)"));
        // The first moments of 2024-05-01 and -02 in Berlin, as older stores keyed their days.
        execute(path, QStringLiteral("INSERT INTO daily_sizes (day, used, categories) VALUES (736207200, 1, '{}'), "
                                     "(736207200, 2, '{}'), (736293600, 3, '{}')"));
        execute(path, QStringLiteral("PRAGMA user_version = 1"));
        auto container = openOrFail(path);
        QVERIFY(container);
        const auto days = *container->dailySizes();
        QCOMPARE(days.size(), size_t(2));
        QCOMPARE(days[0]->used(), std::int64_t(2));
        QCOMPARE(days[0]->day(), QDate(2024, 5, 1));
    }

    // Figures outside 0..2^62 are not figures, nor a day no calendar holds: such a row is
    // skipped, and sums never overflow.
    void outOfRangeFiguresAreSkippedAndSumsSaturate() {
        TempDir folder;
        const std::string path = folder / "hostile.store";
        QVERIFY(openOrFail(path));
        execute(path, QStringLiteral("INSERT INTO daily_sizes (day, used, categories) VALUES "
                                     "(1, 5, '{\"caches\": -9223372036854775808}'), (2, -1, '{}'), "
                                     "(3, 4611686018427387905, '{}'), (4, 4611686018427387904, '{\"caches\": 5}'), "
                                     "(1e300, 5, '{}'), (-1e300, 5, '{}')"));
        auto container = openOrFail(path);
        const auto days = *container->dailySizes();
        QCOMPARE(days.size(), size_t(1));
        QCOMPARE(days[0]->day(), QDate(2001, 1, 1));

        const std::int64_t limit = std::int64_t(1) << 62;
        const Removal large(Date(), QStringLiteral("Large"), {item("a", limit), item("b", limit), item("c", 1)});
        QCOMPARE(large.size(), std::numeric_limits<std::int64_t>::max());
    }

    void oldDailyRecordsGoAtTheNextSave() {
        TempDir folder;
        auto container = openOrFail(folder / "days.store");
        QVERIFY(container);
        for (int day : {1, 2, 3})
            container->insert(std::make_shared<DailySize>(QDate(2024, 5, day), day));
        QVERIFY(container->save());
        container->deleteDailySizes(QDate(2024, 5, 2));
        QCOMPARE(container->dailySizes()->size(), size_t(2)); // at once for fetches
        QVERIFY(container->save());
        container.reset();
        container = openOrFail(folder / "days.store");
        auto days = *container->dailySizes();
        QCOMPARE(days.size(), size_t(2));
        QCOMPARE(days[0]->day(), QDate(2024, 5, 2)); // "before" the cut-off: the record on it stays
        QCOMPARE(container->dailySizes(QDate(2024, 5, 3))->size(), size_t(1));
    }

    // The journal a page at a time, as the Cleaned Up page reads it from a worker thread: newest
    // first, records of one date in the order written, the records waiting to be saved in their
    // places by date, and the count of all of them.
    void theJournalIsReadAPageAtATimeNewestFirst() {
        TempDir folder;
        const std::string path = folder / "pages.store";
        auto container = openOrFail(path);
        QVERIFY(container);
        for (double date : {10.0, 30.0, 20.0, 30.0, 40.0})
            container->insert(std::make_shared<Removal>(Date{date}, QStringLiteral("At %1").arg(date),
                                                        std::vector<RemovedItem>{item("a", 1)}));
        QVERIFY(container->save());
        container->insert(std::make_shared<Removal>(Date{25}, QStringLiteral("Waiting"), std::vector<RemovedItem>{}));
        const auto waiting = container->waitingRemovals();

        const auto titles = [&](int offset, int limit) {
            QStringList found;
            const auto page = std::async(std::launch::async, [&] {
                                  return ModelContainer::readJournal(path, offset, limit, waiting);
                              }).get();
            if (!page)
                return QStringList{QStringLiteral("unreadable")};
            found << QString::number(page->total);
            for (const JournalEntry& entry : page->entries)
                found << (entry.record ? entry.record->title() : QStringLiteral("?")) + (entry.id ? "" : " (0)");
            return found;
        };
        QCOMPARE(titles(0, 10), (QStringList{"6", "At 40", "At 30", "At 30", "Waiting (0)", "At 20", "At 10"}));
        QCOMPARE(titles(2, 2), (QStringList{"6", "At 30", "Waiting (0)"}));
        QCOMPARE(titles(4, 2), (QStringList{"6", "At 20", "At 10"}));
        QCOMPARE(titles(6, 2), (QStringList{"6"}));
        // The two records of one date come in the order written.
        const auto page = ModelContainer::readJournal(path, 1, 2, {});
        QVERIFY(page && page->entries.size() == 2);
        QVERIFY(page->entries[0].id < page->entries[1].id);
        QVERIFY(!ModelContainer::readJournal(folder / "missing/none.store", 0, 10, {}));
    }

    // A record read elsewhere becomes the container's own: marked put back and saved, it reads
    // back put back with all its items, and the container's object is the one handed out again.
    void aRecordReadElsewhereIsAdoptedAndSaved() {
        TempDir folder;
        const std::string path = folder / "adopt.store";
        auto container = openOrFail(path);
        QVERIFY(container);
        container->insert(std::make_shared<Removal>(Date{5}, QStringLiteral("Two"),
                                                    std::vector<RemovedItem>{item("a", 1), item("b", 2)}));
        QVERIFY(container->save());
        container = openOrFail(path); // knows no row yet
        const auto read = ModelContainer::readJournal(path, 0, 1, {});
        QVERIFY(read && read->entries.size() == 1);
        const JournalEntry& entry = read->entries[0];
        QVERIFY(!container->unsaved(entry.id));
        const std::shared_ptr<Removal> adopted = container->adopt(entry.id, *entry.record);
        QCOMPARE(container->adopt(entry.id, *entry.record), adopted);
        adopted->setUndone(true);
        QCOMPARE(container->unsaved(entry.id), std::shared_ptr<const Removal>(adopted));
        QVERIFY(container->save());
        QVERIFY(!container->unsaved(entry.id));
        const auto again = ModelContainer::readJournal(path, 0, 1, {});
        QVERIFY(again && again->entries.size() == 1);
        QVERIFY(again->entries[0].record->undone());
        QCOMPARE(again->entries[0].record->items().size(), std::size_t(2));
        QCOMPARE(again->entries[0].record->size(), std::int64_t(3));
        // A waiting record is found by its identifier; an unknown one is not made up.
        auto waiting = std::make_shared<Removal>(Date{6}, QStringLiteral("Waiting"), std::vector<RemovedItem>{});
        container->insert(waiting);
        QCOMPARE(container->adopt(0, *container->waitingRemovals().at(0)), waiting);
        QVERIFY(!container->adopt(0, Removal(Date{7}, QStringLiteral("Stranger"), {})));
    }

    // A store written before the journal was read a page at a time gains its index on opening,
    // keeps its records, and an older Dovrane's writes still land in the order read.
    void anOlderStoreGainsTheJournalIndex() {
        TempDir folder;
        const std::string path = folder / "older.store";
        execute(path, QStringLiteral("CREATE TABLE removals (id INTEGER PRIMARY KEY, date REAL NOT NULL, title TEXT "
                                     "NOT NULL, items TEXT NOT NULL, undone INTEGER NOT NULL, uuid TEXT NOT NULL)"));
        execute(path, QStringLiteral("INSERT INTO removals (date, title, items, undone, uuid) VALUES (5, 'Old', '[]', "
                                     "0, '8d1c3c8e-8a8d-4d36-9a8e-1f7f5bb0c001')"));
        execute(path, QStringLiteral("PRAGMA user_version = 1"));
        auto container = openOrFail(path);
        QVERIFY(container);
        QCOMPARE(
            execute(path, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = 'removals_newest'")).toInt(),
            1);
        QCOMPARE(execute(path, QStringLiteral("PRAGMA user_version")).toInt(), 1);
        execute(path, QStringLiteral("INSERT INTO removals (date, title, items, undone, uuid) VALUES (9, 'Newer', "
                                     "'[]', 0, '8d1c3c8e-8a8d-4d36-9a8e-1f7f5bb0c002')"));
        const auto page = ModelContainer::readJournal(path, 0, 10, {});
        QVERIFY(page);
        QCOMPARE(page->total, 2);
        QCOMPARE(page->entries.at(0).record->title(), QStringLiteral("Newer"));
        QCOMPARE(page->entries.at(1).record->title(), QStringLiteral("Old"));
        container.reset();
        QVERIFY(openOrFail(path)); // opens again with the index in place
    }
};

DOVRANE_MODEL_SUITE(StoreTests)
#include "StoreTests.moc"
