// APP_SEED: the demo picture goes into the model through the same setters as real data, and
// its journal into the test store through the same insert and save as a real cleanup.

#include "Launch/SeedEntry.h"

#include "AppModel/ModelSeeding.h"
#include "SeedData/SeedData.h"
#include "Services/StoreRecords.h"
#include "Store/Store.h"

#include <DovraneKit/scan/Growth.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace dovrane::SeedData {

namespace {

// A script reading a pipe must see the refusal while the application runs on, so the line
// leaves the buffer at once, in one piece.
constexpr char refusalText[] = "APP_SEED ignored: APP_STORE must be a file in /tmp";

void refuse() {
    std::fwrite(refusalText, 1, sizeof refusalText - 1, stdout);
    std::fwrite("\n", 1, 1, stdout);
    std::fflush(stdout);
}

// Only into an empty journal, so a second launch on the same store never doubles it. The four
// records are saved together: a failed save leaves no half journal behind.
void insertJournal(ModelContainer& container) {
    const std::optional<int> count = container.removalCount();
    if (count && *count > 0)
        return;
    for (auto& record : journal())
        container.insert(std::move(record));
    container.save();
}

} // namespace

bool isRequested() {
    const char* value = std::getenv("APP_SEED");
    return value && std::strcmp(value, "1") == 0;
}

std::optional<std::string> refusal() {
    if (isRequested() && !Store::isOverridden())
        return refusalText;
    return std::nullopt;
}

void insertIfRequested(AppModel& model) {
    if (!isRequested())
        return;
    if (!Store::isOverridden()) {
        refuse();
        return;
    }
    // isDemo first: whatever reacts to the new scan, apps or updates already sees demo mode and
    // writes no cache, daily record or setting.
    ModelSeeding seeding(model);
    seeding.setIsDemo(true);
    seeding.setScan(scan());
    seeding.setApps(apps());
    seeding.setOrphans(orphans());
    seeding.setAppsLoaded(true);
    seeding.setUpdates(updates(model.apps()));
    seeding.setUpdatesCheckedAt(Date::now().adding(-720));
    model.setVolume(volume());
    seeding.setDayGrowth(Growth{2'100'000'000, CategoryID::xcode, 1'600'000'000, 1});
    seeding.setWeekGrowth(Growth{14'000'000'000, CategoryID::xcode, 9'000'000'000, 7});
    insertJournal(model.container());
}

} // namespace dovrane::SeedData
