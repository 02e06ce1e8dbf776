#pragma once
// Qt Test's waits for a condition, each bound multiplied by the build's patience (Patience.h).
// The suites use these and never QTRY_* or QTest::qWaitFor with a bound of their own: a wait
// for a condition returns as soon as it holds, so only a failing test waits the longer bound.

#include "support/Patience.h"

#include <QTest>

// The bound of the waits that name none, on a quiet Release run.
#define DOVRANE_TRY_DEFAULT_MS 2000

#define DOVRANE_TRY_VERIFY_WITHIN(expr, boundMs) QTRY_VERIFY_WITH_TIMEOUT(expr, ::dovrane::testing::patientMs(boundMs))
#define DOVRANE_TRY_VERIFY2_WITHIN(expr, message, boundMs)                                                             \
    QTRY_VERIFY2_WITH_TIMEOUT(expr, message, ::dovrane::testing::patientMs(boundMs))
#define DOVRANE_TRY_COMPARE_WITHIN(expr, expected, boundMs)                                                            \
    QTRY_COMPARE_WITH_TIMEOUT(expr, expected, ::dovrane::testing::patientMs(boundMs))

#define DOVRANE_TRY_VERIFY(expr) DOVRANE_TRY_VERIFY_WITHIN(expr, DOVRANE_TRY_DEFAULT_MS)
#define DOVRANE_TRY_VERIFY2(expr, message) DOVRANE_TRY_VERIFY2_WITHIN(expr, message, DOVRANE_TRY_DEFAULT_MS)
#define DOVRANE_TRY_COMPARE(expr, expected) DOVRANE_TRY_COMPARE_WITHIN(expr, expected, DOVRANE_TRY_DEFAULT_MS)

namespace dovrane::testing {

// Runs events until the condition holds; false when it still does not at the scaled bound.
template <class Condition> [[nodiscard]] bool waitFor(Condition condition, int boundMs = DOVRANE_TRY_DEFAULT_MS) {
    return QTest::qWaitFor(condition, patientMs(boundMs));
}

// Qt Test has these only in suites that link Qt Gui.
#ifdef QT_GUI_LIB
template <class Window> [[nodiscard]] bool waitForWindowExposed(Window* window) {
    return QTest::qWaitForWindowExposed(window, patientMs(DOVRANE_TRY_DEFAULT_MS));
}

template <class Window> [[nodiscard]] bool waitForWindowActive(Window* window) {
    return QTest::qWaitForWindowActive(window, patientMs(DOVRANE_TRY_DEFAULT_MS));
}
#endif

} // namespace dovrane::testing
