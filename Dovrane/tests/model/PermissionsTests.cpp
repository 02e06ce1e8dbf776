// What Permissions reaches through the model's services: the login item with its logged
// failure, the relaunch, notifications, and the installed-app test over fixture bundles.

#include "Services/ChildProcess.h"
#include "Services/Permissions.h"
#include "Services/Services.h"
#include "support/Await.h"
#include "support/Bundles.h"
#include "support/Fakes.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/FileSystem.h>

#include <QTest>

#include <sys/stat.h>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

class RefusingLoginItem final : public LoginItem {
public:
    std::optional<std::string> set(bool) override { return "the session refused"; }
    bool isOn() const override { return false; }
};

} // namespace

class PermissionsTests : public QObject {
    Q_OBJECT

private slots:
    void loginItemThroughTheServices() {
        TempDir config;
        Services services;
        services.loginItem = std::make_shared<AutostartEntry>(config.path(), "/opt/Dovrane/dovrane");
        Permissions::setStartsAtLogin(services, true);
        QVERIFY(Permissions::startsAtLogin(services));
        QVERIFY(Fs::exists(config / "autostart/dovrane.desktop"));
        Permissions::setStartsAtLogin(services, false);
        QVERIFY(!Permissions::startsAtLogin(services));

        services.loginItem = std::make_shared<RefusingLoginItem>();
        QTest::ignoreMessage(QtWarningMsg, "Login item: the session refused");
        Permissions::setStartsAtLogin(services, true);
    }

    void relaunchStartsTheProgramAgainAndQuits() {
        QCOMPARE(Permissions::relaunchCommand("/bin/sh", "/opt/it's/dovrane"),
                 (std::vector<std::string>{"/bin/sh", "-c", "sleep 1; exec '/opt/it'\\''s/dovrane'"}));

        // The quoted path reaches the right program (the one-second wait left out here).
        TempDir dir;
        const std::string program = dir / "it's here";
        writeFile(program, "#!/bin/sh\ntouch '" + dir / "started" + "'\n");
        chmod(program.c_str(), 0755);
        std::vector<std::string> started;
        bool quit = false;
        Services services;
        services.executable = program;
        services.startDetached = [&](const std::vector<std::string>& argv) {
            started = argv;
            return false; // a failed start still ends the application
        };
        services.quit = [&] { quit = true; };
        Permissions::relaunch(services);
        QVERIFY(quit);
        QCOMPARE(started.size(), size_t(3));
        const std::string wait = "sleep 1; ";
        QVERIFY(started[2].starts_with(wait));
        auto child = ChildProcess::startInOwnSession({started[0], started[1], started[2].substr(wait.size())});
        QVERIFY(child);
        QCOMPARE(ChildProcess::waitForExit(*child), std::optional<int>(0));
        QVERIFY(Fs::exists(dir / "started"));
    }

    void notificationsFollowTheService() {
        Services services;
        auto notifier = std::make_shared<FakeNotifier>();
        services.notifier = notifier;
        QVERIFY(awaitResult(Permissions::notificationsAllowed(services)));
        notifier->available = false;
        QVERIFY(!awaitResult(Permissions::notificationsAllowed(services)));
    }

    void installedAppsOfTheDefaultFolders() {
        TempHome home;
        makeAppBundle(home / "Applications/Tool.app", "com.Example.Tool", "Tool");
        QVERIFY(Permissions::isInstalled("com.example.tool"));
        QVERIFY(Permissions::isInstalled("COM.EXAMPLE.TOOL"));
        QVERIFY(!Permissions::isInstalled("com.example.absent"));
        QCOMPARE(Permissions::installedBundleIDs(Url::fromPath(home.path()), std::nullopt),
                 std::set<std::string>{"com.example.tool"});
        QCOMPARE(Permissions::fullDiskAccessSettings().text(),
                 std::string("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles"));
    }
};

DOVRANE_MODEL_SUITE(PermissionsTests)
#include "PermissionsTests.moc"
