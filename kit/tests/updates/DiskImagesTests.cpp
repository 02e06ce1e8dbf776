#include "DovraneKit/system/CommandRunner.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/ToolPaths.h"
#include "DovraneKit/updates/DiskImages.h"
#include "support/ArchiveFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// What a disk image holds, as a tar archive: 7-Zip reads it with modes and links (its ISO
// reader drops both), and the attach code does not depend on the format.
void writeImage(const std::string& path, const std::vector<TarItem>& items) { writeTar(path, items); }

void writeAppImage(const std::string& path) {
    writeImage(path, {{"Example.app", 'd', ""},
                      {"Example.app/Contents", 'd', ""},
                      {"Example.app/Contents/Info.plist", 'f', "<plist/>"},
                      {"Example.app/Contents/MacOS", 'd', ""},
                      {"Example.app/Contents/MacOS/Example", 'x', "#!/bin/sh\n"},
                      {"Applications", 'l', "/Applications"}});
}

// Answers the listing with a fixed text and records whether extraction was asked for.
class ListingRunner final : public CommandRunner {
public:
    explicit ListingRunner(std::string listing) : listing_(std::move(listing)) {}
    std::optional<std::string> run(const std::string&, const std::vector<std::string>& arguments,
                                   std::stop_token = {}) const override {
        if (!arguments.empty() && arguments[0] == "x")
            extracted = true;
        return listing_;
    }
    mutable bool extracted = false;

private:
    std::string listing_;
};

int runTool(const std::string& tool, const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(tool.c_str())};
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        (void)!freopen("/dev/null", "w", stderr);
        execv(tool.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#define REQUIRE_SEVEN_ZIP()                                                                                            \
    auto sevenZip = DiskImages::sevenZip();                                                                            \
    if (!sevenZip)                                                                                                     \
    GTEST_SKIP() << "7-Zip is not installed (scripts/install-deps.sh)"

} // namespace

