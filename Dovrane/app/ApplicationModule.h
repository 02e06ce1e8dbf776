#pragma once
// The application module, "dovrane-app.so": beside the program in the build tree, in the
// private library folder when installed. Its one entry, dovraneApplicationMain, is the
// application's main.

#include <string>

namespace dovrane::ApplicationModule {

// Where the program in executableFolder finds the module: beside it when there is one, else in
// the installed layout's library folder.
std::string pathFor(const std::string& executableFolder);

// Loads the module and runs its entry with the arguments. A module that cannot be loaded is
// reported on standard error and ends the start with status 1.
int run(int argc, char** argv);

} // namespace dovrane::ApplicationModule
