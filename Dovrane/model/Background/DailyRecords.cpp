// One record of disk use per calendar date, and what grew since yesterday and over the week.
// The clock may be wrong: a record dated after today counts for nothing until its day comes,
// when that day's run replaces it, and a clock that leapt ahead takes no history with it.

#include "AppModel/AppModel.h"

#include "Background/LocalCalendar.h"

namespace dovrane {

namespace {
// A record goes once it is more than 400 days older than today and 400 newer records up to today
// exist: a clock set years ahead finds no history old, as it has none newer.
constexpr int keptDays = 400;
constexpr std::size_t keptRecords = 400;
} // namespace

void AppModel::recordDaily(const ScanResult& scan) {
    if (isDemo_)
        return;
    const QDate day = LocalCalendar::dateOf(scan.date);
    const std::int64_t used = scan.used();
    const auto sameDay = container_.dailySizes(day).value_or(std::vector<std::shared_ptr<DailySize>>());
    if (sameDay.empty()) {
        container_.insert(std::make_shared<DailySize>(day, used, scan.sizesByCategory()));
    } else {
        sameDay.front()->setUsed(used);
        sameDay.front()->setCategories(scan.sizesByCategory());
    }
    if (const auto records = container_.dailySizes()) {
        const QDate today = LocalCalendar::dateOf(services_.clock->now());
        std::vector<QDate> upToToday;
        for (const auto& record : *records)
            if (record->day() <= today)
                upToToday.push_back(record->day());
        if (upToToday.size() > keptRecords)
            container_.deleteDailySizes(std::min(today.addDays(-keptDays), upToToday[upToToday.size() - keptRecords]));
    }
    container_.save();
    refreshGrowth();
}

void AppModel::refreshGrowth() {
    if (isDemo_)
        return;
    auto records = container_.dailySizes();
    if (!records || records->empty())
        return;
    const QDate today = LocalCalendar::dateOf(services_.clock->now());
    std::erase_if(*records, [today](const auto& record) { return record->day() > today; });
    if (records->empty()) {
        setDayGrowth(std::nullopt);
        setWeekGrowth(std::nullopt);
        return;
    }
    const DailySize& latest = *records->back();

    // The newest record at least n calendar days older than the newest one.
    const auto since = [&](int days) -> std::optional<Growth> {
        const QDate target = latest.day().addDays(-days);
        for (auto record = records->rbegin(); record != records->rend(); ++record)
            if ((*record)->day() <= target)
                return Growth::between((*record)->categories(), (*record)->used(),
                                       LocalCalendar::instantOf((*record)->day()), latest.categories(), latest.used(),
                                       LocalCalendar::instantOf(latest.day()));
        return std::nullopt;
    };
    setDayGrowth(since(1));
    setWeekGrowth(since(7));
}

} // namespace dovrane
