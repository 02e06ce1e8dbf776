#pragma once
// The model fixture with what the window needs besides: a clock whose waits never end (so the
// background loop makes one pass and then rests), a login item set by hand, and the main window.

#include "ContentView/ContentView.h"
#include "Services/LoginItem.h"
#include "support/ModelFixture.h"

#include <QFuture>
#include <QPromise>

#include <memory>
#include <vector>

namespace dovrane::testing {

// Tells the fixture's time; its waits stay pending for as long as the clock lives.
class RestingClock final : public Clock {
public:
    explicit RestingClock(std::shared_ptr<FakeClock> time) : time_(std::move(time)) {}
    Date now() const override { return time_->now(); }
    QFuture<void> delay(double) override {
        waits_.push_back(std::make_unique<QPromise<void>>());
        waits_.back()->start();
        return waits_.back()->future();
    }

private:
    std::shared_ptr<FakeClock> time_;
    std::vector<std::unique_ptr<QPromise<void>>> waits_;
};

class FakeLoginItem final : public LoginItem {
public:
    bool on = false;
    bool refuses = false; // registering fails and the item stays off
    int sets = 0;
    std::optional<std::string> set(bool value) override {
        ++sets;
        if (refuses)
            return "refused";
        on = value;
        return std::nullopt;
    }
    bool isOn() const override { return on; }
};

class WindowFixture : public ModelFixture {
public:
    Services services();
    AppModel& makeModel() { return ModelFixture::makeModel(services()); }
    AppModel& startModel() { return ModelFixture::startModel(services()); }
    // The main window over the model; launch runs each time it is shown anew.
    ContentView& makeWindow(AppModel& model, std::function<void()> launch = {});

    std::shared_ptr<FakeLoginItem> loginItem = std::make_shared<FakeLoginItem>();
    int relaunches = 0;

    ~WindowFixture();

private:
    std::unique_ptr<ContentView> window_;
};

// A CleanupItem of a file in the fixture's home (written with the given size).
CleanupItem fileItem(const WindowFixture& fixture, const std::string& relative, std::int64_t size,
                     Safety safety = Safety::safe);

} // namespace dovrane::testing
