#include "DovraneKit/scan/ProjectFinder.h"

#include "DovraneKit/system/FileSystem.h"
#include "support/Patience.h"
#include "support/TestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <thread>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const Date now = Date::now();

// A marker file and a non-empty artifact folder, everything last changed `age` days ago.
void makeProject(const std::string& project, const std::string& marker, const std::string& artifact, double age) {
    writeFile(Path::join(project, marker), "{}");
    writeFileOfSize(Path::join(project, artifact + "/payload.bin"), 5000);
    setTimesRecursively(project, daysAgo(age, now));
}

std::vector<CleanupItem> findBelow(const std::string& root, int minimumAgeDays = 30, int maxDepth = 6) {
    return ProjectFinder{{Url::fromPath(root)}, minimumAgeDays, maxDepth, now}.find();
}

// Sorted when the items come from several folders, whose listing order is the file system's.
std::vector<std::string> names(const std::vector<CleanupItem>& items, bool sorted = false) {
    std::vector<std::string> result;
    for (const auto& item : items)
        result.push_back(item.name);
    if (sorted)
        std::sort(result.begin(), result.end());
    return result;
}

} // namespace

TEST(ProjectFinder, StaleProjectIsListedWithItsAgeAndTool) {
    TempDir root;
    makeProject(root / "shop", "package.json", "node_modules", 40);
    makeProject(root / "young", "package.json", "node_modules", 29.9);

    auto items = findBelow(root.path());
    ASSERT_EQ(names(items), std::vector<std::string>{"shop/node_modules"});
    EXPECT_EQ(items[0].reason, "shop was last changed 40 days ago. Running npm install brings this folder back.");
    EXPECT_EQ(items[0].source, "projects.node_modules");
    EXPECT_GE(items[0].size, 5000);
    ASSERT_TRUE(items[0].lastUsed);
    EXPECT_NEAR(items[0].lastUsed->secondsSinceReference, daysAgo(40, now).secondsSinceReference, 1.0);
    EXPECT_EQ(findBelow(root.path(), 29).size(), 2u);

    ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(findBelow(root.path())[0].reason,
              "shop wurde vor 40 Tagen zuletzt geändert. Mit npm install entsteht der Ordner wieder.");
}

TEST(ProjectFinder, ArtifactsNeedTheirMarkerAndASizeAndAreNeverLinks) {
    TempDir root;
    makeProject(root / "plain", "README.md", "node_modules", 60);
    // Never reached: the walk does not enter dependency folders.
    makeProject(root / "plain/node_modules/inner", "package.json", "node_modules", 60);
    makeProject(root / "native", "CMakeLists.txt", "build", 60);
    writeFile(root / "tool/requirements.txt", "x");
    writeFileOfSize(root / "tool/venv/lib.py", 3000);
    writeFileOfSize(root / "tool/.venv/lib.py", 3000);
    writeFile(root / "web/package.json", "{}");
    makeSymlink(root / "native/build", root / "web/node_modules");
    writeFile(root / "crate/Cargo.toml", "x");
    makeFolder(root / "crate/target");
    setTimesRecursively(root.path(), daysAgo(90, now));

    auto items = findBelow(root.path());
    EXPECT_EQ(names(items, true), (std::vector<std::string>{"native/build", "tool/.venv", "tool/venv"}));
    for (const auto& item : items) {
        if (item.name == "native/build") {
            EXPECT_EQ(item.reason, "native was last changed 90 days ago. The next build brings this folder back.");
        }
    }
    // Rows of one folder come in table order.
    auto tool = std::find_if(items.begin(), items.end(), [](const auto& item) { return item.name == "tool/.venv"; });
    ASSERT_NE(tool + 1, items.end());
    EXPECT_EQ((tool + 1)->name, "tool/venv");
}

TEST(ProjectFinder, OnlyChangesOutsideBuildAndVersionControlFoldersCount) {
    TempDir root;
    for (const char* name : {"a", "b", "c", "d"}) {
        std::string project = root / name;
        writeFile(Path::join(project, "src/main.js"), "x");
        writeFile(Path::join(project, "src/.DS_Store"), "x");
        writeFile(Path::join(project, ".git/HEAD"), "ref");
        makeProject(project, "package.json", "node_modules", 45);
    }
    setTimes(root / "a/node_modules/payload.bin", now);
    setTimes(root / "b/.git/HEAD", now);
    setTimes(root / "c/src/.DS_Store", now);
    setTimes(root / "d/src/main.js", daysAgo(2, now));

    EXPECT_EQ(names(findBelow(root.path()), true),
              (std::vector<std::string>{"a/node_modules", "b/node_modules", "c/node_modules"}));
}

