#include "Launch/Launch.h"

#include "AppModel/AppModel.h"
#include "AppModel/Notice.h"
#include "Launch/SeedEntry.h"
#include "Services/SettingKeys.h"
#include "Store/Store.h"

#include <QCoreApplication>
#include <QFile>
#include <QFuture>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>

namespace dovrane::Launch {

namespace {

std::optional<QString> environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<QString>(QString::fromLocal8Bit(value)) : std::nullopt;
}

bool hasArgument(const std::vector<std::string>& arguments, const char* argument) {
    return std::find(arguments.begin(), arguments.end(), argument) != arguments.end();
}

// Exactly six hours old does not count as due.
bool scanIsDue(const AppModel& model) {
    return !model.scan() || model.scan()->date.secondsSince(model.services().clock->now()) < -scanAge;
}

// Runs step once the model holds its cached scan, or knows it has none: at once when it does
// already, else on the main thread when the read comes back (never once the model is gone).
// step must not need the sequence, which may be gone by then.
void onceScanRestored(AppModel& model, std::function<void()> step) {
    QFuture<void> restored = model.scanRestored();
    if (restored.isFinished())
        step();
    else
        restored.then(&model, std::move(step));
}

void startScanIfDue(AppModel& model) {
    onceScanRestored(model, [&model] {
        if (scanIsDue(model))
            model.startScan();
    });
}

} // namespace

bool developerRunInCharge(const AppModel& model, const std::vector<std::string>& arguments) {
    return model.isDemo() || hasArgument(arguments, "--selftest") || std::getenv("APP_SNAPSHOT") != nullptr;
}

Sequence::Sequence(std::vector<std::string> arguments, DeveloperRuns runs)
    : arguments_(std::move(arguments)), runs_(std::move(runs)) {}

void Sequence::startScanEarly(AppModel& model) {
    // The demo data go in only when the window shows; until then the model cannot tell.
    if (seeded_ || SeedData::isRequested() || developerRunInCharge(model, arguments_))
        return;
    startScanIfDue(model);
}

void Sequence::run(AppModel& model, const std::function<void()>& openSettings) {
    if (!std::exchange(seeded_, true)) {
        SeedData::insertIfRequested(model);
        // A run on a test store (the self-test, a screenshot run) reads the user's settings but
        // never changes their file: a damaged one stays where it is and reads as the defaults.
        if (auto kept = Store::isOverridden() ? std::nullopt : model.services().settings->setAsideDamaged())
            model.setNotice(
                Notice(Notice::Kind::settingsReset, {.text = QFile::decodeName(QByteArray::fromStdString(*kept))}));
    }

    if (auto page = environment("APP_PAGE"))
        if (auto item = sidebarItemFromRaw(*page))
            model.setSidebar(*item);
    if (auto tab = environment("APP_SETTINGS"))
        if (auto settingsTab = settingsTabFromRaw(*tab)) {
            model.setSettingsTab(*settingsTab);
            if (openSettings)
                openSettings();
        }

    if (!developerRunInCharge(model, arguments_)) {
        model.loadApps(false);
        model.startBackgroundWork();
        startScanIfDue(model);
        if (!SettingKeys::onboardingDone.get(*model.services().settings) && !Store::isOverridden())
            model.setSheet(ActiveSheet::onboarding());
    }

    if (std::exchange(developerRunsStarted_, true))
        return;
    if (runs_.selfTest)
        runs_.selfTest(model);
    // The screenshot run shows what the model holds at launch, the cached scan included.
    if (runs_.snapshot)
        onceScanRestored(model, [&model, snapshot = runs_.snapshot, openSettings] { snapshot(model, openSettings); });
}

} // namespace dovrane::Launch
