// An update install survives its process: a child process installs Example 1.0 → 2.0 through
// the model against the loopback feed and is killed (SIGKILL) at a chosen step, or together
// with its copy tool, or while the copy tool goes on to finish. After the next start the app's
// place holds a whole working version, the old one or the new one; an old version that reached
// the Trash has its record, which Put Back can use; nothing else of the install is left.

#include "AppModel/AppModel.h"
#include "UpdatesModel/InstallSetup.h"
#include "support/Await.h"
#include "support/Fakes.h"
#include "support/ModelTestMain.h"
#include "support/Patience.h"
#include "support/UpdateHome.h"

#include <DovraneKit/apps/CodeSigning.h>
#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/FreedesktopTrash.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <string_view>
#include <thread>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

constexpr std::array stepNames = {"downloaded", "verified", "journaled", "copied", "placed", "trashed", "recorded"};

void say(const char* line) {
    const ssize_t written = ::write(STDOUT_FILENO, line, std::strlen(line));
    (void)written;
}

// Rows in the store's tables of removals under way, over a connection of its own.
int underWay(const std::string& store) {
    int rows = -1;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("kill-test"));
        database.setDatabaseName(QString::fromStdString(store));
        QSqlQuery query(database);
        if (database.open() &&
            query.exec(QStringLiteral(
                "SELECT (SELECT COUNT(*) FROM removals_under_way) + (SELECT COUNT(*) FROM removal_moves)")) &&
            query.next())
            rows = query.value(0).toInt();
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("kill-test"));
    return rows;
}

