// The folders every test program works in: its own, there from the first test, gone at its end,
// and shared with the test programs it starts.

#include "support/TestEnvironment.h"

#include "DovraneKit/system/CommandRunner.h"
#include "DovraneKit/system/FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace dovrane;
using dovrane::testing::ScopedEnv;
using dovrane::testing::TempDir;
using dovrane::testing::testFolder;

namespace {

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool isInside(const std::string& path, const std::string& folder) { return path.starts_with(folder + "/"); }

// This binary once more, running only the test that reports its folder; its output, or nothing
// when it failed.
std::optional<std::string> reportOfAChild() {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    return ProcessRunner(60).run(self, {"--gtest_filter=TestFolders.EveryFolderIsThisProgramsOwnFromTheStart"});
}

std::string reportedFolder(const std::string& output) {
    const std::string mark = "test folder: ";
    const auto at = output.find(mark);
    if (at == std::string::npos)
        return {};
    const auto end = output.find('\n', at);
    return output.substr(at + mark.size(), end == std::string::npos ? std::string::npos : end - at - mark.size());
}

} // namespace

TEST(TestFolders, EveryFolderIsThisProgramsOwnFromTheStart) {
    const std::string folder = testFolder();
    ASSERT_FALSE(folder.empty());
    ASSERT_TRUE(Fs::isDirectory(folder));
    std::printf("test folder: %s\n", folder.c_str());

    const std::string home = variable("HOME");
    EXPECT_TRUE(isInside(home, folder)) << home;
    EXPECT_TRUE(Fs::isDirectory(home)) << "the home is there before any test makes it";
    EXPECT_EQ(Fs::homeDirectory(), home);
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        EXPECT_TRUE(isInside(variable(name), home)) << name << " = " << variable(name);

    const std::string runtime = variable("XDG_RUNTIME_DIR");
    EXPECT_TRUE(isInside(runtime, folder)) << runtime;
    struct stat status {};
    ASSERT_EQ(stat(runtime.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u) << "Qt refuses a runtime folder others may enter";

    EXPECT_TRUE(isInside(Fs::temporaryDirectory(), folder)) << Fs::temporaryDirectory();
    EXPECT_TRUE(Fs::isDirectory(Fs::temporaryDirectory()));
    const TempDir dir;
    EXPECT_TRUE(isInside(dir.path(), folder)) << dir.path();
}

TEST(TestFolders, AProgramMakesItsOwnUnderTmpdirAndLeavesNothing) {
    const TempDir base;
    ScopedEnv tmp("TMPDIR", base.path());
    // Not started by a test program: a fresh folder of its own.
    ScopedEnv parent("DOVRANE_TEST_FOLDER", std::nullopt);
    const auto output = reportOfAChild();
    ASSERT_TRUE(output) << "the child's test failed";
    const std::string childFolder = reportedFolder(*output);
    EXPECT_EQ(Path::parent(childFolder), base.path()) << childFolder;
    EXPECT_TRUE(Path::lastComponent(childFolder).starts_with("dovrane-tests-")) << childFolder;
    EXPECT_FALSE(Fs::exists(childFolder));
    EXPECT_TRUE(Fs::list(base.path()).empty()) << "nothing is left where the program worked";
}

TEST(TestFolders, AProgramStartedByATestWorksInItsParentsFolder) {
    const auto output = reportOfAChild();
    ASSERT_TRUE(output) << "the child's test failed";
    EXPECT_EQ(reportedFolder(*output), testFolder());
    EXPECT_TRUE(Fs::isDirectory(testFolder())) << "the child leaves the folder to its parent";
    EXPECT_TRUE(Fs::isDirectory(Path::join(testFolder(), "home")));
}

TEST(TestFolders, ATmpdirOutsideTmpIsNotUsed) {
    // Test stores are refused outside /tmp, so the folder stays there whatever TMPDIR says.
    ScopedEnv tmp("TMPDIR", "/var/tmp");
    ScopedEnv parent("DOVRANE_TEST_FOLDER", std::nullopt);
    const auto output = reportOfAChild();
    ASSERT_TRUE(output) << "the child's test failed";
    const std::string childFolder = reportedFolder(*output);
    EXPECT_EQ(Path::parent(childFolder), "/tmp") << childFolder;
    EXPECT_FALSE(Fs::exists(childFolder));
}

// Workers read variables while tests add, change and remove others; a reader never meets a list
// freed under it nor misses a variable nobody touched.
TEST(ScopedEnvironment, OtherThreadsReadTheEnvironmentWhileATestChangesIt) {
    const std::string home = variable("HOME");
    std::atomic<bool> done = false;
    std::atomic<int> misses = 0;
    std::thread reader([&] {
        while (!done)
            if (variable("HOME") != home)
                ++misses;
    });
    for (int round = 0; round < 20; ++round) {
        std::vector<std::unique_ptr<ScopedEnv>> added;
        for (int index = 0; index < 200; ++index) {
            const std::string name = "DOVRANE_READ_WHILE_CHANGED_" + std::to_string(index);
            added.push_back(std::make_unique<ScopedEnv>(name, std::to_string(round)));
            EXPECT_EQ(variable(name.c_str()), std::to_string(round));
        }
        ScopedEnv removed("DOVRANE_READ_WHILE_CHANGED_7", std::nullopt);
        EXPECT_EQ(std::getenv("DOVRANE_READ_WHILE_CHANGED_7"), nullptr);
    }
    done = true;
    reader.join();
    EXPECT_EQ(misses, 0);
    EXPECT_EQ(std::getenv("DOVRANE_READ_WHILE_CHANGED_0"), nullptr);
}
