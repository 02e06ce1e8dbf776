// Daily records and growth: one record a calendar date, 400 days kept, growth against the newest
// record at least one (or seven) calendar days older, and a wrong clock that loses no history
// and compares with no record dated after today. The suite runs in Berlin's time zone.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "Background/LocalCalendar.h"
#include "support/ModelFixture.h"
#include "support/ModelTestMain.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTimeZone>

#include <cstring>
#include <ctime>

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

// The process's local time zone while it lives, as a run in that zone has it.
class InZone {
public:
    explicit InZone(const char* zone) : zone_(std::in_place, "TZ", zone) { tzset(); }
    ~InZone() {
        zone_.reset();
        tzset();
    }

private:
    std::optional<ScopedEnv> zone_;
};

// A scan at noon of a date in the current zone, with the clock there.
void recordAtNoon(ModelFixture& fixture, AppModel& model, QDate day, std::int64_t used) {
    const Date noon = local(day.year(), day.month(), day.day(), 12);
    fixture.clock->set(noon);
    model.recordDaily(scanOf(noon, used));
}

// Growth that no listed category explains (the scans above put it all in "other").
std::optional<Growth> grew(std::int64_t bytes, int days) { return Growth{bytes, CategoryID::other, bytes, days}; }

std::vector<QDate> days(ModelFixture& fixture) {
    std::vector<QDate> days;
    const auto records = fixture.container().dailySizes();
    for (const auto& record : *records)
        days.push_back(record->day());
    return days;
}

// The day as an older Dovrane stored it: the first moment of the date in the writer's zone.
double olderKey(QDate day, const char* zone) {
    return Date::fromUnix(double(day.startOfDay(QTimeZone(zone)).toSecsSinceEpoch())).secondsSinceReference;
}

} // namespace

class DailyRecordsTests : public QObject {
    Q_OBJECT

private slots:
    void daysComeFromTheLocalCalendar() {
        QCOMPARE(LocalCalendar::dateOf(local(2024, 3, 31, 15, 30)), QDate(2024, 3, 31));
        // 2024-03-31 has 23 hours in Berlin, 2024-10-27 has 25: each is one date, whole.
        QCOMPARE(LocalCalendar::dateOf(local(2024, 3, 31, 23, 59)), QDate(2024, 3, 31));
        QCOMPARE(LocalCalendar::dateOf(local(2024, 10, 27, 23, 59)), QDate(2024, 10, 27));
        QCOMPARE(LocalCalendar::dateOf(local(2024, 10, 28)), QDate(2024, 10, 28));
        QCOMPARE(LocalCalendar::instantOf(QDate(2024, 4, 1)).secondsSince(LocalCalendar::instantOf(QDate(2024, 3, 25))),
                 7 * 86400.0);
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
        QCOMPARE(records[0]->day(), QDate(2024, 5, 2));
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
        const QDate today(2024, 5, 10);
        // A record for each of the 401 days before today.
        for (int back = 401; back >= 1; --back)
            fixture.container().insert(std::make_shared<DailySize>(today.addDays(-back), back));
        QVERIFY(fixture.container().save());

        recordAtNoon(fixture, model, today, 5 * GB);
        auto kept = days(fixture);
        QCOMPARE(kept.size(), size_t(401));
        QCOMPARE(kept.front(), today.addDays(-400)); // 400 days old: it stays

        recordAtNoon(fixture, model, today.addDays(1), 5 * GB);
        kept = days(fixture);
        QCOMPARE(kept.size(), size_t(401));
        QCOMPARE(kept.front(), today.addDays(-399));
        fixture.closeContainer();
        QCOMPARE(days(fixture).size(), size_t(401)); // and gone from the file
    }

