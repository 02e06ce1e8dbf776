#pragma once
// How long a test waits for something to happen. Every bound on a wait is written for a quiet
// machine running the Release build and goes through patient(), which multiplies it by the
// build's patience: larger for the sanitizer build, which runs several times slower, so that a
// busy machine makes a test slower, never failed. CMake sets the factor (DOVRANE_TEST_PATIENCE)
// and scales the test runner's time limits with it.

#ifndef DOVRANE_TEST_PATIENCE
#define DOVRANE_TEST_PATIENCE 3
#endif

namespace dovrane::testing {

inline constexpr int patience = DOVRANE_TEST_PATIENCE;
static_assert(patience >= 1, "DOVRANE_TEST_PATIENCE multiplies the bounds of the tests' waits");

// A std::chrono duration; no <chrono> here, since moc reads this header without the compiler's
// own definitions and cannot read that one.
template <class Duration> constexpr Duration patient(Duration bound) { return bound * patience; }

// The same for a bound in milliseconds, as Qt's waits take it.
constexpr int patientMs(int boundMs) { return boundMs * patience; }

} // namespace dovrane::testing
