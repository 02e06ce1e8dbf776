#include "WindowFixture.h"

#include "support/TestSupport.h"

namespace dovrane::testing {

Services WindowFixture::services() {
    Services services = ModelFixture::services();
    services.clock = std::make_shared<RestingClock>(clock);
    services.loginItem = loginItem;
    services.executable = "/nonexistent/Dovrane";
    services.startDetached = [](const std::vector<std::string>&) { return true; };
    services.quit = [this] { ++relaunches; };
    return services;
}

ContentView& WindowFixture::makeWindow(AppModel& model, std::function<void()> launch) {
    window_ = std::make_unique<ContentView>(model, std::move(launch));
    return *window_;
}

WindowFixture::~WindowFixture() { window_.reset(); }

CleanupItem fileItem(const WindowFixture& fixture, const std::string& relative, std::int64_t size, Safety safety) {
    writeFileOfSize(fixture / relative, std::uint64_t(size));
    return CleanupItem(Url::fromPath(fixture / relative), std::nullopt, size, 1, std::nullopt, "A file.", "test",
                       safety, CleanupAction::trash);
}

} // namespace dovrane::testing
