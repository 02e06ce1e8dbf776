#pragma once
// A model over a real database in a temporary home: HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and
// APP_STORE point into a fresh folder under /tmp while the fixture lives, the settings are held
// in memory, the clock is set by hand, and the scan is scripted unless a test says otherwise.

#include "AppModel/AppModel.h"
#include "Services/ModelContainer.h"
#include "Services/Settings.h"
#include "support/Fakes.h"
#include "support/ScriptedScan.h"
#include "support/TestSupport.h"

#include <memory>

namespace dovrane::testing {

class ModelFixture {
public:
    // storeName: the file name of the test store in the temporary home.
    explicit ModelFixture(std::string storeName = "test.store");
    ~ModelFixture();

    const std::string& home() const { return home_.path(); }
    std::string operator/(std::string_view relative) const { return home_ / relative; }
    std::string storePath() const { return home_ / storeName_; }

    // Services with doubles: memory settings, the fake clock, workspace, notifier and
    // clipboard, the scripted scan, a fixed volume, no tools.
    Services services();
    // Opens the database (once) and builds a model over it, then waits until it has read back
    // its cached scan.
    AppModel& makeModel();
    // Builds a model with the given services instead.
    AppModel& makeModel(Services services);
    // Builds a model and returns at once, its cached scan still being read.
    AppModel& startModel();
    AppModel& startModel(Services services);
    void destroyModel();
    ModelContainer& container();
    // Closes the database, so the next makeModel() opens it afresh.
    void closeContainer();

    std::shared_ptr<MemorySettings> settings = std::make_shared<MemorySettings>();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<FakeNotifier> notifier = std::make_shared<FakeNotifier>();
    std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>();
    ScriptedScan scan;
    VolumeInfo volume{"Fixture", 500'000'000'000, 200'000'000'000, 200'000'000'000};

private:
    TempHome home_;
    std::string storeName_;
    ScopedEnv store_;
    std::unique_ptr<ModelContainer> container_;
    std::unique_ptr<AppModel> model_;
};

// A scan result of the given date with the given category sizes (case name to bytes) and
// volume figures.
ScanResult makeScan(Date date, std::int64_t total, std::int64_t free,
                    const std::map<CategoryID, std::int64_t>& sizes = {});

// Records every change the model announces, in order.
class ChangeLog {
public:
    explicit ChangeLog(AppModel& model);
    std::vector<AppModel::Field> fields;
    int count(AppModel::Field field) const { return int(std::count(fields.begin(), fields.end(), field)); }
    void clear() { fields.clear(); }
};

} // namespace dovrane::testing
