#include "DovraneKit/core/Path.h"

#include <gtest/gtest.h>

using namespace dovrane;

TEST(PathHelpers, JoinSplitAndExtensions) {
    EXPECT_EQ(Path::join("/a", "b"), "/a/b");
    EXPECT_EQ(Path::join("/a/", "/b"), "/a/b");
    EXPECT_EQ(Path::join("/", "x"), "/x");

    EXPECT_EQ(Path::resolve("/usr/bin", "../libexec/dovrane"), "/usr/libexec/dovrane");
    EXPECT_EQ(Path::resolve("/opt/my prefix/bin", "../lib/x86_64-linux-gnu/dovrane"),
              "/opt/my prefix/lib/x86_64-linux-gnu/dovrane");
    EXPECT_EQ(Path::resolve("/usr/games/bin", "../../lib"), "/usr/lib");
    EXPECT_EQ(Path::resolve("/usr/bin", "/usr/lib/dovrane"), "/usr/lib/dovrane");
    EXPECT_EQ(Path::resolve("/usr/bin", "dovrane"), "/usr/bin/dovrane");
    EXPECT_EQ(Path::resolve("/usr/bin", ".."), "/usr");
    EXPECT_EQ(Path::resolve("/bin", "../../../x"), "/x");

    EXPECT_EQ(Path::lastComponent("/a/b/"), "b");
    EXPECT_EQ(Path::lastComponent("name"), "name");
    EXPECT_EQ(Path::lastComponent("/"), "/");
    EXPECT_EQ(Path::lastComponent(""), "");

    EXPECT_EQ(Path::parent("/a/b"), "/a");
    EXPECT_EQ(Path::parent("/a/b/"), "/a");
    EXPECT_EQ(Path::parent("/a"), "/");
    EXPECT_EQ(Path::parent("/"), "/");
    EXPECT_EQ(Path::parent("name"), "");

    EXPECT_EQ(Path::extension("archive.tar.gz"), "gz");
    EXPECT_EQ(Path::deletingExtension("archive.tar.gz"), "archive.tar");
    for (const char* bare : {".bashrc", "Makefile", "trailing."}) {
        EXPECT_EQ(Path::extension(bare), "") << bare;
        EXPECT_EQ(Path::deletingExtension(bare), bare) << bare;
    }
}

TEST(PathHelpers, RebasedTakesWholeComponentsOnly) {
    EXPECT_EQ(Path::rebased("/home/u/.cache/x", "/home/u", "/var/home/u"), "/var/home/u/.cache/x");
    EXPECT_EQ(Path::rebased("/home/u", "/home/u", "/var/home/u"), "/var/home/u");
    EXPECT_EQ(Path::rebased("/home/u/", "/home/u", "/var/home/u"), "/var/home/u");
    EXPECT_EQ(Path::rebased("/home/user/x", "/home/u", "/var/home/u"), std::nullopt);
    EXPECT_EQ(Path::rebased("/home", "/home/u", "/var/home/u"), std::nullopt);
    EXPECT_EQ(Path::rebased("/a/b", "/", "/r"), "/r/a/b");
    EXPECT_EQ(Path::rebased("/", "/", "/r"), "/r");
    EXPECT_EQ(Path::rebased("/r/a", "/r", "/"), "/a");
    EXPECT_EQ(Path::rebased("relative", "/", "/r"), std::nullopt);
}
