// The background loop one pass at a time (the pause between passes is held until the test
// releases it): the intervals at their edges, dates from the future, both notifications and
// what stops them, the rescan and demo mode.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "Background/LocalCalendar.h"
#include "QtWaits.h"
#include "Services/SettingKeys.h"
#include "Services/Translations.h"
#include "support/Await.h"
#include "support/ModelTestMain.h"
#include "support/UpdateHome.h"

#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

struct Loop {
    UpdateHome home;
    std::shared_ptr<HeldClock> clock = std::make_shared<HeldClock>(Date::fromUnix(1714550400));

    AppModel& model() {
        Services services = home.services();
        services.clock = clock;
        services.delayScale = 1;
        return home.fixture.makeModel(services);
    }
    // Starts the loop and returns once its first pass has ended.
    void start(AppModel& model) {
        model.startBackgroundWork();
        await(clock->waitAsked());
    }
    // Ends the pause and returns once the next pass has ended.
    void nextPass() {
        clock->releaseOne();
        await(clock->waitAsked());
    }
    std::size_t checks(const std::string& app = "Example") const { return home.server->count("/feeds/" + app); }
    const std::vector<FakeNotifier::Posted>& posted() const { return home.fixture.notifier->posted; }
    std::optional<Date> stored(const Setting<Date>& setting) const { return setting.stored(*home.fixture.settings); }
};

void recordDays(ModelFixture& fixture, Date now, std::int64_t weekAgo, std::int64_t today) {
    fixture.container().insert(std::make_shared<DailySize>(LocalCalendar::dateOf(now).addDays(-7), weekAgo));
    fixture.container().insert(std::make_shared<DailySize>(LocalCalendar::dateOf(now), today));
    fixture.container().save();
}

} // namespace

class BackgroundWorkTests : public QObject {
    Q_OBJECT

private slots:
    void startsOnceAndNeverWithDemoData() {
        Loop loop;
        AppModel& demo = loop.model();
        ModelSeeding(demo).setIsDemo(true);
        demo.startBackgroundWork();
        QCoreApplication::processEvents();
        QVERIFY(!demo.backgroundStarted());
        QVERIFY(loop.clock->asked.empty());

        AppModel& model = loop.model();
        model.setVolume(std::nullopt);
        model.startBackgroundWork();
        model.startBackgroundWork();
        QVERIFY(model.backgroundStarted());
        await(loop.clock->waitAsked());
        QCOMPARE(model.volume(), std::optional<VolumeInfo>(loop.home.fixture.volume)); // read each pass
        QCOMPARE(loop.clock->asked, std::vector<double>{600});
        loop.nextPass();
        QCOMPARE(loop.clock->asked, (std::vector<double>{600, 600}));
    }

