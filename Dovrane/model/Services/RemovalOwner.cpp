#include "Services/RemovalOwner.h"

#include <DovraneKit/system/FileSystem.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <sstream>

namespace dovrane::RemovalOwner {

namespace {

constexpr std::string_view lockWord = "lock ";

struct flock byteAt(short type, off_t at) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = at;
    range.l_len = 1;
    return range;
}

// Far past anything written, and drawn at random: two processes almost never draw the same one,
// and one that does finds it taken and draws again.
off_t anyByte() {
    static std::mt19937_64 draw{std::random_device{}()};
    return off_t(std::uniform_int_distribution<std::int64_t>(std::int64_t(1) << 20, (std::int64_t(1) << 62) - 1)(draw));
}

// A process as an older Dovrane marked it: its id and its start time since boot, read in the
// reader's own PID namespace. Empty when /proc cannot tell.
std::string processMark(long pid) {
    const std::optional<std::string> stat = Fs::readFile("/proc/" + std::to_string(pid) + "/stat", 4096);
    if (!stat)
        return {};
    // The name in parentheses may hold spaces; the fields after it are plain. The start time is
    // the 22nd field, the 20th after the name.
    const std::size_t end = stat->rfind(')');
    if (end == std::string::npos)
        return {};
    std::istringstream fields(stat->substr(end + 1));
    std::string field;
    for (int index = 0; index < 20 && fields >> field; ++index) {
    }
    return fields ? std::to_string(pid) + " " + field : std::string();
}

// The locks this process holds, by lock file: the open file that holds each, and its mark.
struct Held {
    int fd;
    std::string mark;
};

} // namespace

std::string lockPath(const std::string& storePath) { return storePath + "-lock"; }

std::string mark(const std::string& storePath) {
    static std::mutex mutex;
    static std::map<std::string, Held> held;
    const std::lock_guard guard(mutex);
    const std::string path = lockPath(storePath);
    struct stat there {
    }, mine{};
    if (auto found = held.find(path); found != held.end()) {
        if (stat(path.c_str(), &there) == 0 && fstat(found->second.fd, &mine) == 0 && there.st_dev == mine.st_dev &&
            there.st_ino == mine.st_ino)
            return found->second.mark;
        // The file was replaced: a lock on the old one tells nobody anything.
        close(found->second.fd);
        held.erase(found);
    }
    // Open until the process ends, and closed for every program it runs: the lock is this
    // process's alone, and goes with it.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return {};
    if (fstat(fd, &mine) != 0 || !S_ISREG(mine.st_mode) || mine.st_uid != geteuid()) {
        close(fd);
        return {};
    }
    for (int attempt = 0; attempt < 8; ++attempt) {
        const off_t at = anyByte();
        struct flock lock = byteAt(F_WRLCK, at);
        if (fcntl(fd, F_OFD_SETLK, &lock) == 0) {
            std::string text = std::string(lockWord) + std::to_string(at) + " pid " + std::to_string(getpid());
            held.emplace(path, Held{fd, text});
            return text;
        }
        if (errno != EAGAIN && errno != EACCES)
            break;
    }
    const int refused = errno;
    close(fd);
    // A file system that keeps no locks: this process as /proc tells it, as an older Dovrane did.
    if (refused == ENOLCK || refused == EINVAL || refused == EOPNOTSUPP)
        return processMark(long(getpid()));
    return {};
}

bool mayRun(const std::string& storePath, const std::string& mark) {
    if (!mark.starts_with(lockWord)) {
        const long pid = std::strtol(mark.c_str(), nullptr, 10);
        return pid > 0 && processMark(pid) == mark;
    }
    char* end = nullptr;
    const long long at = std::strtoll(mark.c_str() + lockWord.size(), &end, 10);
    if (at <= 0 || end == mark.c_str() + lockWord.size())
        return false; // no byte anybody could hold
    const int fd = open(lockPath(storePath).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno != ENOENT;
    // Another open file's lock answers, this process's own included.
    struct flock probe = byteAt(F_WRLCK, off_t(at));
    const bool held = fcntl(fd, F_OFD_GETLK, &probe) != 0 || probe.l_type != F_UNLCK;
    close(fd);
    return held;
}

} // namespace dovrane::RemovalOwner
