// The workspace over /proc: apps found by their program's place in a bundle, signalled only
// while they are the process they were, and URLs handed to the desktop only when they are web
// or mail addresses.

#include "QtWaits.h"
#include "Services/Workspace.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>

#include <QProcess>
#include <QTest>

#include <sys/stat.h>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

void writeBundle(const std::string& bundle, const std::string& identifier, const std::string& program) {
    writeFile(bundle + "/Contents/Info.plist",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
              "<key>CFBundleIdentifier</key><string>" +
                  identifier +
                  "</string>"
                  "<key>CFBundleExecutable</key><string>" +
                  program + "</string></dict></plist>\n");
}

void copyExecutable(const std::string& from, const std::string& to) {
    auto bytes = Fs::readFile(from);
    QVERIFY(bytes);
    writeFile(to, *bytes);
    QCOMPARE(chmod(to.c_str(), 0755), 0);
}

std::optional<RunningApplication> find(const ProcWorkspace& workspace, qint64 pid) {
    for (const RunningApplication& application : workspace.runningApplications())
        if (application.pid == pid)
            return application;
    return std::nullopt;
}

} // namespace

class WorkspaceTests : public QObject {
    Q_OBJECT

private slots:
    void statFieldsAfterTheLastParenthesis() {
        const auto stat = ProcWorkspace::parseStat(
            "4242 (my (odd) app) R) S 1 4242 4242 0 -1 4194560 100 0 0 0 1 2 0 0 20 0 1 0 987654 1000 10");
        QVERIFY(stat);
        QCOMPARE(stat->state, 'S');
        QCOMPARE(stat->startTime, std::uint64_t(987654));
        QVERIFY(!ProcWorkspace::parseStat("4242 (app) S 1 2 3"));
        QVERIFY(!ProcWorkspace::parseStat("no parenthesis at all"));
    }

    void programsInsideBundles() {
        QCOMPARE(ProcWorkspace::bundleOfProgram("/opt/Foo Bar.app/Contents/MacOS/foo"),
                 std::optional<std::string>("/opt/Foo Bar.app"));
        QCOMPARE(ProcWorkspace::bundleOfProgram("/a/Outer.app/Contents/Inner.app/Contents/MacOS/x"),
                 std::optional<std::string>("/a/Outer.app/Contents/Inner.app"));
        QVERIFY(!ProcWorkspace::bundleOfProgram("/usr/bin/sleep"));
        QVERIFY(!ProcWorkspace::bundleOfProgram("/a/Foo.app/Contents/MacOS/"));
        QVERIFY(!ProcWorkspace::bundleOfProgram("/a/Foo.app/Contents/MacOS/lib/helper"));
        QVERIFY(!ProcWorkspace::bundleOfProgram("relative/Foo.app/Contents/MacOS/foo"));
        QVERIFY(!ProcWorkspace::bundleOfProgram("/.app/Contents/MacOS/foo"));
    }

