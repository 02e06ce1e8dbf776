#pragma once
// The application module, "dovrane-app.so", beside the kit (see Fs::libraryDirectory). Its one
// entry, dovraneApplicationMain, is the application's main.

namespace dovrane::ApplicationModule {

// Loads the module and runs its entry with the arguments. A module that cannot be loaded is
// reported on standard error and ends the start with status 1.
int run(int argc, char** argv);

} // namespace dovrane::ApplicationModule
