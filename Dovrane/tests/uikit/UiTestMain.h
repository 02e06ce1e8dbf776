#pragma once
// The entry of every user-interface suite: a fixed environment set before Qt starts (offscreen,
// UTC, English, a home under /tmp that does not exist, no session bus so the real desktop is
// never asked), then the UI kit installed and the suite run.

#include "../model/support/QtEnvironment.h"
#include "UiKit/Setup.h"

#include <QApplication>
#include <QTest>

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>

namespace dovrane::testing {

inline void fixEnvironment() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TZ", "UTC", 1);
    tzset();
    setenv("APP_LANG", "en", 1);
    setenv("LANG", "C.UTF-8", 1);
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "DBUS_SESSION_BUS_ADDRESS", "APP_ACCENT", "APP_GRID",
                             "APP_SNAPSHOT", "XDG_CURRENT_DESKTOP"})
        unsetenv(name);
    setenv("HOME", "/tmp/dovrane-uitests-nohome", 1);
    setenv("XDG_DATA_HOME", "/tmp/dovrane-uitests-nohome/.local/share", 1);
    setenv("XDG_CONFIG_HOME", "/tmp/dovrane-uitests-nohome/.config", 1);
    // Qt wants a private runtime folder; one under /tmp keeps the real session's untouched.
    setenv("XDG_RUNTIME_DIR", "/tmp/dovrane-uitests-runtime", 1);
    mkdir("/tmp/dovrane-uitests-runtime", 0700);
    chmod("/tmp/dovrane-uitests-runtime", 0700);
}

template <typename Suite>
int runSuite(int argc, char** argv, void (*beforeStart)() = nullptr) {
    fixEnvironment();
    if (beforeStart)
        beforeStart();
    changeEnvironmentThroughQt();
    QApplication application(argc, argv);
    UiKit::install();
    Suite suite;
    return QTest::qExec(&suite, argc, argv);
}

} // namespace dovrane::testing

#define DOVRANE_UI_TEST_MAIN(Suite, ...)                                                                        \
    int main(int argc, char** argv) { return dovrane::testing::runSuite<Suite>(argc, argv, ##__VA_ARGS__); }
