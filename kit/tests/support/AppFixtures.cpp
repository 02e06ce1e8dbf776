#include "support/AppFixtures.h"

#include "support/TestSupport.h"

#include "DovraneKit/system/FileSystem.h"

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

namespace dovrane::testing {

bool runQuietly(const std::vector<std::string>& argv) {
    std::vector<char*> arguments;
    for (const std::string& argument : argv)
        arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (!::freopen("/dev/null", "w", stdout) || !::freopen("/dev/null", "w", stderr))
            ::_exit(126);
        ::execv(arguments[0], arguments.data());
        ::_exit(127);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::optional<std::string> flatpakProgram() {
    if (::access("/usr/bin/flatpak", X_OK) == 0)
        return std::string("/usr/bin/flatpak");
    return std::nullopt;
}

bool installFlatpak(const std::string& work, const std::string& id, const std::map<std::string, std::string>& files,
                    const std::string& installation) {
    auto flatpak = flatpakProgram();
    if (!flatpak)
        return false;
    const std::string build = Path::join(work, "build"), repo = Path::join(work, "repo");
    // No runtime is needed to install: the metadata only names one.
    writeFile(Path::join(build, "metadata"), "[Application]\nname=" + id +
                                                 "\nruntime=org.example.Platform/x86_64/1\n"
                                                 "sdk=org.example.Sdk/x86_64/1\ncommand=run\n");
    writeFile(Path::join(build, "files/bin/run"), "#!/bin/sh\n");
    for (const auto& [relative, contents] : files)
        writeFile(Path::join(build, "files/" + relative), contents);
    const std::string remote = "fixture-" + id;
    return runQuietly({*flatpak, "build-finish", build, "--command=run"}) &&
           runQuietly({*flatpak, "build-export", repo, build}) && runQuietly({*flatpak, "build-update-repo", repo}) &&
           runQuietly({*flatpak, installation, "remote-add", "--if-not-exists", "--no-gpg-verify", remote,
                       "file://" + repo}) &&
           runQuietly({*flatpak, installation, "install", "-y", "--no-deps", "--noninteractive", remote, id});
}

std::optional<std::string> mksquashfs() {
    for (const char* candidate : {"/usr/bin/mksquashfs", "/usr/sbin/mksquashfs", "/sbin/mksquashfs"})
        if (::access(candidate, X_OK) == 0)
            return std::string(candidate);
    return std::nullopt;
}

bool writeAppImage(const std::string& path, const std::map<std::string, std::string>& files) {
    TempDir root("dovrane-appimage-root-");
    for (const auto& [relative, contents] : files)
        writeFile(root / relative, contents);
    return writeAppImageFrom(path, root.path());
}

bool writeAppImageFrom(const std::string& path, const std::string& root) {
    auto tool = mksquashfs();
    auto runtime = Fs::readFile("/bin/true");
    if (!tool || !runtime || runtime->size() < 11)
        return false;
    TempDir work("dovrane-appimage-");
    const std::string image = work / "payload.squashfs";
    if (!runQuietly({*tool, root, image, "-quiet", "-noappend", "-all-root", "-no-progress"}))
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
