#include "ParallelWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <vector>

namespace dovrane::parallelwalk {

namespace {

// One getdents64 call fills this much; cancellation is looked at once per batch, but not before
// the call has seen this many entries, so even a stop requested at once leaves partial sums.
constexpr std::size_t listingBatchBytes = 32 * 1024;
constexpr std::int64_t entriesBeforeStopping = 4096;
// A queued folder is opened by its path from the nearest open ancestor while that path stays
// this short, well inside PATH_MAX even with a full-length last name.
constexpr std::size_t longestRelativePath = 2048;
constexpr unsigned statusFields = STATX_TYPE | STATX_NLINK | STATX_INO | STATX_BLOCKS | STATX_ATIME | STATX_MTIME;
constexpr int examineFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::atomic<EntryHook> entryHook{nullptr};
std::atomic<int> openFolders{0};
std::atomic<int> chosenBudget{-1};

// --- what one walk adds up ----------------------------------------------------------------------

struct Instant {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    auto operator<=>(const Instant&) const = default;
};

// A file with more than one hard link, so that it is counted once per call.
struct FileID {
    std::uint64_t device;
    std::uint64_t inode;
    bool operator==(const FileID&) const = default;
};

struct FileIDHash {
    std::size_t operator()(const FileID& id) const noexcept {
        return std::hash<std::uint64_t>{}(id.inode) * 31 + std::hash<std::uint64_t>{}(id.device);
    }
};

struct Sums {
    std::int64_t size = 0;
    std::int64_t files = 0;
    std::optional<Instant> newest;

    void see(const struct statx& status) {
        Instant access{status.stx_atime.tv_sec, status.stx_atime.tv_nsec};
        Instant modification{status.stx_mtime.tv_sec, status.stx_mtime.tv_nsec};
        Instant later = std::max(access, modification);
        if (!newest || later > *newest)
            newest = later;
    }
    void add(const Sums& other) {
        size += other.size;
        files += other.files;
        if (other.newest && (!newest || *other.newest > *newest))
            newest = other.newest;
    }
    Measurement measurement() const {
        Measurement result{size, files, std::nullopt};
        // The same arithmetic as a stat's seconds and nanoseconds always had, so dates compare equal.
        if (newest)
            result.lastUsed = Date::fromUnix(double(newest->seconds) + double(newest->nanoseconds) / 1e9);
        return result;
    }
};

std::uint64_t deviceOf(const struct statx& status) { return makedev(status.stx_dev_major, status.stx_dev_minor); }

// A folder on the way down from the root, to notice a folder that contains itself (a bind mount
// of an ancestor): such a folder is neither entered nor dated.
struct Folder {
    std::uint64_t device;
    std::uint64_t inode;
    std::shared_ptr<Folder> parent;

    Folder(std::uint64_t onDevice, std::uint64_t number, std::shared_ptr<Folder> above)
        : device(onDevice), inode(number), parent(std::move(above)) {}
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    // Unlinks a long chain one by one, not by recursion as deep as the tree.
    ~Folder() {
        std::shared_ptr<Folder> next = std::move(parent);
        while (next && next.use_count() == 1)
            next = std::move(next->parent);
    }

    bool isWithin(std::uint64_t otherDevice, std::uint64_t otherInode) const {
        for (const Folder* f = this; f; f = f->parent.get())
            if (f->inode == otherInode && f->device == otherDevice)
                return true;
        return false;
    }
};

struct Subfolder {
    std::string name;
    std::shared_ptr<Folder> folder;
};

// --- descriptors ------------------------------------------------------------------------------

int openCounted(int at, const char* path, int flags) {
    int fd = openat(at, path, flags);
    if (fd >= 0)
        openFolders.fetch_add(1, std::memory_order_relaxed);
    return fd;
}

void closeCounted(int fd) {
    close(fd);
    openFolders.fetch_sub(1, std::memory_order_relaxed);
}

// An open folder whose queued subfolders are opened relative to it; closed when the last is.
struct OpenFolder {
    int fd;
    explicit OpenFolder(int open) : fd(open) {}
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    ~OpenFolder() {
        if (fd >= 0)
            closeCounted(fd);
    }
};

struct Task {
    std::shared_ptr<OpenFolder> base; // AT_FDCWD for the root
    std::string relative;             // from base to the folder, one or more names
    std::shared_ptr<Folder> folder;
};

// --- one measure call ---------------------------------------------------------------------------

struct Walk {
    explicit Walk(std::stop_token token) : stop(std::move(token)) {}