    // A clock two years ahead, on two days, then put right: no record is lost, and growth goes
    // on from the day before.
    void aClockYearsAheadLosesNoHistory() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        for (int day = 1; day <= 3; ++day)
            recordAtNoon(fixture, model, QDate(2025, 6, day), (10 + day) * GB);
        recordAtNoon(fixture, model, QDate(2027, 6, 4), 20 * GB);
        recordAtNoon(fixture, model, QDate(2027, 6, 5), 21 * GB);
        recordAtNoon(fixture, model, QDate(2025, 6, 4), 15 * GB);
        QCOMPARE(days(fixture), (std::vector<QDate>{QDate(2025, 6, 1), QDate(2025, 6, 2), QDate(2025, 6, 3),
                                                    QDate(2025, 6, 4), QDate(2027, 6, 4), QDate(2027, 6, 5)}));
        QCOMPARE(model.dayGrowth(), grew(2 * GB, 1));
    }

    // Records dated after today count for nothing until their day, whose run replaces them.
    void growthLeavesOutRecordsAfterToday() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        recordAtNoon(fixture, model, QDate(2025, 6, 2), 10 * GB);
        recordAtNoon(fixture, model, QDate(2025, 6, 9), 10 * GB);
        recordAtNoon(fixture, model, QDate(2025, 6, 10), 11 * GB);
        recordAtNoon(fixture, model, QDate(2025, 6, 11), 20 * GB);
        recordAtNoon(fixture, model, QDate(2025, 6, 10), 12 * GB); // the clock set back a day
        QCOMPARE(model.dayGrowth(), grew(2 * GB, 1));
        QCOMPARE(model.weekGrowth(), grew(2 * GB, 8));

        fixture.clock->set(local(2024, 6, 10, 12)); // and a year
        model.refreshGrowth();
        QVERIFY(!model.dayGrowth());
        QVERIFY(!model.weekGrowth());

        recordAtNoon(fixture, model, QDate(2025, 6, 11), 13 * GB);
        QCOMPARE(days(fixture).size(), size_t(4));
        QCOMPARE(model.dayGrowth(), grew(1 * GB, 1));
    }

    // Yesterday is the date before, whatever zone each record was written in.
    void yesterdayIsTheDateBeforeInEveryZone() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        {
            InZone zone("Europe/Berlin");
            recordAtNoon(fixture, model, QDate(2025, 7, 1), 10 * GB);
        }
        {
            InZone zone("America/Los_Angeles");
            recordAtNoon(fixture, model, QDate(2025, 7, 2), 11 * GB);
        }
        InZone zone("Pacific/Kiritimati");
        recordAtNoon(fixture, model, QDate(2025, 7, 3), 13 * GB);
        QCOMPARE(model.dayGrowth(), grew(2 * GB, 1));
    }

    // An older store keyed each day by its first moment in the writer's zone: a store kept in one
    // zone reads every day as written, from UTC-12 to UTC+14, and one whose zone changed reads
    // the dates of UTC-11 to UTC+12 wherever it is read.
    void olderStoresReadTheirDays() {
        const QDate day(2025, 7, 3);
        for (const char* zone : {"Etc/GMT+12", "Pacific/Honolulu", "Europe/London", "Asia/Kolkata", "Pacific/Auckland",
                                 "Pacific/Kiritimati"}) {
            ModelFixture fixture;
            fixture.container();
            {
                QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("older"));
                database.setDatabaseName(QString::fromStdString(fixture.storePath()));
                QVERIFY(database.open());
                QSqlQuery query(database);
                QVERIFY(query.exec(QStringLiteral("INSERT INTO daily_sizes (day, used, categories) VALUES "
                                                  "(%1, 1, '{}'), (%2, 2, '{}')")
                                       .arg(olderKey(day.addDays(-1), zone), 0, 'f', 0)
                                       .arg(olderKey(day, zone), 0, 'f', 0)));
            }
            QSqlDatabase::removeDatabase(QStringLiteral("older"));
            {
                InZone here(zone);
                QCOMPARE(days(fixture), (std::vector<QDate>{day.addDays(-1), day}));
            }
            if (std::strcmp(zone, "Etc/GMT+12") != 0 && std::strcmp(zone, "Pacific/Kiritimati") != 0) {
                InZone elsewhere("Asia/Kathmandu");
                QCOMPARE(days(fixture), (std::vector<QDate>{day.addDays(-1), day}));
            }

            // A run on the day takes its record, and the next day's compares with it.
            AppModel& model = fixture.makeModel();
            InZone here(zone);
            recordAtNoon(fixture, model, day, 5 * GB);
            recordAtNoon(fixture, model, day.addDays(1), 6 * GB);
            QCOMPARE(days(fixture), (std::vector<QDate>{day.addDays(-1), day, day.addDays(1)}));
            QCOMPARE(model.dayGrowth(), grew(1 * GB, 1));
        }
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
