#include "system/FileTree.h"

#include "DovraneKit/core/TextPieces.h"
#include "DovraneKit/system/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>

namespace dovrane::filetree {

std::optional<std::vector<std::string>> names(const std::string& folder) {
    const int fd = Fs::openToLook(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(fdopendir(fd), closedir);
    if (!dir) {
        close(fd);
        return std::nullopt;
    }
    std::vector<std::string> result;
    errno = 0;
    while (dirent* entry = readdir(dir.get())) {
        std::string_view name(entry->d_name);
        if (name != "." && name != "..")
            result.emplace_back(name);
        errno = 0;
    }
    if (errno != 0)
        return std::nullopt;
    std::sort(result.begin(), result.end());
    return result;
}

namespace {

bool walkInto(const std::string& root, const std::string& relative, std::vector<Entry>& out, std::string& problem) {
    auto children = names(relative.empty() ? root : Path::join(root, relative));
    if (!children) {
        problem = (relative.empty() ? root : relative) + ": the folder cannot be read";
        return false;
    }
    for (const auto& name : *children) {
        Entry entry;
        entry.relative = relative.empty() ? name : relative + "/" + name;
        if (lstat(Path::join(root, entry.relative).c_str(), &entry.info) != 0) {
            problem = entry.relative + ": " + std::strerror(errno);
            return false;
        }
        bool isFolder = S_ISDIR(entry.info.st_mode);
        std::string childRelative = entry.relative; // out may grow and move its elements
        out.push_back(std::move(entry));
        if (isFolder && !walkInto(root, childRelative, out, problem))
            return false;
    }
    return true;
}

std::deque<std::string> components(const std::string& path) {
    auto pieces = splitDroppingEmpty(path, '/');
    return std::deque<std::string>(pieces.begin(), pieces.end());
}

} // namespace

Expected<std::vector<Entry>> walk(const std::string& root) {
    std::vector<Entry> entries;
    std::string problem;
    if (!walkInto(root, "", entries, problem))
        return Failure{problem};
    return entries;
}

int openRegularFile(const std::string& path, const struct stat& expected) {
    int fd = Fs::openToLook(AT_FDCWD, path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_ino != expected.st_ino ||
        info.st_dev != expected.st_dev) {
        close(fd);
        errno = ESTALE; // what was listed is no longer there
        return -1;
    }
    return fd;
}

bool linkStaysInside(const std::string& root, const std::string& relativeLink, const std::string& target) {
    if (target.empty() || target.front() == '/')
        return false;
    // Resolve component by component from the link's folder, as the kernel would, but with
    // root as the top: climbing above it or jumping to an absolute path means leaving.
    std::deque<std::string> resolved = components(relativeLink);
    if (resolved.empty())
        return false;
    resolved.pop_back();
    std::deque<std::string> pending = components(target);
    int hops = 0;
    while (!pending.empty()) {
        std::string part = std::move(pending.front());
        pending.pop_front();
        if (part == ".")
            continue;
        if (part == "..") {
            if (resolved.empty())
                return false;
            resolved.pop_back();
            continue;
        }
        resolved.push_back(part);
        std::string path = root;
        for (const auto& component : resolved)
            path = Path::join(path, component);
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            continue;
        if (++hops > 40)
            return false;
        auto next = Fs::linkTarget(path);
        if (!next || next->empty() || next->front() == '/')
            return false;
        resolved.pop_back();
        auto expansion = components(*next);
        pending.insert(pending.begin(), expansion.begin(), expansion.end());
    }
    return true;
}

bool isEmptyFolder(const std::string& path) {
    auto children = names(path);
    return children && children->empty();
}

bool removeContents(const std::string& folder) {
    auto children = names(folder);
    if (!children)
        return false;
    bool ok = true;
    for (const auto& name : *children)
        ok = Fs::removeAll(Path::join(folder, name)) && ok;
    return ok;
}

} // namespace dovrane::filetree
