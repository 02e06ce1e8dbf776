// Dovrane's entry. The developer modes come first; each returns at once unless its switch was
// given, and then it ends the process itself.

#include "SelfTest/Traces.h"
#include "SelfTest/UpdateTrace.h"

#include <unistd.h>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    // The update trace runs on a thread of its own, so it is started before the scan trace,
    // which keeps this thread; whichever finishes first ends the process.
    const bool updateTrace = dovrane::SelfTest::updateTraceIfRequested(arguments);
    dovrane::SelfTest::traceIfRequested(arguments);
    if (updateTrace)
        for (;;)
            pause();
    return 0;
}
