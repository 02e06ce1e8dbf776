#pragma once
// Developer mode "--scan-trace": measures every category at once on the user's real home
// folder and prints one line per category as it finishes, then ends the process.

#include <string>
#include <vector>

namespace dovrane::SelfTest {

// Does nothing unless an argument is exactly "--scan-trace". Otherwise runs the trace and ends
// the process with status 0; it does not come back.
void traceIfRequested(const std::vector<std::string>& arguments);

// Ends the process with the code, standard output flushed.
[[noreturn]] void finish(int code);

// Seconds with one decimal and a point whatever the locale ("2.5"), as both traces print them.
std::string oneDecimal(double value);

} // namespace dovrane::SelfTest
