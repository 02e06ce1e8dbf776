#pragma once
// Developer mode "--scan-trace": measures every category at once on the user's real home
// folder and prints one line per category as it finishes, then ends the process; under
// "--selftest" only the self-test ends it.

#include <string>
#include <vector>

namespace dovrane::SelfTest {

// Does nothing unless an argument is exactly "--scan-trace". Otherwise starts the trace on a
// thread of its own, once per process, and returns at once (without a thread to spare, it runs
// here first). The entry calls it once the start is known to go on, before the window's work.
void traceIfRequested(const std::vector<std::string>& arguments);

// A trace is done. Without "--selftest" it ends the process with status 0, standard output
// flushed and the store closed, once the start has gone on (startWentOn); a start that fails
// ends it with that start's status instead, however early the trace was done. Under
// "--selftest" it returns and leaves the ending to the self-test. Called on another thread once
// the application exists, it leaves the ending to the main thread's event loop and returns.
void traceDone(const std::vector<std::string>& arguments);

// The developer run's store is open and its folders are usable: a trace already done ends the
// process now with status 0, one still walking when it is done. The entry calls it on the main
// thread.
void startWentOn();

// The application exists and its store is about to open: from now on a trace that is done on
// another thread ends the process on the main thread. The entry calls it right after making the
// application.
void endOnMainThread();

// A start that cannot go on (no database, an unusable folder, no display). Once the scan trace
// has started, ends the process here with the status, so the trace's own end cannot race it;
// otherwise returns the status for the entry to return.
[[nodiscard]] int endFailedStart(int status);

// Standard output line-buffered, switched once per process before anything is printed.
void useLineBuffering();
// One whole line (ending in a line feed) in one write, so lines never interleave.
void printLine(const std::string& line);

// Seconds with one decimal and a point whatever the locale ("2.5"), as both traces print them.
std::string oneDecimal(double value);

} // namespace dovrane::SelfTest
