// Dovrane's entry. The program itself links only the kit: the application and everything of Qt
// and the desktop it needs are a module that the entry loads. So a scan trace starts walking a
// few milliseconds after the process does, while the dynamic loader binds the hundred-odd
// libraries of the application beside it, instead of after them.

#include "ApplicationModule.h"
#include "SelfTest/Traces.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    dovrane::SelfTest::startScanTrace(std::vector<std::string>(argv, argv + argc));
    return dovrane::ApplicationModule::run(argc, argv);
}
