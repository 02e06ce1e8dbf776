#include "support/TestEnvironment.h"

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace dovrane::testing {

void fixTestEnvironment(const char* binary, const char* timeZone) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TZ", timeZone, 1);
    tzset();
    setenv("APP_LANG", "en", 1);
    setenv("LANG", "C.UTF-8", 1);
    for (const char* name :
         {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "TMPDIR", "APP_SEED", "APP_NO_FDA", "APP_PAGE", "APP_SETTINGS",
          "APP_SNAPSHOT", "APP_GRID", "APP_ACCENT", "DBUS_SESSION_BUS_ADDRESS", "XDG_CURRENT_DESKTOP"})
        unsetenv(name);
    const std::string home = std::string("/tmp/dovrane-") + binary + "-nohome";
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    // Qt wants a private runtime folder; one under /tmp keeps the real session's untouched.
    const std::string runtime = std::string("/tmp/dovrane-") + binary + "-runtime";
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    mkdir(runtime.c_str(), 0700);
    chmod(runtime.c_str(), 0700);
}

} // namespace dovrane::testing
