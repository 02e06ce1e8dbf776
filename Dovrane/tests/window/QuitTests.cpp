// The quit rule and the exit line: when closing the window ends the process, and what a
// self-test run prints and exits with, watched from outside on a child process.

#include "App/AppDelegate.h"
#include "App/DovraneApp.h"
#include "Services/SettingKeys.h"
#include "WindowFixture.h"
#include "support/ModelTestMain.h"
#include "support/Patience.h"

#include <QProcess>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

class QuitTests : public QObject {
    Q_OBJECT

private slots:
    void lastWindowRule() {
        MemorySettings settings;
        QVERIFY(AppDelegate::shouldTerminateAfterLastWindowClosed(settings, true));
        QVERIFY(!AppDelegate::shouldTerminateAfterLastWindowClosed(settings, false)); // nothing stored
        settings.setText(QStringLiteral("menubar.enabled"), QStringLiteral("false"));
        QVERIFY(!AppDelegate::shouldTerminateAfterLastWindowClosed(settings, false)); // not a Boolean
        SettingKeys::menuBarEnabled.set(settings, false);
        QVERIFY(AppDelegate::shouldTerminateAfterLastWindowClosed(settings, false));
        SettingKeys::menuBarEnabled.set(settings, true);
        QVERIFY(!AppDelegate::shouldTerminateAfterLastWindowClosed(settings, false));
        QVERIFY(AppDelegate::shouldTerminateAfterLastWindowClosed(settings, true));
    }

    void aKeptProcessNeedsAMenuBarItemOnShow() {
        WindowFixture fixture;
        DovraneApp app({"Dovrane"}, fixture.container(), fixture.services());
        QVERIFY(!app.keepsRunningWithoutWindow()); // a test store
        ScopedEnv realStore("APP_STORE", std::nullopt);
        QVERIFY(!app.keepsRunningWithoutWindow()); // no menu bar item yet
        bool shown = true;
        app.setMenuBarItemShown([&] { return shown; });
        QVERIFY(app.keepsRunningWithoutWindow());
        shown = false; // no system tray: never an invisible process
        QVERIFY(!app.keepsRunningWithoutWindow());
        shown = true;
        SettingKeys::menuBarEnabled.set(*fixture.settings, false);
        QVERIFY(!app.keepsRunningWithoutWindow());
    }

    // The self-test's finish ends with its code; any other quit before it, with 1.
    void selfTestEndsWithItsCode_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("code");
        QTest::newRow("the self-test finished") << "finished" << 3;
        QTest::newRow("quit before the event loop") << "early-quit" << 1;
        QTest::newRow("window closed") << "close-window" << 1;
    }
    void selfTestEndsWithItsCode() {
        QFETCH(QString, mode);
        QFETCH(int, code);
        TempHome home;
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("APP_STORE"), QString::fromStdString(home / "child.store"));
        child.setProcessEnvironment(environment);
        child.setStandardErrorFile(QProcess::nullDevice());
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--quit-child"), mode});
        QVERIFY(child.waitForFinished(patientMs(20'000)));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), code);
        const QList<QByteArray> lines = child.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lines.last(), "EXIT " + QByteArray::number(code));
    }
};

DOVRANE_MODEL_SUITE(QuitTests)
#include "QuitTests.moc"