TEST(ProjectFinder, DepthLimitAndFoldersNeverEntered) {
    TempDir root;
    makeProject(root / "1/2/3/4/5/six", "package.json", "node_modules", 50);
    makeProject(root / "1/2/3/4/5/6/seven", "package.json", "node_modules", 50);
    for (const char* skipped : {".hidden/p", "Library/p", "Pods/p", "Tool.app/p", "Old.photoslibrary/p"})
        makeProject(root / skipped, "package.json", "node_modules", 50);
    makeProject(root / "Shelf.APP/p", "package.json", "node_modules", 50); // extensions are case-sensitive
    makeSymlink(root / "1", root / "link");
    setTimesRecursively(root.path(), daysAgo(50, now));

    EXPECT_EQ(names(findBelow(root.path()), true), (std::vector<std::string>{"p/node_modules", "six/node_modules"}));
    EXPECT_EQ(findBelow(root.path(), 30, 7).size(), 3u);
}

TEST(ProjectFinder, RootsInOrderMissingOnesEmptyAndAStopEndsTheWalk) {
    TempDir first, second;
    makeProject(first / "alpha", "Cargo.toml", "target", 70);
    makeProject(second / "beta", "package.json", ".next", 70);
    ProjectFinder finder{
        {Url::fromPath(second.path()), Url::fromPath("/nonexistent-dovrane-root"), Url::fromPath(first.path())},
        30,
        6,
        now};
    EXPECT_EQ(names(finder.find()), (std::vector<std::string>{"beta/.next", "alpha/target"}));

    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE(finder.find(stop.get_token()).empty());
}

TEST(ProjectFinder, FoldersWalkedSideBySideKeepTheWalkingOrder) {
    TempDir root;
    makeProject(root.path(), "package.json", "node_modules", 50);
    for (int i = 0; i < 24; ++i) {
        const std::string name = "w" + std::to_string(i);
        makeProject(root / name, "Cargo.toml", "target", 40 + i);
        if (i % 3 == 0)
            makeProject(root / (name + "/nested/" + name + "-inner"), "package.json", "node_modules", 45);
    }
    setTimesRecursively(root.path(), daysAgo(50, now)); // nested projects made their parents younger
    std::vector<std::string> expected{Path::lastComponent(root.path()) + "/node_modules"};
    for (const std::string& entry : Fs::list(root.path())) {
        if (!entry.starts_with("w"))
            continue;
        expected.push_back(entry + "/target");
        if (std::stoi(entry.substr(1)) % 3 == 0)
            expected.push_back(entry + "-inner/node_modules");
    }
    for (int run = 0; run < 3; ++run)
        EXPECT_EQ(names(findBelow(root.path())), expected);
}

// Roots from a settings file may name one folder twice (a link, a trailing slash, "..") or one
// inside another: each folder is walked once, a root inside another by itself (so a project
// deeper than the outer walk reaches is still found), and nothing inside a listed build
// folder is listed again.
TEST(ProjectFinder, EachFolderIsWalkedOnceHoweverTheRootsNameIt) {
    TempDir root;
    makeProject(root / "a", "package.json", "node_modules", 60);
    makeProject(root / "a/node_modules/pkg", "package.json", "node_modules", 60);
    makeProject(root / "work/b", "Cargo.toml", "target", 60);
    makeProject(root / "work/1/2/3/4/5/deep", "package.json", "node_modules", 60);
    makeSymlink(root / "work", root / "work-link");
    setTimesRecursively(root.path(), daysAgo(60, now));

    const std::vector<std::string> expected = {"a/node_modules", "b/target", "deep/node_modules"};
    ProjectFinder finder{{Url::fromPath(root.path()), Url::fromPath(root / "work"), Url::fromPath(root / "work-link"),
                          Url::fromPath(root / "work/b/../"), Url::fromPath(root / "a/node_modules")},
                         30,
                         6,
                         now};
    const std::vector<CleanupItem> items = finder.find();
    EXPECT_EQ(names(items, true), expected);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0].url.path(), root / "a/node_modules") << "the roots' order holds";

    // The same roots in another order find the same folders, under the first root's spelling.
    finder.roots = {Url::fromPath(root / "work-link"), Url::fromPath(root.path())};
    const std::vector<CleanupItem> linked = finder.find();
    EXPECT_EQ(names(linked, true), expected);
    for (const CleanupItem& item : linked)
        EXPECT_EQ(item.url.path().starts_with(root / "work-link/"), item.name != "a/node_modules") << item.url.path();
}

