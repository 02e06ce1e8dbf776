// The parallel measuring engine against the single-threaded fts walk it replaced, on generated
// trees with everything that makes a walk go wrong.

#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/SizeCounter.h"

#include "support/TestSupport.h"
#include "system/ParallelWalk.h"

#include <dirent.h>
#include <fcntl.h>
#include <fts.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>
#include <unordered_set>
#include <vector>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

namespace fs = std::filesystem;

// The walk the engine replaced: full paths through fts, one thread. Kept as the reference the
// engine must agree with wherever fts can reach.
Measurement referenceMeasure(const std::string& path) {
    struct FileID {
        dev_t device;
        ino_t inode;
        bool operator==(const FileID&) const = default;
    };
    struct FileIDHash {
        std::size_t operator()(const FileID& id) const noexcept { return std::size_t(id.inode * 31 + id.device); }
    };
    Measurement result;
    std::string root = path;
    char* roots[] = {root.data(), nullptr};
    FTS* walk = fts_open(roots, FTS_PHYSICAL | FTS_NOCHDIR, nullptr);
    if (!walk)
        return result;
    std::unordered_set<FileID, FileIDHash> linked;
    while (FTSENT* entry = fts_read(walk)) {
        if (entry->fts_info == FTS_NS || entry->fts_info == FTS_NSOK || entry->fts_info == FTS_ERR || !entry->fts_statp)
            continue;
        const struct stat& status = *entry->fts_statp;
        if (entry->fts_info == FTS_F || entry->fts_info == FTS_D) {
            // A folder counts with its modification alone, a file with the later of both.
            double access =
                entry->fts_info == FTS_F ? double(status.st_atim.tv_sec) + double(status.st_atim.tv_nsec) / 1e9 : 0.0;
            double modification = double(status.st_mtim.tv_sec) + double(status.st_mtim.tv_nsec) / 1e9;
            Date newest = Date::fromUnix(access > modification ? access : modification);
            if (!result.lastUsed || newest > *result.lastUsed)
                result.lastUsed = newest;
        }
        if (entry->fts_info != FTS_F)
            continue;
        if (status.st_nlink >= 2 && !linked.insert(FileID{status.st_dev, status.st_ino}).second)
            continue;
        result.size += std::int64_t(status.st_blocks) * 512;
        result.files += 1;
    }
    fts_close(walk);
    return result;
}

Measurement measure(const std::string& path, std::stop_token stop = {}) {
    return SizeCounter::measure(Url::fromPath(path), stop);
}

std::int64_t allocatedBytes(int fd) {
    struct stat status {};
    return fstat(fd, &status) == 0 ? std::int64_t(status.st_blocks) * 512 : -1;
}

void writeSparse(const std::string& path, off_t length, off_t dataAt) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(ftruncate(fd, length), 0);
    ASSERT_EQ(pwrite(fd, "data", 4, dataAt), 4);
    close(fd);
}

