#pragma once
// The entry of every user-interface suite: a fixed environment set before Qt starts (offscreen,
// UTC, English, an empty home of this program's own, no session bus so the real desktop is never
// asked), then the UI kit installed and the suite run.

#include "UiKit/Setup.h"
#include "support/TestEnvironment.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QTest>

namespace dovrane::testing {

template <typename Suite> int runSuite(int argc, char** argv, void (*beforeStart)() = nullptr) {
    fixTestEnvironment("uitests", "UTC");
    if (beforeStart)
        beforeStart();
    QApplication application(argc, argv);
    UiKit::install();
    Suite suite;
    return QTest::qExec(&suite, argc, argv);
}

} // namespace dovrane::testing

#define DOVRANE_UI_TEST_MAIN(Suite, ...)                                                                               \
    int main(int argc, char** argv) { return dovrane::testing::runSuite<Suite>(argc, argv __VA_OPT__(, ) __VA_ARGS__); }
