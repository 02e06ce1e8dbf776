#include "system/ParallelWalk.h"

#include "DovraneKit/system/FileSystem.h"

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
#include <deque>
#include <iterator>
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
constexpr unsigned statusFields =
    STATX_TYPE | STATX_NLINK | STATX_INO | STATX_UID | STATX_BLOCKS | STATX_ATIME | STATX_MTIME;
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

    // A file is used when it is read or changed; a folder only when its entries change, as
    // listing it (this walk, a file manager, the daily locate index) is no use of what it holds.
    void seeFile(const struct statx& status) {
        see(std::max(Instant{status.stx_atime.tv_sec, status.stx_atime.tv_nsec},
                     Instant{status.stx_mtime.tv_sec, status.stx_mtime.tv_nsec}));
    }
    void seeFolder(const struct statx& status) { see(Instant{status.stx_mtime.tv_sec, status.stx_mtime.tv_nsec}); }
    void see(Instant time) {
        if (!newest || time > *newest)
            newest = time;
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
// of an ancestor, should the kernel not mark mounts): such a folder is neither entered nor dated.
struct Folder {
    std::uint64_t device;
    std::uint64_t inode;
    bool listedQuietly; // the kernel lets the walk list it without moving its access time
    std::shared_ptr<Folder> parent;

    Folder(std::uint64_t onDevice, std::uint64_t number, bool owned, std::shared_ptr<Folder> above)
        : device(onDevice), inode(number), listedQuietly(owned), parent(std::move(above)) {}
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

// Opens a folder to list it, leaving its access time as it was where the kernel allows.
int openToList(int at, const char* path, const Folder& folder) {
    int fd = Fs::openToLook(at, path, folderFlags, folder.listedQuietly);
    if (fd >= 0)
        openFolders.fetch_add(1, std::memory_order_relaxed);
    return fd;
}

// O_NOATIME is the owner's, or a privileged process's: anyone else is refused it.
bool mayKeepAccessTime(const struct statx& status, uid_t walker) { return walker == 0 || status.stx_uid == walker; }

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

struct Walk;

// The paths of one call: each its own walk, all shared out at once so that many small folders
// keep the pool busy instead of each waiting for a hand-off.
struct Batch {
    explicit Batch(std::stop_token token) : stop(std::move(token)) {}

    const std::stop_token stop;
    std::atomic<std::int64_t> entries{0};
    // Guarded by the pool's mutex.
    std::deque<Walk*> ready; // walks with folders waiting, taken from the front
    std::size_t unfinished = 0;
    bool stopped = false;
    std::condition_variable changed;
};

struct Walk {
    Walk(Batch& owner, std::uint64_t rootDevice, uid_t user) : batch(owner), device(rootDevice), walker(user) {}

    Batch& batch;
    const std::uint64_t device; // the root's: nothing on another file system is counted
    const uid_t walker;         // the effective user, asked once per call
    // Guarded by the pool's mutex.
    std::vector<Task> pending; // taken from the back: deep first, so few folders wait open
    int running = 0;
    bool isReady = false;
    bool done = false;

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
            // As with du -x: anything mounted below the root (a bind mount on the same disk too)
            // counts as nothing, and no folder of another file system is entered. A file's own
            // device is not compared: overlayfs reports that of the layer it lies in.
            if (status.stx_attributes & STATX_ATTR_MOUNT_ROOT)
                continue;
            if (S_ISREG(status.stx_mode)) {
                sums.seeFile(status);
                if (walk.countsOnce(status)) {
                    sums.size += std::int64_t(status.stx_blocks) * 512;
                    sums.files += 1;
                }
            } else if (S_ISDIR(status.stx_mode)) {
                std::uint64_t device = deviceOf(status);
                if (device != walk.device || folder->isWithin(device, status.stx_ino))
                    continue;
                sums.seeFolder(status);
                subfolders.push_back({name, std::make_shared<Folder>(device, status.stx_ino,
                                                                     mayKeepAccessTime(status, walk.walker), folder)});
            }
        }
        if (walk.batch.entries.fetch_add(listed, std::memory_order_relaxed) + listed >= entriesBeforeStopping &&
            walk.batch.stop.stop_requested())
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
        int below = openToList(current, next.name.c_str(), *next.folder);
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
    const std::size_t heldBefore = queued.size();
    Sums sums;
    bool complete = true;
    try {
        int fd = openToList(task.base->fd, task.relative.c_str(), *task.folder);
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
        queued.resize(heldBefore);
    }
    walk.add(sums);
    return complete;
}

// --- the pool -------------------------------------------------------------------------------------

class Pool {
public:
    static Pool& shared();

    // Walks every walk of the batch with the pool's help until all their folders are done.
    void run(Batch& batch, std::vector<std::pair<Walk*, Task>> roots) {
        std::unique_lock lock(mutex_);
        batch.unfinished = roots.size();
        for (auto& [walk, root] : roots) {
            walk->pending.push_back(std::move(root));
            walk->isReady = true;
            batch.ready.push_back(walk);
        }
        batches_.push_back(&batch);
        // This thread takes the first root itself.
        for (std::size_t i = 1; i < std::min(roots.size(), std::size_t(workerCount) + 1); ++i)
            work_.notify_one();
        roots.clear();
        Scratch scratch;
        std::vector<Task> queued;
        for (;;) {
            if (!batch.ready.empty()) {
                Walk& walk = *batch.ready.front();
                Task task = take(walk);
                lock.unlock();
                bool complete = walkWhileBusy(walk, task, scratch, queued);
                lock.lock();
                finish(walk, complete, queued, lock);
            } else if (batch.unfinished == 0) {
                break;
            } else {
                batch.changed.wait(lock);
            }
        }
        auto place = std::find(batches_.begin(), batches_.end(), &batch);
        if (std::size_t(place - batches_.begin()) < turn_)
            --turn_;
        batches_.erase(place);
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
                idle_.fetch_add(1, std::memory_order_relaxed);
                work_.wait(lock);
                idle_.fetch_sub(1, std::memory_order_relaxed);
                continue;
            }
            Task task = take(*walk);
            lock.unlock();
            bool complete = walkWhileBusy(*walk, task, scratch, queued);
            lock.lock();
            finish(*walk, complete, queued, lock);
        }
    }

    // Walks the task and the subfolders it finds, deepest first, without handing each one over
    // through the pool: a small tree is walked whole by one thread. While a worker is idle, the
    // other folders found so far go to the pool and this thread walks on into the deepest, so
    // the pool's lock is taken once per hand-over, not twice per folder. Whatever is left in
    // `queued` (after a stop) goes to the pool.
    bool walkWhileBusy(Walk& walk, Task& task, Scratch& scratch, std::vector<Task>& queued) {
        bool complete = walkFolder(walk, task, scratch, queued);
        task = {};
        while (complete && !queued.empty()) {
            if (queued.size() > 1 && idle_.load(std::memory_order_relaxed) > 0)
                shareAllButDeepest(walk, queued);
            Task next = std::move(queued.back());
            queued.pop_back();
            complete = walkFolder(walk, next, scratch, queued);
        }
        return complete;
    }

    void shareAllButDeepest(Walk& walk, std::vector<Task>& queued) {
        std::vector<Task> shared(std::make_move_iterator(queued.begin()), std::make_move_iterator(queued.end() - 1));
        queued.erase(queued.begin(), queued.end() - 1);
        std::lock_guard lock(mutex_);
        // After a stop they are dropped, their descriptors closed once the lock is released.
        if (!walk.batch.stopped)
            offer(walk, shared);
    }

    // Puts the tasks in the walk's pending folders and wakes a worker for each, and the caller,
    // who walks too. Under the pool's lock.
    void offer(Walk& walk, std::vector<Task>& tasks) {
        for (Task& task : tasks)
            walk.pending.push_back(std::move(task));
        if (!walk.isReady) {
            walk.isReady = true;
            walk.batch.ready.push_back(&walk);
        }
        for (std::size_t i = 0; i < std::min(tasks.size(), std::size_t(workerCount)); ++i)
            work_.notify_one();
        walk.batch.changed.notify_one();
        tasks.clear();
    }

    // Batches take turns, one task each, so no call waits behind another.
    Walk* nextWithWork() {
        for (std::size_t i = 0; i < batches_.size(); ++i) {
            Batch* batch = batches_[(turn_ + i) % batches_.size()];
            if (!batch->ready.empty()) {
                turn_ = (turn_ + i + 1) % batches_.size();
                return batch->ready.front();
            }
        }
        return nullptr;
    }

    // Takes from the walk at the front of its batch's ready walks.
    static Task take(Walk& walk) {
        Task task = std::move(walk.pending.back());
        walk.pending.pop_back();
        ++walk.running;
        if (walk.pending.empty()) {
            walk.batch.ready.pop_front();
            walk.isReady = false;
        }
        return task;
    }

    static void settle(Walk& walk) {
        if (walk.done || walk.running > 0 || !walk.pending.empty())
            return;
        walk.done = true;
        if (--walk.batch.unfinished == 0)
            walk.batch.changed.notify_one();
    }

    void finish(Walk& walk, bool complete, std::vector<Task>& queued, std::unique_lock<std::mutex>& lock) {
        Batch& batch = walk.batch;
        std::vector<Task> dropped;
        --walk.running;
        if (!complete && !batch.stopped) {
            // A stop asked of the call ends all its walks: what waits is left uncounted.
            batch.stopped = true;
            for (Walk* waiting : batch.ready) {
                for (Task& task : waiting->pending)
                    dropped.push_back(std::move(task));
                waiting->pending.clear();
                waiting->isReady = false;
                if (waiting != &walk)
                    settle(*waiting);
            }
            batch.ready.clear();
        }
        if (batch.stopped) {
            for (Task& task : queued)
                dropped.push_back(std::move(task));
            queued.clear();
        } else if (!queued.empty()) {
            offer(walk, queued);
        }
        settle(walk);
        if (!dropped.empty()) {
            lock.unlock(); // closing descriptors needs no lock
            dropped.clear();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable work_;
    std::atomic<int> idle_{0}; // workers waiting for work; changed under the mutex
    std::vector<Batch*> batches_;
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

std::vector<Measurement> measureEach(const std::vector<std::string>& paths, std::stop_token stop) {
    std::vector<Measurement> results(paths.size());
    Batch batch(std::move(stop));
    std::deque<Walk> walks;
    std::vector<std::pair<Walk*, Task>> roots;
    std::vector<std::size_t> rootIndices;
    // Paths in one folder, as a collector's are, are looked up from that folder opened once: the
    // full path of each would be resolved again from the root.
    std::string parentPath;
    std::shared_ptr<OpenFolder> parent;
    const auto cwd = std::make_shared<OpenFolder>(AT_FDCWD);
    const uid_t walker = geteuid();
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if (path.empty() || path.find('\0') != std::string::npos)
            continue;
        std::shared_ptr<OpenFolder> base = cwd;
        std::string relative = path;
        const std::size_t slash = path.rfind('/');
        if (slash != std::string::npos && slash + 1 < path.size() && slash > 0) {
            if (!parent || path.compare(0, slash, parentPath) != 0 || parentPath.size() != slash) {
                parentPath = path.substr(0, slash);
                int fd = openCounted(AT_FDCWD, parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                parent = fd >= 0 ? std::make_shared<OpenFolder>(fd) : nullptr;
            }
            if (parent) {
                base = parent;
                relative = path.substr(slash + 1);
            }
        }
        struct statx status;
        if (statx(base->fd, relative.c_str(), examineFlags, statusFields, &status) != 0)
            continue;
        // What is mounted there belongs to another disk or share: nothing of it is counted.
        if (status.stx_attributes & STATX_ATTR_MOUNT_ROOT)
            continue;
        Sums sums;
        if (S_ISREG(status.stx_mode)) {
            sums.seeFile(status);
            sums.size = std::int64_t(status.stx_blocks) * 512;
            sums.files = 1;
            results[i] = sums.measurement();
            continue;
        }
        if (!S_ISDIR(status.stx_mode))
            continue;
        sums.seeFolder(status);
        Walk& walk = walks.emplace_back(batch, deviceOf(status), walker);
        walk.sums = sums;
        auto root =
            std::make_shared<Folder>(deviceOf(status), status.stx_ino, mayKeepAccessTime(status, walker), nullptr);
        roots.emplace_back(&walk, Task{base, std::move(relative), std::move(root)});
        rootIndices.push_back(i);
    }
    parent.reset(); // held on by the roots that need it
    if (roots.empty())
        return results;
    batch.entries.store(std::int64_t(roots.size())); // each root is an entry
    Pool::shared().run(batch, std::move(roots));
    for (std::size_t k = 0; k < rootIndices.size(); ++k)
        results[rootIndices[k]] = walks[k].sums.measurement();
    return results;
}

Measurement measure(const std::string& path, std::stop_token stop) {
    return measureEach({path}, std::move(stop)).front();
}

} // namespace dovrane::parallelwalk
