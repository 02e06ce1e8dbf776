// What the model reaches outside itself for removals: the administrator shell through a fake
// pkexec, the home trash emptied or refused, the autostart entry, the relaunch command and the
// installed-app test.

#include "Services/Admin.h"
#include "Services/LoginItem.h"
#include "Services/Permissions.h"
#include "Services/Services.h"
#include "support/Await.h"
#include "support/Bundles.h"
#include "support/FakePkexec.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>

#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace dovrane;
using namespace dovrane::testing;

class SystemServicesTests : public QObject {
    Q_OBJECT

private slots:
    void administratorRuns() {
        TempDir dir;
        FakePkexec pkexec(dir.path());
        // Backslashes, both quotes and a dollar arrive as written, in a session of their own.
        const std::string command = "printf '%s' 'a\\b \"q\" $HOME' > '" + dir / "out" + "'";
        QVERIFY(awaitResult(Admin::run(command, "A \"prompt\"", pkexec.paths())));
        QCOMPARE(pkexec.calls(), (std::vector<std::vector<std::string>>{{"/bin/sh", "-c", command}}));
        QCOMPARE(Fs::readFile(dir / "out").value_or(""), std::string("a\\b \"q\" $HOME"));
        QVERIFY(pkexec.sessions().at(0).leader);
        QVERIFY(pkexec.sessions().at(0).stdinIsNull);

        QVERIFY(!awaitResult(Admin::run("exit 3", {}, pkexec.paths())));
        pkexec.setRefusing(true); // a dismissed dialog runs nothing
        QVERIFY(!awaitResult(Admin::run("touch '" + dir / "ran" + "'", {}, pkexec.paths())));
        QVERIFY(!Fs::exists(dir / "ran"));

        SystemPaths missing;
        missing.pkexec = dir / "no-pkexec";
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Administrator rights need pkexec"));
        QFuture<bool> answer = Admin::run("touch '" + dir / "ran" + "'", {}, missing);
        QVERIFY(answer.isFinished() && !answer.result());
        QVERIFY(!Fs::exists(dir / "ran"));
    }

    void administratorRunsTakeTurns() {
        TempDir dir;
        FakePkexec pkexec(dir.path());
        const std::string gate = dir / "gate", log = dir / "log";
        QCOMPARE(mkfifo(gate.c_str(), 0600), 0);
        // The first run waits at the gate while the second is already asked for; had the
        // second not waited its turn, its line would come first.
        QFuture<bool> first = Admin::run("read x < '" + gate + "'; echo first >> '" + log + "'", {}, pkexec.paths());
        QFuture<bool> second = Admin::run("echo second >> '" + log + "'", {}, pkexec.paths());
        const int writer = open(gate.c_str(), O_WRONLY); // blocks until the first run reads
        QVERIFY(writer >= 0 && Fs::writeAll(writer, "go\n"));
        close(writer);
        QVERIFY(awaitResult(first) && awaitResult(second));
        QCOMPARE(Fs::readFile(log).value_or(""), std::string("first\nsecond\n"));
    }

