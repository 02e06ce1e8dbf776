// The removals that skip the Trash: emptying it, snapshots through the administrator shell,
// unavailable simulators through the tool runner; the measured gain; and the access re-read.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "Services/Admin.h"
#include "Services/ChildProcess.h"
#include "Services/Translations.h"
#include "support/Await.h"
#include "support/FakePkexec.h"
#include "support/FakeRunner.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/FreedesktopTrash.h>

#include <QCoreApplication>
#include <QScopeGuard>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// Services whose volume reads give these available figures in turn (the last one stays).
Services withAvailable(ModelFixture& fixture, std::vector<std::int64_t> figures) {
    Services services = fixture.services();
    auto queue = std::make_shared<std::deque<std::int64_t>>(figures.begin(), figures.end());
    services.readVolume = [queue, volume = fixture.volume](const Url&) {
        VolumeInfo info = volume;
        info.available = queue->front();
        if (queue->size() > 1)
            queue->pop_front();
        return std::optional<VolumeInfo>(info);
    };
    return services;
}

// Lets the scan the model started end, and waits until the model has taken its result.
void endScan(ModelFixture& fixture, const AppModel& model, int call) {
    fixture.scan.waitForCall(call);
    fixture.scan.finish(call, makeScan(Date::fromUnix(1714550400), 1, 1));
    while (model.isScanning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

CleanupItem snapshot(const std::string& text) {
    return CleanupItem(*Url::parse(text), std::nullopt, 0, 0, std::nullopt, "", "tmutil", Safety::review,
                       CleanupAction::deleteSnapshot);
}

} // namespace

class SystemRemovalsTests : public QObject {
    Q_OBJECT

private slots:
    void emptiesTheTrashAndMeasures() {
        ModelFixture fixture;
        // Read at start-up, then before and after each emptying: the gain is floored at zero.
        AppModel& model = fixture.makeModel(withAvailable(fixture, {0, 9000, 5000, 1000, 6000}));
        const std::string trash = FreedesktopTrash::homeTrash(fixture.home());
        writeFile(trash + "/files/old.zip", "old");
        await(model.emptyTrash());
        QVERIFY(Fs::list(trash + "/files").empty());
        QCOMPARE(*model.notice(), QStringLiteral("Trash emptied. Measured gain: Zero KB."));
        QVERIFY(!model.noticeWarns());
        QCOMPARE(fixture.clock->delays, std::vector<double>{2.0});
        endScan(fixture, model, 0);
        await(model.emptyTrash());
        // The Trash is empty now: it freed nothing, whatever the disk did meanwhile.
        QCOMPARE(*model.notice(), QStringLiteral("Trash emptied. Measured gain: Zero KB."));

        // A refused trash: nothing removed, so no rescan, and the notice says why.
        endScan(fixture, model, 1);
        TempDir elsewhere;
        writeFile(elsewhere / "precious", "p");
        Fs::removeAll(trash + "/files");
        makeSymlink(elsewhere.path(), trash + "/files");
        const auto english = qScopeGuard([] { Translations::install(); });
        {
            ScopedEnv language("APP_LANG", "en");
            QVERIFY(Translations::install());
            await(model.emptyTrash());
            QCOMPARE(*model.notice(), QStringLiteral("The Trash was not emptied: it is a link to another place, and "
                                                     "Dovrane removes nothing through a link."));
            QVERIFY(model.noticeWarns());
        }
        ScopedEnv language("APP_LANG", "de");
        QVERIFY(Translations::install());
        await(model.emptyTrash());
        QCOMPARE(*model.notice(), QStringLiteral("Der Papierkorb wurde nicht geleert: Er ist ein Verweis auf einen "
                                                 "anderen Ort, und Dovrane entfernt nichts durch einen Verweis."));
        QVERIFY(Fs::exists(elsewhere / "precious"));
        QCOMPARE(fixture.scan.calls(), 2);
    }

    // Other programs write and delete while the Trash empties: the gain never claims more than
    // the Trash freed, and says "about" when the disk changed by more or less than that.
    void theGainIsAtMostWhatTheTrashFreed() {
        ModelFixture fixture;
        const std::string trash = FreedesktopTrash::homeTrash(fixture.home());
        writeFileOfSize(trash + "/files/big.iso", 2'000'000);
        struct stat status;
        QCOMPARE(lstat((trash + "/files/big.iso").c_str(), &status), 0);
        const std::int64_t held = std::int64_t(status.st_blocks) * 512; // 2 MB as the window writes it
        const std::int64_t before = 100'000'000;
        struct Case {
            std::int64_t change;
            const char* notice;
        };
        const Case cases[] = {
            {held, "Trash emptied. Measured gain: 2 MB."},
            {held + 9'300'000, "Trash emptied. Measured gain: about 2 MB."},
            {1'500'000, "Trash emptied. Measured gain: about 1.5 MB."},
            // The disk filled up meanwhile: what it shows is no measure of the Trash either.
            {-300'000, "Trash emptied. Measured gain: about Zero KB."},
            {held - 40'000'000, "Trash emptied. Measured gain: about Zero KB."},
        };
        std::vector<std::int64_t> figures = {before}; // read at start-up
        for (const Case& each : cases) {
            figures.push_back(before);
            figures.push_back(before + each.change);
        }
        AppModel& model = fixture.makeModel(withAvailable(fixture, figures));
        // Emptying waits its turn behind an administrator run held at a gate, so it is seen
        // while it runs.
        TempDir tools;
        FakePkexec pkexec(tools.path());
        const std::string gate = tools / "gate";
        QCOMPARE(mkfifo(gate.c_str(), 0600), 0);
        int scans = 0;
        for (const Case& each : cases) {
            writeFileOfSize(trash + "/files/big.iso", 2'000'000);
            const QFuture<bool> waiting = Admin::run("read x < '" + gate + "'", {}, pkexec.paths());
            // The last action's notice goes the moment emptying starts, not when it ends.
            model.setNotice(QStringLiteral("3 items moved to the Trash."));
            QFuture<void> emptying = model.emptyTrash();
            QVERIFY(!model.notice());
            const int writer = open(gate.c_str(), O_WRONLY);
            QVERIFY(writer >= 0 && Fs::writeAll(writer, "go\n"));
            close(writer);
            await(emptying);
            QVERIFY(waiting.isFinished());
            QCOMPARE(*model.notice(), QString::fromUtf8(each.notice));
            endScan(fixture, model, scans++);
        }
    }

    void snapshotsGoThroughOneQuotedRun() {
        ModelFixture fixture;
        TempDir tools;
        FakePkexec pkexec(tools.path());
        AppModel& model = fixture.makeModel(pkexec.applied(withAvailable(fixture, {0, 1000, 4000})));

        // Only real stamps reach the root shell; none, no password asked.
        await(model.deleteSnapshots({snapshot("tmsnapshot:not-a-stamp"), snapshot("tmsnapshot:2024-13-01-093012")}));
        await(model.deleteSnapshots({}));
        QVERIFY(pkexec.calls().empty());

        pkexec.setPretending(true);
        await(model.deleteSnapshots({snapshot("tmsnapshot:2024-05-01-093012"), snapshot("tmsnapshot:x';reboot;'"),
                                     snapshot("tmsnapshot:2024-05-02-101500")}));
        const std::string expected = "s=0; /usr/bin/tmutil deletelocalsnapshots '2024-05-01-093012' || s=1; "
                                     "/usr/bin/tmutil deletelocalsnapshots '2024-05-02-101500' || s=1; exit $s";
        QCOMPARE(pkexec.calls(), (std::vector<std::vector<std::string>>{{"/bin/sh", "-c", expected}}));
        QCOMPARE(*model.notice(), QStringLiteral("2 snapshots deleted. Measured gain: 3 KB."));
        endScan(fixture, model, 0);

        // A run that fails (here: no tmutil on this machine) ends without a notice or a scan.
        pkexec.setPretending(false);
        model.setNotice(std::nullopt);
        await(model.deleteSnapshots({snapshot("tmsnapshot:2024-05-01-093012")}));
        QCOMPARE(pkexec.calls().size(), size_t(2));
        QVERIFY(!model.notice());
        QCOMPARE(fixture.scan.calls(), 1);

        // The joined command tries every deletion and fails when any one did.
        TempDir dir;
        const std::string tool = dir / "tmutil";
        writeFile(tool, "#!/bin/sh\necho \"$2\" >> '" + dir / "log" + "'\n[ \"$2\" != 2024-05-01-093012 ]\n");
        chmod(tool.c_str(), 0755);
        std::string command = expected;
        for (size_t at; (at = command.find("/usr/bin/tmutil")) != std::string::npos;)
            command.replace(at, std::string("/usr/bin/tmutil").size(), tool);
        auto shell = ChildProcess::startInOwnSession({"/bin/sh", "-c", command});
        QCOMPARE(ChildProcess::waitForExit(shell.value()), std::optional<int>(1));
        QCOMPARE(Fs::readFile(dir / "log").value_or(""), std::string("2024-05-01-093012\n2024-05-02-101500\n"));
    }

    void simulatorsReportAndRescan() {
        ModelFixture fixture;
        auto runner = std::make_shared<FakeRunner>();
        std::vector<double> timeouts;
        Services services = withAvailable(fixture, {0, 1000, 2000});
        services.makeRunner = [runner, &timeouts](double timeout) -> std::shared_ptr<const CommandRunner> {
            timeouts.push_back(timeout);
            return runner;
        };
        AppModel& model = fixture.makeModel(services);

        await(model.deleteUnavailableSimulators());
        QCOMPARE(*model.notice(), QStringLiteral("Xcode could not remove the simulators. Is Xcode installed?"));
        QVERIFY(model.noticeWarns());
        QCOMPARE(runner->calls(),
                 (std::vector<FakeRunner::Call>{{"/usr/bin/xcrun", {"simctl", "delete", "unavailable"}}}));
        QCOMPARE(timeouts.front(), 300.0); // the rescan's runner follows
        endScan(fixture, model, 0);

        runner->answer("/usr/bin/xcrun", "");
        await(model.deleteUnavailableSimulators());
        QCOMPARE(*model.notice(), QStringLiteral("Unavailable simulators removed. Measured gain: Zero KB."));
        fixture.scan.waitForCall(1);
    }

    void demoDoesNothing() {
        ModelFixture fixture;
        TempDir tools;
        FakePkexec pkexec(tools.path());
        AppModel& model = fixture.makeModel(pkexec.applied(fixture.services()));
        ModelSeeding(model).setIsDemo(true);
        const std::string trash = FreedesktopTrash::homeTrash(fixture.home());
        writeFile(trash + "/files/kept", "k");
        ChangeLog log(model);
        await(model.emptyTrash());
        await(model.deleteSnapshots({snapshot("tmsnapshot:2024-05-01-093012")}));
        await(model.deleteUnavailableSimulators());
        QVERIFY(log.fields.empty());
        QVERIFY(Fs::exists(trash + "/files/kept"));
        QVERIFY(pkexec.calls().empty());
    }

    void accessNewlyGrantedAsksForARestart() {
        ScopedEnv seed("APP_SEED", "1");
        ScopedEnv noAccess("APP_NO_FDA", "1");
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        model.refreshPermissions();
        QVERIFY(!model.hasFullDiskAccess() && !model.needsRestart());
        {
            ScopedEnv granted("APP_NO_FDA", std::nullopt);
            model.refreshPermissions();
            QVERIFY(model.hasFullDiskAccess() && model.needsRestart());
        }
        model.refreshPermissions();                                  // APP_NO_FDA is "1" again
        QVERIFY(!model.hasFullDiskAccess() && model.needsRestart()); // never taken back
    }
};

DOVRANE_MODEL_SUITE(SystemRemovalsTests)
#include "SystemRemovalsTests.moc"
