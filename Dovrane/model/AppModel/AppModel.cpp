#include "AppModel/AppModel.h"

#include "AppModel/ListingEdits.h"
#include "AppModel/Notice.h"
#include "AppModel/RemovalState.h"
#include "AppModel/ScanCache.h"
#include "AppModel/ScanRunState.h"
#include "AppModel/UpdateRunState.h"
#include "AppModel/UpdatesCache.h"
#include "Services/Permissions.h"
#include "Services/SettingKeys.h"
#include "Store/Store.h"

#include <DovraneKit/scan/ProjectFinder.h>
#include <DovraneKit/system/HomeLayout.h>

#include <QCoreApplication>

namespace dovrane {

namespace {

std::vector<std::string> storedTexts(const Settings& settings, const Setting<QStringList>& setting,
                                     bool (*keeps)(const std::string&) = nullptr) {
    std::vector<std::string> texts;
    for (const QString& text : setting.get(settings))
        if (std::string each = text.toStdString(); !keeps || keeps(each))
            texts.push_back(std::move(each));
    return texts;
}
} // namespace

AppModel::AppModel(ModelContainer& container, Services services, QObject* parent)
    : QObject(parent), container_(container), services_(std::move(services)),
      scan_(std::make_shared<const std::optional<ScanResult>>()), scanRun_(std::make_unique<ScanRunState>()),
      removals_(std::make_unique<RemovalState>()), listingEdits_(std::make_unique<ListingEdits>()),
      updateRun_(std::make_unique<UpdateRunState>()) {
    sidebar_ = SidebarItem::overview;
    settingsTab_ = settingsTabFromRaw(SettingKeys::settingsTab.get(*services_.settings)).value_or(SettingsTab::general);
    if (auto saved = UpdatesCache::load()) {
        updates_ = std::move(saved->results);
        updatesCheckedAt_ = saved->date;
    }
    // The volume the scanner measures: the home folder's, which need not be the root's.
    volume_ = services_.readVolume(services_.home);
    hasFullDiskAccess_ = Permissions::hasFullDiskAccess();
    macStyleHome_ = HomeLayout::keepsMacFolders(services_.home);
    restoreScan();
    settleJournal();
    // Saves killed before their rename leave their temporary files beside the caches.
    cacheWriter_.removeStaleTemporaries(
        {ScanCache::url().path(), UpdatesCache::url().path(), cacheURL(Store::caskCache).path()});
}

AppModel::~AppModel() {
    if (scanRun_->stop)
        scanRun_->stop->request_stop();
    lifeline_.sever();
    // Work handed back to the model holds the promises of futures continued on the model. Dropped
    // only once the object is gone, they would run those continuations against a vanished
    // context; dropped now, each continuation finds the model and queues itself, to be dropped
    // in turn. A few rounds empty the queue of every chain the model starts.
    for (int round = 0; round < 8; ++round)
        QCoreApplication::removePostedEvents(this);
}

void AppModel::setSheet(std::optional<ActiveSheet> value) {
    sheet_ = std::move(value);
    emit changed(Field::sheet);
}

void AppModel::setNotice(std::optional<QString> value, bool warns) {
    warns = warns && value.has_value();
    if (warns != noticeWarns_ && value == notice_) {
        noticeWarns_ = warns;
        emit changed(Field::notice);
        return;
    }
    noticeWarns_ = warns;
    assign(notice_, std::move(value), Field::notice);
}

void AppModel::setNotice(const Notice& notice) { setNotice(notice.text(), notice.warns()); }

void AppModel::setSettingsTab(SettingsTab value) {
    assign(settingsTab_, value, Field::settingsTab);
    if (!Store::isOverridden())
        SettingKeys::settingsTab.set(*services_.settings, rawValue(value));
}

ScanSettings AppModel::settings() const {
    const Settings& stored = *services_.settings;
    ScanSettings settings;
    // A file edited by hand offers no more than the Settings window: the ages it allows, and
    // project folders that name one (the scan walks each folder once, however it is named).
    settings.installerAgeDays = SettingKeys::installerAgeRange.nearest(SettingKeys::scanInstallerAge.get(stored));
    settings.excludedPaths = storedTexts(stored, SettingKeys::scanExcluded);
    settings.projectFolders = storedTexts(stored, SettingKeys::scanProjects, &ProjectFinder::namesRoot);
    settings.projectAgeDays = SettingKeys::projectAgeRange.nearest(SettingKeys::scanProjectAge.get(stored));
    return settings;
}

std::vector<CleanupItem> AppModel::safeItems() const {
    return scan() ? scan()->safeItems(true) : std::vector<CleanupItem>();
}

std::int64_t AppModel::safeTotal() const { return scan() ? scan()->safeTotal() : 0; }

bool AppModel::showsCategory(CategoryID id) const {
    static const ScanResult none;
    return isShown(id, scan() ? *scan() : none, isLinuxHome());
}

} // namespace dovrane