    void emptiesTheHomeTrashOrRefuses() {
        TempDir dir;
        const std::string trash = dir / "Trash", outside = dir / "keep";
        writeFile(outside + "/precious", "p");
        writeFile(trash + "/files/tree/deep/b", "b");
        makeSymlink(outside, trash + "/files/link");
        writeFile(trash + "/info/tree.trashinfo", "[Trash Info]\n");
        writeFile(trash + "/info/notes", "not ours");
        writeFile(trash + "/directorysizes", "1 2 tree\n");
        QCOMPARE(Admin::emptyHomeTrash(trash).outcome, Admin::Emptying::emptied);
        QVERIFY(Fs::list(trash + "/files").empty());
        QCOMPARE(Fs::list(trash + "/info"), std::vector<std::string>{"notes"});
        QVERIFY(!Fs::exists(trash + "/directorysizes"));
        QVERIFY(Fs::exists(outside + "/precious")); // the link went, not what it points at
        QCOMPARE(Admin::emptyHomeTrash(dir / "never-made").outcome, Admin::Emptying::emptied);

        makeSymlink(outside, dir / "T1/files");
        makeSymlink(outside, dir / "T2");
        writeFile(dir / "T3/files/x", "x");
        makeSymlink(outside, dir / "T3/info");
        for (const char* refused : {"T1", "T2", "T3"})
            QCOMPARE(Admin::emptyHomeTrash(dir / refused).outcome, Admin::Emptying::linked);
        QVERIFY(Fs::exists(outside + "/precious") && Fs::exists(dir / "T3/files/x"));

        // One this user may not write is refused whole, rather than emptied in part.
        const OrdinaryUser user = ordinaryUser();
        writeFile(dir / "T5/files/x", "x");
        makeFolder(dir / "T5/info");
        QCOMPARE(chmod(dir.path().c_str(), 0755), 0);
        for (const char* path : {"T5", "T5/files", "T5/files/x", "T5/info"})
            QCOMPARE(chown((dir / path).c_str(), user.user, user.group), 0);
        QCOMPARE(chmod((dir / "T5/files").c_str(), 0500), 0);
        QCOMPARE(asOrdinaryUser([&] {
                     return std::string(
                         Admin::emptyHomeTrash(dir / "T5").outcome == Admin::Emptying::readOnly ? "" : "not refused");
                 }),
                 std::string());
        QVERIFY(Fs::exists(dir / "T5/files/x"));
        chmod((dir / "T5/files").c_str(), 0700);

        if (geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        writeFile(dir / "T4/files/x", "x");
        QCOMPARE(chown((dir / "T4/files").c_str(), 65534, 65534), 0);
        QCOMPARE(Admin::emptyHomeTrash(dir / "T4").outcome, Admin::Emptying::foreign);
        QVERIFY(Fs::exists(dir / "T4/files/x"));
    }

    void emptyingLeavesADiskMountedInTheTrash() {
        TempDir dir;
        const std::string trash = dir / "Trash";
        writeFile(trash + "/files/plain/a", "a");
        writeFile(trash + "/info/plain.trashinfo", "[Trash Info]\n");
        makeFolder(trash + "/files/holder/disk");
        writeFile(trash + "/files/holder/own", "o");
        writeFile(trash + "/info/holder.trashinfo", "[Trash Info]\n");
        auto report = withPrivateMounts([&] {
            if (!mountTmpfs(trash + "/files/holder/disk"))
                return std::string("mounting failed");
            writeFile(trash + "/files/holder/disk/on-the-disk", "d");
            std::string problems;
            if (Admin::emptyHomeTrash(trash).outcome != Admin::Emptying::partly)
                problems += "a Trash that keeps a mounted disk is emptied in part; ";
            if (Fs::readFile(trash + "/files/holder/disk/on-the-disk") != "d")
                problems += "the mounted disk was emptied; ";
            if (Fs::exists(trash + "/files/plain") || Fs::exists(trash + "/files/holder/own"))
                problems += "the rest stayed; ";
            if (Fs::list(trash + "/info") != std::vector<std::string>{"holder.trashinfo"})
                problems += "the item that stayed lost its info file, or the others kept theirs; ";
            return problems;
        });
        if (!report)
            QSKIP("mounting in a private mount namespace needs root");
        QCOMPARE(*report, std::string());
    }

    void autostartEntry() {
        // Inside the quotes ", `, $ and \ take a backslash and % is doubled; the value's own
        // escaping then doubles each backslash.
        QCOMPARE(AutostartEntry::execArgument("/opt/My \"App\"/$x`y\\z%u"),
                 std::string("\"/opt/My \\\\\"App\\\\\"/\\\\$x\\\\`y\\\\\\\\z%%u\""));

        TempDir config;
        Services services;
        auto entry = std::make_shared<AutostartEntry>(config.path(), "/opt/it's here/Dovrane");
        services.loginItem = entry;
        Permissions::setStartsAtLogin(services, true);
        QVERIFY(Permissions::startsAtLogin(services));
        QVERIFY(Fs::readFile(config / "autostart/dovrane.desktop")->find("\nExec=\"/opt/it's here/Dovrane\"\n") !=
                std::string::npos);
        Permissions::setStartsAtLogin(services, false);
        QVERIFY(!Fs::exists(entry->path()));
        QVERIFY(!Permissions::startsAtLogin(services));

        writeFile(entry->path(), "[Desktop Entry]\nExec=dovrane\nHidden=true\n");
        QVERIFY(!Permissions::startsAtLogin(services));

        // A path an Exec key cannot hold, and a file where the folder belongs (even root fails).
        services.loginItem = std::make_shared<AutostartEntry>(config / "a", "/opt/two\nlines");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Login item: .*cannot be written"));
        Permissions::setStartsAtLogin(services, true);
        writeFile(config / "b/autostart", "in the way");
        services.loginItem = std::make_shared<AutostartEntry>(config / "b", "/usr/bin/dovrane");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Login item: could not write"));
        Permissions::setStartsAtLogin(services, true);
        QVERIFY(!Permissions::startsAtLogin(services));
    }

    void anAutostartEntryFollowsTheProgramWhenItMoves() {
        TempDir config;
        AutostartEntry old(config.path(), "/home/me/build/bin/Dovrane");
        QVERIFY(!old.set(true));
        AutostartEntry moved(config.path(), "/home/me/.local/bin/Dovrane");
        QVERIFY(moved.followExecutable());
        const std::string text = *Fs::readFile(moved.path());
        QVERIFY(text.find("\nExec=\"/home/me/.local/bin/Dovrane\"\n") != std::string::npos);
        QVERIFY(text.find("build/bin") == std::string::npos);

        // Switched off by the user: left as it is.
        const std::string hidden = "[Desktop Entry]\nExec=\"/home/me/build/bin/Dovrane\"\nHidden=true\n";
        writeFile(moved.path(), hidden);
        QVERIFY(moved.followExecutable());
        QCOMPARE(*Fs::readFile(moved.path()), hidden);
        QVERIFY(!moved.set(false));
        QVERIFY(moved.followExecutable());
        QVERIFY(!Fs::exists(moved.path()));
    }

    void relaunchStartsTheProgramAgainAndQuits() {
        std::vector<std::string> started;
        bool quit = false;
        Services services;
        services.executable = "/opt/it's here/dovrane";
        services.startDetached = [&](const std::vector<std::string>& argv) {
            started = argv;
            return false; // a failed start still ends the application
        };
        services.quit = [&] { quit = true; };
        Permissions::relaunch(services);
        QVERIFY(quit);
        QCOMPARE(started, (std::vector<std::string>{"/bin/sh", "-c", "sleep 1; exec '/opt/it'\\''s here/dovrane'"}));
    }

    void installedAppsOfTheDefaultFolders() {
        TempHome home;
        makeAppBundle(home / "Applications/Tool.app", "com.Example.Tool", "Tool");
        QVERIFY(Permissions::isInstalled("COM.example.tool"));
        QVERIFY(!Permissions::isInstalled("com.example.absent"));
    }
};

DOVRANE_MODEL_SUITE(SystemServicesTests)
#include "SystemServicesTests.moc"