// A random tree: folders with odd names (a newline, bytes that are not UTF-8), files empty,
// small, large and sparse, hard links within one folder and across folders, links to large
// folders, link loops, a dangling link and a pipe. Every entry gets a random time; folders get
// an access time ahead of the clock so that listing them leaves it alone.
class GeneratedTree {
public:
    GeneratedTree(const std::string& root, unsigned seed) : random_(seed), root_(root) {
        makeFolder(root);
        fill(root, 0);
        for (int i = 0; i < 12 && files_.size() > 1; ++i) {
            const std::string& existing = files_[random_() % files_.size()];
            const std::string& folder = folders_[random_() % folders_.size()];
            EXPECT_EQ(link(existing.c_str(), (folder + "/hard" + std::to_string(i)).c_str()), 0);
        }
        for (int i = 0; i < 6; ++i) {
            const std::string& folder = folders_[random_() % folders_.size()];
            makeSymlink(folders_[random_() % folders_.size()], folder + "/to-folder" + std::to_string(i));
        }
        makeSymlink("..", folders_.back() + "/up-loop");
        makeSymlink(".", root + "/self-loop");
        makeSymlink(root + "/missing", root + "/dangling");
        mkfifo((root + "/pipe").c_str(), 0644);
        std::int64_t now = std::int64_t(time(nullptr));
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            bool folder = entry.is_directory() && !entry.is_symlink();
            timespec access{time_t(now - 86400 * 900 + std::int64_t(random_() % (86400 * 903))),
                            long(random_() % 1'000'000'000)};
            timespec modification{time_t(now - 86400 * 900 + std::int64_t(random_() % (86400 * 900))),
                                  long(random_() % 1'000'000'000)};
            if (folder)
                access.tv_sec = time_t(now + 86400 + std::int64_t(random_() % 86400));
            times_.push_back({entry.path().string(), {access, modification}});
            items_.push_back(entry.path().string());
        }
        restoreTimes();
    }

    // Where relatime does not hold, listing moves a folder's access time; each walk starts from these.
    void restoreTimes() const {
        for (const auto& [path, times] : times_)
            utimensat(AT_FDCWD, path.c_str(), times.data(), AT_SYMLINK_NOFOLLOW);
    }
    // The root, then every entry below it.
    std::vector<std::string> items() const {
        std::vector<std::string> all{root_};
        all.insert(all.end(), items_.begin(), items_.end());
        return all;
    }

private:
    void fill(const std::string& folder, int depth) {
        folders_.push_back(folder);
        static const char* names[] = {"plain", "with\nnewline", "bad\xff\xfe-utf8", "space name", ".hidden", "ümlaut"};
        int fileCount = int(random_() % 9);
        for (int i = 0; i < fileCount; ++i) {
            std::string path = folder + "/" + names[random_() % 6] + std::to_string(i);
            switch (random_() % 6) {
            case 0:
                writeFile(path);
                break;
            case 1:
                writeSparse(path, 8 << 20, off_t(random_() % (6 << 20)));
                break;
            case 2:
                writeFileOfSize(path, 20'000 + random_() % 60'000);
                break;
            default:
                writeFileOfSize(path, 1 + random_() % 9000);
                break;
            }
            files_.push_back(path);
        }
        int folderCount = depth == 0 ? 2 + int(random_() % 4) : depth < 4 ? int(random_() % 5) : 0;
        for (int i = 0; i < folderCount; ++i) {
            std::string sub = folder + "/" + names[random_() % 6] + "-dir" + std::to_string(i);
            makeFolder(sub);
            fill(sub, depth + 1);
        }
    }

    std::mt19937 random_;
    std::string root_;
    std::vector<std::string> folders_, files_, items_;
    std::vector<std::pair<std::string, std::array<timespec, 2>>> times_;
};

// A descriptor budget for one test, the usual one afterwards.
struct BudgetChosen {
    explicit BudgetChosen(int budget) { parallelwalk::setDescriptorBudget(budget); }
    ~BudgetChosen() { parallelwalk::setDescriptorBudget(-1); }
};

// Installs a hook for one test and removes it afterwards.
struct HookInstalled {
    explicit HookInstalled(parallelwalk::EntryHook hook) { parallelwalk::setEntryHook(hook); }
    ~HookInstalled() { parallelwalk::setEntryHook(nullptr); }
};

// Runs `body` in a child that has given up root's rights (root reads everything) and returns
// the numbers it wrote, or nothing when the child failed.
std::optional<std::vector<double>> inUnprivilegedChild(const std::function<std::vector<double>()>& body) {
    int channel[2];
    if (pipe(channel) != 0)
        return std::nullopt;
    pid_t child = fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0))
            _exit(2);
        std::vector<double> numbers = body();
        ssize_t bytes = ssize_t(numbers.size() * sizeof(double));
        _exit(write(channel[1], numbers.data(), std::size_t(bytes)) == bytes ? 0 : 3);
    }
    close(channel[1]);
    std::vector<double> numbers(64);
    ssize_t got = read(channel[0], numbers.data(), numbers.size() * sizeof(double));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got < 0)
        return std::nullopt;
    numbers.resize(std::size_t(got) / sizeof(double));
    return numbers;
}

