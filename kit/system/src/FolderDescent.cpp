#include "DovraneKit/system/FolderDescent.h"

#include "DovraneKit/core/Path.h"
#include "DovraneKit/core/TextPieces.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
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

std::error_code errorOf(int code) { return {code, std::generic_category()}; }

// "DEVICE:INODE:BORN": two unsigned decimal numbers and a signed one, nothing else.
template <typename Number> bool readNumber(std::string_view text, Number& number) {
    const char* end = text.data() + text.size();
    const auto [stopped, error] = std::from_chars(text.data(), end, number);
    return !text.empty() && error == std::errc() && stopped == end;
}

// One file as statx sees it; inode 0 when it is not there (ENOENT, and ENOTDIR for a path).
Expected<Identity::File, std::error_code> look(int at, const char* name, int flags) {
    struct statx info;
    if (statx(at, name, flags | AT_STATX_SYNC_AS_STAT, STATX_INO | STATX_BTIME, &info) != 0) {
        if (errno == ENOENT || (errno == ENOTDIR && at == AT_FDCWD))
            return Identity::File{};
        return errorOf(errno);
    }
    return Identity::File::of(info);
}

// The errors with an exit status of their own, from 3 on, in this order. Only ever append:
// the statuses of a mover installed earlier must keep their meaning.
constexpr std::array statusErrors = {ELOOP, ESTALE, EEXIST, ENOTEMPTY, ENOENT,       ENOTDIR, EXDEV, EACCES,
                                     EPERM, EROFS,  EBUSY,  ENOSPC,    ENAMETOOLONG, EIO,     EDQUOT};
constexpr int firstErrorStatus = 3;

constexpr int folderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

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

Identity::File Identity::File::of(const struct statx& status) {
    File file{std::uint64_t(makedev(status.stx_dev_major, status.stx_dev_minor)), std::uint64_t(status.stx_ino), 0};
    if (status.stx_mask & STATX_BTIME)
        file.born = std::int64_t(status.stx_btime.tv_sec) * 1'000'000'000 + std::int64_t(status.stx_btime.tv_nsec);
    return file;
}

std::string Identity::File::text() const {
    return std::to_string(device) + ":" + std::to_string(inode) + ":" + std::to_string(born);
}

std::optional<Identity::File> Identity::File::fromText(const std::string& text) {
    const std::string_view whole = text;
    const std::size_t first = whole.find(':'), second = whole.find(':', first + 1);
    File file;
    if (first == std::string_view::npos || second == std::string_view::npos ||
        !readNumber(whole.substr(0, first), file.device) ||
        !readNumber(whole.substr(first + 1, second - first - 1), file.inode) ||
        !readNumber(whole.substr(second + 1), file.born))
        return std::nullopt;
    return file;
}

std::optional<Identity> Identity::fromText(const std::string& item, const std::string& folder) {
    auto itemFile = File::fromText(item), folderFile = File::fromText(folder);
    if (!itemFile || !folderFile)
        return std::nullopt;
    return Identity{*itemFile, *folderFile};
}

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

Expected<Identity, std::error_code> identify(const Place& place) {
    auto folder = look(place.folder.fd(), "", AT_EMPTY_PATH);
    if (!folder)
        return folder.error();
    auto item = look(place.folder.fd(), place.name.c_str(), AT_SYMLINK_NOFOLLOW);
    if (!item)
        return item.error();
    return Identity{*item, *folder};
}

std::optional<Identity::File> identifyOpen(int fd) {
    auto file = look(fd, "", AT_EMPTY_PATH);
    return file && file->inode != 0 ? std::optional(*file) : std::nullopt;
}

std::optional<Identity> identify(const std::string& path) {
    auto item = look(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW);
    auto folder = look(AT_FDCWD, Path::parent(path).c_str(), 0);
    if (!item || !folder || (item->inode != 0 && folder->inode == 0))
        return std::nullopt;
    return Identity{*item, *folder};
}

std::error_code verify(const Place& place, const Identity& expected) {
    auto found = identify(place);
    if (!found)
        return found.error();
    if (found->item.inode == 0)
        return errorOf(ENOENT);
    return *found == expected ? std::error_code() : errorOf(ESTALE);
}

std::error_code rename(const Place& from, const Place& to, const std::optional<Identity>& expected) {
    if (expected)
        if (const std::error_code changed = verify(from, *expected))
            return changed;
    if (renameat2(from.folder.fd(), from.name.c_str(), to.folder.fd(), to.name.c_str(), RENAME_NOREPLACE) != 0)
        return errorOf(errno);
    return {};
}

std::error_code swapOut(const Place& place, const std::string& staged, const Place& to,
                        const std::optional<Identity>& expected, const std::function<void()>& swapped) {
    if (expected)
        if (const std::error_code changed = verify(place, *expected))
            return changed;
    const int folder = place.folder.fd();
    if (renameat2(folder, staged.c_str(), folder, place.name.c_str(), RENAME_EXCHANGE) != 0)
        return errorOf(errno == ENOSYS || errno == EOPNOTSUPP ? EINVAL : errno);
    if (swapped)
        swapped();
    const std::error_code moved = rename(Place{OpenFolder(fcntl(folder, F_DUPFD_CLOEXEC, 0)), staged}, to, expected);
    if (moved)
        renameat2(folder, staged.c_str(), folder, place.name.c_str(), RENAME_EXCHANGE);
    return moved;
}

std::error_code move(const std::string& fromRoot, const std::string& from, const std::string& toRoot,
                     const std::string& to, const std::optional<Identity>& expected) {
    auto source = parentOf(fromRoot, from);
    if (!source)
        return source.error();
    auto target = parentOf(toRoot, to);
    if (!target)
        return target.error();
    return rename(*source, *target, expected);
}

int exitStatusFor(std::error_code error) {
    if (!error)
        return 0;
    if (error.category() != std::generic_category() && error.category() != std::system_category())
        return 1;
    if (error.value() == EINVAL)
        return 2;
    for (std::size_t index = 0; index < statusErrors.size(); ++index)
        if (error.value() == statusErrors[index])
            return firstErrorStatus + int(index);
    return 1;
}

std::optional<std::error_code> errorForExitStatus(int status) {
    if (status == 2)
        return errorOf(EINVAL);
    if (status >= firstErrorStatus && status < firstErrorStatus + int(statusErrors.size()))
        return errorOf(statusErrors[std::size_t(status - firstErrorStatus)]);
    return std::nullopt;
}

} // namespace FolderDescent

} // namespace dovrane
