#include "FuzzSupport.h"

#include "DovraneKit/system/FileSystem.h"

#include <cstdio>
#include <cstdlib>

namespace dovrane::fuzz {

const std::string& scratch() {
    // Never destroyed: the removal at exit still needs it.
    static const std::string& folder = *new std::string([] {
        auto made = Fs::makeUniqueDirectory("/tmp", "dovrane-fuzz-");
        if (!made) {
            std::perror("dovrane-fuzz: no scratch folder");
            std::abort();
        }
        Fs::makeDirectories(Path::join(*made, "home/.local/share"), 0700);
        Fs::makeDirectories(Path::join(*made, "home/.config"), 0700);
        setenv("HOME", Path::join(*made, "home").c_str(), 1);
        setenv("XDG_DATA_HOME", Path::join(*made, "home/.local/share").c_str(), 1);
        setenv("XDG_CONFIG_HOME", Path::join(*made, "home/.config").c_str(), 1);
        setenv("TZ", "UTC", 1);
        setenv("APP_LANG", "en", 1);
        // The folder goes when the process ends normally; a crash leaves it for inspection.
        std::atexit([] { Fs::removeAll(scratch()); });
        return *made;
    }());
    return folder;
}

std::string writeScratchFile(const std::string& relative, std::string_view bytes) {
    std::string path = Path::join(scratch(), relative);
    Fs::makeDirectories(Path::parent(path), 0700);
    if (!Fs::writeFile(path, bytes)) {
        std::perror(path.c_str());
        std::abort();
    }
    return path;
}

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "dovrane-fuzz: broken: %s\n", what);
        std::abort();
    }
}

} // namespace dovrane::fuzz