std::vector<double> figures(const Measurement& m) {
    return {double(m.size), double(m.files), m.lastUsed ? m.lastUsed->secondsSinceReference : NAN};
}

// Removes a tree deeper than PATH_MAX: cuts it into pieces that fit, then removes those.
void removeDeepTree(const std::string& root, const std::string& chainName) {
    int top = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int current = dup(top);
    for (int depth = 1, piece = 0;; ++depth) {
        int below = openat(current, chainName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (below < 0)
            break;
        if (depth % 300 == 0)
            renameat(current, chainName.c_str(), top, ("piece" + std::to_string(piece++)).c_str());
        close(current);
        current = below;
    }
    close(current);
    close(top);
    Fs::removeAll(root);
}

// Access times ahead of the clock on every folder from `root` down, so that listing them (under
// relatime) leaves their dates alone and one walk dates them as the next.
void holdFolderAccessTimes(const std::string& root) {
    timespec times[2] = {{time(nullptr) + 2 * 86400, 0}, {0, UTIME_OMIT}};
    utimensat(AT_FDCWD, root.c_str(), times, AT_SYMLINK_NOFOLLOW);
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_directory() && !entry.is_symlink())
            utimensat(AT_FDCWD, entry.path().c_str(), times, AT_SYMLINK_NOFOLLOW);
}

int openDescriptors() {
    int count = 0;
    if (DIR* folder = opendir("/proc/self/fd")) {
        while (readdir(folder))
            ++count;
        closedir(folder);
    }
    return count;
}

} // namespace

TEST(ParallelWalk, AgreesWithTheReferenceOnEveryItemOfGeneratedTrees) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        TempDir dir;
        GeneratedTree tree(dir / "home", seed);
        tree.restoreTimes();
        Measurement whole = referenceMeasure(dir / "home");
        EXPECT_GT(whole.files, 5) << "seed " << seed << " made too small a tree";
        // With no folder held open for later, queued folders are opened by longer paths.
        for (int budget : {-1, 0}) {
            BudgetChosen chosen(budget);
            for (const std::string& item : tree.items()) {
                bool folder = fs::is_directory(fs::symlink_status(item));
                if (folder)
                    tree.restoreTimes();
                Measurement expected = referenceMeasure(item);
                if (folder)
                    tree.restoreTimes();
                EXPECT_EQ(measure(item), expected) << "seed " << seed << ", budget " << budget << ": " << item;
            }
        }
    }
}

