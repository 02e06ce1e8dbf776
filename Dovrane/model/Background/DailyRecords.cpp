// One record of disk use per local day, and what grew since yesterday and over the week.

#include "AppModel/AppModel.h"

#include "Background/LocalCalendar.h"

namespace dovrane {

namespace {
constexpr double keptSeconds = 400 * 86400.0; // daily records older than 400 days go
}

void AppModel::recordDaily(const ScanResult& scan) {
    if (isDemo_)
        return;
    const Date day = LocalCalendar::startOfDay(scan.date);
    const std::int64_t used = scan.used();
    const auto sameDay = container_.dailySizes(day).value_or(std::vector<std::shared_ptr<DailySize>>());
    if (sameDay.empty()) {
        container_.insert(std::make_shared<DailySize>(day, used, scan.sizesByCategory()));
    } else {
        sameDay.front()->setUsed(used);
        sameDay.front()->setCategories(scan.sizesByCategory());
    }
    container_.deleteDailySizes(services_.clock->now().adding(-keptSeconds));
    container_.save();
    refreshGrowth();
}

void AppModel::refreshGrowth() {
    if (isDemo_)
        return;
    const auto records = container_.dailySizes();
    if (!records || records->empty())
        return;
    const DailySize& latest = *records->back();

    // The newest record at least n calendar days older than the newest one.
    const auto since = [&](int days) -> std::optional<Growth> {
        const Date target = LocalCalendar::startOfDayBefore(latest.day(), days);
        for (auto record = records->rbegin(); record != records->rend(); ++record)
            if ((*record)->day() <= target)
                return Growth::between((*record)->categories(), (*record)->used(), (*record)->day(),
                                       latest.categories(), latest.used(), latest.day());
        return std::nullopt;
    };
    setDayGrowth(since(1));
    setWeekGrowth(since(7));
}

} // namespace dovrane
