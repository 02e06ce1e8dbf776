// The yardstick of the scan benchmark: the least a parallel walk of a tree can do. Each folder
// is opened relative to its parent, listed with getdents64 and its entries examined with statx
// relative to it, on 8 threads that take folders from one another when they run dry. Prints the
// allocated bytes and the number of files, hard links counted every time.
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

std::mutex mutex;
std::condition_variable wake;
std::vector<int> shared; // open folders waiting for a thread
int busy = 0;
std::atomic<int> idle{0};
std::atomic<std::int64_t> bytes{0}, files{0};

void walk(int threads) {
    alignas(8) static thread_local char buffer[32 * 1024];
    std::vector<int> local;
    std::int64_t ownBytes = 0, ownFiles = 0;
    for (;;) {
        int fd;
        if (!local.empty()) {
            fd = local.back();
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
            fd = shared.back();
            shared.pop_back();
        }
        for (;;) {
            long got = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            for (long at = 0; at < got;) {
                auto* entry = reinterpret_cast<Dirent64*>(buffer + at);
                at += entry->reclen;
                const char* name = entry->name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                struct statx status;
                if (statx(fd, name, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_BLOCKS | STATX_MTIME | STATX_ATIME,
                          &status) != 0)
                    continue;
                if (S_ISREG(status.stx_mode)) {
                    ownBytes += std::int64_t(status.stx_blocks) * 512;
                    ++ownFiles;
                } else if (S_ISDIR(status.stx_mode)) {
                    int below = openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                    if (below >= 0)
                        local.push_back(below);
                }
            }
        }
        close(fd);
        if (local.size() > 1 && idle.load(std::memory_order_relaxed) > 0) {
            std::lock_guard lock(mutex);
            shared.insert(shared.end(), local.begin(), local.end() - 1);
            local.erase(local.begin(), local.end() - 1);
            wake.notify_all();
        }
    }
    bytes += ownBytes;
    files += ownFiles;
    (void)threads;
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
    int root = open(args[0].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) {
        std::perror(args[0].c_str());
        return 1;
    }
    shared.push_back(root);
    busy = threads;
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i)
        pool.emplace_back(walk, threads);
    for (std::thread& thread : pool)
        thread.join();
    std::printf("%lld bytes in %lld files\n", static_cast<long long>(bytes.load()),
                static_cast<long long>(files.load()));
}
