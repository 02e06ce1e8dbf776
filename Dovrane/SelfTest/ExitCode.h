#pragma once
// The self-test's result, which the application's termination hook prints and exits with.

namespace dovrane::SelfTest {

inline int exitCode = 0;

} // namespace dovrane::SelfTest