TEST(ProjectFinder, OnlyAbsolutePathsNameRoots) {
    EXPECT_EQ(ProjectFinder::rootsFrom({"", "relative", "./here", "/srv/code", "~/code", "/"}),
              (std::vector<Url>{Url::fromPath("/srv/code"), Url::fromPath("/")}));
}

// Dating a project and walking the roots look at folders and files without using them.
TEST(ProjectFinder, TheWalkLeavesAccessTimesAsItFoundThem) {
    TempDir root;
    makeProject(root / "shop", "package.json", "node_modules", 40);
    writeFile(root / "shop/src/main.js", "x");
    setTimesRecursively(root.path(), daysAgo(40, now));
    auto accessed = [&] {
        std::vector<std::int64_t> times;
        for (const char* path : {"", "/shop", "/shop/src", "/shop/node_modules", "/shop/src/main.js"}) {
            struct stat status {};
            lstat((root.path() + path).c_str(), &status);
            times.push_back(status.st_atim.tv_sec);
        }
        return times;
    };
    const std::vector<std::int64_t> before = accessed();
    EXPECT_EQ(findBelow(root.path()).size(), 1u);
    EXPECT_EQ(accessed(), before);
}

// Dating a project stops after ProjectFinder::datingLimit entries, and what lies beyond may be
// newer: such a project has no known age, so its folders are for review, never safe, and a
// change seen before the stop still rules the project out.
TEST(ProjectFinder, AProjectTooLargeToDateCompletelyIsNeverSafe) {
    TempDir root;
    const std::string project = root / "big";
    makeProject(project, "package.json", "node_modules", 0);
    makeFolder(project + "/a");
    makeFolder(project + "/b");
    // The folder the look enters first holds more than it looks at; the other comes after.
    const std::vector<std::string> listed = Fs::list(project);
    const bool aFirst = std::find(listed.begin(), listed.end(), "a") < std::find(listed.begin(), listed.end(), "b");
    const std::string bulk = project + (aFirst ? "/a" : "/b"), later = project + (aFirst ? "/b" : "/a");
    // Links to one file: entries all the same, and quicker to make than as many files.
    writeFile(bulk + "/f", "x");
    for (int i = 0; i < ProjectFinder::datingLimit + 1000; ++i)
        ASSERT_EQ(link((bulk + "/f").c_str(), (bulk + "/f" + std::to_string(i)).c_str()), 0);
    setTimesRecursively(root.path(), daysAgo(200, now));

    EXPECT_EQ(ProjectFinder::lastChange(Url::fromPath(project), {}).gap, ProjectFinder::Dating::Gap::tooMany);
    auto items = findBelow(root.path());
    ASSERT_EQ(names(items), std::vector<std::string>{"big/node_modules"});
    EXPECT_EQ(items[0].safety, Safety::review);
    EXPECT_EQ(items[0].action, CleanupAction::trash);
    EXPECT_FALSE(items[0].lastUsed) << "the newest change seen is not the project's last change";
    EXPECT_EQ(items[0].reason, "When big was last changed is unknown: it holds too many files to look at them all. "
                               "Running npm install brings this folder back.");
    {
        ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(findBelow(root.path())[0].reason,
                  "Wann big zuletzt geändert wurde, ist unbekannt: Das Projekt enthält zu viele Dateien, um alle "
                  "anzusehen. Mit npm install entsteht der Ordner wieder.");
    }

    // Written today where the look does not reach: still not safe.
    writeFile(later + "/today.js", "x");
    for (const CleanupItem& item : findBelow(root.path()))
        EXPECT_EQ(item.safety, Safety::review) << item.name;
    // Changed two days ago where the look does reach: the project is young.
    setTimes(bulk, daysAgo(2, now));
    EXPECT_TRUE(findBelow(root.path()).empty());
}

