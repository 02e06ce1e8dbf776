#include "DovraneKit/system/FolderDescent.h"

#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/Shell.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

using namespace dovrane;
using dovrane::testing::makeSymlink;
using dovrane::testing::snapshotTree;
using dovrane::testing::TempDir;
using dovrane::testing::writeFile;

namespace {

std::error_code errorOf(std::errc code) { return std::make_error_code(code); }

// The mover's exit status, run directly as the administrator would run it.
int runMover(const std::vector<std::string>& arguments) {
    std::string command = Shell::quote(Path::join(DOVRANE_BIN_DIR, "dovrane-move"));
    for (const std::string& argument : arguments) {
        command += ' ';
        command += Shell::quote(argument);
    }
    const int status = std::system((command + " 2>/dev/null").c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(FolderDescent, NeverGoesThroughALinkBelowTheRoot) {
    TempDir dir;
    writeFile(dir / "home/real/sub/item", "mine");
    writeFile(dir / "outside/sub/item", "theirs");
    makeSymlink(dir / "outside", dir / "home/link");
    makeSymlink(dir / "home", dir / "via");
    const std::string home = dir / "home";

    auto place = FolderDescent::parentOf(home, home + "/real/sub/item");
    ASSERT_TRUE(place.ok());
    EXPECT_EQ(place->name, "item");
    EXPECT_EQ(place->folder.path(), home + "/real/sub");
    // The root itself is the caller's word, links and all.
    EXPECT_TRUE(FolderDescent::parentOf(dir / "via", dir / "via/real/sub/item").ok());

    // A link as the parent or further up, and the same with folders made on the way.
    for (bool create : {false, true}) {
        EXPECT_EQ(FolderDescent::parentOf(home, home + "/link/item", create).error(),
                  errorOf(std::errc::too_many_symbolic_link_levels));
        EXPECT_EQ(FolderDescent::parentOf(home, home + "/link/sub/new/item", create).error(),
                  errorOf(std::errc::too_many_symbolic_link_levels));
    }
    EXPECT_FALSE(Fs::exists(dir / "outside/sub/new"));
    EXPECT_EQ(FolderDescent::parentOf("/", home + "/link/sub/item").error(),
              errorOf(std::errc::too_many_symbolic_link_levels));
    EXPECT_EQ(FolderDescent::parentOf("/", dir / "via/real/sub/item").error(),
              errorOf(std::errc::too_many_symbolic_link_levels));

    // Nothing outside the root, nor a way out of it.
    EXPECT_EQ(FolderDescent::parentOf(home, dir / "outside/sub/item").error(), errorOf(std::errc::invalid_argument));
    EXPECT_EQ(FolderDescent::parentOf(home, home + "/real/../../outside/sub/item").error(),
              errorOf(std::errc::invalid_argument));
    EXPECT_EQ(FolderDescent::parentOf(home, home).error(), errorOf(std::errc::invalid_argument));
    EXPECT_EQ(FolderDescent::parentOf(home, home + "/missing/item").error(),
              errorOf(std::errc::no_such_file_or_directory));

    // Made where missing, as real folders.
    auto made = FolderDescent::parentOf(home, home + "/new/deeper/item", true);
    ASSERT_TRUE(made.ok());
    EXPECT_TRUE(Fs::isOwnFolder(home + "/new/deeper"));

    EXPECT_EQ(FolderDescent::rootFor(home + "/real", home), home);
    EXPECT_EQ(FolderDescent::rootFor(home + "real", home), "/");
    EXPECT_EQ(FolderDescent::rootFor(home, home), "/");
}

TEST(FolderDescent, MoverRefusesALinkAboveTheItemAndNeverReplaces) {
    TempDir dir;
    const std::string home = dir / "home", trash = dir / "home/trash";
    writeFile(dir / "outside/appA/data", "another user's");
    writeFile(home + "/.cache.real/appA/data", "mine");
    dovrane::testing::makeFolder(trash);
    makeSymlink(dir / "outside", home + "/.cache");
    const auto before = snapshotTree(dir / "outside");

    // Each refusal's exit status names its reason, for the user's side to word.
    const auto refusal = [](int status) { return FolderDescent::errorForExitStatus(status); };
    EXPECT_EQ(refusal(runMover({home, home + "/.cache/appA", home, trash + "/appA"})),
              errorOf(std::errc::too_many_symbolic_link_levels));
    EXPECT_EQ(snapshotTree(dir / "outside"), before);
    EXPECT_TRUE(Fs::list(trash).empty());
    // Nor into a folder behind a link.
    makeSymlink(dir / "outside", home + "/drop");
    EXPECT_EQ(refusal(runMover({home, home + "/.cache.real/appA", home, home + "/drop/appB"})),
              errorOf(std::errc::too_many_symbolic_link_levels));
    EXPECT_EQ(snapshotTree(dir / "outside"), before);

    // Never over what is there; then the move itself.
    writeFile(trash + "/appA", "taken");
    EXPECT_EQ(refusal(runMover({home, home + "/.cache.real/appA", home, trash + "/appA"})),
              errorOf(std::errc::file_exists));
    EXPECT_EQ(Fs::readFile(trash + "/appA"), "taken");
    EXPECT_EQ(runMover({home, home + "/.cache.real/appA", "/", trash + "/appA 2"}), 0);
    EXPECT_EQ(Fs::readFile(trash + "/appA 2/data"), "mine");
    EXPECT_FALSE(Fs::exists(home + "/.cache.real/appA"));
    EXPECT_EQ(refusal(runMover({home, home + "/.cache.real/appA", home, trash + "/appA 3"})),
              errorOf(std::errc::no_such_file_or_directory));
}

// Given the identity of the item the user was shown, the mover moves that item or nothing: not
// another one at its path after its folder was swapped for another real folder.
TEST(FolderDescent, MoverMovesOnlyTheItemItsIdentityNames) {
    TempDir dir;
    const std::string home = dir / "home", trash = dir / "home/trash";
    writeFile(home + "/.cache/appA/data", "shown");
    dovrane::testing::makeFolder(trash);
    const auto shown = FolderDescent::identify(home + "/.cache/appA");
    ASSERT_TRUE(shown.has_value());
    ASSERT_NE(shown->item.inode, 0u);
    ASSERT_EQ(std::rename((home + "/.cache").c_str(), (home + "/.cache.shown").c_str()), 0);
    writeFile(home + "/.cache/appA/data", "another");

    const auto move = [&](const std::string& from, const std::string& item, const std::string& folder) {
        return runMover({home, from, home, trash + "/appA", item, folder});
    };
    EXPECT_EQ(FolderDescent::errorForExitStatus(move(home + "/.cache/appA", shown->item.text(), shown->folder.text())),
              std::error_code(ESTALE, std::generic_category()));
    // The item itself, but named as held by another folder.
    const auto other = FolderDescent::identify(home + "/.cache/appA");
    ASSERT_TRUE(other.has_value());
    EXPECT_EQ(
        FolderDescent::errorForExitStatus(move(home + "/.cache.shown/appA", shown->item.text(), other->folder.text())),
        std::error_code(ESTALE, std::generic_category()));
    // Identities that are not two numbers each are refused as arguments.
    for (const std::string& malformed :
         {std::string("12"), std::string("a:b"), std::string("1:2"), std::string("1:2:3:4"), std::string("::")})
        EXPECT_EQ(move(home + "/.cache.shown/appA", malformed, shown->folder.text()), 2) << malformed;
    EXPECT_TRUE(Fs::list(trash).empty());
    EXPECT_EQ(Fs::readFile(home + "/.cache/appA/data"), "another");

    // Renamed with its folder, the item is still itself and goes.
    EXPECT_EQ(move(home + "/.cache.shown/appA", shown->item.text(), shown->folder.text()), 0);
    EXPECT_EQ(Fs::readFile(trash + "/appA/data"), "shown");
    EXPECT_EQ(Fs::readFile(home + "/.cache/appA/data"), "another");
}