    void aRunningBundleIsFoundAndTerminatedOnce() {
        TempDir folder;
        const std::string bundle = folder / "Sleeper.app";
        writeBundle(bundle, "org.example.sleeper", "sleeper");
        copyExecutable("/bin/sleep", bundle + "/Contents/MacOS/sleeper");
        QProcess process;
        process.start(QString::fromStdString(bundle + "/Contents/MacOS/sleeper"), {QStringLiteral("1000")});
        QVERIFY(process.waitForStarted(-1));

        ProcWorkspace workspace(Url::fromPath(folder.path()));
        const auto application = find(workspace, process.processId());
        QVERIFY(application);
        QCOMPARE(application->bundle.path(), bundle);
        QCOMPARE(application->bundleID, std::optional<std::string>("org.example.sleeper"));
        QVERIFY(!workspace.isTerminated(*application));

        // Another start time is another process, even under the same id.
        RunningApplication impostor = *application;
        impostor.startTime += 1;
        QVERIFY(workspace.isTerminated(impostor));
        QVERIFY(!workspace.terminate(impostor));
        QCOMPARE(process.state(), QProcess::Running);

        QVERIFY(workspace.terminate(*application));
        QVERIFY(process.waitForFinished(-1));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit); // ended by the signal
        QVERIFY(workspace.isTerminated(*application));
        QVERIFY(!workspace.terminate(*application));
        QVERIFY(!find(workspace, application->pid));
    }

    void aScriptIsKnownByItsFirstAbsoluteArgument() {
        TempDir folder;
        const std::string bundle = folder / "Script.app";
        writeBundle(bundle, "org.example.script", "run");
        writeFile(bundle + "/Contents/MacOS/run", "#!/bin/sh\ntrap 'kill $!; exit 0' TERM\nsleep 1000 &\nwait\n");
        QCOMPARE(chmod((bundle + "/Contents/MacOS/run").c_str(), 0755), 0);
        QProcess process;
        process.start(QString::fromStdString(bundle + "/Contents/MacOS/run"), {});
        QVERIFY(process.waitForStarted(-1));

        ProcWorkspace workspace(Url::fromPath(folder.path()));
        const auto application = find(workspace, process.processId());
        QVERIFY(application);
        QCOMPARE(application->bundleID, std::optional<std::string>("org.example.script"));
        QVERIFY(workspace.terminate(*application));
        QVERIFY(process.waitForFinished(-1));
    }

    void onlyWebAndMailAddressesAreOpened() {
        TempDir folder;
        const std::string opener = folder / "opener";
        const std::string log = folder / "opened";
        writeFile(opener, "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" >> '" + log + "'\n");
        QCOMPARE(chmod(opener.c_str(), 0755), 0);
        ProcWorkspacePaths paths;
        paths.opener = opener;
        ProcWorkspace workspace(Url::fromPath(folder.path()), std::nullopt, paths);

        for (const char* refused : {"file:///etc/passwd", "x-apple.systempreferences:com.apple.preference.security",
                                    "javascript:void", "ftp://example.com/"}) {
            const auto url = Url::parse(refused);
            QVERIFY2(url, refused);
            QVERIFY2(!workspace.open(*url), refused);
        }
        const auto web = Url::parse("https://example.com/a?b=c&d=e");
        QVERIFY(web);
        QVERIFY(workspace.open(*web));
        // The opener runs on its own: its line may be half written when the file appears.
        DOVRANE_TRY_COMPARE_WITHIN(Fs::readFile(log), std::optional<std::string>("1|https://example.com/a?b=c&d=e\n"),
                                   4000);

        paths.opener = folder / "missing";
        const auto mail = Url::parse("mailto:a@b.example");
        QVERIFY(mail);
        QVERIFY(!ProcWorkspace(Url::fromPath(folder.path()), std::nullopt, paths).open(*mail));
    }

    void applicationsAreFoundInTheApplicationFolders() {
        TempDir folder;
        writeBundle(folder / "Applications/First.app", "org.example.one", "first");
        writeBundle(folder / "Other/Second.app", "org.example.two", "second");
        const ProcWorkspace workspace(
            Url::fromPath(folder.path()),
            std::vector<Url>{Url::fromPath(folder / "Applications"), Url::fromPath(folder / "Other")});
        QCOMPARE(workspace.applicationURL("org.example.two"),
                 std::optional<Url>(Url::fromPath(folder / "Other/Second.app")));
        QVERIFY(!workspace.applicationURL("org.example.none"));
        // By default the home folder's Applications is one of them.
        const ProcWorkspace defaults(Url::fromPath(folder.path()));
        QCOMPARE(defaults.applicationURL("org.example.one"),
                 std::optional<Url>(Url::fromPath(folder / "Applications/First.app")));
    }
};

DOVRANE_MODEL_SUITE(WorkspaceTests)
#include "WorkspaceTests.moc"
