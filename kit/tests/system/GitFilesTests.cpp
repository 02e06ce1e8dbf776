#include "system/GitFiles.h"

#include "DovraneKit/system/FileSystem.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace dovrane;
using namespace dovrane::testing;

// Indexes as git writes them are read as libgit2 reads them, in each version: names below a
// folder, a folder that is an entry of its own (a submodule), a name that only begins like a
// folder's, extended flags (version 3) and names shared with the one before (version 4); names
// compare without case only where the configuration says so. What is no whole index, or one
// that needs more than this reading knows, is refused.
TEST(GitFiles, IndexesOfEveryVersionAreReadAsLibgit2ReadsThem) {
    const std::optional<std::string> program = gitProgram();
    if (!program)
        GTEST_SKIP() << "git is not installed, so no index can be made (install-deps.sh --tests adds it)";
    TempDir repository;
    for (const char* file : {"app/build/icon.png", "app/build.sh", "docs/deep/er/page.md", "Mixed/Case.txt"})
        writeFile(repository / file, "x");
    ASSERT_TRUE(git(*program, repository.path(), {"init", "-q"}));
    ASSERT_TRUE(git(*program, repository.path(), {"add", "."}));
    ASSERT_TRUE(git(*program, repository.path(),
                    {"update-index", "--add", "--cacheinfo", "160000,1111111111111111111111111111111111111111,tool"}));
    const std::vector<std::string> paths = {"app/build", "app", "docs/deep", "tool", "app/build.s", "lib", "mixed"};
    const std::vector<bool> expected = {true, true, true, true, false, false, false};

    for (const char* version : {"2", "3", "4"}) {
        if (std::string(version) == "3") { // an extended flag, which version 2 cannot hold
            ASSERT_TRUE(git(*program, repository.path(), {"update-index", "--skip-worktree", "app/build.sh"}));
        }
        ASSERT_TRUE(git(*program, repository.path(), {"update-index", "--index-version", version}));
        const std::string index = Fs::readFile(repository / ".git/index").value_or("");
        ASSERT_GT(index.size(), 12u);
        ASSERT_EQ(index[7], version[0] - '0') << "git wrote another version";
        EXPECT_EQ(gitfiles::tracked(index, paths, {}), expected) << "version " << version;
        EXPECT_EQ(gitfiles::tracked(index, {"mixed", "MIXED/case.txt"}, {true}), (std::vector<bool>{true, true}));

        // Cut short, or with an extension git requires its readers to know (a split index).
        EXPECT_FALSE(gitfiles::tracked(index.substr(0, index.size() - 40), paths, {}));
        std::string split = index;
        split.insert(split.size() - 20, std::string("link\0\0\0\0", 8));
        EXPECT_FALSE(gitfiles::tracked(split, paths, {}));
        std::string optional = index;
        optional.insert(optional.size() - 20, std::string("ZZZZ\0\0\0\1x", 9));
        EXPECT_EQ(gitfiles::tracked(optional, paths, {}), expected) << "an optional extension is passed over";
    }
    EXPECT_FALSE(gitfiles::tracked(std::string("DIRC\0\0\0\5\0\0\0\0", 12) + std::string(20, '\0'), paths, {}));
}

// Only a configuration that says nothing more than how names compare is read without libgit2:
// another work tree, a bare repository, an included file, an extension or a line this reading
// does not follow send the repository to libgit2.
TEST(GitFiles, OnlyAPlainConfigurationIsReadAlone) {
    const std::string made = "[core]\n\trepositoryformatversion = 0\n\tfilemode = true\n\tbare = false\n"
                             "\tlogallrefupdates = true\n[remote \"origin\"]\n\tworktree = elsewhere\n";
    ASSERT_TRUE(gitfiles::plainConfig(made));
    EXPECT_FALSE(gitfiles::plainConfig(made)->ignoreCase);
    EXPECT_TRUE(gitfiles::plainConfig(made + "[CORE]\n\tIgnoreCase = yes ; comment\n")->ignoreCase);
    EXPECT_TRUE(gitfiles::plainConfig("# nothing set\n"));
    for (const char* other :
         {"[include]\n\tpath = more", "[includeIf \"gitdir:/x/\"]\n\tpath = more", "[core]\n\tworktree = /elsewhere",
          "[core]\n\tbare = true", "[core]\n\tbare", "[extensions]\n\tobjectFormat = sha256",
          "[core]\n\tignorecase = \"true\"", "[core]\n\tbare = false \\\n", "[core] bare = true",
          "[core]\n\trepositoryformatversion = 2", "[core\n"})
        EXPECT_FALSE(gitfiles::plainConfig(made + other)) << other;
}
