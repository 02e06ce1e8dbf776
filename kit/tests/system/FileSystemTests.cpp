#include "DovraneKit/system/FileSystem.h"

#include "support/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <set>

using namespace dovrane;
using dovrane::testing::ScopedEnv;
using dovrane::testing::TempDir;
namespace fixture = dovrane::testing;

TEST(FileSystemQueries, ListingAndKinds) {
    TempDir dir;
    fixture::writeFile(dir / "visible", "x");
    fixture::writeFile(dir / ".hidden", "");
    fixture::makeFolder(dir / "folder");
    fixture::makeSymlink(dir / "folder", dir / "to-folder");
    fixture::makeSymlink(dir / "missing", dir / "dangling");

    auto names = Fs::list(dir.path());
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()),
              (std::set<std::string>{"visible", ".hidden", "folder", "to-folder", "dangling"}));
    EXPECT_TRUE(Fs::list(dir / "nowhere").empty());
    EXPECT_TRUE(Fs::list(dir / "visible").empty());

    EXPECT_TRUE(Fs::exists(dir / "dangling"));
    EXPECT_FALSE(Fs::exists(dir / "missing"));
    EXPECT_TRUE(Fs::isSymlink(dir / "dangling"));
    EXPECT_FALSE(Fs::isSymlink(dir / "folder"));
    EXPECT_EQ(Fs::linkTarget(dir / "dangling"), dir / "missing");
    EXPECT_EQ(Fs::linkTarget(dir / "visible"), std::nullopt);
    EXPECT_TRUE(Fs::isDirectory(dir / "to-folder"));
    EXPECT_FALSE(Fs::isDirectory(dir / "visible"));
    EXPECT_TRUE(Fs::isRegularFile(dir / "visible"));
    EXPECT_FALSE(Fs::isRegularFile(dir / "folder"));

    fixture::writeFile(dir / "tool", "#!/bin/sh\n");
    chmod((dir / "tool").c_str(), 0755);
    EXPECT_TRUE(Fs::isExecutableFile(dir / "tool"));
    EXPECT_FALSE(Fs::isExecutableFile(dir / "visible"));
    EXPECT_FALSE(Fs::isExecutableFile(dir / "folder"));
}

TEST(FileSystemQueries, ModificationDate) {
    TempDir dir;
    fixture::writeFile(dir / "f");
    Date when{700'000'000.5};
    fixture::setTimes(dir / "f", when);
    auto read = Fs::modificationDate(dir / "f");
    ASSERT_TRUE(read);
    EXPECT_NEAR(read->secondsSinceReference, when.secondsSinceReference, 1e-6);
    EXPECT_FALSE(Fs::modificationDate(dir / "none"));
}

TEST(FileSystemReading, WholeRegularFilesUpToTheCap) {
    TempDir dir;
    std::string content("a\0b\xff", 4);
    fixture::writeFile(dir / "f", content);
    EXPECT_EQ(Fs::readFile(dir / "f"), content);
    EXPECT_EQ(Fs::readFile(dir / "f", 4), content);
    EXPECT_FALSE(Fs::readFile(dir / "f", 3));
    EXPECT_FALSE(Fs::readFile(dir / "none"));
    EXPECT_FALSE(Fs::readFile(dir.path()));

    // A named pipe, a socket or a device where a file is expected is refused at once instead
    // of blocking, also behind a link; a link to a regular file is followed.
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir / "socket";
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    socketPath.copy(address.sun_path, socketPath.size());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    fixture::makeSymlink(dir / "pipe", dir / "to-pipe");
    fixture::makeSymlink("/dev/zero", dir / "to-device");
    fixture::makeSymlink(dir / "f", dir / "to-file");
    for (const std::string name : {"pipe", "socket", "to-pipe", "to-device"}) {
        EXPECT_FALSE(Fs::readFile(dir / name)) << name;
        EXPECT_EQ(Fs::openForReading(dir / name), -1) << name;
    }
    close(listener);
    EXPECT_EQ(Fs::readFile(dir / "to-file"), content);
    const int fd = Fs::openForReading(dir / "to-file");
    EXPECT_GE(fd, 0);
    close(fd);
}

