#include "support/TestEnvironment.h"

#include "DovraneKit/system/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace dovrane::testing {

namespace {

// Names the folder to the test programs this one starts.
constexpr const char* folderVariable = "DOVRANE_TEST_FOLDER";

std::string folder;
pid_t owner = 0;

void removeFolder() {
    // A forked child that calls exit() must not take its parent's folder with it.
    if (!folder.empty() && getpid() == owner)
        Fs::removeAll(folder);
}

std::string baseFolder() {
    if (const char* given = std::getenv("TMPDIR"); given && *given)
        if (auto real = Fs::realPath(given); real && real->starts_with("/tmp/") && Fs::isDirectory(*real))
            return *real;
    return "/tmp";
}

bool isOwnFolder(const char* path) {
    struct stat status {};
    return path && *path == '/' && lstat(path, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == geteuid();
}

} // namespace

void makeTestFolders(const char* binary) {
    if (folder.empty()) {
        if (const char* parents = std::getenv(folderVariable); isOwnFolder(parents)) {
            folder = parents;
        } else {
            auto made = Fs::makeUniqueDirectory(baseFolder(), std::string("dovrane-") + binary + "-");
            if (!made) {
                std::perror("cannot create the tests' folder");
                std::exit(1);
            }
            folder = *made;
            owner = getpid();
            // Open to others, as /tmp is: a test that drops its privileges in a child must still
            // reach the folders it made for that child.
            chmod(folder.c_str(), 0755);
            mkdir((folder + "/home").c_str(), 0700);
            mkdir((folder + "/runtime").c_str(), 0700);
            mkdir((folder + "/tmp").c_str(), 0700);
            std::atexit(removeFolder);
        }
    }
    setenv(folderVariable, folder.c_str(), 1);
    const std::string home = folder + "/home";
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (folder + "/runtime").c_str(), 1);
    setenv("TMPDIR", (folder + "/tmp").c_str(), 1);
}

const std::string& testFolder() { return folder; }

void fixTestEnvironment(const char* binary, const char* timeZone) {
    makeTestFolders(binary);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TZ", timeZone, 1);
    tzset();
    setenv("APP_LANG", "en", 1);
    setenv("LANG", "C.UTF-8", 1);
    for (const char* name :
         {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "APP_SEED", "APP_NO_FDA", "APP_PAGE", "APP_SETTINGS", "APP_SNAPSHOT",
          "APP_GRID", "APP_ACCENT", "DBUS_SESSION_BUS_ADDRESS", "XDG_CURRENT_DESKTOP"})
        unsetenv(name);
}

} // namespace dovrane::testing
