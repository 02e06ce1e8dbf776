#pragma once

// What the benchmarks that drive the real window share: a throwaway home, the window itself, a
// wait that keeps the event loop turning, and a probe of how long the window stays away.

#include "AppModel/AppModel.h"
#include "ContentView/AppPages.h"
#include "ContentView/ContentView.h"
#include "ContentView/DiskPages.h"
#include "Services/Services.h"
#include "Services/Settings.h"
#include "Store/Store.h"

#include <DovraneKit/core/Path.h>

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace bench {

// Points HOME at `home` with the XDG folders at their defaults below it, and the store, the
// language, the time zone and (unless one is named) the platform at the benchmark's own.
inline void useThrowawayHome(const std::string& folder, const std::string& home) {
    setenv("HOME", home.c_str(), 1);
    for (const char* variable : {"XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        unsetenv(variable);
    setenv("APP_STORE", dovrane::Path::join(folder, "bench.store").c_str(), 1);
    setenv("APP_LANG", "en", 1);
    setenv("TZ", "UTC", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

// The main window as the application shows it, over the store APP_STORE names, with its
// settings in memory only.
struct ShownWindow {
    ShownWindow() {
        dovrane::DiskPages::install(cleanUpSafeItems);
        dovrane::AppPages::install();
        window.showPage();
        window.resize(1100, 720);
        window.show();
    }

    static dovrane::Services services() {
        dovrane::Services services = dovrane::Services::system();
        services.settings = std::make_shared<dovrane::MemorySettings>();
        return services;
    }

    std::unique_ptr<dovrane::ModelContainer> container = dovrane::Store::makeContainer();
    dovrane::AppModel model{*container, services()};
    dovrane::ContentView window{model, {}};
    QAction cleanUpSafeItems;
};

// Turns the event loop until done answers true, at most `limit` seconds; false at the limit.
inline bool waitFor(const std::function<bool()>& done, double limit) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (double(clock.elapsed()) / 1000 > limit)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Runs `act` from the event loop, as a press would, then turns the loop until done answers true,
// at most `limit` seconds; false at the limit.
inline bool actThenWaitFor(const std::function<void()>& act, const std::function<bool()>& done, double limit) {
    bool acted = false;
    QTimer::singleShot(0, [&] {
        act();
        acted = true;
    });
    return waitFor([&] { return acted && done(); }, limit);
}

// The longest time between two turns of the event loop since the last reset: a timer that asks
// to run every millisecond runs late by as long as the main thread was held.
class EventLoopProbe {
public:
    EventLoopProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        clock_.start();
        timer_.start();
    }
    void reset() {
        last_ = clock_.nsecsElapsed();
        longest_ = 0;
    }
    // In seconds, the gap still open included.
    double longest() const { return double(std::max(longest_, clock_.nsecsElapsed() - last_)) / 1e9; }

private:
    void tick() {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0, longest_ = 0;
};

} // namespace bench