// A folder of the project that cannot be read may hold its newest change: its age is unknown.
TEST(ProjectFinder, AProjectWithAnUnreadableFolderIsForReviewOnly) {
    TempDir root;
    makeProject(root / "shop", "CMakeLists.txt", "build", 0);
    writeFile(root / "shop/private/today.cpp", "x");
    makeProject(root / "open", "package.json", "node_modules", 0);
    setTimesRecursively(root.path(), daysAgo(60, now));
    ASSERT_EQ(chmod(root.path().c_str(), 0755), 0);
    const OrdinaryUser user = ordinaryUser();
    chownRecursively(root.path(), user.user, user.group);
    ASSERT_EQ(chmod((root / "shop/private").c_str(), 0), 0);

    const std::string report = asOrdinaryUser([&] {
        std::string lines;
        for (const CleanupItem& item : findBelow(root.path()))
            lines += item.name + " " + std::string(rawValue(item.safety)) + ": " + item.reason + "\n";
        return lines;
    });
    const std::vector<std::string> expected = {
        "open/node_modules safe: open was last changed 60 days ago. Running npm install brings this folder back.\n",
        "shop/build review: When shop was last changed is unknown: some of its folders cannot be read. The next "
        "build brings this folder back.\n"};
    EXPECT_TRUE(report == expected[0] + expected[1] || report == expected[1] + expected[0]) << report;
}

namespace {

std::map<std::string, CleanupItem> byName(const std::vector<CleanupItem>& items) {
    std::map<std::string, CleanupItem> result;
    for (const CleanupItem& item : items)
        result.emplace(item.name, item);
    return result;
}

// A named pipe, and a thread that notes whether anything opens it to read: it opens it to write,
// which waits for a reader, then writes a byte and closes, so a reader is never left waiting.
class WatchedPipe {
public:
    explicit WatchedPipe(std::string path) : path_(std::move(path)) {
        makeFolder(Path::parent(path_));
        EXPECT_EQ(::mkfifo(path_.c_str(), 0644), 0) << path_;
        watcher_ = std::thread([this] {
            // A reader gone before the byte is written makes it EPIPE, not the end of the test
            // program: a blocked SIGPIPE of this thread only stays pending.
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
            const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
            opened_ = !released_;
            if (fd >= 0) {
                (void)!::write(fd, "x", 1);
                ::close(fd);
            }
        });
    }
    ~WatchedPipe() { opened(); }
    WatchedPipe(const WatchedPipe&) = delete;
    WatchedPipe& operator=(const WatchedPipe&) = delete;

    const std::string& path() const { return path_; }
    // Whether anything but this opened it; the watcher ends.
    bool opened() {
        if (watcher_.joinable()) {
            released_ = true;
            const int reader = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            watcher_.join();
            if (reader >= 0)
                ::close(reader);
        }
        return opened_;
    }

private:
    std::string path_;
    std::atomic<bool> released_{false}, opened_{false};
    std::thread watcher_;
};

const std::string unreadableRepository =
    " Whether git tracks files in it is unknown: its git repository could not be read.";

} // namespace

