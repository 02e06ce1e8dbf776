// Daily records and growth: one record a local day, 400 days kept, growth against the newest
// record at least one (or seven) calendar days older. The suite runs in Berlin's time zone.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "Background/LocalCalendar.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <QDateTime>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

Date local(int year, int month, int day, int hour = 0, int minute = 0) {
    const QDateTime moment(QDate(year, month, day), QTime(hour, minute), Qt::LocalTime);
    return Date::fromUnix(double(moment.toSecsSinceEpoch()));
}

constexpr std::int64_t GB = 1'000'000'000;

ScanResult scanOf(Date date, std::int64_t used, std::int64_t caches = 0, std::int64_t logs = 0) {
    return makeScan(date, 500 * GB, 500 * GB - used, {{CategoryID::caches, caches}, {CategoryID::logs, logs}});
}

} // namespace

class DailyRecordsTests : public QObject {
    Q_OBJECT

private slots:
    void daysComeFromTheLocalCalendar() {
        QCOMPARE(LocalCalendar::startOfDay(local(2024, 3, 31, 15, 30)), local(2024, 3, 31));
        // 2024-03-31 has 23 hours in Berlin: the day before is one calendar day, not 86,400 s.
        QCOMPARE(LocalCalendar::startOfDayBefore(local(2024, 4, 1), 1), local(2024, 3, 31));
        QCOMPARE(local(2024, 4, 1).secondsSince(local(2024, 3, 31)), 23 * 3600.0);
        QCOMPARE(LocalCalendar::startOfDayBefore(local(2024, 10, 28, 12), 1), local(2024, 10, 27));
        QCOMPARE(LocalCalendar::startOfDayBefore(local(2024, 4, 3), 7), local(2024, 3, 27));
    }

    void aDayKeepsItsLastScan() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        fixture.clock->set(local(2024, 5, 2, 9));
        model.recordDaily(scanOf(local(2024, 5, 2, 9), 10 * GB, 3 * GB, 1 * GB));
        QVERIFY(!model.dayGrowth()); // nothing a day older yet
        QVERIFY(!model.weekGrowth());
        model.recordDaily(scanOf(local(2024, 5, 2, 18), 11 * GB, 4 * GB));

        auto records = *fixture.container().dailySizes();
        QCOMPARE(records.size(), size_t(1));
        QCOMPARE(records[0]->day(), local(2024, 5, 2));
        QCOMPARE(records[0]->used(), 11 * GB);
        QCOMPARE(records[0]->categories().at("caches"), 4 * GB);
        QCOMPARE(records[0]->categories().at("logs"), std::int64_t(0)); // replaced whole
        fixture.closeContainer();
        QCOMPARE(fixture.container().dailySizes()->size(), size_t(1)); // and saved
    }

    void usedSpaceIsNeverNegative() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        model.recordDaily(makeScan(fixture.clock->now(), 100, 250));
        QCOMPARE(fixture.container().dailySizes()->front()->used(), std::int64_t(0));
    }

    void growthComparesWithTheNewestOlderRecord() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ChangeLog log(model);
        fixture.clock->set(local(2024, 5, 10, 12));
        model.recordDaily(scanOf(local(2024, 5, 7, 12), 10 * GB, 2 * GB));
        model.recordDaily(scanOf(local(2024, 5, 10, 12), 13 * GB, 4 * GB));
        Growth expected{3 * GB, CategoryID::caches, 2 * GB, 3};
        QCOMPARE(model.dayGrowth(), std::optional<Growth>(expected));
        QVERIFY(!model.weekGrowth());

        log.clear();
        model.refreshGrowth(); // same figures: nothing announced
        QVERIFY(log.fields.empty());

        fixture.clock->set(local(2024, 5, 14, 12));
        model.recordDaily(scanOf(local(2024, 5, 14, 12), 12 * GB, 4 * GB));
        QCOMPARE(model.dayGrowth(), std::optional<Growth>(Growth{-1 * GB, std::nullopt, 0, 4}));
        QCOMPARE(model.weekGrowth(), std::optional<Growth>(Growth{2 * GB, CategoryID::caches, 2 * GB, 7}));
    }

    void yesterdayAcrossTheSpringChange() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        fixture.clock->set(local(2024, 4, 1, 8));
        model.recordDaily(scanOf(local(2024, 3, 30, 20), 10 * GB, 1 * GB));
        model.recordDaily(scanOf(local(2024, 3, 31, 20), 11 * GB, 2 * GB));
        model.recordDaily(scanOf(local(2024, 4, 1, 8), 14 * GB, 5 * GB));
        // With 86,400 seconds back from the 1st the 23-hour day would be skipped and the 30th
        // would be "yesterday".
        QCOMPARE(model.dayGrowth(), std::optional<Growth>(Growth{3 * GB, CategoryID::caches, 3 * GB, 1}));
    }

    void recordsOlderThan400DaysGo() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        const Date now = local(2024, 5, 10, 12);
        const Date boundary = now.adding(-34'560'000);
        // Records on exactly the cut-off and one second before it.
        fixture.container().insert(std::make_shared<DailySize>(boundary, 1));
        fixture.container().insert(std::make_shared<DailySize>(boundary.adding(-1), 2));
        QVERIFY(fixture.container().save());

        fixture.clock->set(now);
        model.recordDaily(scanOf(now, 5 * GB));
        auto records = *fixture.container().dailySizes();
        QCOMPARE(records.size(), size_t(2));
        QCOMPARE(records[0]->day(), boundary);

        fixture.clock->advance(1);
        model.recordDaily(scanOf(now, 5 * GB));
        records = *fixture.container().dailySizes();
        QCOMPARE(records.size(), size_t(1));
        QCOMPARE(records[0]->day(), local(2024, 5, 10));
    }

    void demoDataTouchesNoRecord() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ModelSeeding(model).setIsDemo(true);
        const Growth shown{5 * GB, CategoryID::apps, 5 * GB, 1};
        ModelSeeding(model).setDayGrowth(shown);
        model.recordDaily(scanOf(fixture.clock->now(), 10 * GB));
        model.refreshGrowth();
        QVERIFY(fixture.container().dailySizes()->empty());
        QCOMPARE(model.dayGrowth(), std::optional<Growth>(shown));
    }
};

DOVRANE_MODEL_SUITE(DailyRecordsTests)
#include "DailyRecordsTests.moc"
