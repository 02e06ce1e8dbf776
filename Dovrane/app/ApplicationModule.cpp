#include "ApplicationModule.h"

#include "SelfTest/Traces.h"

#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/SharedLibrary.h"

#include <cstdio>

namespace dovrane::ApplicationModule {

int run(int argc, char** argv) {
    const SharedLibrary module(Path::join(Fs::libraryDirectory(), "dovrane-app.so"));
    const Expected<void*> entry = module.symbol("dovraneApplicationMain");
    if (!entry) {
        std::fprintf(stderr, "Could not load the application: %s\n", entry.error().message.c_str());
        return SelfTest::endFailedStart(1);
    }
    return reinterpret_cast<int (*)(int, char**)>(*entry)(argc, argv);
}

} // namespace dovrane::ApplicationModule
