// End-to-end runs of the tool stand-ins with the argument lists the update installer and the
// self-test pass.
#include "DovraneKit/apps/CodeSigning.h"
#include "DovraneKit/formats/Plist.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/ToolPaths.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>

extern char** environ;

using namespace dovrane;
using namespace dovrane::testing;

namespace {

struct Run {
    int status = -1; // exit status, -1 when the tool did not exit normally
    std::string output;
};

// Runs the tool with the test's environment (so a TempHome reaches it), standard error dropped.
Run run(const std::string& tool, const std::vector<std::string>& args) {
    Run result;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv{const_cast<char*>(tool.c_str())};
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int spawned = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned == 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, std::size_t(n));
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    close(pipeFds[0]);
    return result;
}

const ToolPaths& tools() { return ToolPaths::current(); }

// The self-test's tiny app: an executable and an Info.plist with the version given.
std::string makeTestApp(const std::string& path, const std::string& version) {
    PlistDict info{{"CFBundleIdentifier", "com.example.selftest-update"},
                   {"CFBundleShortVersionString", version},
                   {"CFBundleVersion", version},
                   {"CFBundleExecutable", "selftest"}};
    writeFile(path + "/Contents/Info.plist", Plist::toXml(PlistValue(info)));
    writeFile(path + "/Contents/MacOS/selftest", "#!/bin/sh\n");
    chmod((path + "/Contents/MacOS/selftest").c_str(), 0755);
    return path;
}

// The first quoted text beginning with "Apple Development: ", as the self-test looks for it.
std::optional<std::string> firstDevelopmentIdentity(const std::string& output) {
    const std::string prefix = "\"Apple Development: ";
    auto start = output.find(prefix);
    if (start == std::string::npos)
        return std::nullopt;
    auto end = output.find('"', start + 1);
    if (end == std::string::npos || end == start + prefix.size())
        return std::nullopt;
    return output.substr(start + 1, end - start - 1);
}

} // namespace

TEST(StandInTools, SecurityListsIdentitiesInTheKeychainFormat) {
    TempHome home;
    auto listed = run(tools().security, {"find-identity", "-v", "-p", "codesigning"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.output, "     0 valid identities found\n");
    EXPECT_EQ(firstDevelopmentIdentity(listed.output), std::nullopt);

    EXPECT_EQ(
        run(tools().security, {"create-identity", "Developer ID Application: Jane Doe (TEAM123456)", "TEAM123456"})
            .status,
        0);
    EXPECT_EQ(
        run(tools().security, {"create-identity", "Apple Development: Jane Doe (TEAM123456)", "TEAM123456"}).status, 0);
    EXPECT_NE(
        run(tools().security, {"create-identity", "Apple Development: Jane Doe (TEAM123456)", "TEAM123456"}).status, 0);
    EXPECT_NE(run(tools().security, {"create-identity", "Bad \"name\"", "TEAM1"}).status, 0);

    listed = run(tools().security, {"find-identity", "-v", "-p", "codesigning"});
    EXPECT_EQ(listed.status, 0);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = listed.output.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(listed.output.substr(start, end - start));
    ASSERT_EQ(lines.size(), 3u);
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string& line = lines[i];
        std::string number = "  " + std::to_string(i + 1) + ") ";
        ASSERT_TRUE(line.starts_with(number)) << line;
        std::string hex = line.substr(number.size(), 40);
        EXPECT_EQ(hex.size(), 40u);
        for (char c : hex)
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F')) << line;
        EXPECT_EQ(line.substr(number.size() + 40, 2), " \"") << line;
        EXPECT_EQ(line.back(), '"') << line;
    }
    EXPECT_EQ(lines[2], "     2 valid identities found");
    EXPECT_EQ(firstDevelopmentIdentity(listed.output), "Apple Development: Jane Doe (TEAM123456)");

    EXPECT_EQ(run(tools().security, {"find-identity", "-p", "codesigning"}).status, 2);
    EXPECT_EQ(run(tools().security, {}).status, 2);
}

