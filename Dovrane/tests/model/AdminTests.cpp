// The administrator shell through a fake pkexec, and the emptying of the home trash.

#include "Services/Admin.h"
#include "support/Await.h"
#include "support/FakePkexec.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/FileSystem.h>

#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

using namespace dovrane;
using namespace dovrane::testing;

class AdminTests : public QObject {
    Q_OBJECT

private slots:
    void commandReachesTheShellUnchanged() {
        TempDir dir;
        FakePkexec pkexec(dir.path());
        const std::string out = dir / "out";
        // Backslashes, both quotes and a dollar: each must arrive as written.
        const std::string command = "printf '%s' 'a\\b \"quoted\" $HOME' > '" + out + "'";

        QVERIFY(awaitResult(Admin::run(command, "A \"prompt\"", pkexec.paths())));

        const auto calls = pkexec.calls();
        QCOMPARE(calls.size(), size_t(1));
        QCOMPARE(calls[0], (std::vector<std::string>{"/bin/sh", "-c", command}));
        QCOMPARE(Fs::readFile(out).value_or(""), std::string("a\\b \"quoted\" $HOME"));
        const auto sessions = pkexec.sessions();
        QCOMPARE(sessions.size(), size_t(1));
        QVERIFY(sessions[0].leader);
        QVERIFY(sessions[0].stdinIsNull);
    }

    void failuresAnswerFalse() {
        TempDir dir;
        FakePkexec pkexec(dir.path());
        const std::string marker = dir / "ran";

        // A failing command.
        QVERIFY(!awaitResult(Admin::run("exit 3", {}, pkexec.paths())));

        // A dismissed dialog runs nothing.
        pkexec.setRefusing(true);
        QVERIFY(!awaitResult(Admin::run("touch '" + marker + "'", {}, pkexec.paths())));
        QVERIFY(!Fs::exists(marker));
        QCOMPARE(pkexec.calls().size(), size_t(2));

        // No pkexec: false at once, one line on standard error, nothing started.
        SystemPaths missing;
        missing.pkexec = dir / "no-such-pkexec";
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Administrator rights need pkexec"));
        QFuture<bool> answer = Admin::run("touch '" + marker + "'", {}, missing);
        QVERIFY(answer.isFinished());
        QVERIFY(!answer.result());
        QVERIFY(!Fs::exists(marker));
    }

    void runsTakeTurns() {
        TempDir dir;
        FakePkexec pkexec(dir.path());
        const std::string gate = dir / "gate";
        const std::string log = dir / "log";
        QCOMPARE(mkfifo(gate.c_str(), 0600), 0);

        // The first run waits at the gate while the second is already asked for; had the
        // second not waited its turn, its line would come first.
        QFuture<bool> first = Admin::run("read line < '" + gate + "'; echo first >> '" + log + "'", {}, pkexec.paths());
        QFuture<bool> second = Admin::run("echo second >> '" + log + "'", {}, pkexec.paths());
        const int writer = open(gate.c_str(), O_WRONLY); // blocks until the first run reads
        QVERIFY(writer >= 0);
        QVERIFY(Fs::writeAll(writer, "go\n"));
        close(writer);
        QVERIFY(awaitResult(first));
        QVERIFY(awaitResult(second));

        // A worker thread may wait for its answer.
        bool third = false;
        std::thread worker([&] { third = Admin::runAndWait("echo third >> '" + log + "'", {}, pkexec.paths()); });
        worker.join();
        QVERIFY(third);
        QCOMPARE(Fs::readFile(log).value_or(""), std::string("first\nsecond\nthird\n"));
    }

    void emptiesTheHomeTrash() {
        TempDir dir;
        const std::string trash = dir / "Trash";
        const std::string outside = dir / "keep.txt";
        writeFile(outside, "stay");
        writeFile(trash + "/files/a.txt", "a");
        writeFile(trash + "/files/tree/deep/b.bin", "b");
        makeSymlink(outside, trash + "/files/link");
        makeSymlink(dir.path(), trash + "/files/folder-link");
        writeFile(trash + "/info/a.txt.trashinfo", "[Trash Info]\n");
        writeFile(trash + "/info/orphan.trashinfo", "[Trash Info]\n");
        writeFile(trash + "/info/notes.keep", "not ours");
        writeFile(trash + "/directorysizes", "1 2 tree\n");

        QVERIFY(Admin::emptyHomeTrash(trash));

        QVERIFY(Fs::list(trash + "/files").empty());
        QCOMPARE(Fs::list(trash + "/info"), std::vector<std::string>{"notes.keep"});
        QVERIFY(!Fs::exists(trash + "/directorysizes"));
        QCOMPARE(Fs::readFile(outside).value_or(""), std::string("stay")); // links removed, not followed

        // A trash that was never made is empty.
        QVERIFY(Admin::emptyHomeTrash(dir / "never"));
    }

    void refusesLinkedOrForeignTrashFolders() {
        TempDir dir;
        const std::string elsewhere = dir / "elsewhere";
        writeFile(elsewhere + "/precious.txt", "p");

        const std::string linkedFiles = dir / "T1";
        makeSymlink(elsewhere, linkedFiles + "/files");
        writeFile(linkedFiles + "/info/precious.txt.trashinfo", "[Trash Info]\n");
        QVERIFY(!Admin::emptyHomeTrash(linkedFiles));
        QVERIFY(Fs::exists(elsewhere + "/precious.txt"));
        QVERIFY(Fs::exists(linkedFiles + "/info/precious.txt.trashinfo"));

        const std::string linkedTrash = dir / "T2";
        makeSymlink(elsewhere, linkedTrash);
        QVERIFY(!Admin::emptyHomeTrash(linkedTrash));
        QVERIFY(Fs::exists(elsewhere + "/precious.txt"));

        const std::string linkedInfo = dir / "T3";
        writeFile(linkedInfo + "/files/x", "x");
        makeSymlink(elsewhere, linkedInfo + "/info");
        QVERIFY(!Admin::emptyHomeTrash(linkedInfo));
        QVERIFY(Fs::exists(linkedInfo + "/files/x"));

        if (geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        const std::string foreign = dir / "T4";
        writeFile(foreign + "/files/x", "x");
        QCOMPARE(chown((foreign + "/files").c_str(), 65534, 65534), 0);
        QVERIFY(!Admin::emptyHomeTrash(foreign));
        QVERIFY(Fs::exists(foreign + "/files/x"));
    }

    void emptyTrashUsesTheHomeTrash() {
        TempHome home;
        const std::string trash = Fs::dataHome() + "/Trash";
        writeFile(trash + "/files/a", "a");
        writeFile(trash + "/info/a.trashinfo", "[Trash Info]\n");
        QVERIFY(awaitResult(Admin::emptyTrash(Url::fromPath(home.path()))));
        QVERIFY(Fs::list(trash + "/files").empty());
        QVERIFY(Fs::list(trash + "/info").empty());
    }
};

DOVRANE_MODEL_SUITE(AdminTests)
#include "AdminTests.moc"