// A build folder holding a file git tracks is the project's, not the build's: moving it would
// delete that file from the project. Beside it an untracked one stays safe.
TEST(ProjectFinder, ABuildFolderHoldingAFileGitTracksIsForReviewOnly) {
    const std::optional<std::string> program = gitProgram();
    if (!program)
        GTEST_SKIP() << "git is not installed, so no repository can be made (install-deps.sh --tests adds it)";
    TempDir root;
    makeProject(root / "app", "CMakeLists.txt", "build", 0);
    writeFile(root / "app/build/icon.png", "png");
    makeProject(root / "lib", "CMakeLists.txt", "build", 0);
    // Sorted before "lib/build/" in git's index, and no part of the folder.
    writeFile(root / "lib/build.sh", "make");
    // A repository checked out in the folder is tracked as one entry of the folder's own name.
    makeProject(root / "tool", "CMakeLists.txt", "build", 0);
    ASSERT_TRUE(git(*program, root.path(), {"init", "-q"}));
    ASSERT_TRUE(git(*program, root.path(), {"add", "app/CMakeLists.txt", "app/build/icon.png", "lib/build.sh"}));
    ASSERT_TRUE(
        git(*program, root.path(),
            {"update-index", "--add", "--cacheinfo", "160000,1111111111111111111111111111111111111111,tool/build"}));
    setTimesRecursively(root.path(), daysAgo(60, now));

    auto items = byName(findBelow(root.path()));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items["lib/build"].safety, Safety::safe);
    EXPECT_EQ(items["lib/build"].reason, "lib was last changed 60 days ago. The next build brings this folder back.");
    for (const char* tracked : {"app/build", "tool/build"}) {
        EXPECT_EQ(items[tracked].safety, Safety::review) << tracked;
        EXPECT_EQ(items[tracked].action, CleanupAction::trash) << tracked;
        EXPECT_EQ(items[tracked].reason, "Git tracks files in this folder, and no build brings them back. Moving it "
                                         "takes them out of the project.")
            << tracked;
    }
    EXPECT_EQ(ProjectFinder::tracking(Url::fromPath(root / "app/build")), ProjectFinder::Tracking::tracked);
    EXPECT_EQ(ProjectFinder::tracking(Url::fromPath(root / "lib/build")), ProjectFinder::Tracking::untracked);
    {
        ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(byName(findBelow(root.path()))["app/build"].reason,
                  "Git versioniert Dateien in diesem Ordner, und kein Build legt sie wieder an. Wird er verschoben, "
                  "fehlen sie im Projekt.");
    }

    // A plain repository is read without libgit2; one only libgit2 reads (here its
    // configuration includes another file) is not, and where what git tracks cannot be found
    // out, no folder of a repository is safe, and the reason says why.
    ProjectFinder withoutLibrary{{Url::fromPath(root.path())}, 30, 6, now};
    withoutLibrary.gitLibrary = "libdovrane-no-such-git.so.0";
    EXPECT_EQ(byName(withoutLibrary.find()), items);
    writeFile(root / ".git/config", *Fs::readFile(root / ".git/config") + "[include]\n\tpath = more\n");
    writeFile(root / ".git/more", "");
    for (const CleanupItem& item : withoutLibrary.find()) {
        EXPECT_EQ(item.safety, Safety::review) << item.name;
        EXPECT_TRUE(item.reason.ends_with(" Whether git tracks files in it is unknown: libgit2, which reads git "
                                          "repositories, is not installed."))
            << item.reason;
    }
    EXPECT_EQ(ProjectFinder::tracking(Url::fromPath(root / "lib/build"), withoutLibrary.gitLibrary),
              ProjectFinder::Tracking::noLibrary);
    writeFile(root / ".git/index", "not an index");
    const auto unreadable = byName(findBelow(root.path()));
    ASSERT_EQ(unreadable.size(), 3u);
    EXPECT_EQ(unreadable.at("lib/build").safety, Safety::review);
    EXPECT_EQ(unreadable.at("lib/build").reason,
              "lib was last changed 60 days ago. The next build brings this folder back." + unreadableRepository);

    // Outside any repository nothing is tracked.
    TempDir plain;
    makeProject(plain / "shop", "package.json", "node_modules", 60);
    EXPECT_EQ(ProjectFinder::tracking(Url::fromPath(plain / "shop/node_modules")), ProjectFinder::Tracking::untracked);
    EXPECT_EQ(findBelow(plain.path()).at(0).safety, Safety::safe);
}