    const std::stop_token stop;
    std::atomic<std::int64_t> entries{1}; // the root is the first
    // Guarded by the pool's mutex.
    std::vector<Task> pending; // taken from the back: deep first, so few folders wait open
    int running = 0;
    bool stopped = false;
    std::condition_variable changed;

    std::mutex sumsMutex;
    Sums sums;
    std::mutex linkedMutex;
    std::unordered_set<FileID, FileIDHash> linked;

    bool countsOnce(const struct statx& status) {
        if (status.stx_nlink < 2)
            return true;
        std::lock_guard lock(linkedMutex);
        return linked.insert(FileID{deviceOf(status), status.stx_ino}).second;
    }
    void add(const Sums& more) {
        std::lock_guard lock(sumsMutex);
        sums.add(more);
    }
};

struct Scratch {
    std::unique_ptr<std::uint64_t[]> buffer; // 8-byte aligned for the kernel's records
    char* bytes() {
        if (!buffer)
            buffer.reset(new std::uint64_t[listingBatchBytes / sizeof(std::uint64_t)]);
        return reinterpret_cast<char*>(buffer.get());
    }
};

struct LinuxDirent64 {
    std::uint64_t d_ino;
    std::int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

// Lists one open folder to its end: counts its files into `sums`, dates them and its
// subfolders, and returns the subfolders to walk. False when the call was asked to stop.
bool readFolder(int fd, const std::shared_ptr<Folder>& folder, Walk& walk, Scratch& scratch, Sums& sums,
                std::vector<Subfolder>& subfolders) {
    char* buffer = scratch.bytes();
    for (;;) {
        long got = syscall(SYS_getdents64, fd, buffer, listingBatchBytes);
        if (got <= 0)
            return true; // the end, or an error that ends the listing as readdir's would
        EntryHook hook = entryHook.load(std::memory_order_relaxed);
        std::int64_t listed = 0;
        for (long offset = 0; offset < got; ++listed) {
            const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            if (hook)
                hook(fd, name);
            // Links, devices, pipes and sockets add nothing, so they need no status.
            if (entry->d_type != DT_REG && entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)
                continue;
            struct statx status;
            if (statx(fd, name, examineFlags, statusFields, &status) != 0)
                continue; // vanished since the listing, or not ours to see
            if (S_ISREG(status.stx_mode)) {
                sums.see(status);
                if (walk.countsOnce(status)) {
                    sums.size += std::int64_t(status.stx_blocks) * 512;
                    sums.files += 1;
                }
            } else if (S_ISDIR(status.stx_mode)) {
                std::uint64_t device = deviceOf(status);
                if (folder->isWithin(device, status.stx_ino))
                    continue;
                sums.see(status);
                subfolders.push_back({name, std::make_shared<Folder>(device, status.stx_ino, folder)});
            }
        }
        if (walk.entries.fetch_add(listed, std::memory_order_relaxed) + listed >= entriesBeforeStopping &&
            walk.stop.stop_requested())
            return false;
    }
}

bool isFolder(int fd, const Folder& folder) {
    struct statx status;
    return statx(fd, "", AT_EMPTY_PATH, STATX_INO, &status) == 0 && status.stx_ino == folder.inode &&
           deviceOf(status) == folder.device;
}

// Over the descriptor budget, a thread walks the subfolders it found itself, depth first and
// holding only the folder it is in: it climbs back with "..", checked against the folder it
// left, so depth costs no descriptors. False when the call was asked to stop.
bool descendAlone(int fd, std::shared_ptr<Folder> folder, std::vector<Subfolder> subfolders, Walk& walk,
                  Scratch& scratch, Sums& sums) {
    struct Frame {
        std::shared_ptr<Folder> folder;
        std::vector<Subfolder> subfolders;
        std::size_t next = 0;
    };
    std::vector<Frame> frames;
    frames.push_back({std::move(folder), std::move(subfolders)});
    int current = fd;
    bool complete = true;
    while (!frames.empty()) {
        Frame& top = frames.back();
        if (top.next == top.subfolders.size()) {
            frames.pop_back();
            if (frames.empty())
                break;
            int up = openCounted(current, "..", folderFlags);
            closeCounted(current);
            current = up;
            if (up < 0 || !isFolder(up, *frames.back().folder))
                break; // moved meanwhile: the rest is out of reach, as if it had vanished
            continue;
        }
        Subfolder& next = top.subfolders[top.next++];
        int below = openCounted(current, next.name.c_str(), folderFlags);
        if (below < 0)
            continue;
        std::shared_ptr<Folder> entered = std::move(next.folder);
        std::vector<Subfolder> found;
        if (!readFolder(below, entered, walk, scratch, sums, found)) {
            closeCounted(below);
            complete = false;
            break;
        }
        if (found.empty()) {
            closeCounted(below);
            continue;
        }
        closeCounted(current);
        current = below;
        frames.push_back({std::move(entered), std::move(found)});
    }
    if (current >= 0)
        closeCounted(current);
    return complete;
}

int computeBudget() {
    rlimit limit{};
    long soft = 1024;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        soft = long(limit.rlim_cur);
    return int(std::clamp(soft / 4, 16L, 256L));
}

// Walks one queued folder; its subfolders go to `queued` or, over the budget, are walked here.
// False when the call was asked to stop.
bool walkFolder(Walk& walk, Task& task, Scratch& scratch, std::vector<Task>& queued) {
    Sums sums;
    bool complete = true;
    try {
        int fd = openCounted(task.base->fd, task.relative.c_str(), folderFlags);
        if (fd < 0)
            return true;
        std::vector<Subfolder> subfolders;
        complete = readFolder(fd, task.folder, walk, scratch, sums, subfolders);
        if (!complete || subfolders.empty()) {
            closeCounted(fd);
        } else if (openFolders.load(std::memory_order_relaxed) <= descriptorBudget()) {
            auto held = std::make_shared<OpenFolder>(fd);
            for (Subfolder& sub : subfolders)
                queued.push_back({held, std::move(sub.name), std::move(sub.folder)});
        } else if (task.relative.size() + 1 + NAME_MAX < longestRelativePath) {
            closeCounted(fd);
            for (Subfolder& sub : subfolders)
                queued.push_back({task.base, task.relative + "/" + sub.name, std::move(sub.folder)});
        } else {
            complete = descendAlone(fd, task.folder, std::move(subfolders), walk, scratch, sums);
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: this folder keeps what it counted, like one that could not be read further.
        queued.clear();
    }
    walk.add(sums);
    return complete;
}

// --- the pool -------------------------------------------------------------------------------------

class Pool {
public:
    static Pool& shared();

    // Walks from the root task with the pool's help until every folder of the walk is done.
    void run(Walk& walk, Task root) {
        std::unique_lock lock(mutex_);
        walks_.push_back(&walk);
        walk.pending.push_back(std::move(root)); // taken by this thread first
        Scratch scratch;
        std::vector<Task> queued;
        for (;;) {
            if (!walk.pending.empty()) {
                Task task = take(walk);
                lock.unlock();
                bool complete = walkFolder(walk, task, scratch, queued);
                task = {};
                lock.lock();
                finish(walk, complete, queued, lock);
            } else if (walk.running == 0) {
                break;
            } else {
                walk.changed.wait(lock);
            }
        }
        auto place = std::find(walks_.begin(), walks_.end(), &walk);
        if (std::size_t(place - walks_.begin()) < turn_)
            --turn_;
        walks_.erase(place);
    }

    void start() {
        for (int i = 0; i < workerCount; ++i) {
            try {
                std::thread([this] { work(); }).detach();
            } catch (const std::system_error&) {
                break; // fewer helpers: every caller still walks its own folders
            }
        }
    }

private:
    void work() {
        Scratch scratch;
        std::vector<Task> queued;
        std::unique_lock lock(mutex_);
        for (;;) {
            Walk* walk = nextWithWork();
            if (!walk) {
                work_.wait(lock);
                continue;
            }
            Task task = take(*walk);
            lock.unlock();
            bool complete = walkFolder(*walk, task, scratch, queued);
            task = {};
            lock.lock();
            finish(*walk, complete, queued, lock);
        }
    }

    // Walks take turns, one folder each, so no call waits behind another.
    Walk* nextWithWork() {
        for (std::size_t i = 0; i < walks_.size(); ++i) {
            Walk* walk = walks_[(turn_ + i) % walks_.size()];
            if (!walk->pending.empty()) {
                turn_ = (turn_ + i + 1) % walks_.size();
                return walk;
            }
        }
        return nullptr;
    }

    static Task take(Walk& walk) {
        Task task = std::move(walk.pending.back());
        walk.pending.pop_back();
        ++walk.running;
        return task;
    }

    void finish(Walk& walk, bool complete, std::vector<Task>& queued, std::unique_lock<std::mutex>& lock) {
        std::vector<Task> dropped;
        if (!complete)
            walk.stopped = true;
        if (walk.stopped) {
            dropped.swap(walk.pending);
            for (Task& task : queued)
                dropped.push_back(std::move(task));
            queued.clear();
        } else if (!queued.empty()) {
            for (Task& task : queued)
                walk.pending.push_back(std::move(task));
            // This thread takes one itself; wake a worker for each of the others.
            for (std::size_t i = 1; i < std::min(queued.size(), std::size_t(workerCount) + 1); ++i)
                work_.notify_one();
            queued.clear();
        }
        --walk.running;
        // The caller walks too: wake it for new folders or for the end.
        walk.changed.notify_one();
        if (!dropped.empty()) {
            lock.unlock(); // closing descriptors needs no lock
            dropped.clear();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable work_;
    std::vector<Walk*> walks_;
    std::size_t turn_ = 0;
};

std::atomic<Pool*> sharedPool{nullptr};

Pool& Pool::shared() {
    Pool* pool = sharedPool.load(std::memory_order_acquire);
    if (pool)
        return *pool;
    static std::once_flag forkHandler;
    // A forked child has none of the parent's threads: it starts a pool of its own.
    std::call_once(forkHandler, [] { pthread_atfork(nullptr, nullptr, [] { sharedPool.store(nullptr); }); });
    auto* fresh = new Pool; // lives as long as the process; its threads never end
    if (sharedPool.compare_exchange_strong(pool, fresh, std::memory_order_acq_rel)) {
        fresh->start();
        return *fresh;
    }
    delete fresh;
    return *pool;
}

} // namespace

int descriptorBudget() {
    static const int budget = computeBudget();
    int chosen = chosenBudget.load(std::memory_order_relaxed);
    return chosen >= 0 ? chosen : budget;
}

void setDescriptorBudget(int budget) { chosenBudget.store(budget); }

void setEntryHook(EntryHook hook) { entryHook.store(hook); }

Measurement measure(const std::string& path, std::stop_token stop) {
    struct statx status;
    if (path.empty() || path.find('\0') != std::string::npos ||
        statx(AT_FDCWD, path.c_str(), examineFlags, statusFields, &status) != 0)
        return {};
    Sums sums;
    if (S_ISREG(status.stx_mode)) {
        sums.see(status);
        sums.size = std::int64_t(status.stx_blocks) * 512;
        sums.files = 1;
        return sums.measurement();
    }
    if (!S_ISDIR(status.stx_mode))
        return {};
    sums.see(status);
    Walk walk(std::move(stop));
    walk.sums = sums;
    auto root = std::make_shared<Folder>(deviceOf(status), status.stx_ino, nullptr);
    Pool::shared().run(walk, Task{std::make_shared<OpenFolder>(AT_FDCWD), path, std::move(root)});
    return walk.sums.measurement();
}

} // namespace dovrane::parallelwalk