    void checksOnlyAfterMoreThanADayAndNotifiesAfterTheCheck() {
        Loop loop;
        loop.home.fedApp("Example", "1.0", "2.0");
        AppModel& model = loop.model();
        ModelSeeding(model).setUpdatesCheckedAt(loop.clock->now().adding(-86'400));
        loop.start(model);
        QCOMPARE(loop.checks(), std::size_t(0));
        QVERIFY(loop.posted().empty());

        loop.clock->advance(1);
        loop.nextPass();
        QCOMPARE(loop.checks(), std::size_t(1));
        QCOMPARE(loop.posted().size(), std::size_t(1));
        QCOMPARE(loop.posted()[0].identifier, QStringLiteral("updates"));
        QCOMPARE(loop.posted()[0].title, QStringLiteral("1 app update is ready"));
        QCOMPARE(loop.posted()[0].body, QStringLiteral("Example"));
        QCOMPARE(loop.stored(SettingKeys::updatesNoticeLast), std::optional<Date>(loop.clock->now()));

        // A recent check: no check and no notification.
        loop.clock->advance(3'600);
        loop.nextPass();
        QCOMPARE(loop.checks(), std::size_t(1));
        QCOMPARE(loop.posted().size(), std::size_t(1));

        // A check date from the future counts as long ago; the notification still waits its day.
        ModelSeeding(model).setUpdatesCheckedAt(loop.clock->now().adding(7'200));
        loop.nextPass();
        QCOMPARE(loop.checks(), std::size_t(2));
        QCOMPARE(loop.posted().size(), std::size_t(1));

        // So does a notification date from the future.
        SettingKeys::updatesNoticeLast.set(*loop.home.fixture.settings, loop.clock->now().adding(86'400 * 30));
        ModelSeeding(model).setUpdatesCheckedAt(std::nullopt);
        loop.nextPass();
        QCOMPARE(loop.checks(), std::size_t(3));
        QCOMPARE(loop.posted().size(), std::size_t(2));
        QCOMPARE(loop.stored(SettingKeys::updatesNoticeLast), std::optional<Date>(loop.clock->now()));
    }

    // An app installed while the window is open is listed and checked by the next daily run.
    void theDailyCheckListsTheAppsAgainFirst() {
        Loop loop;
        loop.home.fedApp("Example", "1.0", "1.0");
        AppModel& model = loop.model();
        await(model.loadApps(false));
        loop.home.fedApp("Fresh", "1.0", "2.0");
        ModelSeeding(model).setUpdatesCheckedAt(loop.clock->now().adding(-86'401));
        loop.start(model);
        QCOMPARE(loop.checks("Fresh"), std::size_t(1));
        DOVRANE_TRY_COMPARE(model.apps().size(), std::size_t(2));
        QCOMPARE(model.availableUpdates().size(), std::size_t(1));
        QCOMPARE(model.availableUpdates()[0].app.name, std::string("Fresh"));
    }

    void theUpdatesNotificationNamesThreeAppsAndCountsAll() {
        Loop loop;
        for (const char* name : {"Delta", "Bravo", "Alpha", "Charlie"})
            loop.home.fedApp(name, "1.0", "2.0");
        AppModel& model = loop.model();
        loop.start(model);
        QCOMPARE(loop.posted().size(), std::size_t(1));
        QCOMPARE(loop.posted()[0].title, QStringLiteral("4 app updates are ready"));
        QCOMPARE(loop.posted()[0].body, QStringLiteral("Alpha, Bravo, and Charlie"));
    }

    void theUpdatesNotificationSpeaksGerman() {
        Loop loop;
        for (const char* name : {"Bravo", "Alpha"})
            loop.home.fedApp(name, "1.0", "2.0");
        {
            ScopedEnv german("APP_LANG", "de");
            QVERIFY(Translations::install());
            // Qt's own buttons and dialogs speak German with it.
            QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
            AppModel& model = loop.model();
            loop.start(model);
        }
        Translations::install(); // English again for the suites that follow
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        QCOMPARE(loop.posted().size(), std::size_t(1));
        QCOMPARE(loop.posted()[0].title, QStringLiteral("2 App-Updates sind bereit"));
        QCOMPARE(loop.posted()[0].body, QStringLiteral("Alpha und Bravo"));
    }

    void withoutPermissionNothingIsPostedOrStored() {
        Loop loop;
        loop.home.fedApp("Example", "1.0", "2.0");
        loop.home.fixture.notifier->available = false;
        recordDays(loop.home.fixture, loop.clock->now(), 100'000'000'000, 120'000'000'000);
        AppModel& model = loop.model();
        loop.start(model);
        QVERIFY(model.weekGrowth());
        QVERIFY(loop.posted().empty());
        QVERIFY(!loop.stored(SettingKeys::updatesNoticeLast));
        QVERIFY(!loop.stored(SettingKeys::weeklyReportLast));

        // Allowed again: the weekly report goes at once; the updates notice waits for its next check.
        loop.home.fixture.notifier->available = true;
        loop.nextPass();
        QCOMPARE(loop.posted().size(), std::size_t(1));
        QCOMPARE(loop.posted()[0].identifier, QStringLiteral("weekly"));
        ModelSeeding(model).setUpdatesCheckedAt(std::nullopt);
        loop.nextPass();
        QCOMPARE(loop.posted().size(), std::size_t(2));
        QCOMPARE(loop.posted()[1].identifier, QStringLiteral("updates"));
    }

    void theWeeklyReportFollowsItsSwitchAndItsWeek() {
        Loop loop;
        recordDays(loop.home.fixture, loop.clock->now(), 100'000'000'000, 120'000'000'000);
        SettingKeys::reportWeekly.set(*loop.home.fixture.settings, false);
        AppModel& model = loop.model();
        loop.start(model);
        QVERIFY(model.weekGrowth());
        QVERIFY(loop.posted().empty());

        // Anything but a stored false counts as on.
        loop.home.fixture.settings->setText(QStringLiteral("report.weekly"), QStringLiteral("no"));
        loop.nextPass();
        QCOMPARE(loop.posted().size(), std::size_t(1));
        QCOMPARE(loop.posted()[0].identifier, QStringLiteral("weekly"));
        QCOMPARE(loop.posted()[0].title, QStringLiteral("This week on your computer"));
        QCOMPARE(loop.posted()[0].body, QString::fromStdString(model.weekGrowth()->sentence()));
        QCOMPARE(loop.stored(SettingKeys::weeklyReportLast), std::optional<Date>(loop.clock->now()));

        // Exactly a week later it is due again, not a second before.
        loop.clock->advance(604'799);
        loop.nextPass();
        QCOMPARE(loop.posted().size(), std::size_t(1));
        loop.clock->advance(1);
        loop.nextPass();
        QCOMPARE(loop.posted().size(), std::size_t(2));
    }

    void noWeekOldRecordNoReport() {
        Loop loop;
        SettingKeys::weeklyReportLast.set(*loop.home.fixture.settings, Date::fromUnix(0));
        AppModel& model = loop.model();
        loop.start(model);
        QVERIFY(!model.weekGrowth());
        QVERIFY(loop.posted().empty());
        QCOMPARE(loop.stored(SettingKeys::weeklyReportLast), std::optional<Date>(Date::fromUnix(0)));
    }

    void rescansAfterTwentyHoursUnlessAScanRuns() {
        Loop loop;
        AppModel& model = loop.model();
        ModelSeeding(model).setScan(makeScan(loop.clock->now().adding(-72'000), 1'000, 500));
        loop.start(model);
        QVERIFY(!model.isScanning());

        loop.clock->advance(1);
        loop.nextPass();
        QVERIFY(model.isScanning());
        loop.home.fixture.scan.waitForCall(0);
        ChangeLog log(model);
        loop.nextPass(); // the scan still runs: no second one
        QCOMPARE(log.count(AppModel::Field::isScanning), 0);
        QCOMPARE(log.count(AppModel::Field::scanLabel), 0);
        loop.home.fixture.scan.finish(0, makeScan(loop.clock->now().adding(3'600), 1'000, 500));
        await(loop.clock->waitAsked());
        while (model.isScanning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

        // A scan dated in the future counts as long ago.
        loop.nextPass();
        QVERIFY(model.isScanning());
        loop.home.fixture.scan.waitForCall(1);
        loop.home.fixture.scan.finish(1, makeScan(loop.clock->now(), 1'000, 500));
    }
};

DOVRANE_MODEL_SUITE(BackgroundWorkTests)
#include "BackgroundWorkTests.moc"