TEST(FileSystemWriting, AtomicWritesAndFolders) {
    TempDir dir;
    ASSERT_TRUE(Fs::writeFileAtomically(dir / "f", "first"));
    ASSERT_TRUE(Fs::writeFileAtomically(dir / "f", "second"));
    EXPECT_EQ(Fs::readFile(dir / "f"), "second");
    EXPECT_EQ(Fs::list(dir.path()), std::vector<std::string>{"f"}); // no temporary left behind
    EXPECT_FALSE(Fs::writeFileAtomically(dir / "missing/f", "x"));

    EXPECT_TRUE(Fs::makeDirectories(dir / "a/b/c"));
    EXPECT_TRUE(Fs::isDirectory(dir / "a/b/c"));
    EXPECT_TRUE(Fs::makeDirectories(dir / "a/b/c"));
    EXPECT_FALSE(Fs::makeDirectories(dir / "f/sub"));
    EXPECT_FALSE(Fs::makeDirectories(dir / "f"));
}

// A write killed before its rename leaves "<file>.tmp-XXXXXX". Only such a file of the user's
// own, a minute old and held by no writer, is removed: never a fresh one, a locked one, a link,
// a folder, another file's or a look-alike.
TEST(FileSystemWriting, StaleTemporariesOfAFileGoAndNothingElse) {
    TempDir dir;
    const std::string cache = dir / "last-scan.json";
    const Date old = Date::now().adding(-120);
    fixture::writeFile(cache, "the cache");
    const std::vector<std::string> files{"last-scan.json.tmp-Ab12Cd",  "last-scan.json.tmp-zz99ZZ",
                                         "last-scan.json.tmp-fresh1",  "last-scan.json.tmp-held12",
                                         "last-scan.json.tmp-short",   "last-scan.json.tmp-a.b-c_",
                                         "last-scan.json.tmp-Ab12Cde", "other.json.tmp-Ab12Cd"};
    for (const std::string& name : files) {
        fixture::writeFile(dir / name, "half a save");
        if (name != "last-scan.json.tmp-fresh1")
            fixture::setTimes(dir / name, old);
    }
    fixture::makeFolder(dir / "last-scan.json.tmp-folder");
    fixture::makeSymlink(dir / "last-scan.json.tmp-Ab12Cd", dir / "last-scan.json.tmp-linkAB");
    fixture::setTimes(dir / "last-scan.json.tmp-folder", old);
    fixture::setTimes(dir / "last-scan.json.tmp-linkAB", old);
    const int writer = open((dir / "last-scan.json.tmp-held12").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(lchown((dir / "last-scan.json.tmp-zz99ZZ").c_str(), 65534, 65534), 0); // another user's
    }

    EXPECT_EQ(Fs::removeStaleTemporaries(cache), geteuid() == 0 ? 1u : 2u);
    EXPECT_FALSE(Fs::exists(dir / "last-scan.json.tmp-Ab12Cd"));
    for (const std::string& name : files) {
        if (name != "last-scan.json.tmp-Ab12Cd" && (geteuid() == 0 || name != "last-scan.json.tmp-zz99ZZ")) {
            EXPECT_TRUE(Fs::exists(dir / name)) << name;
        }
    }
    EXPECT_TRUE(Fs::isDirectory(dir / "last-scan.json.tmp-folder"));
    EXPECT_TRUE(Fs::isSymlink(dir / "last-scan.json.tmp-linkAB"));
    EXPECT_EQ(Fs::readFile(cache), "the cache");

    // Once its writer is gone it is as stale as any.
    close(writer);
    EXPECT_EQ(Fs::removeStaleTemporaries(cache), 1u);
    EXPECT_FALSE(Fs::exists(dir / "last-scan.json.tmp-held12"));
}

TEST(FileSystemWriting, MoveAsideNumbersItsNamesAndKeepsEveryEarlierCopy) {
    TempDir dir;
    const std::string file = dir / "settings.json";
    for (const std::string content : {"first", "second", "third"}) {
        ASSERT_TRUE(Fs::writeFile(file, content));
        ASSERT_TRUE(Fs::moveAside(file, ".damaged"));
    }
    EXPECT_EQ(Fs::readFile(dir / "settings.json.damaged"), "first");
    EXPECT_EQ(Fs::readFile(dir / "settings.json.damaged-2"), "second");
    EXPECT_EQ(Fs::readFile(dir / "settings.json.damaged-3"), "third");
    EXPECT_FALSE(Fs::exists(file));
    EXPECT_EQ(Fs::moveAside(file, ".damaged"), std::nullopt); // nothing there to move
}

