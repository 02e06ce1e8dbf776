#pragma once
// What the command line asks before anything else starts. "--help" and "--version" are answered
// here, and an option Dovrane does not know is refused, before a running Dovrane is looked for or
// a window opened. A window with no display to open on says so in one line and ends, rather
// than leaving Qt to abort.

#include <optional>
#include <string>
#include <vector>

namespace dovrane::CommandLine {

// The answer to the first of "--help" (or "-h"), "--version" and an unknown option (any other
// argument starting with "-" than the developer modes), printed here: the exit status, 0 for
// help and version, 2 for an unknown option. nullopt when the program goes on.
std::optional<int> answer(const std::vector<std::string>& arguments);

// The lines "--help" prints.
std::string help();

// A developer run: "--selftest", "--scan-trace" or "--update-trace" given, or APP_SNAPSHOT set.
// Such a run keeps to what it was given: a store or folder it cannot use ends it with a clear
// error and status 1, where the window would set a damaged store aside or work on a stand-in.
bool isDeveloperRun(const std::vector<std::string>& arguments);

// With no display for the platform Qt is to use (none chosen, xcb or wayland, while neither
// DISPLAY nor WAYLAND_DISPLAY is set): prints one line to standard error and returns the exit
// status, 1. nullopt when there is one, or a platform that needs none (offscreen, vnc, …).
// Call after the headless developer modes chose their platform.
std::optional<int> refuseWithoutDisplay();

// While it lives (around the application object's construction), a platform that cannot start,
// a display that is set but cannot be reached, ends the process with the same line and status
// 1 instead of Qt's abort, and without the warnings Qt gave on the way; when the platform
// starts, those are passed on as the guard ends.
class DisplayGuard {
public:
    DisplayGuard();
    ~DisplayGuard();
    DisplayGuard(const DisplayGuard&) = delete;
    DisplayGuard& operator=(const DisplayGuard&) = delete;
};

} // namespace dovrane::CommandLine