TEST(DiskImageAttach, PresentsTheContentsReadOnlyAndDetachRemovesThem) {
    REQUIRE_SEVEN_ZIP();
    TempDir dir;
    writeAppImage(dir / "update.dmg");
    makeFolder(dir / "mount");
    ProcessRunner runner(60);

    auto attached = DiskImages::attach(dir / "update.dmg", dir / "mount", runner, *sevenZip);
    ASSERT_TRUE(attached) << attached.error().message;
    EXPECT_EQ(Fs::readFile(dir / "mount/Example.app/Contents/Info.plist"), "<plist/>");
    EXPECT_TRUE(Fs::isExecutableFile(dir / "mount/Example.app/Contents/MacOS/Example"));
    EXPECT_TRUE(Fs::isSymlink(dir / "mount/Applications"));
    for (const char* path : {"mount", "mount/Example.app", "mount/Example.app/Contents/Info.plist",
                             "mount/Example.app/Contents/MacOS/Example"}) {
        struct stat info;
        ASSERT_EQ(stat((dir / path).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0222, 0u) << path;
    }
    std::vector<std::string> beside = Fs::list(dir.path());
    EXPECT_EQ(beside.size(), 2u) << "no private folder is left beside the mount point";

    EXPECT_FALSE(DiskImages::attach(dir / "update.dmg", dir / "mount", runner, *sevenZip)) << "in use";
    ASSERT_TRUE(DiskImages::detach(dir / "mount"));
    EXPECT_FALSE(Fs::exists(dir / "mount"));
    EXPECT_FALSE(DiskImages::detach(dir / "mount"));

    // A mount point that does not exist yet is made.
    ASSERT_TRUE(DiskImages::attach(dir / "update.dmg", dir / "fresh", runner, *sevenZip));
    EXPECT_TRUE(Fs::isDirectory(dir / "fresh/Example.app"));
}

TEST(DiskImageAttach, FailuresLeaveNothingAtTheMountPoint) {
    REQUIRE_SEVEN_ZIP();
    TempDir dir;
    ProcessRunner runner(60);
    writeFile(dir / "garbage.dmg", std::string(8192, '\x55'));
    makeFolder(dir / "mount");
    EXPECT_FALSE(DiskImages::attach(dir / "garbage.dmg", dir / "mount", runner, *sevenZip));
    EXPECT_FALSE(DiskImages::attach(dir / "missing.dmg", dir / "mount", runner, *sevenZip));
    EXPECT_TRUE(Fs::list(dir / "mount").empty());
    EXPECT_FALSE(DiskImages::attach(dir / "garbage.dmg", dir / "other", runner, *sevenZip));
    EXPECT_FALSE(Fs::exists(dir / "other"));
    EXPECT_EQ(Fs::list(dir.path()).size(), 2u) << "no private folder is left behind";

    // Hostile images, read by the real 7-Zip.
    for (const auto& items : std::vector<std::vector<TarItem>>{
             {{"ok", 'f', "fine"}, {"../escape", 'f', "x"}},
             {{"up", 'l', ".."}, {"up/escape", 'f', "x"}},
         }) {
        writeImage(dir / "hostile.dmg", items);
        EXPECT_FALSE(DiskImages::attach(dir / "hostile.dmg", dir / "mount", runner, *sevenZip));
        EXPECT_TRUE(Fs::list(dir / "mount").empty());
        EXPECT_FALSE(Fs::exists(dir / "escape"));
    }
    unlink((dir / "hostile.dmg").c_str());

    writeAppImage(dir / "update.dmg");
    writeFile(dir / "busy/file", "x");
    EXPECT_FALSE(DiskImages::attach(dir / "update.dmg", dir / "busy", runner, *sevenZip));
    EXPECT_EQ(Fs::list(dir / "busy"), std::vector<std::string>{"file"});
    EXPECT_FALSE(DiskImages::detach(dir / "busy")) << "not made by attach";
    EXPECT_TRUE(Fs::exists(dir / "busy/file"));
}

TEST(DiskImageAttach, NamesThatEscapeOrTooMuchDataAreRefusedBeforeExtracting) {
    TempDir dir;
    writeFile(dir / "image.dmg", "image");
    struct Case {
        const char* name;
        std::string listing;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"climbing", "Path = Example.app\nSize = 0\n\nPath = Example.app/../../escape\nSize = 1\n", false},
        {"bare dot-dot", "Path = ..\nSize = 0\n", false},
        {"absolute", "Path = /etc/passwd\nSize = 1\n", false},
        {"too large", "Path = big\nSize = 2000\n", false},
        {"empty listing", "", false},
        {"only the image itself", "Path = " + (dir / "image.dmg") + "\nType = Dmg\n", false},
        {"ordinary", "Path = Example.app\r\nSize = 0\r\n\r\nPath = Example.app/..hidden\r\nSize = 999\r\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListingRunner runner(c.listing);
        auto attached = DiskImages::attach(dir / "image.dmg", dir / "mount", runner, "/usr/bin/7zz", 1000);
        EXPECT_EQ(runner.extracted, c.accepted);
        EXPECT_EQ(bool(attached), c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(DiskImages::detach(dir / "mount"));
        }
        EXPECT_FALSE(Fs::exists(dir / "mount"));
    }
}

TEST(DiskImageAttach, HdiutilToolAttachesAndDetaches) {
    REQUIRE_SEVEN_ZIP();
    TempDir dir;
    const std::string& hdiutil = ToolPaths::current().hdiutil;
    writeAppImage(dir / "update.dmg");
    makeFolder(dir / "mount");
    const std::string mount = dir / "mount";
    EXPECT_EQ(
        runTool(hdiutil, {"attach", "-nobrowse", "-readonly", "-noautoopen", "-mountpoint", mount, dir / "update.dmg"}),
        0);
    EXPECT_TRUE(Fs::isDirectory(dir / "mount/Example.app"));
    EXPECT_EQ(runTool(hdiutil, {"detach", mount, "-force"}), 0);
    EXPECT_FALSE(Fs::exists(mount));

    writeFile(dir / "broken.dmg", "not an image");
    EXPECT_NE(
        runTool(hdiutil, {"attach", "-nobrowse", "-readonly", "-noautoopen", "-mountpoint", mount, dir / "broken.dmg"}),
        0);
    EXPECT_FALSE(Fs::exists(mount));
    EXPECT_EQ(runTool(hdiutil, {"attach", "-mountpoint", mount, dir / "update.dmg"}), 2);
    EXPECT_EQ(runTool(hdiutil, {"detach", mount}), 2);
    EXPECT_FALSE(Fs::exists(mount));
}
