#include "support/ModelFixture.h"

#include "support/Await.h"

#include <stdexcept>

namespace dovrane::testing {

ModelFixture::ModelFixture(std::string storeName)
    : storeName_(std::move(storeName)), store_("APP_STORE", home_ / storeName_) {}

ModelFixture::~ModelFixture() {
    model_.reset();
    container_.reset();
}

Services ModelFixture::services() {
    Services services;
    services.settings = settings;
    services.clock = clock;
    services.workspace = workspace;
    services.notifier = notifier;
    services.clipboard = clipboard;
    services.home = Url::fromPath(home_.path());
    services.applicationFolders = std::vector<Url>{Url::fromPath(home_ / "Applications")};
    services.scan = scan.function();
    services.readVolume = [volume = volume](const Url&) { return std::optional<VolumeInfo>(volume); };
    services.measure = [](const Url&, std::stop_token) { return Measurement(); };
    services.makeRunner = [](double) -> std::shared_ptr<const CommandRunner> { return nullptr; };
    services.delayScale = 0;
    return services;
}

ModelContainer& ModelFixture::container() {
    if (!container_) {
        auto opened = ModelContainer::open(storePath());
        if (!opened)
            throw std::runtime_error("cannot open the test store: " + opened.error().message);
        container_ = std::move(opened).value();
    }
    return *container_;
}

void ModelFixture::closeContainer() {
    model_.reset();
    container_.reset();
}

AppModel& ModelFixture::makeModel() { return makeModel(services()); }

AppModel& ModelFixture::makeModel(Services services) {
    startModel(std::move(services));
    await(model_->scanRestored());
    return *model_;
}

AppModel& ModelFixture::startModel() { return startModel(services()); }

AppModel& ModelFixture::startModel(Services services) {
    model_.reset();
    model_ = std::make_unique<AppModel>(container(), std::move(services));
    return *model_;
}

void ModelFixture::destroyModel() { model_.reset(); }

ScanResult makeScan(Date date, std::int64_t total, std::int64_t free, const std::map<CategoryID, std::int64_t>& sizes) {
    ScanResult result;
    result.date = date;
    result.volume = "Fixture";
    result.total = total;
    result.free = free;
    result.available = free;
    for (CategoryID id : allCategoryIDs)
        if (id != CategoryID::other) {
            auto size = sizes.find(id);
            result.categories.emplace_back(id, size == sizes.end() ? 0 : size->second);
        }
    result.computeOther();
    return result;
}

ChangeLog::ChangeLog(AppModel& model) {
    QObject::connect(&model, &AppModel::changed, &model, [this](AppModel::Field field) { fields.push_back(field); });
}

} // namespace dovrane::testing
