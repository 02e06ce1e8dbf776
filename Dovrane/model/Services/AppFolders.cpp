#include "Services/AppFolders.h"

#include "Services/JsonSettings.h"
#include "Store/Store.h"

#include <DovraneKit/system/FileSystem.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dovrane::AppFolders {

namespace {

// Whether this process (its effective user) may add files to the existing folder.
std::optional<std::string> writeProblem(const std::string& folder) {
    if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return std::string(std::strerror(errno));
    return std::nullopt;
}

} // namespace

std::optional<std::string> problem(const std::string& folder) {
    struct stat status {};
    if (stat(folder.c_str(), &status) == 0) {
        if (!S_ISDIR(status.st_mode))
            return "it is not a folder";
        if (auto reason = writeProblem(folder))
            return "it cannot be written: " + *reason;
        return std::nullopt;
    }
    const auto missing = [] { return errno == ENOENT || errno == ENOTDIR; };
    if (!missing())
        return std::string(std::strerror(errno));
    // Missing: it is made at the first write, inside the nearest path that exists.
    std::string existing = folder;
    do {
        existing = Path::parent(existing);
    } while (existing.size() > 1 && stat(existing.c_str(), &status) != 0 && missing());
    if (stat(existing.c_str(), &status) != 0)
        return "it cannot be created: " + std::string(std::strerror(errno));
    if (!S_ISDIR(status.st_mode))
        return "it cannot be created: " + existing + " is not a folder";
    if (auto reason = writeProblem(existing))
        return "it cannot be created: " + *reason;
    return std::nullopt;
}

std::string FolderProblem::message() const { return "Could not use the " + name + " at " + path + ": " + reason; }

std::optional<FolderProblem> startupProblem() {
    const std::string settings = Path::parent(JsonSettings::defaultFile());
    if (auto reason = problem(settings))
        return FolderProblem{"settings folder", settings, *reason};
    const std::string caches = Path::parent(Store::url().path());
    if (auto reason = problem(caches))
        return FolderProblem{"caches folder", caches, *reason};
    return std::nullopt;
}

} // namespace dovrane::AppFolders
