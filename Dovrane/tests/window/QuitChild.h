#pragma once
// The application as a child process of QuitTests, so its end (status and last line) can be
// watched from outside. APP_STORE and the home come from the parent.

namespace dovrane::testing {

// "early-quit": a quit asked before the event loop runs; "close-window": the window shown and
// closed. Both with "--selftest" and the self-test's code set to 3.
int runQuitChild(const char* mode);

} // namespace dovrane::testing
