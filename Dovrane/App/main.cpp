// Dovrane's entry. The developer modes come first; each returns at once unless its switch was
// given, and then it ends the process itself.

#include "SelfTest/Traces.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    dovrane::SelfTest::traceIfRequested(arguments);
    return 0;
}
