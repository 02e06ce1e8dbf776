// scripts/install-deps.sh on a system of our own making: a PATH holding only stand-ins for id,
// dpkg-query, apt-get and sudo (and grep and env), so no package is ever asked for or installed.

#include "AppRun.h"
#include "DovraneKit/system/FileSystem.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <sstream>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const std::string script = DOVRANE_SOURCE_DIR "/scripts/install-deps.sh";
const std::vector<std::string> testsOnly = {"clang", "libclang-rt-14-dev", "libgtest-dev", "flatpak", "squashfs-tools"};

void writeProgram(const std::string& path, const std::string& body) {
    writeFile(path, "#!/bin/sh\n" + body);
    ASSERT_EQ(chmod(path.c_str(), 0755), 0);
}

std::set<std::string> words(const std::string& text) {
    std::istringstream stream(text);
    return {std::istream_iterator<std::string>(stream), std::istream_iterator<std::string>()};
}

// The text after the first line that begins with prefix; empty when there is none.
std::string after(const std::vector<std::string>& lines, const std::string& prefix) {
    const auto line =
        std::find_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(prefix); });
    return line == lines.end() ? std::string() : line->substr(prefix.size());
}

class InstallDeps : public ::testing::Test {
protected:
    void SetUp() override {
        makeSymlink("/bin/grep", bin_ / "grep");
        makeSymlink("/usr/bin/env", bin_ / "env");
        writeProgram(bin_ / "apt-get", "echo \"$*\" >> '" + (bin_ / "apt-get.log") + "'\n");
        // Nothing is installed.
        writeProgram(bin_ / "dpkg-query", "exit 1\n");
        user(1000);
    }

    void user(int id) { writeProgram(bin_ / "id", "echo " + std::to_string(id) + "\n"); }

    // Standard output and error, one line each.
    AppRun run(const std::vector<std::string>& arguments = {}) {
        std::vector<std::string> command = {"-c", "exec /bin/sh \"$0\" \"$@\" 2>&1", script};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return runProgram("/bin/sh", command);
    }
    std::vector<std::string> aptCalls() const {
        std::vector<std::string> calls;
        std::istringstream log(Fs::readFile(bin_ / "apt-get.log").value_or(""));
        for (std::string line; std::getline(log, line);)
            calls.push_back(line);
        return calls;
    }

    TempDir bin_;
    ScopedEnv path_{"PATH", bin_.path()};
};

} // namespace

// Without root and without sudo rights it names what is missing and how an administrator
// installs it, and fails; what only the tests need is asked for only with --tests.
TEST_F(InstallDeps, WithoutAdministratorRightsNamesThePackagesAndFails) {
    for (const bool tests : {false, true}) {
        SCOPED_TRACE(tests ? "--tests" : "to run");
        const AppRun run = this->run(tests ? std::vector<std::string>{"--tests"} : std::vector<std::string>{});
        EXPECT_EQ(run.status, 1);
        const std::string missing = after(run.lines, "Dovrane needs these packages, which are not installed: ");
        EXPECT_EQ(after(run.lines, "  apt-get update && apt-get install --no-install-recommends "), missing);
        EXPECT_EQ(after(run.lines, "Installing them needs administrator rights, and "),
                  "sudo is not installed. As root, run:");
        const std::set<std::string> packages = words(missing);
        EXPECT_TRUE(packages.contains("qt6-base-dev") && packages.contains("libqt6sql6-sqlite")) << missing;
        // The administrator's moves run through pkexec, so running needs it as much as testing.
        EXPECT_TRUE(packages.contains("pkexec")) << missing;
        for (const std::string& package : testsOnly)
            EXPECT_EQ(packages.contains(package), tests) << package;
    }

    writeProgram(bin_ / "sudo", "echo 'sudo: Permission denied' >&2\nexit 1\n");
    const AppRun refused = run();
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(after(refused.lines, "Installing them needs administrator rights, and "),
              "sudo did not give them. As root, run:");
    EXPECT_EQ(aptCalls(), std::vector<std::string>{});
}

TEST_F(InstallDeps, InstallsWhatIsMissingAsRootOrThroughSudo) {
    user(0);
    const AppRun asRoot = run();
    EXPECT_EQ(asRoot.status, 0);
    const std::string missing = after(asRoot.lines, "Installing: ");
    EXPECT_FALSE(missing.empty());
    EXPECT_EQ(aptCalls(),
              (std::vector<std::string>{"update -qq", "install -y -qq --no-install-recommends " + missing}));

    ASSERT_TRUE(Fs::removeAll(bin_ / "apt-get.log"));
    user(1000);
    writeProgram(bin_ / "sudo", "[ \"$1\" = -v ] && exit 0\nexec \"$@\"\n");
    EXPECT_EQ(run().status, 0);
    EXPECT_EQ(aptCalls().size(), 2u);

    // Everything there: nothing to say, nothing to run.
    ASSERT_TRUE(Fs::removeAll(bin_ / "apt-get.log"));
    writeProgram(bin_ / "dpkg-query", "echo 'install ok installed'\n");
    const AppRun present = run({"--tests"});
    EXPECT_EQ(present.status, 0);
    EXPECT_EQ(present.lines, std::vector<std::string>{});
    EXPECT_EQ(aptCalls(), std::vector<std::string>{});
}

// Elsewhere it installs nothing, names the Debian packages and leaves the rest to the build.
TEST_F(InstallDeps, WithoutDpkgItOnlyNamesThePackages) {
    ASSERT_TRUE(Fs::removeAll(bin_ / "dpkg-query"));
    const AppRun run = this->run();
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(words(after(run.lines, "  ")).contains("qt6-base-dev")) << ::testing::PrintToString(run.lines);
    EXPECT_EQ(aptCalls(), std::vector<std::string>{});
}