TEST(StandInTools, SelfTestSequenceSignsArchivesAndAssesses) {
    TempHome home;
    TempDir dir;
    auto listed = run(tools().security, {"create-identity", "Apple Development: Jane Doe (TEAM123456)", "TEAM123456"});
    ASSERT_EQ(listed.status, 0);
    auto identity = firstDevelopmentIdentity(listed.output);
    ASSERT_TRUE(identity);

    std::string installed = makeTestApp(dir / "Applications/Selftest Update.app", "1.0");
    std::string v2 = makeTestApp(dir / "v2/Selftest Update.app", "2.0");
    std::string v3 = makeTestApp(dir / "v3/Selftest Update.app", "3.0");
    EXPECT_EQ(run(tools().codesign, {"--force", "--sign", *identity, installed}).status, 0);
    EXPECT_EQ(run(tools().codesign, {"--force", "--sign", *identity, v2}).status, 0);
    EXPECT_EQ(run(tools().codesign, {"--force", "--sign", "-", v3}).status, 0);
    EXPECT_NE(run(tools().codesign, {"--force", "--sign", "Apple Development: Nobody", v3}).status, 0);

    EXPECT_EQ(run(tools().ditto, {"-c", "-k", "--keepParent", v2, dir / "update-2.zip"}).status, 0);
    EXPECT_EQ(run(tools().ditto, {"-c", "-k", "--keepParent", v3, dir / "update-3.zip"}).status, 0);

    // What the installer then does with each archive.
    EXPECT_EQ(run(tools().ditto, {"-x", "-k", dir / "update-2.zip", dir / "work2/unpacked"}).status, 0);
    EXPECT_EQ(run(tools().ditto, {"-x", "-k", dir / "update-3.zip", dir / "work3/unpacked"}).status, 0);
    std::string new2 = dir / "work2/unpacked/Selftest Update.app";
    std::string new3 = dir / "work3/unpacked/Selftest Update.app";
    EXPECT_EQ(run(tools().codesign, {"--verify", "--deep", "--strict", new2}).status, 0);
    EXPECT_EQ(run(tools().codesign, {"--verify", "--deep", "--strict", new3}).status, 0);
    EXPECT_EQ(run(tools().spctl, {"--assess", "--type", "execute", installed}).status, 0);
    EXPECT_EQ(run(tools().spctl, {"--assess", "--type", "execute", new2}).status, 0);
    EXPECT_NE(run(tools().spctl, {"--assess", "--type", "execute", new3}).status, 0);
    EXPECT_EQ(CodeSigning::teamID(new2), "TEAM123456");
    EXPECT_EQ(CodeSigning::teamID(new3), std::nullopt);

    // Placing: the destination becomes the copy.
    ASSERT_TRUE(Fs::removeAll(installed));
    EXPECT_EQ(run(tools().ditto, {new2, installed}).status, 0);
    EXPECT_EQ(run(tools().codesign, {"--verify", "--deep", "--strict", installed}).status, 0);
    EXPECT_EQ(Plist::string(*Plist::readDictionary(installed + "/Contents/Info.plist"), "CFBundleVersion"), "2.0");

    writeFile(installed + "/Contents/MacOS/selftest", "changed");
    EXPECT_EQ(run(tools().codesign, {"--verify", "--deep", "--strict", installed}).status, 1);
    EXPECT_NE(run(tools().spctl, {"--assess", "--type", "execute", installed}).status, 0);
}

TEST(StandInTools, TarExtractsSecurelyAndToolsRefuseUnknownArguments) {
    TempHome home;
    TempDir dir;
    makeTestApp(dir / "Example.app", "1.0");
    ASSERT_EQ(run(tools().ditto, {"-c", "-k", "--keepParent", dir / "Example.app", dir / "app.zip"}).status, 0);
    EXPECT_EQ(run(tools().tar, {"-xf", dir / "app.zip", "-C", dir / "unpacked"}).status, 0);
    EXPECT_TRUE(Fs::isExecutableFile(dir / "unpacked/Example.app/Contents/MacOS/selftest"));
    EXPECT_NE(run(tools().tar, {"-xf", dir / "app.zip", "-C", dir / "unpacked"}).status, 0) << "not a fresh folder";
    EXPECT_NE(run(tools().tar, {"-xf", dir / "missing.tar.gz", "-C", dir / "other"}).status, 0);
    EXPECT_FALSE(Fs::exists(dir / "other"));

    // Forms the tools do not know are refused before anything is done.
    const std::string app = dir / "Example.app";
    EXPECT_EQ(run(tools().codesign, {"--sign", "-", app}).status, 2);
    EXPECT_EQ(run(tools().codesign, {"--force", "--sign", "-", app, "--deep"}).status, 2);
    EXPECT_FALSE(Fs::exists(Path::join(app, CodeSigning::recordPath)));
    EXPECT_EQ(run(tools().codesign, {"--verify", app}).status, 2);
    EXPECT_EQ(run(tools().spctl, {"--assess", app}).status, 2);
    EXPECT_EQ(run(tools().spctl, {"--assess", "--type", "install", app}).status, 2);
    EXPECT_EQ(run(tools().ditto, {"-x", dir / "app.zip", dir / "x"}).status, 2);
    EXPECT_EQ(run(tools().ditto, {"--rsrc", app, dir / "copy"}).status, 2);
    EXPECT_EQ(run(tools().ditto, {app}).status, 2);
    EXPECT_EQ(run(tools().tar, {"-xzf", dir / "app.zip", "-C", dir / "y"}).status, 2);
    EXPECT_FALSE(Fs::exists(dir / "x"));
    EXPECT_FALSE(Fs::exists(dir / "copy"));
    EXPECT_FALSE(Fs::exists(dir / "y"));
}

// Installed, they are where this build's install layout puts them (a packager's may be
// lib/x86_64-linux-gnu/dovrane), seen from the installed program's folder.
TEST(StandInTools, AreFoundBesideTheProgramOrWhereTheInstallPutsThem) {
    TempDir prefix;
    const std::string bin = prefix / DOVRANE_INSTALL_BINDIR;
    const std::string installed = prefix / DOVRANE_PRIVATE_LIBEXECDIR;
    ASSERT_TRUE(Fs::makeDirectories(bin));
    EXPECT_EQ(ToolPaths::standInFolder(bin), installed);
    EXPECT_EQ(ToolPaths::inFolder(ToolPaths::standInFolder(bin)).codesign, installed + "/dovrane-codesign");

    // A file that cannot run does not count; the build tree's executable one does.
    writeFile(bin + "/dovrane-codesign", "#!/bin/sh\n");
    EXPECT_EQ(ToolPaths::standInFolder(bin), installed);
    ASSERT_EQ(chmod((bin + "/dovrane-codesign").c_str(), 0755), 0);
    EXPECT_EQ(ToolPaths::standInFolder(bin), bin);
}
