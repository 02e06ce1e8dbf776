#pragma once
// The self-test's result, which the application's termination hook prints and exits with.

namespace dovrane::SelfTest {

inline int exitCode = 0;
// Set by the self-test's finish; a quit before that is not the self-test's end.
inline bool finished = false;

} // namespace dovrane::SelfTest
