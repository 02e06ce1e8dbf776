#include "DovraneKit/system/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace dovrane {

namespace Fs {

namespace {

// The entries of an open folder, "." and ".." left out; closes the folder.
std::vector<std::string> namesOf(DIR* opened) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opened, closedir);
    if (!dir)
        return names;
    while (dirent* entry = readdir(dir.get())) {
        std::string_view name(entry->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    return names;
}

} // namespace

int openToLook(int at, const char* path, int flags, bool tryKeepingAccessTime) {
    if (tryKeepingAccessTime) {
        const int fd = openat(at, path, flags | O_NOATIME);
        if (fd >= 0 || errno != EPERM)
            return fd;
    }
    return openat(at, path, flags);
}

std::vector<std::string> list(const std::string& folder) {
    const int fd = openToLook(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    DIR* dir = fdopendir(fd);
    if (!dir)
        close(fd);
    return namesOf(dir);
}

bool exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

bool isDirectory(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isSymlink(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

std::optional<std::string> linkTarget(const std::string& path) {
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return std::nullopt;
        if (std::size_t(length) < buffer.size()) {
            buffer.resize(std::size_t(length));
            return buffer;
        }
        if (buffer.size() > (1u << 20))
            return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
}

bool isRegularFile(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isExecutableFile(const std::string& path) { return isRegularFile(path) && access(path.c_str(), X_OK) == 0; }

std::optional<std::string> realPath(const std::string& path) {
    std::unique_ptr<char, void (*)(void*)> resolved(::realpath(path.c_str(), nullptr), std::free);
    if (!resolved)
        return std::nullopt;
    return std::string(resolved.get());
}

std::optional<Date> modificationDate(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return Date::fromUnix(double(info.st_mtim.tv_sec) + double(info.st_mtim.tv_nsec) / 1e9);
}

int openForReading(const std::string& path) {
    // Non-blocking open and regular files only: a named pipe put where a file is expected
    // would otherwise block the open (or the read) forever, and a device never ends.
    int fd = openToLook(AT_FDCWD, path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

std::optional<std::string> readFile(const std::string& path, std::uint64_t maxBytes) {
    int fd = openForReading(path);
    if (fd < 0)
        return std::nullopt;
    struct stat info;
    if (fstat(fd, &info) != 0 || std::uint64_t(info.st_size) > maxBytes) {
        close(fd);
        return std::nullopt;
    }
    std::string data;
    // Room for the whole file at once: growing by doubling would hold up to three times its size.
    data.reserve(std::size_t(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || data.size() + std::uint64_t(n) > maxBytes) {
            close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        data.append(buffer, std::size_t(n));
    }
    close(fd);
    return data;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(std::size_t(n));
    }
    return true;
}

bool writeFile(const std::string& path, std::string_view data) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, data);
    return close(fd) == 0 && ok;
}

namespace {

constexpr std::string_view temporaryInfix = ".tmp-";
constexpr std::size_t temporaryLetters = 6; // mkstemp's XXXXXX

} // namespace

bool writeFileAtomically(const std::string& path, std::string_view data, unsigned mode) {
    std::string temporary = path + std::string(temporaryInfix) + std::string(temporaryLetters, 'X');
    int fd = mkstemp(temporary.data());
    if (fd < 0)
        return false;
    // Held until the file has its name or is gone, so that a start cleaning up after a killed
    // write leaves this one alone.
    flock(fd, LOCK_EX | LOCK_NB);
    fchmod(fd, mode);
    const bool ok = writeAll(fd, data) && fsync(fd) == 0;
    if (!ok || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        close(fd);
        return false;
    }
    close(fd); // the bytes are on disk already
    return true;
}

std::size_t removeStaleTemporaries(const std::string& path, double minAgeSeconds) {
    const std::string prefix = Path::lastComponent(path) + std::string(temporaryInfix);
    const int folder = open(Path::parent(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return 0;
    std::size_t removed = 0;
    const Date now = Date::now();
    for (const std::string& name : list(Path::parent(path))) {
        if (name.size() != prefix.size() + temporaryLetters || !name.starts_with(prefix) ||
            !std::all_of(name.begin() + std::ptrdiff_t(prefix.size()), name.end(), [](char c) {
                return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
            }))
            continue;
        const int fd = openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {
        }, named{};
        const bool stale =
            fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == geteuid() &&
            now.secondsSince(Date::fromUnix(double(opened.st_mtim.tv_sec) + double(opened.st_mtim.tv_nsec) / 1e9)) >
                minAgeSeconds;
        // A writer holds its lock from just after making the file until it has its name; the
        // name must still be the file that was checked.
        if (stale && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino && unlinkat(folder, name.c_str(), 0) == 0)
            ++removed;
        close(fd);
    }
    close(folder);
    return removed;
}

bool makeDirectories(const std::string& path, unsigned mode) {
    if (path.empty())
        return false;
    if (isDirectory(path))
        return true;
    std::string parentPath = Path::parent(path);
    if (!parentPath.empty() && parentPath != path && !isDirectory(parentPath))
        makeDirectories(parentPath, mode);
    if (mkdir(path.c_str(), mode) == 0)
        return true;
    return errno == EEXIST && isDirectory(path);
}

namespace {

constexpr int lookOnly = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool statusOf(int at, const char* name, struct statx& status, unsigned more = 0) {
    return statx(at, name, lookOnly, STATX_TYPE | STATX_MODE | STATX_INO | more, &status) == 0;
}

// The space an entry gives back when this link of it goes: its blocks when it is the last one.
std::int64_t freedBy(const struct statx& status) {
    const bool last = S_ISDIR(status.stx_mode) || !(status.stx_mask & STATX_NLINK) || status.stx_nlink <= 1;
    return last && (status.stx_mask & STATX_BLOCKS) ? std::int64_t(status.stx_blocks) * 512 : 0;
}

dev_t deviceOf(const struct statx& status) { return makedev(status.stx_dev_major, status.stx_dev_minor); }

// What statx says, or (before Linux 5.8) whether a folder's device differs from the folder
// above; a file's is not compared, as overlayfs reports that of the layer it lies in.
bool isMountRoot(const struct statx& status, int parent, const char* parentPath) {
    if (status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return (status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    if (!S_ISDIR(status.stx_mode))
        return false;
    struct statx above;
    if (!statusOf(parent, parentPath, above))
        return false;
    return deviceOf(above) != deviceOf(status);
}

std::vector<std::string> namesIn(int folder) {
    int copy = dup(folder);
    if (copy < 0)
        return {};
    DIR* dir = fdopendir(copy);
    if (!dir) {
        close(copy);
        return {};
    }
    return namesOf(dir);
}

// A folder without write permission (a read-only copy of a disk image) is opened up once
// when that is what keeps its entries; a folder the user does not own stays as it is.
bool unlinkOpeningUp(int folder, const char* name, int flags) {
    if (unlinkat(folder, name, flags) == 0 || errno == ENOENT)
        return true;
    struct stat info;
    if ((errno != EACCES && errno != EPERM) || fstat(folder, &info) != 0 || (info.st_mode & 0700) == 0700 ||
        fchmod(folder, (info.st_mode & 07777) | 0700) != 0)
        return false;
    return unlinkat(folder, name, flags) == 0 || errno == ENOENT;
}

// Opens the subfolder `status` describes, opening up one without read or search permission.
int openFolder(int parent, const char* name, const struct statx& status) {
    int fd = openat(parent, name, folderFlags);
    if (fd < 0 && errno == EACCES) {
        // Through a descriptor that cannot follow a link, so only this very folder changes.
        int handle = openat(parent, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (handle >= 0) {
            std::string viaProc = "/proc/self/fd/" + std::to_string(handle);
            if (chmod(viaProc.c_str(), (status.stx_mode & 07777) | 0700) == 0)
                fd = openat(parent, name, folderFlags);
            close(handle);
        }
    }
    if (fd < 0)
        return -1;
    struct statx opened;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_INO, &opened) != 0 || opened.stx_ino != status.stx_ino ||
        deviceOf(opened) != deviceOf(status)) {
        close(fd); // replaced since it was looked at
        return -1;
    }
    return fd;
}

// The fifth field of a line of /proc/self/mountinfo, its "\\ooo" escapes decoded.
std::string mountPointOf(std::string_view line) {
    for (int field = 0; field < 4; ++field) {
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos)
            return {};
        line.remove_prefix(space + 1);
    }
    line = line.substr(0, line.find(' '));
    std::string decoded;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool escaped = line[i] == '\\' && line.size() - i > 3;
        if (escaped && std::all_of(line.begin() + long(i) + 1, line.begin() + long(i) + 4,
                                   [](char c) { return c >= '0' && c <= '7'; })) {
            decoded.push_back(char(((line[i + 1] - '0') << 6) | ((line[i + 2] - '0') << 3) | (line[i + 3] - '0')));
            i += 3;
        } else {
            decoded.push_back(line[i]);
        }
    }
    return decoded;
}

} // namespace

bool isMountPoint(const std::string& path) {
    struct statx status;
    if (path.empty() || !statusOf(AT_FDCWD, path.c_str(), status))
        return false;
    if (path == "/")
        return true;
    return isMountRoot(status, AT_FDCWD, Path::parent(path).c_str());
}

bool isOwnFolder(const std::string& path) {
    struct statx status;
    if (path.empty() || !statusOf(AT_FDCWD, path.c_str(), status) || !S_ISDIR(status.stx_mode))
        return false;
    return !isMountRoot(status, AT_FDCWD, Path::parent(path).c_str());
}

bool holdsMountPoint(const std::string& path) { return holdsMountPoint(path, mountPoints()); }

bool holdsMountPoint(const std::string& path, const std::vector<std::string>& mountPoints) {
    if (isMountPoint(path))
        return true;
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false; // a link or a file holds nothing
    // Mounts lie where the kernel resolved them: compare with the folder's real path.
    std::optional<std::string> real = realPath(path);
    if (!real)
        return false;
    const std::string prefix = *real == "/" ? "/" : *real + "/";
    // Sorted: the points below the folder follow the prefix itself.
    auto next = std::upper_bound(mountPoints.begin(), mountPoints.end(), prefix);
    return next != mountPoints.end() && next->starts_with(prefix);
}

std::vector<std::string> mountPoints() {
    std::vector<std::string> points;
    std::unique_ptr<FILE, int (*)(FILE*)> table(std::fopen("/proc/self/mountinfo", "re"), std::fclose);
    if (!table)
        return points;
    char* line = nullptr;
    std::size_t capacity = 0;
    while (getline(&line, &capacity, table.get()) > 0)
        if (std::string point = mountPointOf(line); !point.empty())
            points.push_back(std::move(point));
    std::free(line);
    std::sort(points.begin(), points.end());
    return points;
}

bool removeAll(const std::string& path) {
    std::int64_t freed = 0;
    return removeAll(path, freed);
}

bool removeAll(const std::string& path, std::int64_t& freed) {
    constexpr unsigned counted = STATX_BLOCKS | STATX_NLINK;
    struct statx root;
    if (path.empty() || !statusOf(AT_FDCWD, path.c_str(), root, counted))
        return !path.empty() && !exists(path);
    // Never through a mount: what is mounted there belongs to another disk or share.
    if (isMountPoint(path))
        return false;
    if (!S_ISDIR(root.stx_mode)) {
        if (unlink(path.c_str()) == 0)
            freed += freedBy(root);
        return !exists(path);
    }
    // Depth first, one open folder per level, each entry looked at relative to its folder so
    // that no link is followed and nothing on another file system or mount is entered.
    struct Level {
        int fd;
        std::vector<std::string> names;
        std::int64_t blocks; // what the folder itself gives back once it is gone
        std::size_t next = 0;
    };
    const dev_t device = deviceOf(root);
    std::vector<Level> levels;
    int top = openFolder(AT_FDCWD, path.c_str(), root);
    if (top < 0)
        return false;
    levels.push_back({top, namesIn(top), freedBy(root)});
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.names.size()) {
            close(level.fd);
            const std::int64_t folder = level.blocks;
            levels.pop_back();
            if (levels.empty() ? rmdir(path.c_str()) == 0
                               : unlinkOpeningUp(levels.back().fd, levels.back().names[levels.back().next - 1].c_str(),
                                                 AT_REMOVEDIR))
                freed += folder;
            continue;
        }
        const char* name = level.names[level.next++].c_str();
        struct statx status;
        // A file's device is not compared: overlayfs reports that of the layer it lies in.
        if (!statusOf(level.fd, name, status, counted) || isMountRoot(status, level.fd, ".") ||
            (S_ISDIR(status.stx_mode) && deviceOf(status) != device))
            continue; // left where it is, and so are the folders above it
        if (!S_ISDIR(status.stx_mode)) {
            if (unlinkOpeningUp(level.fd, name, 0))
                freed += freedBy(status);
            continue;
        }
        int below = openFolder(level.fd, name, status);
        if (below >= 0)
            levels.push_back({below, namesIn(below), freedBy(status)}); // `level` may move
    }
    return !exists(path);
}

std::optional<std::string> moveAside(const std::string& path, std::string_view suffix,
                                     const std::vector<std::string>& companions) {
    const auto move = [](const std::string& from, const std::string& to) {
        return renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
    };
    for (int number = 1; number <= 1000; ++number) {
        std::string aside = path;
        aside += suffix;
        if (number > 1) {
            aside += '-';
            aside += std::to_string(number);
        }
        if (std::any_of(companions.begin(), companions.end(),
                        [&aside](const std::string& ending) { return exists(aside + ending); }))
            continue;
        if (!move(path, aside)) {
            if (errno != EEXIST)
                return std::nullopt;
            continue;
        }
        std::vector<std::string> moved;
        for (const std::string& ending : companions) {
            if (!exists(path + ending))
                continue;
            if (!move(path + ending, aside + ending)) {
                for (const std::string& back : moved)
                    move(aside + back, path + back);
                move(aside, path);
                return std::nullopt;
            }
            moved.push_back(ending);
        }
        return aside;
    }
    return std::nullopt;
}

std::optional<std::string> makeUniqueDirectory(const std::string& parent, std::string_view prefix) {
    std::string pattern = Path::join(parent, std::string(prefix) + "XXXXXX");
    if (!mkdtemp(pattern.data()))
        return std::nullopt;
    return pattern;
}

std::string makeUuid() {
    unsigned char bytes[16];
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        ssize_t n = getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (n > 0)
            filled += std::size_t(n);
    }
    bytes[6] = (bytes[6] & 0x0F) | 0x40;
    bytes[8] = (bytes[8] & 0x3F) | 0x80;
    char text[37];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                  bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::string temporaryDirectory() {
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp == '/')
        return tmp;
    return "/tmp";
}

std::string dataHome() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        return data;
    return Path::join(homeDirectory(), ".local/share");
}

std::string executableDirectory() {
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : Path::parent(exe.string());
}

std::string moduleDirectory() { return Path::resolve(executableDirectory(), DOVRANE_MODULE_FOLDER); }

} // namespace Fs

} // namespace dovrane