TEST(ParallelWalk, HardLinksCountOncePerCallWithinAndAcrossItems) {
    TempDir dir;
    writeFileOfSize(dir / "a/original", 40'000);
    makeHardLink(dir / "a/original", dir / "a/sub/same-folder-twin");
    makeHardLink(dir / "a/original", dir / "b/across-items");
    holdFolderAccessTimes(dir.path());
    std::int64_t one = measure(dir / "a/original").size;
    EXPECT_EQ(measure(dir / "a"), referenceMeasure(dir / "a"));
    EXPECT_EQ(measure(dir / "a").size, one);
    EXPECT_EQ(measure(dir / "b").size, one); // each call counts it once for itself
    EXPECT_EQ(measure(dir.path()).files, 1);
}

TEST(ParallelWalk, UnreadableFoldersAgreeWithTheReferenceWithoutRootsRights) {
    TempDir dir;
    GeneratedTree tree(dir / "home", 7);
    writeFileOfSize(dir / "home/locked/inside.bin", 50'000);
    writeFileOfSize(dir / "home/list-only/inside.bin", 60'000);
    writeFileOfSize(dir / "home/search-only/inside.bin", 70'000);
    writeFileOfSize(dir / "home/search-only/open/deeper.bin", 80'000);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    if (geteuid() == 0) { // the child must own the tree to put its times back
        for (const std::string& item : tree.items())
            ASSERT_EQ(lchown(item.c_str(), 65534, 65534), 0);
    }
    for (const char* folder : {"locked", "list-only", "search-only", "search-only/open"}) {
        holdFolderAccessTimes(dir / "home/" + folder);
        ASSERT_EQ(lchown((dir / "home/" + folder).c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(chmod((dir / "home/locked").c_str(), 0), 0);
    ASSERT_EQ(chmod((dir / "home/list-only").c_str(), 0444), 0);
    ASSERT_EQ(chmod((dir / "home/search-only").c_str(), 0111), 0);

    auto numbers = inUnprivilegedChild([&] {
        std::vector<double> all;
        for (const std::string& item : {dir / "home", dir / "home/search-only/open", dir / "home/list-only"}) {
            tree.restoreTimes();
            auto expected = figures(referenceMeasure(item));
            tree.restoreTimes();
            auto measured = figures(measure(item));
            all.insert(all.end(), expected.begin(), expected.end());
            all.insert(all.end(), measured.begin(), measured.end());
        }
        return all;
    });
    for (const char* folder : {"locked", "list-only", "search-only"})
        chmod((dir / "home/" + folder).c_str(), 0700);
    ASSERT_TRUE(numbers.has_value());
    ASSERT_EQ(numbers->size(), 18u);
    for (std::size_t item = 0; item < 3; ++item)
        for (std::size_t i = 0; i < 3; ++i) {
            double expected = (*numbers)[item * 6 + i], measured = (*numbers)[item * 6 + 3 + i];
            EXPECT_TRUE(expected == measured || (std::isnan(expected) && std::isnan(measured)))
                << "item " << item << " figure " << i << ": " << measured << " instead of " << expected;
        }
    EXPECT_EQ((*numbers)[6 + 3 + 1], 1); // through a folder that cannot be listed, by its name
}

namespace {
void removeBeforeExamining(int folder, const char* name) {
    if (std::strcmp(name, "vanishing.bin") == 0)
        unlinkat(folder, name, 0);
    else if (std::strcmp(name, "vanishing-folder") == 0)
        unlinkat(folder, name, AT_REMOVEDIR);
}
} // namespace

TEST(ParallelWalk, EntriesRemovedBetweenListingAndExaminingAreLeftOut) {
    TempDir dir;
    GeneratedTree tree(dir / "home", 11);
    writeFileOfSize(dir / "home/vanishing.bin", 90'000);
    makeFolder(dir / "home/vanishing-folder");
    writeFileOfSize(dir / "home/stays.bin", 10'000);
    // The removals change the folder; it is dated as the walk saw it, before them.
    const Date before = Date::fromUnix(1'600'000'000);
    tree.restoreTimes();
    setTimes(dir / "home", before);
    Measurement measured;
    {
        HookInstalled hook(removeBeforeExamining);
        measured = measure(dir / "home");
    }
    ASSERT_FALSE(fs::exists(dir / "home/vanishing.bin"));
    ASSERT_FALSE(fs::exists(dir / "home/vanishing-folder"));
    tree.restoreTimes();
    setTimes(dir / "home", before);
    EXPECT_EQ(measured, referenceMeasure(dir / "home"));
}

TEST(ParallelWalk, TreesDeeperThanPathMaxAndTheDescriptorBudgetAreMeasuredWhole) {
    // Each level holds side folders with a file, so every level would wait open for its
    // subfolders; a small budget makes the engine hold back from the first levels on.
    TempDir dir;
    const int depth = 1000, sides = 2;
    const std::string chain = "dddd";
    std::string rootPath = dir / "deep";
    makeFolder(rootPath);
    Measurement expected;
    int current = open(rootPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(current, 0);
    for (int level = 0; level < depth; ++level) {
        for (int side = 0; side < sides; ++side) {
            std::string name = "s" + std::to_string(side);
            ASSERT_EQ(mkdirat(current, name.c_str(), 0755), 0);
            int sideFolder = openat(current, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            int file = openat(sideFolder, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            ASSERT_EQ(write(file, "x", 1), 1);
            expected.size += allocatedBytes(file);
            expected.files += 1;
            close(file);
            close(sideFolder);
        }
        ASSERT_EQ(mkdirat(current, chain.c_str(), 0755), 0);
        int below = openat(current, chain.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(current);
        current = below;
        ASSERT_GE(current, 0);
    }
    int bottom = openat(current, "bottom.bin", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    std::string block(1 << 20, 'b');
    ASSERT_EQ(write(bottom, block.data(), block.size()), ssize_t(block.size())); // far below PATH_MAX
    expected.size += allocatedBytes(bottom);
    expected.files += 1;
    close(bottom);
    close(current);

    static std::atomic<int> calls{0}, mostOpen{0};
    const int before = openDescriptors();
    // 0 leaves the deep end to threads walking alone; 8 mixes that with folders held open.
    for (int budget : {0, 8}) {
        mostOpen = 0;
        Measurement measured;
        {
            BudgetChosen chosen(budget);
            HookInstalled hook([](int, const char*) {
                if (calls.fetch_add(1) % 16 == 0) {
                    int open = openDescriptors();
                    for (int seen = mostOpen.load(); open > seen && !mostOpen.compare_exchange_weak(seen, open);) {
                    }
                }
            });
            measured = measure(rootPath);
        }
        EXPECT_EQ(measured.files, expected.files) << "budget " << budget;
        EXPECT_EQ(measured.size, expected.size) << "budget " << budget;
        // The budget, plus for every walking thread the folder it reads, the one it opens
        // and the listing of /proc/self/fd above.
        EXPECT_LE(mostOpen - before, budget + 3 * (parallelwalk::workerCount + 1)) << "budget " << budget;
    }
    removeDeepTree(rootPath, chain);
}

TEST(ParallelWalk, ManyCallsAtOnceEachGetTheAnswerTheyGetAlone) {
    TempDir dir;
    GeneratedTree tree(dir / "home", 21);
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 50; ++j)
            writeFileOfSize(dir / ("home/big/f" + std::to_string(i) + "/" + std::to_string(j)), 1 + (i * j) % 7000);
    tree.restoreTimes();
    holdFolderAccessTimes(dir / "home/big");
    std::vector<std::string> items = tree.items();
    items.push_back(dir / "home/big");
    std::vector<Measurement> alone;
    for (const std::string& item : items)
        alone.push_back(measure(item));

    const int callers = 24;
    std::vector<std::vector<Measurement>> together(callers);
    {
        std::vector<std::jthread> threads;
        for (int t = 0; t < callers; ++t)
            threads.emplace_back([&, t] {
                for (std::size_t i = 0; i < items.size(); ++i)
                    together[std::size_t(t)].push_back(measure(items[(i + std::size_t(t) * 7) % items.size()]));
            });
    }
    for (int t = 0; t < callers; ++t)
        for (std::size_t i = 0; i < items.size(); ++i)
            ASSERT_EQ(together[std::size_t(t)][i], alone[(i + std::size_t(t) * 7) % items.size()])
                << items[(i + std::size_t(t) * 7) % items.size()];
}

namespace {
std::atomic<int> entriesSeen{0}, entriesAtStop{-1};
std::stop_source* stopDuringWalk = nullptr;
constexpr int stopAfterEntries = 4500; // past the 4096 entries every call walks

void stopPartWay(int, const char*) {
    if (entriesSeen.fetch_add(1) + 1 == stopAfterEntries) {
        entriesAtStop = stopAfterEntries;
        stopDuringWalk->request_stop();
    }
}
} // namespace

TEST(ParallelWalk, StopMidWalkEndsWithTheBatchesAlreadyUnderWay) {
    TempDir dir;
    const int folders = 100, filesEach = 60;
    for (int i = 0; i < folders; ++i)
        for (int j = 0; j < filesEach; ++j)
            writeFile(dir / ("tree/d" + std::to_string(i) + "/f" + std::to_string(j)), "x");
    Measurement whole = measure(dir / "tree");
    ASSERT_EQ(whole.files, folders * filesEach);

    std::stop_source source;
    stopDuringWalk = &source;
    entriesSeen = 0;
    Measurement partial;
    {
        HookInstalled hook(stopPartWay);
        partial = measure(dir / "tree", source.get_token());
    }
    ASSERT_EQ(entriesAtStop, stopAfterEntries);
    // Every walking thread finishes at most the one folder listing it was in (each fits in one batch).
    EXPECT_LE(entriesSeen - entriesAtStop, (parallelwalk::workerCount + 1) * (filesEach + 1));
    EXPECT_GT(partial.files, 0);
    EXPECT_LT(partial.files, whole.files);
    EXPECT_EQ(partial.size, partial.files * (whole.size / whole.files));
}

TEST(ParallelWalk, MeasuringManyAtOnceGivesEachItsOwnAnswerInOrder) {
    TempDir dir;
    GeneratedTree tree(dir / "home", 7);
    // Many small folders, as a cache folder holds, and two sharing a hard-linked file.
    for (int i = 0; i < 300; ++i)
        writeFileOfSize(dir / ("home/small/c" + std::to_string(i) + "/d/f"), 1 + i * 37);
    makeHardLink(dir / "home/small/c1/d/f", dir / "home/small/c2/twin");
    makeHardLink(dir / "home/small/c1/d/f", dir / "home/small/c1/twin");
    tree.restoreTimes();
    holdFolderAccessTimes(dir / "home/small");

    std::vector<std::string> paths = tree.items();
    for (int i = 0; i < 300; ++i)
        paths.push_back(dir / ("home/small/c" + std::to_string(i)));
    // Unwalkable paths and the same path twice keep their places.
    paths.insert(paths.begin() + 3, dir / "missing");
    paths.insert(paths.begin() + 5, "");
    paths.push_back(paths.front());
    for (int budget : {-1, 0}) {
        BudgetChosen chosen(budget);
        std::vector<Measurement> alone;
        for (const std::string& path : paths)
            alone.push_back(parallelwalk::measure(path, {}));
        std::vector<Measurement> together = parallelwalk::measureEach(paths, {});
        ASSERT_EQ(together.size(), paths.size());
        for (std::size_t i = 0; i < paths.size(); ++i)
            EXPECT_EQ(together[i], alone[i]) << "budget " << budget << ": " << paths[i];
    }
    EXPECT_TRUE(parallelwalk::measureEach({}, {}).empty());
}

TEST(ParallelWalk, StopEndsAManyPathCallOnceTheCallHasSeenEnoughEntries) {
    TempDir dir;
    std::vector<std::string> paths;
    for (int i = 0; i < 1200; ++i) {
        std::string folder = dir / ("caches/c" + std::to_string(i));
        writeFile(folder + "/a", "x");
        writeFile(folder + "/b", "x");
        paths.push_back(folder);
    }
    std::stop_source source;
    source.request_stop();
    std::vector<Measurement> partial = parallelwalk::measureEach(paths, source.get_token());
    std::int64_t files = 0;
    for (const Measurement& each : partial) {
        EXPECT_TRUE(each.files == 0 || each.files == 2);
        files += each.files;
    }
    // Every small folder alone stays under the threshold; together they pass it and the rest is left.
    EXPECT_GE(files, 1000);
    EXPECT_LT(files, 2400);
    std::vector<Measurement> whole = parallelwalk::measureEach(paths, {});
    for (const Measurement& each : whole)
        EXPECT_EQ(each.files, 2);
}
