// The background loop: while the application runs it keeps the volume figures, the update
// results and the scan fresh, and tells the user of ready updates (at most daily) and of the
// week's change in used space (at most weekly). It is a chain of passes on the main thread,
// each started by the pause that ended the one before; it ends with the model.

#include "AppModel/AppModel.h"

#include "Services/ListFormat.h"
#include "Services/Permissions.h"
#include "Services/SettingKeys.h"

#include <QTimer>

#include <limits>

namespace dovrane {

namespace {
constexpr double updateCheckAfter = 86'400;
constexpr double rescanAfter = 72'000;
constexpr double updatesNoticeEvery = 86'400;
constexpr double weeklyReportEvery = 604'800;
constexpr double pauseBetweenPasses = 600;
constexpr int namesInUpdatesNotice = 3;
} // namespace

void AppModel::startBackgroundWork() {
    if (backgroundStarted_ || isDemo_)
        return;
    setBackgroundStarted(true);
    refreshGrowth();
    // The first pass as soon as the main thread is free.
    QTimer::singleShot(0, this, [this] { backgroundLoop(); });
}

void AppModel::backgroundLoop() {
    backgroundPass()
        .then(this, [this] { return services_.clock->delay(pauseBetweenPasses * services_.delayScale); })
        .unwrap()
        .then(this, [this] { backgroundLoop(); });
}

QFuture<void> AppModel::backgroundPass() {
    if (std::optional<VolumeInfo> volume = services_.readVolume(services_.home))
        setVolume(std::move(volume));

    // The notification follows only a check this pass started, once that check has ended. The
    // daily run lists the apps again; while that listing runs the check lists them itself, so
    // it checks what is installed now.
    QFuture<void> updatesStep = QtFuture::makeReadyFuture();
    if ((!updatesCheckedAt_ || secondsSince(*updatesCheckedAt_) > updateCheckAfter) && !isCheckingUpdates_) {
        loadApps(true);
        updatesStep = checkUpdates().then(this, [this] { return notifyUpdates(); }).unwrap();
    }

    return updatesStep
        .then(this,
              [this] {
                  // The loop does not wait for the scan; it records its own daily size. Until the
                  // cached scan is read back the last scan's age is unknown: the launch decides
                  // then, by a shorter age, and the next pass looks again.
                  if (cachedScanRead() && (!scan_ || secondsSince(scan_->date) > rescanAfter) && !isScanning_)
                      startScan();
                  return sendWeeklyReport();
              })
        .unwrap();
}

QFuture<void> AppModel::notifyUpdates() {
    const std::vector<AvailableUpdate> available = availableUpdates();
    if (available.empty() || !due(SettingKeys::updatesNoticeLast.get(*services_.settings), updatesNoticeEvery))
        return QtFuture::makeReadyFuture();
    QStringList names;
    for (std::size_t i = 0; i < available.size() && i < namesInUpdatesNotice; ++i)
        names.append(QString::fromStdString(available[i].app.name));
    const QString title = available.size() == 1 ? tr("1 app update is ready")
                                                : tr("%Ln app updates are ready", nullptr, int(available.size()));
    return postNotification(QStringLiteral("updates"), title, ListFormat::conjunction(names))
        .then(this, [this](bool posted) {
            if (posted)
                SettingKeys::updatesNoticeLast.set(*services_.settings, services_.clock->now());
        });
}

QFuture<void> AppModel::sendWeeklyReport() {
    if (!SettingKeys::reportWeekly.get(*services_.settings) || !weekGrowth_ ||
        !due(SettingKeys::weeklyReportLast.get(*services_.settings), weeklyReportEvery))
        return QtFuture::makeReadyFuture();
    return postNotification(QStringLiteral("weekly"), tr("This week on your computer"),
                            QString::fromStdString(weekGrowth_->sentence()))
        .then(this, [this](bool posted) {
            if (posted)
                SettingKeys::weeklyReportLast.set(*services_.settings, services_.clock->now());
        });
}

QFuture<bool> AppModel::postNotification(const QString& identifier, const QString& title, const QString& body) {
    // Without permission the notification service is not asked at all.
    return Permissions::notificationsAllowed(services_)
        .then(this,
              [this, identifier, title, body](bool allowed) {
                  return allowed ? services_.notifier->post(identifier, title, body) : QtFuture::makeReadyFuture(false);
              })
        .unwrap();
}

bool AppModel::due(Date last, double every) const { return secondsSince(last) >= every; }

double AppModel::secondsSince(Date date) const {
    const double elapsed = services_.clock->now().secondsSince(date);
    // A date ahead of now means the clock was set back; waiting for it to catch up would stop
    // checks, scans and notifications for as long.
    return elapsed < 0 ? std::numeric_limits<double>::infinity() : elapsed;
}

} // namespace dovrane
