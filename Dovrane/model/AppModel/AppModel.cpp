#include "AppModel/AppModel.h"

#include "Store/Store.h"
#include "AppModel/ListingEdits.h"
#include "AppModel/RemovalState.h"
#include "AppModel/ScanCache.h"
#include "AppModel/ScanRunState.h"
#include "AppModel/UpdatesCache.h"
#include "AppModel/UpdateRunState.h"
#include "Services/Permissions.h"

#include <limits>

namespace dovrane {

namespace {
const QString settingsTabKey = QStringLiteral("settings.tab");

int storedDays(const Settings& settings, const QString& key, int fallback) {
    auto value = settings.integer(key);
    if (!value)
        return fallback;
    // Stored values are used as they are; only what an int cannot hold is brought into range.
    return int(std::clamp<qint64>(*value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::vector<std::string> storedTexts(const Settings& settings, const QString& key) {
    std::vector<std::string> texts;
    for (const QString& text : settings.texts(key).value_or(QStringList()))
        texts.push_back(text.toStdString());
    return texts;
}
} // namespace

AppModel::AppModel(ModelContainer& container, Services services, QObject* parent)
    : QObject(parent), container_(container), services_(std::move(services)),
      scanRun_(std::make_unique<ScanRunState>()), removals_(std::make_unique<RemovalState>()),
      listingEdits_(std::make_unique<ListingEdits>()), updateRun_(std::make_unique<UpdateRunState>()) {
    sidebar_ = SidebarItem::overview;
    settingsTab_ = settingsTabFromRaw(services_.settings->text(settingsTabKey).value_or(QString()))
                       .value_or(SettingsTab::general);
    if (auto saved = UpdatesCache::load()) {
        updates_ = std::move(saved->results);
        updatesCheckedAt_ = saved->date;
    }
    // The volume the scanner measures: the home folder's, which need not be the root's.
    volume_ = services_.readVolume(services_.home);
    hasFullDiskAccess_ = Permissions::hasFullDiskAccess();
    setScan(ScanCache::load());
}

AppModel::~AppModel() {
    if (scanRun_->stop)
        scanRun_->stop->request_stop();
    lifeline_.sever();
}

void AppModel::setSheet(std::optional<ActiveSheet> value) {
    sheet_ = std::move(value);
    emit changed(Field::sheet);
}

void AppModel::setSettingsTab(SettingsTab value) {
    assign(settingsTab_, value, Field::settingsTab);
    if (!Store::isOverridden())
        services_.settings->setText(settingsTabKey, rawValue(value));
}

ScanSettings AppModel::settings() const {
    const Settings& stored = *services_.settings;
    ScanSettings settings;
    settings.installerAgeDays = storedDays(stored, QStringLiteral("scan.installerAge"), 14);
    settings.excludedPaths = storedTexts(stored, QStringLiteral("scan.excluded"));
    settings.projectFolders = storedTexts(stored, QStringLiteral("scan.projects"));
    settings.projectAgeDays = storedDays(stored, QStringLiteral("scan.projectAge"), 30);
    return settings;
}

std::vector<CleanupItem> AppModel::safeItems() const {
    return scan_ ? scan_->safeItems(true) : std::vector<CleanupItem>();
}

std::int64_t AppModel::safeTotal() const {
    std::int64_t total = 0;
    for (const CleanupItem& item : safeItems())
        total += item.size;
    return total;
}

} // namespace dovrane
