#include "support/AppImageFixtures.h"

#include "support/TestSupport.h"

#include "DovraneKit/FileSystem.h"

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace dovrane::testing {

std::optional<std::string> mksquashfs() {
    for (const char* candidate : {"/usr/bin/mksquashfs", "/usr/sbin/mksquashfs", "/sbin/mksquashfs"})
        if (::access(candidate, X_OK) == 0)
            return std::string(candidate);
    return std::nullopt;
}

bool writeAppImage(const std::string& path, const std::map<std::string, std::string>& files) {
    auto tool = mksquashfs();
    auto runtime = Fs::readFile("/bin/true");
    if (!tool || !runtime || runtime->size() < 11)
        return false;
    TempDir work("dovrane-appimage-");
    for (const auto& [relative, contents] : files)
        writeFile(work / ("root/" + relative), contents);
    makeFolder(work / "root");
    const std::string image = work / "payload.squashfs";

    const pid_t child = ::fork();
    if (child == 0) {
        ::freopen("/dev/null", "w", stdout);
        ::freopen("/dev/null", "w", stderr);
        const std::string root = work / "root";
        ::execl(tool->c_str(), tool->c_str(), root.c_str(), image.c_str(), "-quiet", "-noappend", "-all-root",
                "-no-progress", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    auto payload = Fs::readFile(image);
    if (!payload)
        return false;
    std::string bytes = *runtime;
    bytes.replace(8, 3, "AI\x02", 3);
    writeFile(path, bytes + *payload);
    return true;
}

} // namespace dovrane::testing
