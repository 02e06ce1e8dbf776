#pragma once
// Puts values straight into the fields that otherwise only the model's own work sets: the demo
// picture at launch (Launch/SeedEntry) and tests, which need a model in a given state. Each
// setter announces its field through changed(Field) exactly as the model's own would; nothing
// else runs. The window never uses it: it sets the few fields it owns on the model itself.

#include "AppModel/AppModel.h"

#include <utility>

namespace dovrane {

class ModelSeeding {
public:
    explicit ModelSeeding(AppModel& model) : model_(model) {}

    void setScan(std::optional<ScanResult> value) { model_.setScan(std::move(value)); }
    void setIsScanning(bool value) { model_.setIsScanning(value); }
    void setScanProgress(double value) { model_.setScanProgress(value); }
    void setScanLabel(QString value) { model_.setScanLabel(std::move(value)); }
    void setApps(std::vector<InstalledApp> value) { model_.setApps(std::move(value)); }
    void setOrphans(std::vector<Orphan> value) { model_.setOrphans(std::move(value)); }
    void setAppsLoaded(bool value) { model_.setAppsLoaded(value); }
    void setIsLoadingApps(bool value) { model_.setIsLoadingApps(value); }
    void setUpdates(std::map<std::string, UpdateCheck> value) { model_.setUpdates(std::move(value)); }
    void setUpdatesCheckedAt(std::optional<Date> value) { model_.setUpdatesCheckedAt(value); }
    void setIsCheckingUpdates(bool value) { model_.setIsCheckingUpdates(value); }
    void setUpdateProgress(double value) { model_.setUpdateProgress(value); }
    void setInstalling(std::set<std::string> value) { model_.setInstalling(std::move(value)); }
    void setInstallProblems(std::map<std::string, QString> value) { model_.setInstallProblems(std::move(value)); }
    void setDayGrowth(std::optional<Growth> value) { model_.setDayGrowth(value); }
    void setWeekGrowth(std::optional<Growth> value) { model_.setWeekGrowth(value); }
    void setBackgroundStarted(bool value) { model_.setBackgroundStarted(value); }
    void setHasFullDiskAccess(bool value) { model_.setHasFullDiskAccess(value); }
    void setNeedsRestart(bool value) { model_.setNeedsRestart(value); }
    void setIsDemo(bool value) { model_.setIsDemo(value); }

private:
    AppModel& model_;
};

} // namespace dovrane
