#include "DovraneKit/system/FileSystem.h"
#include "support/TestSupport.h"
#include "system/FileTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

struct stat lstatOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info;
}

} // namespace

// Each case would block for ever on open() or read() if a pipe were opened as a file.
TEST(HostileFiles, PipesAndSocketsWhereAFileIsExpectedAreRefusedAtOnce) {
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    SocketFile socketFile(dir / "socket");
    ASSERT_TRUE(socketFile.bound());
    for (const char* name : {"pipe", "socket"}) {
        const std::string path = dir / name;
        EXPECT_FALSE(Fs::readFile(path)) << name;
        EXPECT_EQ(filetree::openRegularFile(path, lstatOf(path)), -1) << name;
    }
}

TEST(HostileFiles, AFileSwappedAfterItWasListedIsNotOpened) {
    TempDir dir;
    const std::string path = dir / "file";
    writeFile(path, "listed");
    const struct stat listed = lstatOf(path);
    // A second name keeps the listed file alive, so no newcomer can reuse its inode number.
    ASSERT_EQ(link(path.c_str(), (dir / "listed").c_str()), 0);
    int fd = filetree::openRegularFile(path, listed);
    ASSERT_GE(fd, 0);
    close(fd);

    // Swapped for a pipe: refused at once instead of waiting for a writer that never comes.
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(rename((dir / "pipe").c_str(), path.c_str()), 0);
    EXPECT_EQ(filetree::openRegularFile(path, listed), -1);

    // Swapped for another file, or for a link to the listed one: not the file that was listed.
    writeFile(dir / "other", "other");
    ASSERT_EQ(rename((dir / "other").c_str(), path.c_str()), 0);
    EXPECT_EQ(filetree::openRegularFile(path, listed), -1);
    writeFile(dir / "kept", "listed");
    const struct stat kept = lstatOf(dir / "kept");
    ASSERT_EQ(unlink(path.c_str()), 0);
    makeSymlink(dir / "kept", path);
    EXPECT_EQ(filetree::openRegularFile(path, kept), -1);
}
