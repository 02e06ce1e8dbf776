// The launch steps: the normal start-up and when it is skipped, the scan-age rule, the page and
// Settings switches, the developer runs once per process, and the window running the steps
// each time it is shown anew.

#include "App/DovraneApp.h"
#include "App/SingleInstance.h"
#include "AppModel/ModelSeeding.h"
#include "AppModel/ScanCache.h"
#include "ContentView/ContentView.h"
#include "Launch/Launch.h"
#include "QtWaits.h"
#include "Services/JsonSettings.h"
#include "Services/SettingKeys.h"
#include "WindowFixture.h"
#include "support/Await.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/system/FileSystem.h>

#include <QScrollArea>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

constexpr double hour = 3600;

struct Recorder {
    std::vector<std::string> calls;
    Launch::DeveloperRuns runs() {
        return {[this](AppModel&) { calls.push_back("selftest"); },
                [this](AppModel&, const std::function<void()>& openSettings) {
                    calls.push_back(openSettings ? "snapshot with settings" : "snapshot");
                }};
    }
};

} // namespace

class LaunchTests : public QObject {
    Q_OBJECT

private slots:
    void firstLaunchLoadsStartsScansAndOnboards() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ScopedEnv realStore("APP_STORE", std::nullopt);
        Launch::Sequence launch({"Dovrane"});
        launch.run(model, {});
        QVERIFY(model.isLoadingApps() || model.appsLoaded());
        QVERIFY(model.backgroundStarted());
        QVERIFY(model.isScanning());
        QVERIFY(model.sheet());
        QCOMPARE(model.sheet()->id(), QStringLiteral("onboarding"));
        model.cancelScan();
    }

    // A settings file that cannot be read is reported once, with where the old file is kept.
    // (A run on a test store leaves it where it is: see the self-test's runs.)
    void damagedSettingsAreToldOnceInTheNoticeBar() {
        WindowFixture fixture;
        const std::string file = fixture / "config/Dovrane.json";
        writeFile(file, "{\"settings.tab\": ");
        Services services = fixture.services();
        services.settings = std::make_shared<JsonSettings>(file);
        AppModel& model = fixture.ModelFixture::makeModel(std::move(services));
        Recorder recorder;
        ScopedEnv realStore("APP_STORE", std::nullopt);
        Launch::Sequence launch({"Dovrane"}, recorder.runs());
        launch.run(model, {});
        QVERIFY(model.notice());
        QCOMPARE(*model.notice(), QStringLiteral("Your settings could not be read and were reset. The old file is kept "
                                                 "as %1.")
                                      .arg(QString::fromStdString(file + ".damaged")));
        QCOMPARE(Fs::readFile(file + ".damaged"), std::optional<std::string>("{\"settings.tab\": "));
        model.setNotice(std::nullopt);
        launch.run(model, {});
        QVERIFY(!model.notice());
        model.cancelScan();
    }

    void scanAgeDecidesTheLaunchScan_data() {
        QTest::addColumn<double>("age");
        QTest::addColumn<bool>("scans");
        QTest::newRow("5 hours") << 5 * hour << false;
        QTest::newRow("exactly 6 hours") << 6 * hour << false;
        QTest::newRow("6 hours and a second") << 6 * hour + 1 << true;
        QTest::newRow("7 hours") << 7 * hour << true;
    }
    void scanAgeDecidesTheLaunchScan() {
        QFETCH(double, age);
        QFETCH(bool, scans);
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ModelSeeding(model).setScan(makeScan(fixture.clock->now().adding(-age), 1'000'000, 400'000));
        Launch::Sequence({"Dovrane"}).run(model, {});
        QCOMPARE(model.isScanning(), scans);
        // A test store never shows onboarding at launch.
        QVERIFY(!model.sheet());
        model.cancelScan();
    }

    // The window's launch steps run before the cached scan is read back; whether to scan is
    // decided once it is, by its age, and the screenshot run starts only then too. Without a
    // cache file there is nothing to wait for.
    void theLaunchScanWaitsForTheCachedScan_data() {
        QTest::addColumn<double>("age");
        QTest::addColumn<bool>("scans");
        QTest::newRow("5 hours") << 5 * hour << false;
        QTest::newRow("7 hours") << 7 * hour << true;
    }
    void theLaunchScanWaitsForTheCachedScan() {
        QFETCH(double, age);
        QFETCH(bool, scans);
        WindowFixture fixture;
        writeFile(ScanCache::url().path(),
                  ScanCache::encode(makeScan(fixture.clock->now().adding(-age), 1'000'000, 400'000)));
        AppModel& model = fixture.startModel();
        // Checked today: the background work's first pass starts no update check.
        ModelSeeding(model).setUpdatesCheckedAt(fixture.clock->now());
        Recorder recorder;
        Launch::Sequence launch({"Dovrane"}, recorder.runs());
        launch.startScanEarly(model);
        launch.run(model, {});
        QVERIFY(!model.isScanning());
        QCOMPARE(recorder.calls, std::vector<std::string>{"selftest"});

        await(model.scanRestored());
        QVERIFY(model.scan());
        QCOMPARE(model.isScanning(), scans);
        QCOMPARE(recorder.calls, (std::vector<std::string>{"selftest", "snapshot"}));
        model.cancelScan();
    }
    void withoutACacheFileTheLaunchScanStartsAtOnce() {
        WindowFixture fixture;
        AppModel& model = fixture.startModel();
        Launch::Sequence({"Dovrane"}).startScanEarly(model);
        QVERIFY(model.isScanning());
        model.cancelScan();
    }

    void onboardingDoneOrATestStoreSkipIt() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ModelSeeding(model).setScan(makeScan(fixture.clock->now(), 1'000'000, 400'000));
        SettingKeys::onboardingDone.set(*fixture.settings, true);
        ScopedEnv realStore("APP_STORE", std::nullopt);
        Launch::Sequence({"Dovrane"}).run(model, {});
        QVERIFY(!model.sheet());
    }

    void developerRunsSkipTheNormalStartUp_data() {
        QTest::addColumn<QString>("snapshot");
        QTest::addColumn<bool>("selfTest");
        QTest::newRow("snapshot switch present but empty") << QString("") << false;
        QTest::newRow("self-test") << QString() << true;
    }
    void developerRunsSkipTheNormalStartUp() {
        QFETCH(QString, snapshot);
        QFETCH(bool, selfTest);
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ScopedEnv snapshotSwitch("APP_SNAPSHOT",
                                 snapshot.isNull() ? std::nullopt : std::optional<std::string>(snapshot.toStdString()));
        Recorder recorder;
        std::vector<std::string> arguments{"Dovrane"};
        if (selfTest)
            arguments.push_back("--selftest");
        Launch::Sequence launch(arguments, recorder.runs());
        int settingsOpened = 0;
        launch.run(model, [&] { ++settingsOpened; });
        QVERIFY(!model.isLoadingApps() && !model.appsLoaded());
        QVERIFY(!model.backgroundStarted());
        QVERIFY(!model.isScanning());
        QVERIFY(!model.sheet());
        QCOMPARE(recorder.calls, (std::vector<std::string>{"selftest", "snapshot with settings"}));
        QCOMPARE(settingsOpened, 0);

        // Shown again, the window's steps leave the developer runs alone.
        launch.run(model, {});
        QCOMPARE(recorder.calls.size(), std::size_t(2));
    }

    void demoDataGoInOnceAndSkipTheNormalStartUp() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ScopedEnv seed("APP_SEED", "1");
        Launch::Sequence launch({"Dovrane"});
        launch.run(model, {});
        QVERIFY(model.isDemo());
        QVERIFY(!model.apps().empty());
        QVERIFY(!model.backgroundStarted());
        QVERIFY(!model.isScanning());

        // What the user did since stays: a second showing does not refill the demo.
        ModelSeeding(model).setApps({});
        launch.run(model, {});
        QVERIFY(model.apps().empty());
    }

    // The scan that run() would start begins before the window exists; run() then neither
    // starts a second one beside it nor, once it has ended, another one after it.
    void aDueScanStartsBeforeTheWindowOnce() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        Launch::Sequence launch({"Dovrane"});
        launch.startScanEarly(model);
        QVERIFY(model.isScanning());
        fixture.scan.waitForCall(0);
        QVERIFY(!model.isLoadingApps() && !model.appsLoaded());
        launch.run(model, {});
        QVERIFY(model.isLoadingApps() || model.appsLoaded());
        QVERIFY(model.isScanning());
        QCOMPARE(fixture.scan.calls(), 1);
        model.cancelScan();
    }

    void anEarlyScanThatEndedBeforeTheWindowIsNotRepeated() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        Launch::Sequence launch({"Dovrane"});
        launch.startScanEarly(model);
        fixture.scan.waitForCall(0);
        fixture.scan.finish(0, makeScan(fixture.clock->now(), 1'000'000, 400'000));
        DOVRANE_TRY_VERIFY(!model.isScanning());
        launch.run(model, {});
        QVERIFY(!model.isScanning());
        QCOMPARE(fixture.scan.calls(), 1);
    }

    void noEarlyScanWhenFreshOrADeveloperRunOrTheDemoIsInCharge_data() {
        QTest::addColumn<double>("age");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("variable");
        QTest::newRow("scanned five hours ago") << 5 * hour << QString() << QString();
        QTest::newRow("self-test") << -1.0 << QString("--selftest") << QString();
        QTest::newRow("screenshot run") << -1.0 << QString() << QString("APP_SNAPSHOT");
        QTest::newRow("demo data") << -1.0 << QString() << QString("APP_SEED");
    }
    void noEarlyScanWhenFreshOrADeveloperRunOrTheDemoIsInCharge() {
        QFETCH(double, age);
        QFETCH(QString, argument);
        QFETCH(QString, variable);
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        if (age >= 0)
            ModelSeeding(model).setScan(makeScan(fixture.clock->now().adding(-age), 1'000'000, 400'000));
        std::vector<std::string> arguments{"Dovrane"};
        if (!argument.isEmpty())
            arguments.push_back(argument.toStdString());
        ScopedEnv seed("APP_SEED", variable == "APP_SEED" ? std::optional<std::string>("1") : std::nullopt);
        ScopedEnv snapshot("APP_SNAPSHOT", variable == "APP_SNAPSHOT" ? std::optional<std::string>("") : std::nullopt);
        Launch::Sequence launch(arguments);
        launch.startScanEarly(model);
        QVERIFY(!model.isScanning());
        QCOMPARE(fixture.scan.calls(), 0);
    }

    void pageAndSettingsSwitchesTakeRawNamesOnly_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("tab");
        QTest::addColumn<int>("expectedPage"); // -1: unchanged
        QTest::addColumn<int>("expectedTab");  // -1: unchanged, Settings not opened
        QTest::newRow("raw names") << "updates"
                                   << "scan" << int(SidebarItem::updates) << int(SettingsTab::scan);
        QTest::newRow("titles") << "Updates"
                                << "Scan" << -1 << -1;
        QTest::newRow("unknown") << "trash"
                                 << "privacy" << -1 << -1;
        QTest::newRow("empty") << ""
                               << "" << -1 << -1;
    }
    void pageAndSettingsSwitchesTakeRawNamesOnly() {
        QFETCH(QString, page);
        QFETCH(QString, tab);
        QFETCH(int, expectedPage);
        QFETCH(int, expectedTab);
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        model.setSidebar(SidebarItem::storage);
        ModelSeeding(model).setScan(makeScan(fixture.clock->now(), 1'000'000, 400'000));
        ScopedEnv pageSwitch("APP_PAGE", page.toStdString());
        ScopedEnv tabSwitch("APP_SETTINGS", tab.toStdString());
        int settingsOpened = 0;
        Launch::Sequence({"Dovrane"}).run(model, [&] { ++settingsOpened; });
        QCOMPARE(model.sidebar(),
                 expectedPage < 0 ? std::optional(SidebarItem::storage) : std::optional(SidebarItem(expectedPage)));
        QCOMPARE(model.settingsTab(), expectedTab < 0 ? SettingsTab::general : SettingsTab(expectedTab));
        QCOMPARE(settingsOpened, expectedTab < 0 ? 0 : 1);
    }

    void theWindowRunsTheStepsWhenShownAnew() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        int launches = 0;
        ContentView& window = fixture.makeWindow(model, [&] { ++launches; });
        window.show();
        DOVRANE_TRY_COMPARE(launches, 1);
        window.hide(); // a plain hide is no new showing
        window.show();
        QCoreApplication::processEvents();
        QCOMPARE(launches, 1);
        window.close();
        window.show();
        DOVRANE_TRY_COMPARE(launches, 2);
    }

    // The page makers come after the window (they need its menus); the page on show at launch
    // is the real Overview page all the same, not the stand-in built before them.
    void theFirstPageIsTheRealOverviewPage() {
        WindowFixture fixture;
        DovraneApp app({"Dovrane"}, fixture.container(), fixture.services());
        QVERIFY(qobject_cast<QScrollArea*>(app.window().page()));
        QCOMPARE(app.window().page()->objectName(), QStringLiteral("page-overview"));
        QCOMPARE(app.window().page()->metaObject()->className(), "dovrane::OverviewPage");
    }

    void aSecondStartWithoutAppsBringsTheWindowBack() {
        WindowFixture fixture;
        TempDir runtime;
        ScopedEnv runtimeFolder("XDG_RUNTIME_DIR", runtime.path());
        ScopedEnv realStore("APP_STORE", std::nullopt);
        DovraneApp app({"Dovrane"}, fixture.container(), fixture.services());
        app.listenForOtherStarts();
        app.window().hide();
        QVERIFY(SingleInstance::handOff({}));
        DOVRANE_TRY_VERIFY(app.window().isVisible());
    }

    // A minimized window comes back for a second start, with or without an app to remove, for
    // a notification click and for the menu bar panel's "Open" (which shows the main window).
    void everyWayBackUnMinimizesTheWindow() {
        WindowFixture fixture;
        TempDir runtime;
        ScopedEnv runtimeFolder("XDG_RUNTIME_DIR", runtime.path());
        ScopedEnv realStore("APP_STORE", std::nullopt);
        DovraneApp app({"Dovrane"}, fixture.container(), fixture.services());
        app.listenForOtherStarts();
        app.showMainWindow();
        const auto minimize = [&] {
            app.window().setWindowState(app.window().windowState() | Qt::WindowMinimized);
            QVERIFY(app.window().isMinimized());
        };
        minimize();
        QVERIFY(SingleInstance::handOff({}));
        DOVRANE_TRY_VERIFY(!app.window().isMinimized());
        minimize();
        QVERIFY(SingleInstance::handOff({Url::fromPath(fixture.home() + "/Applications/Gone.app")}));
        DOVRANE_TRY_VERIFY(!app.window().isMinimized());
        minimize();
        fixture.notifier->click(QStringLiteral("weekly"));
        QVERIFY(!app.window().isMinimized());
        minimize();
        app.showMainWindow();
        QVERIFY(!app.window().isMinimized());
        QVERIFY(app.window().isVisible());
    }

    void clickingTheUpdatesNotificationShowsTheUpdatesPage() {
        WindowFixture fixture;
        {
            DovraneApp app({"Dovrane"}, fixture.container(), fixture.services());
            fixture.notifier->click(QStringLiteral("weekly"));
            QVERIFY(app.window().isVisible());
            QCOMPARE(app.model().sidebar(), std::optional(SidebarItem::overview));
            app.window().hide();
            fixture.notifier->click(QStringLiteral("updates"));
            QVERIFY(app.window().isVisible());
            QCOMPARE(app.model().sidebar(), std::optional(SidebarItem::updates));
            DOVRANE_TRY_COMPARE(app.window().page()->objectName(), QStringLiteral("page-updates"));
        }
        fixture.notifier->click(QStringLiteral("updates")); // the application is gone: nothing happens
    }
};

DOVRANE_MODEL_SUITE(LaunchTests)
#include "LaunchTests.moc"
