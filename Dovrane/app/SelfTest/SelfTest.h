#pragma once
// Developer mode "--selftest": a headless run of the safe-removal road on the user's real home
// and Trash, against a test store. It moves three small files to the Trash through the model's
// own cleanup, checks the journal, puts them back, checks the leftover search, lets the update
// installer refuse and accept signed test apps, checks the volume figures, prints one line per
// check and ends the process with 0 when every check passed, 1 otherwise.

#include <optional>
#include <string>
#include <vector>

namespace dovrane {

class AppModel;

namespace SelfTest {

// The process's launch arguments, as bytes.
std::vector<std::string> launchArguments();
bool requested(const std::vector<std::string>& arguments);
// The line the run is refused with when it is asked for and no usable test store is set; asked
// before the store is opened, so that a refused run opens no database at all.
std::optional<std::string> refusal(const std::vector<std::string>& arguments);

// When the run is asked for and its store cannot be opened: prints its refusal, "SELFTEST
// refused: the database at PATH could not be opened: REASON", and "EXIT 1". Returns 1.
int refuseUnopenedStore(const std::vector<std::string>& arguments, const std::string& path, const std::string& reason);

// Under "--selftest" and with no platform chosen, the application runs on Qt's offscreen
// platform, so the run needs no display; so do the traces when there is no display. Call
// before the application object exists.
void preferHeadless(const std::vector<std::string>& arguments);

// Starts the traces asked for, then, with "--selftest", the check run, and returns at once; the
// run continues on the main thread's event loop. Acts at most once per process, so showing the
// main window again starts nothing new. Call from the event loop.
void runIfRequested(AppModel& model);

// Stores the code, closes any open sheet of the model without acting on it and asks the
// application to quit through a queued call (a quit asked before the event loop runs would be
// lost). The termination hook (AppDelegate::willTerminate) then ends the process with the code.
void finish(int code);

} // namespace SelfTest

} // namespace dovrane
