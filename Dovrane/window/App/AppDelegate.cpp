#include "App/AppDelegate.h"

#include "App/ExitCode.h"
#include "ContentView/Notifications.h"
#include "Services/ModelContainer.h"
#include "Services/SettingKeys.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace dovrane {

void AppDelegate::open(const std::vector<Url>& urls) {
    for (const Url& url : urls)
        AppNotifications::shared().postRemoveApp(url);
}

bool AppDelegate::shouldTerminateAfterLastWindowClosed(const Settings& settings, bool testStore) {
    return testStore || !SettingKeys::menuBarItemShown(settings, testStore);
}

void AppDelegate::willTerminate(const std::vector<std::string>& arguments) {
    if (std::find(arguments.begin(), arguments.end(), "--selftest") == arguments.end())
        return;
    // Any other end before the self-test finished (its window closed, a quit from elsewhere)
    // is a failure.
    const int code = SelfTest::finished ? SelfTest::exitCode : 1;
    // No destructor runs on the way out: the store is closed here, so that its log files go.
    ModelContainer::closeAll();
    // From this line on no trace thread can print, and no static destructor runs under their
    // feet: the lock is held until the process is gone.
    flockfile(stdout);
    const std::string line = "EXIT " + std::to_string(code) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    std::_Exit(code);
}

} // namespace dovrane
