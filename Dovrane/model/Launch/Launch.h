#pragma once
// The launch steps of the main window, in their order: the demo data; the page and Settings tab
// asked for by the environment; the normal start-up work (app list, background work, a scan
// when the cached one is missing or older than six hours, onboarding) unless the demo, the
// self-test or the screenshot run is in charge; then the self-test and the screenshot run. The
// scan's decision and the screenshot run wait for the cached scan to be read back.
// The window runs them each time it is shown anew; the demo data and the two developer runs
// start at most once per process, so showing the window again neither refills the demo over
// what the user did since nor restarts a headless run.

#include <functional>
#include <string>
#include <vector>

namespace dovrane {

class AppModel;

namespace Launch {

// The developer runs that end the process themselves; each does nothing unless its switch is
// set. Their own modes fill these in; unset ones are skipped.
struct DeveloperRuns {
    std::function<void(AppModel&)> selfTest;
    std::function<void(AppModel&, const std::function<void()>& openSettings)> snapshot;
};

// A cached scan older than this many seconds is measured again at launch.
inline constexpr double scanAge = 21'600;

// The process has one sequence (the application set-up's); every showing of the main window
// runs it. arguments: the process's launch arguments.
class Sequence {
public:
    explicit Sequence(std::vector<std::string> arguments, DeveloperRuns runs = {});
    // Before the window is built: starts the launch scan now when run() would start it, so the
    // disk is walked while the window is made; run() then finds it under way.
    void startScanEarly(AppModel& model);
    // openSettings opens the Settings window.
    void run(AppModel& model, const std::function<void()>& openSettings);

private:
    std::vector<std::string> arguments_;
    DeveloperRuns runs_;
    bool seeded_ = false;
    bool developerRunsStarted_ = false;
};

// "--selftest" given, or APP_SNAPSHOT present (even empty), or demo data shown: the normal
// start-up work is skipped.
bool developerRunInCharge(const AppModel& model, const std::vector<std::string>& arguments);

} // namespace Launch

} // namespace dovrane
