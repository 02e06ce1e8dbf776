// The tests' entry: the environment every test starts from, whoever runs the binary. The home
// and XDG folders point at a folder that does not exist, so nothing can reach the real home;
// fixtures make their own homes under /tmp.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("APP_LANG", "en", 1);
    setenv("LANG", "C.UTF-8", 1);
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "TMPDIR"})
        unsetenv(name);
    setenv("HOME", "/tmp/dovrane-tests-nohome", 1);
    setenv("XDG_DATA_HOME", "/tmp/dovrane-tests-nohome/.local/share", 1);
    setenv("XDG_CONFIG_HOME", "/tmp/dovrane-tests-nohome/.config", 1);
    setenv("XDG_CACHE_HOME", "/tmp/dovrane-tests-nohome/.cache", 1);
    setenv("DOVRANE_TOOL_DIR", DOVRANE_BIN_DIR, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
