// The tests' entry: the environment every test starts from, whoever runs the binary. The home,
// XDG, runtime and temporary folders lie in this program's own fresh folder, so nothing can reach
// the real home and nothing an earlier run left behind is seen.

#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    dovrane::testing::makeTestFolders("tests");
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("APP_LANG", "en", 1);
    setenv("LANG", "C.UTF-8", 1);
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
        unsetenv(name);
    setenv("DOVRANE_TOOL_DIR", DOVRANE_BIN_DIR, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
