#include "App/Launch.h"

#include "App/Store.h"
#include "AppModel/AppModel.h"
#include "SeedData/SeedData.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace dovrane::Launch {

namespace {

// A cached scan older than this is measured again at launch.
constexpr double scanAge = 21'600;

std::optional<QString> environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<QString>(QString::fromLocal8Bit(value)) : std::nullopt;
}

} // namespace

void run(AppModel& model, const std::vector<std::string>& arguments) {
    static std::once_flag seeded;
    std::call_once(seeded, [&model] { SeedData::insertIfRequested(model); });

    if (auto page = environment("APP_PAGE"))
        if (auto item = sidebarItemFromRaw(*page))
            model.setSidebar(*item);
    if (auto tab = environment("APP_SETTINGS"))
        if (auto settingsTab = settingsTabFromRaw(*tab))
            model.setSettingsTab(*settingsTab);

    const bool selfTest = std::find(arguments.begin(), arguments.end(), "--selftest") != arguments.end();
    if (model.isDemo() || selfTest || std::getenv("APP_SNAPSHOT"))
        return;
    const Date now = model.services().clock->now();
    if (!model.scan() || model.scan()->date.secondsSince(now) < -scanAge)
        model.startScan();
    const auto& settings = *model.services().settings;
    if (!settings.boolean("onboarding.done").value_or(false) && !Store::isOverridden())
        model.setSheet(ActiveSheet::onboarding());
}

} // namespace dovrane::Launch
