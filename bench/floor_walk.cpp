// The yardstick of the scan benchmark: the least a parallel walk of a tree can do. Each folder
// is opened relative to its parent, listed with getdents64 and its entries examined with statx
// relative to it, on 8 threads that take folders from one another when they run dry. A folder
// is opened when a thread takes it and stays open only while folders below it wait, so a tree
// of any width holds few descriptors. Prints the allocated bytes and the number of files, hard
// links counted every time; every file is counted, or the walk ends with status 1 and says
// which folder or entry it could not read and why ("Too many open files" among them). An entry
// gone while the walk ran is passed over.
//
//   floor_walk ROOT [THREADS]

#include "ToolSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Dirent64 {
    std::uint64_t ino;
    std::int64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[1];
};

// An open folder, closed when the last folder waiting below it has been opened.
struct Folder {
    explicit Folder(int fd_) : fd(fd_) {}
    ~Folder() { close(fd); }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    const int fd;
};

// A folder to walk: its name in its parent, or the root's path.
struct Pending {
    std::shared_ptr<const Folder> parent;
    std::string name;
};

std::mutex mutex;
std::condition_variable wake;
std::vector<Pending> shared; // folders waiting for a thread
int busy = 0;
std::atomic<int> idle{0};
std::atomic<std::int64_t> bytes{0}, files{0};

[[noreturn]] void fail(const std::string& name, int error) {
    std::fprintf(stderr, "floor_walk: %s: %s\n", name.c_str(), std::strerror(error));
    _exit(1);
}

void walk() {
    alignas(8) static thread_local char buffer[32 * 1024];
    std::vector<Pending> local;
    std::int64_t ownBytes = 0, ownFiles = 0;
    for (;;) {
        Pending next;
        if (!local.empty()) {
            next = std::move(local.back());
            local.pop_back();
        } else {
            std::unique_lock lock(mutex);
            --busy;
            idle.fetch_add(1);
            wake.wait(lock, [] { return !shared.empty() || busy == 0; });
            idle.fetch_sub(1);
            if (shared.empty()) {
                wake.notify_all();
                break;
            }
            ++busy;
            next = std::move(shared.back());
            shared.pop_back();
        }
        // The root may be a link to the folder to walk; nothing below it is followed.
        const int fd = openat(next.parent ? next.parent->fd : AT_FDCWD, next.name.c_str(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC | (next.parent ? O_NOFOLLOW : 0));
        if (fd < 0 && errno != ENOENT)
            fail(next.name, errno);
        next.parent.reset();
        if (fd < 0)
            continue;
        const auto folder = std::make_shared<const Folder>(fd);
        for (;;) {
            const long got = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (got < 0)
                fail(next.name, errno);
            if (got == 0)
                break;
            for (long at = 0; at < got;) {
                auto* entry = reinterpret_cast<Dirent64*>(buffer + at);
                at += entry->reclen;
                const char* name = entry->name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                struct statx status;
                if (statx(fd, name, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_BLOCKS | STATX_MTIME | STATX_ATIME,
                          &status) != 0) {
                    if (errno == ENOENT)
                        continue;
                    fail(name, errno);
                }
                if (S_ISREG(status.stx_mode)) {
                    ownBytes += std::int64_t(status.stx_blocks) * 512;
                    ++ownFiles;
                } else if (S_ISDIR(status.stx_mode)) {
                    local.push_back({folder, name});
                }
            }
        }
        if (local.size() > 1 && idle.load(std::memory_order_relaxed) > 0) {
            std::lock_guard lock(mutex);
            std::move(local.begin(), local.end() - 1, std::back_inserter(shared));
            local.erase(local.begin(), local.end() - 1);
            wake.notify_all();
        }
    }
    bytes += ownBytes;
    files += ownFiles;
}

} // namespace

int main(int argc, char** argv) {
    const dovrane::tool::Forms forms("floor_walk", {{"ROOT", "[THREADS]"}}, "THREADS: 1 to 256, 8 unless given");
    const auto args = dovrane::tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    const auto threadCount = forms.number(args, 1, "THREADS", 8, 1, 256);
    if (!threadCount)
        return dovrane::tool::usageError;
    const int threads = int(*threadCount);
    struct stat root {};
    const bool found = stat(args[0].c_str(), &root) == 0;
    if (!found || !S_ISDIR(root.st_mode)) {
        if (found)
            errno = ENOTDIR;
        std::perror(args[0].c_str());
        return 1;
    }
    shared.push_back({nullptr, args[0]});
    busy = threads;
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i)
        pool.emplace_back(walk);
    for (std::thread& thread : pool)
        thread.join();
    std::printf("%lld bytes in %lld files\n", static_cast<long long>(bytes.load()),
                static_cast<long long>(files.load()));
}