// A pipe, a socket or a device where git keeps a repository's files would hold whoever opens it
// for ever: such a repository is never read, nothing opens the pipe, and its folders are for
// review. A repository beside them still reads.
TEST(ProjectFinder, APipeWhereARepositoryKeepsAFileIsNeverOpened) {
    const std::optional<std::string> program = gitProgram();
    if (!program)
        GTEST_SKIP() << "git is not installed, so no repository can be made (install-deps.sh --tests adds it)";
    TempDir root;
    auto project = [&](const std::string& name) {
        const std::string folder = root / name;
        makeProject(folder, "CMakeLists.txt", "build", 0);
        EXPECT_TRUE(git(*program, folder, {"init", "-q"}));
        EXPECT_TRUE(git(*program, folder, {"add", "CMakeLists.txt"}));
        return folder;
    };
    writeFile(Path::join(project("control"), "build/icon.png"), "png");
    ASSERT_TRUE(git(*program, root / "control", {"add", "build/icon.png"}));
    std::vector<std::unique_ptr<WatchedPipe>> pipes;
    for (const char* file : {"index", "HEAD", "config"}) {
        const std::string folder = project(std::string("pipe-") + file);
        Fs::removeAll(Path::join(folder, std::string(".git/") + file));
        pipes.push_back(std::make_unique<WatchedPipe>(Path::join(folder, std::string(".git/") + file)));
    }
    // ".git" files naming a repository's folder elsewhere: one whose index is a pipe, and a pipe.
    for (const char* name : {"linked", "named"}) {
        makeProject(root / name, "CMakeLists.txt", "build", 0);
        writeFile(root / (std::string(name) + "/.git"), "gitdir: " + root / (std::string(".store/") + name) + "\n");
    }
    writeFile(root / ".store/linked/HEAD", "ref: refs/heads/main\n");
    makeFolder(root / ".store/linked/objects");
    makeFolder(root / ".store/linked/refs");
    pipes.push_back(std::make_unique<WatchedPipe>(root / ".store/linked/index"));
    pipes.push_back(std::make_unique<WatchedPipe>(root / ".store/named"));
    setTimesRecursively(root.path(), daysAgo(60, now));

    auto items = byName(findBelow(root.path()));
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items["control/build"].safety, Safety::review);
    EXPECT_TRUE(items["control/build"].reason.starts_with("Git tracks files in this folder"));
    for (const char* name : {"pipe-index", "pipe-HEAD", "pipe-config", "linked", "named"}) {
        const CleanupItem& item = items[name + std::string("/build")];
        EXPECT_EQ(item.safety, Safety::review) << name;
        EXPECT_TRUE(item.reason.ends_with(unreadableRepository)) << name << ": " << item.reason;
    }
    for (const auto& pipe : pipes)
        EXPECT_FALSE(pipe->opened()) << pipe->path();
}

// Where only libgit2 reads a repository right, it reads it in a child process that is ended at
// the lookup's bound. A pipe it meets where no look beforehand could see one (here a file the
// configuration includes) holds the walk no longer than that, leaves nothing waiting on the
// pipe, and the project's folders are for review.
TEST(ProjectFinder, WhatGitTracksIsFoundOutWithinItsBoundAndNothingIsLeftWaiting) {
    TempDir root;
    makeProject(root / "shop", "package.json", "node_modules", 60);
    writeFile(root / "shop/.git/HEAD", "ref: refs/heads/main\n");
    makeFolder(root / "shop/.git/objects");
    makeFolder(root / "shop/.git/refs");
    writeFile(root / "shop/.git/config", "[core]\n\trepositoryformatversion = 0\n[include]\n\tpath = held\n");
    const std::string pipe = root / "shop/.git/held";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);

    ProjectFinder finder{{Url::fromPath(root.path())}, 30, 6, now};
    finder.gitBound = std::chrono::milliseconds(500);
    auto walking = std::async(std::launch::async, [&finder] { return finder.find(); });
    const bool waited = walking.wait_for(patient(std::chrono::seconds(5))) != std::future_status::ready;
    if (waited) // a reader in this process waits for a writer: one comes and goes, so it ends
        if (const int writer = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); writer >= 0)
            ::close(writer);
    const std::vector<CleanupItem> items = walking.get();
    EXPECT_FALSE(waited) << "the walk waited on the pipe past the lookup's bound";
    ASSERT_EQ(items.size(), 1u);
    if (items[0].reason.ends_with("is not installed."))
        GTEST_SKIP() << "libgit2 is not installed (install-deps.sh adds it)";
    EXPECT_EQ(items[0].safety, Safety::review);
    EXPECT_TRUE(items[0].reason.ends_with(unreadableRepository)) << items[0].reason;
    // Nothing waits to read the pipe any more: a writer finds no reader.
    errno = 0;
    EXPECT_EQ(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC), -1);
    EXPECT_EQ(errno, ENXIO);
}
