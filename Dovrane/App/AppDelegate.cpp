#include "App/AppDelegate.h"

#include "App/Notifications.h"
#include "SelfTest/ExitCode.h"
#include "Services/Settings.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include <unistd.h>

namespace dovrane {

void AppDelegate::open(const std::vector<Url>& urls) {
    for (const Url& url : urls)
        AppNotifications::shared().postRemoveApp(url);
}

bool AppDelegate::shouldTerminateAfterLastWindowClosed(const Settings& settings, bool testStore) {
    if (testStore)
        return true;
    if (std::optional<bool> shown = settings.boolean(QStringLiteral("menubar.enabled")))
        return !*shown;
    return false;
}

void AppDelegate::willTerminate(const std::vector<std::string>& arguments) {
    if (std::find(arguments.begin(), arguments.end(), "--selftest") == arguments.end())
        return;
    const int code = SelfTest::exitCode;
    const std::string line = "EXIT " + std::to_string(code) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    ::_exit(code);
}

} // namespace dovrane
