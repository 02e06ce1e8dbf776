// The built application with APP_SEED: what a script reading its output sees while it runs,
// and what the store beside it holds. The store is read through a read-only connection of its
// own while the application still has it open. Every run has a deadline; a child still running
// then is killed by its process id and the test fails.

#include "support/LoopbackServer.h"
#include "support/ModelTestMain.h"
#include "support/Patience.h"
#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <nlohmann/json.hpp>

#include <signal.h>

#include <optional>
#include <vector>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

constexpr auto refusal = "APP_SEED ignored: APP_STORE must be a file in /tmp";
constexpr int deadlineMs = patientMs(20'000);

struct JournalRow {
    QString title;
    std::int64_t size = 0;
    bool undone = false;
};

// The application in a temporary home, its update services pointed at a loopback server.
class AppRun {
public:
    AppRun(const TempHome& home, const LoopbackServer& server, std::optional<std::string> seed,
           std::optional<std::string> store) {
        QProcessEnvironment environment;
        auto set = [&](const char* name, const std::string& value) {
            environment.insert(QString::fromLatin1(name), QString::fromStdString(value));
        };
        set("HOME", home.path());
        set("XDG_DATA_HOME", home / ".local/share");
        set("XDG_CONFIG_HOME", home / ".config");
        set("XDG_CACHE_HOME", home / ".cache");
        set("TMPDIR", home / "tmp");
        set("TZ", "Europe/Berlin");
        set("APP_LANG", "en");
        set("LANG", "C.UTF-8");
        set("QT_QPA_PLATFORM", "offscreen");
        set("PATH", "/usr/bin:/bin");
        set("APP_CASK_INDEX_URL", server.url("/api/cask.json").text());
        set("APP_STORE_LOOKUP_URL", server.url("/lookup").text());
        // The sanitizer build's settings reach the child too.
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
            if (const char* value = std::getenv(name))
                set(name, value);
        if (seed)
            set("APP_SEED", *seed);
        if (store)
            set("APP_STORE", *store);
        makeFolder(home / "tmp");
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(QStringLiteral(DOVRANE_APP), {});
        process_.waitForStarted(deadlineMs);
    }
    ~AppRun() { stop(); }

    bool running() const { return process_.state() == QProcess::Running; }

    // The next whole line of standard output, or nothing when none came before the deadline.
    std::optional<QString> nextLine() {
        QDeadlineTimer deadline(deadlineMs);
        while (!process_.canReadLine()) {
            if (deadline.hasExpired() || !process_.waitForReadyRead(int(deadline.remainingTime())))
                return std::nullopt;
        }
        return QString::fromUtf8(process_.readLine()).chopped(1);
    }

    // Waits until the condition holds while the application runs; false at the deadline or
    // when the application ended first.
    template <class Condition> bool waitUntil(Condition condition) {
        QDeadlineTimer deadline(deadlineMs);
        while (!condition()) {
            if (deadline.hasExpired() || !running())
                return false;
            process_.waitForReadyRead(20); // a pause that also collects output
        }
        return true;
    }

    // Stops the application; what it printed so far.
    QString stop() {
        if (running()) {
            ::kill(pid_t(process_.processId()), SIGKILL);
            process_.waitForFinished(deadlineMs);
        }
        return QString::fromUtf8(process_.readAllStandardOutput());
    }

private:
    QProcess process_;
};

// Runs a query on the store through a read-only connection of the test's own and hands each
// row to the callback; false when the store cannot be opened or the query fails.
template <class Row> bool readStore(const std::string& store, const char* statement, Row row) {
    if (!Fs::exists(store))
        return false;
    bool done = false;
    const QString name = QStringLiteral("seed-run-reader");
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(QString::fromStdString(store));
        database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (database.open()) {
            QSqlQuery query(database);
            done = query.exec(QString::fromLatin1(statement));
            while (done && query.next())
                row(query);
            database.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return done;
}

// The journal as the application saved it, newest first.
std::optional<std::vector<JournalRow>> readJournal(const std::string& store) {
    std::vector<JournalRow> rows;
    const bool read = readStore(
        store, "SELECT title, items, undone FROM removals ORDER BY date DESC", [&rows](const QSqlQuery& query) {
            JournalRow row{query.value(0).toString(), 0, query.value(2).toBool()};
            for (const auto& item : nlohmann::json::parse(query.value(1).toString().toStdString()))
                row.size += item.at("size").get<std::int64_t>();
            rows.push_back(row);
        });
    return read ? std::optional(rows) : std::nullopt;
}

std::optional<int> dailyRecordCount(const std::string& store) {
    std::optional<int> count;
    readStore(store, "SELECT COUNT(*) FROM daily_sizes",
              [&count](const QSqlQuery& query) { count = query.value(0).toInt(); });
    return count;
}

} // namespace

class SeedRunTests : public QObject {
    Q_OBJECT

private slots:
    // The line must reach a pipe while the application runs on as a normal launch, whose
    // scan then writes its cache beside the real store of the temporary home.
    void refusalArrivesWhileTheApplicationRuns_data() {
        QTest::addColumn<bool>("storeSet");
        QTest::newRow("APP_STORE absent") << false;
        QTest::newRow("APP_STORE empty") << true;
    }

    void refusalArrivesWhileTheApplicationRuns() {
        QFETCH(bool, storeSet);
        TempHome home;
        LoopbackServer server;
        AppRun app(home, server, "1", storeSet ? std::optional<std::string>("") : std::nullopt);
        const auto line = app.nextLine();
        QVERIFY2(line, "no line before the deadline");
        QCOMPARE(*line, QString::fromLatin1(refusal));
        QVERIFY(app.running());

        const std::string realStore = home / ".local/share/Dovrane/Dovrane.store";
        QVERIFY(app.waitUntil([&] { return Fs::exists(home / ".local/share/Dovrane/last-scan.json"); }));
        const auto journal = readJournal(realStore);
        QVERIFY(journal && journal->empty());
        QCOMPARE(app.stop(), QString()); // once: nothing followed the first line
    }

    void seedOtherThanOneIsOff_data() {
        QTest::addColumn<QString>("seed");
        QTest::newRow("one and a blank") << "1 ";
        QTest::newRow("leading zero") << "01";
        QTest::newRow("word") << "on";
    }

    void seedOtherThanOneIsOff() {
        QFETCH(QString, seed);
        TempHome home;
        LoopbackServer server;
        const std::string store = home / "test.store";
        AppRun app(home, server, seed.toStdString(), store);
        // The normal launch's scan has ended, so the demo step is long past.
        QVERIFY(app.waitUntil([&] { return Fs::exists(store + ".scan.json"); }));
        const auto journal = readJournal(store);
        QVERIFY(journal && journal->empty());
        QCOMPARE(app.stop(), QString());
    }

    void seededRunFillsTheTestStoreOnly() {
        TempHome home;
        LoopbackServer server;
        TempDir storeFolder("dovrane-seed-store-");
        const std::string store = storeFolder / "demo.store";
        AppRun app(home, server, "1", store);
        std::optional<std::vector<JournalRow>> journal;
        QVERIFY(app.waitUntil([&] {
            journal = readJournal(store);
            return journal && journal->size() == 4;
        }));
        QVERIFY(app.running());
        QCOMPARE((*journal)[0].title, QString("Caches"));
        QCOMPARE((*journal)[1].title, QString("Old installers"));
        QCOMPARE((*journal)[1].size, std::int64_t(7'899'999'999));
        QCOMPARE((*journal)[2].size, std::int64_t(21'300'000'000));
        QCOMPARE((*journal)[3].title, QString("Ledgerly and 3 leftovers"));
        QCOMPARE((*journal)[3].size, std::int64_t(420'000'000));
        std::vector<bool> undone;
        for (const auto& row : *journal)
            undone.push_back(row.undone);
        QCOMPARE(undone, std::vector<bool>({false, false, false, true}));
        QCOMPARE(dailyRecordCount(store), std::optional<int>(0));
        QCOMPARE(app.stop(), QString());

        // Only the database's own files: no scan or update cache, nothing in the real home.
        for (const auto& name : Fs::list(storeFolder.path()))
            QVERIFY2(QString::fromStdString(name).startsWith("demo.store"), name.c_str());
        QVERIFY(!Fs::exists(home / ".local/share/Dovrane"));
        QVERIFY(server.requests().empty());
    }
};

DOVRANE_MODEL_SUITE(SeedRunTests)
#include "SeedRunTests.moc"