// A database's log files go with it, and a name any of them would take is skipped: a log left
// over from an earlier copy is neither replaced nor joined to the wrong file.
TEST(FileSystemWriting, MoveAsideTakesItsCompanionsAlong) {
    TempDir dir;
    const std::string store = dir / "x.store";
    ASSERT_TRUE(Fs::writeFile(store, "pages"));
    ASSERT_TRUE(Fs::writeFile(store + "-wal", "log"));
    ASSERT_TRUE(Fs::writeFile(store + ".damaged-wal", "an earlier log"));
    const auto aside = Fs::moveAside(store, ".damaged", {"-wal", "-shm"});
    ASSERT_EQ(aside, store + ".damaged-2");
    EXPECT_EQ(Fs::readFile(*aside), "pages");
    EXPECT_EQ(Fs::readFile(*aside + "-wal"), "log");
    EXPECT_FALSE(Fs::exists(*aside + "-shm")); // none was there
    EXPECT_EQ(Fs::readFile(store + ".damaged-wal"), "an earlier log");
    EXPECT_FALSE(Fs::exists(store + ".damaged"));
    EXPECT_FALSE(Fs::exists(store) || Fs::exists(store + "-wal"));
}

// What a removal gives back is what the disk regains: the blocks of every folder and file that
// went, but nothing for a file whose other link keeps it, nor for what a link points at.
TEST(FileSystemWriting, RemoveAllCountsTheSpaceItFrees) {
    TempDir dir;
    auto blocks = [](const std::string& path) {
        struct stat status;
        return lstat(path.c_str(), &status) == 0 ? std::int64_t(status.st_blocks) * 512 : -1;
    };
    fixture::writeFileOfSize(dir / "tree/big", 300'000);
    fixture::writeFile(dir / "tree/sub/small", "s");
    fixture::writeFileOfSize(dir / "kept/shared", 200'000);
    ASSERT_EQ(link((dir / "kept/shared").c_str(), (dir / "tree/sub/shared").c_str()), 0);
    fixture::makeSymlink(dir / "kept", dir / "tree/link");
    const std::int64_t expected = blocks(dir / "tree") + blocks(dir / "tree/big") + blocks(dir / "tree/sub") +
                                  blocks(dir / "tree/sub/small") + blocks(dir / "tree/link");
    ASSERT_GE(blocks(dir / "tree/big"), 300'000);

    std::int64_t freed = 0;
    EXPECT_TRUE(Fs::removeAll(dir / "tree", freed));
    EXPECT_EQ(freed, expected);
    EXPECT_TRUE(Fs::exists(dir / "kept/shared"));

    // Added to what the caller counted before; a lone file counts its own blocks.
    const std::int64_t lone = blocks(dir / "kept/shared");
    EXPECT_TRUE(Fs::removeAll(dir / "kept/shared", freed));
    EXPECT_EQ(freed, expected + lone);
    EXPECT_TRUE(Fs::removeAll(dir / "never-existed", freed));
    EXPECT_EQ(freed, expected + lone);
}

TEST(FileSystemWriting, RemoveAllNeverFollowsLinks) {
    TempDir dir;
    fixture::writeFile(dir / "kept/file", "keep me");
    fixture::writeFile(dir / "tree/sub/file", "x");
    fixture::makeSymlink(dir / "kept", dir / "tree/link-to-kept");
    fixture::makeSymlink(dir / "kept", dir / "top-link");
    chmod((dir / "tree/sub").c_str(), 0500);

    EXPECT_TRUE(Fs::removeAll(dir / "tree"));
    EXPECT_FALSE(Fs::exists(dir / "tree"));
    EXPECT_TRUE(Fs::removeAll(dir / "top-link"));
    EXPECT_FALSE(Fs::exists(dir / "top-link"));
    EXPECT_EQ(Fs::readFile(dir / "kept/file"), "keep me");
    EXPECT_TRUE(Fs::removeAll(dir / "never-existed"));
    EXPECT_FALSE(Fs::isOwnFolder(dir / "top-link")); // gone, and a link never counts
    fixture::makeSymlink(dir / "kept", dir / "link-to-folder");
    EXPECT_FALSE(Fs::isOwnFolder(dir / "link-to-folder"));
    EXPECT_TRUE(Fs::isOwnFolder(dir / "kept"));
}

TEST(FileSystemWriting, UniqueFoldersAndUuids) {
    TempDir dir;
    auto a = Fs::makeUniqueDirectory(dir.path(), "work-"), b = Fs::makeUniqueDirectory(dir.path(), "work-");
    ASSERT_TRUE(a && b);
    EXPECT_NE(*a, *b);
    EXPECT_EQ(Path::lastComponent(*a).rfind("work-", 0), 0u);
    struct stat info;
    ASSERT_EQ(stat(a->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_FALSE(Fs::makeUniqueDirectory(dir / "missing", "x"));

    auto uuid = Fs::makeUuid();
    ASSERT_EQ(uuid.size(), 36u);
    for (std::size_t dash : {8u, 13u, 18u, 23u})
        EXPECT_EQ(uuid[dash], '-');
    EXPECT_EQ(uuid[14], '4');
    EXPECT_NE(uuid, Fs::makeUuid());
}

TEST(FileSystemLocations, FollowTheEnvironment) {
    ScopedEnv home("HOME", "/tmp/some-home");
    EXPECT_EQ(Fs::homeDirectory(), "/tmp/some-home");
    {
        ScopedEnv data("XDG_DATA_HOME", "/tmp/data");
        EXPECT_EQ(Fs::dataHome(), "/tmp/data");
    }
    {
        ScopedEnv relative("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(Fs::dataHome(), "/tmp/some-home/.local/share");
    }
    ScopedEnv unset("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(Fs::dataHome(), "/tmp/some-home/.local/share");
    ScopedEnv tmp("TMPDIR", "/var/tmp");
    EXPECT_EQ(Fs::temporaryDirectory(), "/var/tmp");
    ScopedEnv noTmp("TMPDIR", std::nullopt);
    EXPECT_EQ(Fs::temporaryDirectory(), "/tmp");
}

// The module folder lies where the build puts the AppImage module, relative to the programs'
// folder as in an installed prefix, not beside the programs.
TEST(FileSystemLocations, TheModuleFolderHoldsTheAppImageModule) {
    const std::string folder = Fs::moduleDirectory();
    EXPECT_NE(Fs::realPath(folder), Fs::realPath(Fs::executableDirectory()));
    EXPECT_TRUE(Fs::isRegularFile(Path::join(folder, "dovrane-appimage.so"))) << folder;
    EXPECT_FALSE(Fs::exists(Path::join(Fs::executableDirectory(), "dovrane-appimage.so")));
}

TEST(FileSystemWriting, RemoveAllLeavesWhatIsMountedInsideAndSaysSo) {
    TempDir dir;
    fixture::writeFile(dir / "tree/own/file", "mine");
    fixture::writeFile(dir / "tree/top", "mine");
    fixture::makeFolder(dir / "tree/own/disk");
    fixture::makeFolder(dir / "tree/share");
    fixture::writeFile(dir / "elsewhere/precious", "same disk, another folder");
    fixture::makeFolder(dir / "mounted");
    auto report = fixture::withPrivateMounts([&] {
        std::string problems;
        auto expect = [&](bool ok, const char* what) { problems += ok ? "" : std::string(what) + "; "; };
        if (!fixture::mountTmpfs(dir / "tree/own/disk") || !fixture::bindMount(dir / "elsewhere", dir / "tree/share") ||
            !fixture::mountTmpfs(dir / "mounted"))
            return std::string("mounting failed");
        fixture::writeFile(dir / "tree/own/disk/on-the-disk", "another disk");
        fixture::writeFile(dir / "mounted/inside", "another disk");

        expect(Fs::isMountPoint(dir / "tree/own/disk") && Fs::isMountPoint(dir / "tree/share"), "mounts seen");
        expect(!Fs::isMountPoint(dir / "tree/own") && !Fs::isMountPoint(dir / "tree/top"), "no mount seen elsewhere");
        expect(Fs::isOwnFolder(dir / "tree/own") && !Fs::isOwnFolder(dir / "tree/own/disk") &&
                   !Fs::isOwnFolder(dir / "tree/share") && !Fs::isOwnFolder(dir / "tree/top"),
               "only a folder with nothing mounted on it is its own");
        expect(Fs::holdsMountPoint(dir / "tree") && Fs::holdsMountPoint(dir / "tree/own/disk"), "held mounts seen");
        expect(!Fs::holdsMountPoint(dir / "elsewhere") && !Fs::holdsMountPoint(dir / "tree/top"),
               "nothing held elsewhere");

        expect(!Fs::removeAll(dir / "tree"), "a removal that met mounts is not a success");
        expect(Fs::readFile(dir / "tree/own/disk/on-the-disk") == "another disk", "the tmpfs keeps its file");
        expect(Fs::readFile(dir / "elsewhere/precious").has_value(), "the bound folder keeps its file");
        expect(!Fs::exists(dir / "tree/top") && !Fs::exists(dir / "tree/own/file"), "the rest is gone");

        expect(!Fs::removeAll(dir / "mounted"), "a mount point itself is not removed");
        expect(Fs::readFile(dir / "mounted/inside") == "another disk", "nor is what it holds");
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}
