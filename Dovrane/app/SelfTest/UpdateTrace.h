#pragma once
// Developer mode "--update-trace": lists the installed apps, checks them all for updates and
// prints each app's update source and outcome, then the total time, and ends the process.

#include <string>
#include <vector>

namespace dovrane::SelfTest {

// Does nothing unless an argument is exactly "--update-trace". Otherwise starts the trace on a
// thread of its own and returns at once; when done, the trace ends the process with status 0
// (see traceDone). Returns whether it started.
bool updateTraceIfRequested(const std::vector<std::string>& arguments);

} // namespace dovrane::SelfTest
