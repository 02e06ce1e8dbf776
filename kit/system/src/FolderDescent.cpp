#include "DovraneKit/system/FolderDescent.h"

#include "DovraneKit/core/Path.h"
#include "DovraneKit/core/TextPieces.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>

namespace dovrane {

OpenFolder::~OpenFolder() {
    if (fd_ >= 0)
        close(fd_);
}

OpenFolder::OpenFolder(OpenFolder&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

OpenFolder& OpenFolder::operator=(OpenFolder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

std::string OpenFolder::path() const {
    if (fd_ < 0)
        return {};
    char target[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd_);
    const ssize_t length = readlink(link.c_str(), target, sizeof target);
    if (length <= 0 || std::size_t(length) == sizeof target || target[0] != '/')
        return {};
    std::string path(target, std::size_t(length));
    struct stat there, held;
    // A removed folder is named "… (deleted)": only a path that still leads to it counts.
    if (stat(path.c_str(), &there) != 0 || fstat(fd_, &held) != 0 || there.st_dev != held.st_dev ||
        there.st_ino != held.st_ino)
        return {};
    return path;
}

namespace FolderDescent {

namespace {

constexpr int folderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::error_code errorOf(int code) { return {code, std::generic_category()}; }

// The part of `path` below `root`, or nothing when the path does not lie at or below it.
std::optional<std::string_view> below(std::string_view root, std::string_view path) {
    while (root.size() > 1 && root.back() == '/')
        root.remove_suffix(1);
    if (root.empty() || root.front() != '/' || path.empty() || path.front() != '/')
        return std::nullopt;
    if (root == "/")
        return path;
    if (!path.starts_with(root) || (path.size() > root.size() && path[root.size()] != '/'))
        return std::nullopt;
    return path.substr(root.size());
}

// The next folder below `folder`, made first when asked and missing. A link in its place is
// ELOOP, whatever the open itself said (O_DIRECTORY makes it ENOTDIR).
Expected<OpenFolder, std::error_code> step(const OpenFolder& folder, const std::string& name, bool create) {
    int fd = openat(folder.fd(), name.c_str(), folderFlags);
    if (fd < 0 && errno == ENOENT && create) {
        if (mkdirat(folder.fd(), name.c_str(), 0755) != 0 && errno != EEXIST)
            return errorOf(errno);
        fd = openat(folder.fd(), name.c_str(), folderFlags);
    }
    if (fd >= 0)
        return OpenFolder(fd);
    int failure = errno;
    struct stat info;
    if (fstatat(folder.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
        failure = ELOOP;
    return errorOf(failure);
}

} // namespace

std::string rootFor(const std::string& path, const std::string& home) {
    auto inside = below(home, path);
    return inside && !inside->empty() && home != "/" ? home : std::string("/");
}

Expected<OpenFolder, std::error_code> open(const std::string& root, const std::string& path, bool create) {
    const auto relative = below(root, path);
    if (!relative)
        return errorOf(EINVAL);
    const std::vector<std::string_view> names = splitDroppingEmpty(*relative, '/');
    for (std::string_view name : names)
        if (name == "..")
            return errorOf(EINVAL);
    OpenFolder current(::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (current.fd() < 0)
        return errorOf(errno);
    for (std::string_view name : names) {
        if (name == ".")
            continue;
        auto next = step(current, std::string(name), create);
        if (!next)
            return next.error();
        current = std::move(next).value();
    }
    return current;
}

Expected<Place, std::error_code> parentOf(const std::string& root, const std::string& path, bool create) {
    const auto relative = below(root, path);
    const std::string name = Path::lastComponent(path);
    if (!relative || relative->find_first_not_of('/') == std::string_view::npos || name.empty() || name == "." ||
        name == "..")
        return errorOf(EINVAL);
    auto folder = open(root, Path::parent(path), create);
    if (!folder)
        return folder.error();
    return Place{std::move(folder).value(), name};
}

std::error_code rename(const Place& from, const Place& to) {
    if (renameat2(from.folder.fd(), from.name.c_str(), to.folder.fd(), to.name.c_str(), RENAME_NOREPLACE) != 0)
        return errorOf(errno);
    return {};
}

std::error_code move(const std::string& fromRoot, const std::string& from, const std::string& toRoot,
                     const std::string& to) {
    auto source = parentOf(fromRoot, from);
    if (!source)
        return source.error();
    auto target = parentOf(toRoot, to);
    if (!target)
        return target.error();
    return rename(*source, *target);
}

} // namespace FolderDescent

} // namespace dovrane