bool waitFor(const std::string& path) {
    for (int look = 0; look < patientMs(60000) / 20; ++look) {
        if (Fs::exists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A copy tool that copies half a bundle (its Info.plist saying 2.0, no program, no signature),
// notes its process, and waits for the word to finish the copy with the real tool.
std::string slowDitto(const std::string& folder, const std::string& real) {
    const std::string script = folder + "/slow-ditto";
    writeFile(script, "#!/bin/sh\nreal='" + real + "'\nhere='" + folder + "'\n" + R"(
[ $# -eq 2 ] || exec "$real" "$@"
mkdir -p "$2/Contents" && cp "$1/Contents/Info.plist" "$2/Contents/"
echo $$ > "$here/ditto.pid"
i=0; while [ ! -e "$here/go" ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done
rm -rf "$2" && "$real" "$1" "$2"; status=$?
touch "$here/ditto.done"; exit $status
)");
    chmod(script.c_str(), 0755);
    return script;
}

} // namespace

namespace dovrane::testing {

int killedInstallChild(const std::string& home, const std::string& stop, const std::string& ditto) {
    const char* store = std::getenv("APP_STORE");
    if (!store)
        return 3;
    auto container = ModelContainer::open(store);
    if (!container)
        return 3;
    ScriptedScan scan;
    Services services;
    services.settings = std::make_shared<MemorySettings>();
    services.clock = std::make_shared<FakeClock>();
    services.workspace = std::make_shared<FakeWorkspace>();
    services.notifier = std::make_shared<FakeNotifier>();
    services.clipboard = std::make_shared<FakeClipboard>();
    services.home = Url::fromPath(home);
    services.applicationFolders = std::vector<Url>{Url::fromPath(home + "/Applications")};
    services.caskrooms = {Url::fromPath(home + "/Caskroom")};
    services.scan = scan.function();
    services.readVolume = [](const Url&) { return std::optional<VolumeInfo>(VolumeInfo{"Fixture", 1, 1, 1}); };
    services.measure = [](const Url&, std::stop_token) { return Measurement(); };
    services.makeRunner = [](double timeout) -> std::shared_ptr<const CommandRunner> {
        return std::make_shared<ProcessRunner>(timeout);
    };
    services.delayScale = 0;
    services.tools = ToolPaths::inFolder(DOVRANE_BIN_DIR);
    services.tools.brew = {};
    if (!ditto.empty())
        services.tools.ditto = ditto;
    services.systemPaths.pkexec = "/bin/false";
    services.installReached = [stop](UpdateInstaller::Step step) {
        if (stepNames[std::size_t(step)] != stop)
            return;
        say("STOP\n");
        for (;;)
            ::pause();
    };
    AppModel model(**container, services);
    await(model.checkUpdates());
    if (model.availableUpdates().size() != 1)
        return 4;
    await(model.install(model.apps().at(0)));
    say("END\n");
    return 0;
}

} // namespace dovrane::testing

class UpdateInstallKillTests : public QObject {
    Q_OBJECT

private slots:
    void anInstallKilledAtAnyStepLeavesAWorkingAppAtItsPlace_data() {
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QString>("version"); // at the app's place after the next start
        for (const std::string_view step : stepNames) {
            const bool swapped = step == "placed" || step == "trashed" || step == "recorded";
            QTest::newRow(step.data()) << QString::fromLatin1(step.data())
                                       << QString::fromLatin1(swapped ? "2.0" : "1.0");
        }
        QTest::newRow("copying, the copy tool killed too") << QStringLiteral("copying") << QStringLiteral("1.0");
        QTest::newRow("copying, the copy tool finishing") << QStringLiteral("copying on") << QStringLiteral("1.0");
    }

    void anInstallKilledAtAnyStepLeavesAWorkingAppAtItsPlace() {
        QFETCH(QString, stop);
        QFETCH(QString, version);
        UpdateHome home;
        home.fedApp("Example", "1.0", "2.0");
        QVERIFY(home.fixture.container().removals()); // the store and its tables exist
        const std::string place = home.appPath("Example");
        const bool midCopy = stop.startsWith(QStringLiteral("copying"));
        TempDir tool;
        // A copy tool left waiting by a failed check is ended with the test.
        const std::shared_ptr<void> endsTool(nullptr, [&](void*) {
            if (const auto pid = Fs::readFile(tool / "ditto.pid"); pid && !Fs::exists(tool / "ditto.done"))
                ::kill(-pid_t(std::stol(*pid)), SIGKILL);
        });
        const std::string ditto = midCopy ? slowDitto(tool.path(), ToolPaths::inFolder(DOVRANE_BIN_DIR).ditto) : "";

        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--killed-install"), QString::fromStdString(home.fixture.home()),
                     QString::fromStdString(Path::parent(InstallSetup::workFolder().path())),
                     midCopy ? QStringLiteral("none") : stop, QString::fromStdString(ditto)});
        QByteArray said;
        if (midCopy) {
            QVERIFY(waitFor(tool / "ditto.pid"));
            QVERIFY(Fs::exists(place + "/Contents/MacOS")); // the half copy is not at the place
        } else {
            while (!said.contains("STOP") && !said.contains("END") && child.waitForReadyRead(patientMs(60000)))
                said += child.readAllStandardOutput();
            QVERIFY2(said.contains("STOP"), said.constData());
        }
        child.kill();
        child.waitForFinished(patientMs(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        // The kill left something to settle: the install's own folder, and its record under way.
        QCOMPARE(Fs::list(InstallSetup::workFolder().path()).empty(), stop == QStringLiteral("recorded"));
        QCOMPARE(underWay(home.fixture.storePath()) > 0, stop != QStringLiteral("downloaded") &&
                                                             stop != QStringLiteral("verified") &&
                                                             stop != QStringLiteral("recorded"));
        if (midCopy) {
            const pid_t copying = pid_t(std::stol(Fs::readFile(tool / "ditto.pid").value_or("0")));
            QVERIFY(copying > 0);
            if (stop == QStringLiteral("copying")) {
                QCOMPARE(::kill(-copying, SIGKILL), 0); // its process group
                writeFile(tool / "ditto.done", "");
            } else {
                writeFile(tool / "go", "");
                QVERIFY(waitFor(tool / "ditto.done"));
            }
        }

        AppModel& model = home.fixture.makeModel(home.services());
        await(model.journalSettled());
        QCOMPARE(QString::fromStdString(versionAt(place)), version);
        QVERIFY2(CodeSigning::verify(place), "the app at its place is whole");
        QCOMPARE(Fs::list(home.apps()), std::vector<std::string>{"Example.app"});
        QCOMPARE(underWay(home.fixture.storePath()), 0);
        QVERIFY(Fs::list(InstallSetup::workFolder().path()).empty());
        const std::string trash = FreedesktopTrash::homeTrash(home.fixture.home());
        const auto journal = home.fixture.container().removals();
        QVERIFY(journal);
        if (version == QStringLiteral("1.0")) {
            QVERIFY(journal->empty());
            QVERIFY(Fs::list(trash + "/files").empty());
            QVERIFY(Fs::list(trash + "/info").empty());
            return;
        }
        // The old version is in the Trash with its record, under its place's name.
        QCOMPARE(journal->size(), std::size_t(1));
        const std::shared_ptr<Removal> record = journal->front();
        QCOMPARE(record->title(), QStringLiteral("Example 1.0, replaced by 2.0"));
        QCOMPARE(record->items().size(), std::size_t(1));
        const RemovedItem old = record->items().front();
        QCOMPARE(old.originalPath.path(), place);
        QVERIFY(Trasher::isInTrash(old));
        QCOMPARE(versionAt(old.trashPath.path()), std::string("1.0"));
        QCOMPARE(Fs::list(trash + "/info"), std::vector<std::string>{old.trashPath.lastPathComponent() + ".trashinfo"});
        // With the new version gone, Put Back brings the old one to its place.
        QVERIFY(Fs::removeAll(place));
        await(model.undo(record));
        QVERIFY(record->undone());
        QCOMPARE(versionAt(place), std::string("1.0"));
        QVERIFY(CodeSigning::verify(place));
    }
};

DOVRANE_MODEL_SUITE(UpdateInstallKillTests)
#include "UpdateInstallKillTests.moc"
