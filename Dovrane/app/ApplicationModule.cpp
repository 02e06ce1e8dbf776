#include "ApplicationModule.h"

#include "SelfTest/Traces.h"

#include "DovraneKit/FileSystem.h"

#include <dlfcn.h>

#include <cstdio>

namespace dovrane::ApplicationModule {

namespace {

constexpr const char* moduleName = "dovrane-app.so";
constexpr const char* entryName = "dovraneApplicationMain";
using Entry = int(int, char**);

int failed(const std::string& path, const char* reason) {
    std::fprintf(stderr, "Could not load the application from %s: %s\n", path.c_str(),
                 reason ? reason : "unknown error");
    return SelfTest::endFailedStart(1);
}

} // namespace

std::string pathFor(const std::string& executableFolder) {
    const std::string beside = Path::join(executableFolder, moduleName);
    if (Fs::isRegularFile(beside))
        return beside;
    return Path::join(Path::join(executableFolder, DOVRANE_MODULE_FOLDER), moduleName);
}

int run(int argc, char** argv) {
    const std::string path = pathFor(Fs::executableDirectory());
    // Bound now, so a missing symbol is this message and not a crash later; never unloaded.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        return failed(path, dlerror());
    auto* entry = reinterpret_cast<Entry*>(dlsym(module, entryName));
    if (!entry)
        return failed(path, dlerror());
    return entry(argc, argv);
}

} // namespace dovrane::ApplicationModule
