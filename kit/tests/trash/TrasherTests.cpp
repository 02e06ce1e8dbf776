#include "DovraneKit/trash/Trasher.h"

#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/system/ToolPaths.h"
#include "DovraneKit/trash/FreedesktopTrash.h"
#include "support/TestSupport.h"
#include "trash/MoveReasons.h"
#include "trash/TrasherInternals.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <map>
#include <set>

using namespace dovrane;
using dovrane::testing::makeFolder;
using dovrane::testing::makeSymlink;
using dovrane::testing::TempDir;
using dovrane::testing::TempHome;
using dovrane::testing::writeFile;
using dovrane::TrasherInternals::isPermissionError;
using dovrane::TrasherInternals::uniqueTrashURL;

namespace {

using Kind = Trasher::PutBackResult::Kind;

// What an administrator closure was handed, and what it saw in the trash at that moment.
struct AdminLog {
    std::vector<std::string> commands;
    std::vector<std::vector<std::string>> infoAtCall;
};

// Runs the line the way the application does, through /bin/sh, here as the test's own user, and
// answers its exit status.
Shell::AdminAnswer runShell(const std::string& commandLine) {
    int status = std::system((commandLine + " 2>/dev/null").c_str());
    if (status == -1 || !WIFEXITED(status))
        return false;
    return Shell::AdminAnswer::exited(WEXITSTATUS(status));
}

// The administrator's command line: our mover, each side with the root it is reached from, and
// the identity of the item it is to move.
std::string moverLine(const std::string& fromRoot, const std::string& from, const std::string& toRoot,
                      const std::string& to, const std::optional<FolderDescent::Identity>& identity = {}) {
    std::string line = Shell::quote(ToolPaths::current().mover) + " " + Shell::quote(fromRoot) + " " +
                       Shell::quote(from) + " " + Shell::quote(toRoot) + " " + Shell::quote(to);
    return identity ? line + " " + identity->item.text() + " " + identity->folder.text() : line;
}

std::string infoPathOf(const std::string& infoText) {
    auto start = infoText.find("\nPath=");
    if (start == std::string::npos)
        return {};
    start += 6;
    return percentDecode(infoText.substr(start, infoText.find('\n', start) - start));
}

class TrasherTest : public ::testing::Test {
protected:
    TempHome home;
    TempDir work;
    Url trashFiles = Url::fromPath(FreedesktopTrash::homeTrashFiles(home.path()));
    std::string trashInfo = Path::join(Path::parent(trashFiles.path()), "info");
    AdminLog log;

    Trasher trasher(std::function<Shell::AdminAnswer(const std::string&)> perform) {
        return Trasher{DeletionGuard(Url::fromPath(home.path())), trashFiles,
                       [this, perform](const std::string& command) {
                           log.commands.push_back(command);
                           log.infoAtCall.push_back(Fs::list(trashInfo));
                           std::sort(log.infoAtCall.back().begin(), log.infoAtCall.back().end());
                           return perform(command);
                       }};
    }
    Trasher plainTrasher() const { return Trasher{DeletionGuard(Url::fromPath(home.path())), trashFiles}; }

    static Trasher::Candidate item(const std::string& path, std::int64_t size = 1, bool needsAdmin = false) {
        return {Url::fromPath(path), size, 1, needsAdmin};
    }
    std::string inTrash(const std::string& name) const { return Path::join(trashFiles.path(), name); }
};

} // namespace

TEST_F(TrasherTest, PlanKeepsFirstOccurrencesAndOuterItemsAndRefusesProtectedPaths) {
    const Trasher t = plainTrasher();
    EXPECT_EQ(t.plan({}), TrashPlan{});
    EXPECT_EQ(TrashPlan{}.size(), 0);
    EXPECT_EQ(TrashPlan{}.files(), 0);
    EXPECT_FALSE(TrashPlan{}.needsAdmin());
    EXPECT_EQ(t.execute(TrashPlan{}), Trasher::Outcome{});

    const std::string x = work.path();
    TrashPlan plan = t.plan({
        {Url::fromPath(x + "/a/b"), 5, 2, true}, // inside /a, which comes later
        {Url::fromPath(x + "/a"), 10, 3, false},
        {Url::fromPath(x + "/a"), 99, 9, true},      // duplicate: the first one counts
        {Url::fromPath(x + "/ab"), 7, 1, false},     // a sibling, not inside /a
        {Url::fromPath(home / ".ssh"), 1, 1, false}, // protected tree
        {Url::fromPath(home / ".ssh"), 1, 1, false}, // refused once
        {Url::fromPath(home / "Documents"), 1, 1, false},
        {Url::fromPath(home / "Documents/report.pdf"), 4, 1, true}, // inside a refused folder: stays
    });
    std::vector<TrashPlan::Entry> expected = {{Url::fromPath(x + "/a"), 10, 3, false},
                                              {Url::fromPath(x + "/ab"), 7, 1, false},
                                              {Url::fromPath(home / "Documents/report.pdf"), 4, 1, true}};
    EXPECT_EQ(plan.entries, expected);
    EXPECT_EQ(plan.refused, (std::vector<Url>{Url::fromPath(home / ".ssh"), Url::fromPath(home / "Documents")}));
    EXPECT_EQ(plan.size(), 21);
    EXPECT_EQ(plan.files(), 5);
    EXPECT_TRUE(plan.needsAdmin());
    EXPECT_FALSE(Fs::exists(x + "/a")) << "planning touches nothing";

    // Many items of a few folders taking turns: a link among them to a protected folder is
    // refused, and each of the others judged alone.
    makeFolder(home / ".ssh");
    makeSymlink(home / ".ssh", x + "/two/keys");
    std::vector<Trasher::Candidate> many;
    for (int index = 0; index < 1000; ++index) {
        many.push_back(item(x + (index % 2 ? "/one/" : "/two/") + std::to_string(index)));
        writeFile(many.back().url.path());
    }
    many.insert(many.begin() + 500, item(x + "/two/keys"));
    many.push_back(item(home / ".ssh/id_ed25519"));
    plan = t.plan(many);
    EXPECT_EQ(plan.entries.size(), 1000u);
    EXPECT_EQ(plan.refused,
              (std::vector<Url>{Url::fromPath(x + "/two/keys"), Url::fromPath(home / ".ssh/id_ed25519")}));
}

TEST_F(TrasherTest, TrashAndPutBackRoundTripKeepsEveryByteOfTheName) {
    const std::string names[] = {"line\nbreak 50%", std::string("latin\xe9-\xff.dat"), "folder"};
    std::vector<Trasher::Candidate> candidates;
    for (const std::string& name : names) {
        if (name == "folder")
            writeFile(work / "folder/inner/file", "deep");
        else
            writeFile(work / name, name);
        candidates.push_back(item(work / name, std::int64_t(name.size())));
    }
    const Trasher t = plainTrasher();
    Trasher::Outcome outcome = t.execute(t.plan(candidates));
    ASSERT_TRUE(outcome.failed.empty()) << outcome.failed.front().reason;
    ASSERT_EQ(outcome.removed.size(), std::size(names));

    for (std::size_t i = 0; i < std::size(names); ++i) {
        const RemovedItem& removed = outcome.removed[i];
        EXPECT_EQ(removed, (RemovedItem{Url::fromPath(work / names[i]), Url::fromPath(inTrash(names[i])),
                                        std::int64_t(names[i].size()), false}));
        EXPECT_FALSE(Fs::exists(removed.originalPath.path()));
        EXPECT_TRUE(Trasher::isInTrash(removed));
        auto info = Fs::readFile(Path::join(trashInfo, names[i] + ".trashinfo"));
        ASSERT_TRUE(info.has_value());
        EXPECT_EQ(infoPathOf(*info), removed.originalPath.path());
    }
    for (const RemovedItem& removed : outcome.removed) {
        EXPECT_EQ(t.putBack(removed), Trasher::PutBackResult::restored());
        EXPECT_FALSE(Trasher::isInTrash(removed));
    }
    EXPECT_EQ(Fs::readFile(work / "folder/inner/file"), "deep");
    EXPECT_TRUE(Fs::list(trashInfo).empty());
    EXPECT_TRUE(Fs::list(trashFiles.path()).empty());
}

TEST_F(TrasherTest, FreeTrashNamesCountUpBesideTheExtension) {
    const Trasher t = plainTrasher();
    makeFolder(inTrash("Foo.app"));
    makeFolder(inTrash("Foo 2.app"));
    makeFolder(inTrash("build"));
    writeFile(Path::join(trashInfo, "Notes.txt.trashinfo")); // a name taken by an info file alone
    EXPECT_EQ(uniqueTrashURL(t, Url::fromPath("/Applications/Foo.app")), trashFiles.appending("Foo 3.app"));
    EXPECT_EQ(uniqueTrashURL(t, Url::fromPath(work / "p/build")), trashFiles.appending("build 2"));
    EXPECT_EQ(uniqueTrashURL(t, Url::fromPath(work / "Notes.txt")), trashFiles.appending("Notes 2.txt"));
    EXPECT_EQ(uniqueTrashURL(t, Url::fromPath(work / "Bar.app")), trashFiles.appending("Bar.app"));

    writeFile(work / "one/build/x", "1");
    writeFile(work / "two/build/x", "2");
    auto outcome = t.execute(t.plan({item(work / "one/build"), item(work / "two/build")}));
    ASSERT_EQ(outcome.removed.size(), 2u);
    EXPECT_EQ(outcome.removed[0].trashPath.path(), inTrash("build 2"));
    EXPECT_EQ(outcome.removed[1].trashPath.path(), inTrash("build 3"));
    EXPECT_EQ(t.putBack(outcome.removed[1]), Trasher::PutBackResult::restored());
    EXPECT_EQ(Fs::readFile(work / "two/build/x"), "2");
}

TEST_F(TrasherTest, AdministratorMoveGetsOneQuotedCommandAfterTheInfoFileIsWritten) {
    makeFolder(inTrash("Foo.app"));
    makeFolder(inTrash("Foo 2.app"));
    const std::string app = work / "it's mine/Foo.app";
    writeFile(app + "/Contents/Info.plist", "plist");
    writeFile(work / "plain.txt", "plain");

    const Trasher t = trasher(runShell);
    const auto identity = FolderDescent::identify(app);
    TrashPlan plan = t.plan({item(app, 42, true), item(work / "plain.txt")});
    Trasher::Outcome outcome = t.execute(plan);

    // Only the entry that needs the administrator reaches the closure.
    ASSERT_EQ(log.commands.size(), 1u);
    EXPECT_EQ(log.commands[0], moverLine("/", app, trashFiles.path(), inTrash("Foo 3.app"), identity));
    // Its info file is written before (with those of the other items of its batch).
    EXPECT_EQ(log.infoAtCall[0], (std::vector<std::string>{"Foo 3.app.trashinfo", "plain.txt.trashinfo"}));
    auto info = Fs::readFile(Path::join(trashInfo, "Foo 3.app.trashinfo"));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(infoPathOf(*info), app);

    ASSERT_TRUE(outcome.failed.empty());
    ASSERT_EQ(outcome.removed.size(), 2u);
    EXPECT_EQ(outcome.removed[0], (RemovedItem{Url::fromPath(app), Url::fromPath(inTrash("Foo 3.app")), 42, true}));
    EXPECT_EQ(outcome.removed[1],
              (RemovedItem{Url::fromPath(work / "plain.txt"), Url::fromPath(inTrash("plain.txt")), 1, false}));
    EXPECT_EQ(Fs::readFile(inTrash("Foo 3.app/Contents/Info.plist")), "plist");
    EXPECT_FALSE(Fs::exists(app));

    // Putting it back goes the same road, in the other direction, and clears the info file.
    EXPECT_EQ(t.putBack(outcome.removed[0]), Trasher::PutBackResult::restored());
    EXPECT_EQ(log.commands.back(), moverLine(trashFiles.path(), inTrash("Foo 3.app"), "/", app));
    EXPECT_EQ(Fs::readFile(app + "/Contents/Info.plist"), "plist");
    EXPECT_FALSE(Fs::exists(Path::join(trashInfo, "Foo 3.app.trashinfo")));
}

TEST_F(TrasherTest, AdministratorMoveThatDidNotHappenIsAFailure) {
    writeFile(work / "declined", "1");
    writeFile(work / "skipped", "2");
    writeFile(work / "later", "3");
    int answered = 0;
    // The first call is declined, the second claims success without moving anything (as
    // "mv -n" does when it skips).
    const Trasher t = trasher([&](const std::string&) { return ++answered == 2; });
    auto outcome =
        t.execute(t.plan({item(work / "declined", 1, true), item(work / "skipped", 1, true), item(work / "later")}));

    EXPECT_EQ(outcome.failed,
              (std::vector<Trasher::Failure>{Trasher::Failure::admin(Url::fromPath(work / "declined")),
                                             Trasher::Failure::admin(Url::fromPath(work / "skipped"))}));
    ASSERT_EQ(outcome.removed.size(), 1u);
    EXPECT_EQ(outcome.removed[0].originalPath.path(), work / "later");
    EXPECT_EQ(log.infoAtCall[0],
              (std::vector<std::string>{"declined.trashinfo", "later.trashinfo", "skipped.trashinfo"}));
    EXPECT_EQ(Fs::list(trashInfo), std::vector<std::string>{"later.trashinfo"});
    EXPECT_EQ(Fs::readFile(work / "declined"), "1");
    EXPECT_EQ(Fs::readFile(work / "skipped"), "2");

    // Without a closure every such move fails the same way.
    writeFile(work / "lone", "4");
    const Trasher bare = plainTrasher();
    EXPECT_EQ(bare.execute(bare.plan({item(work / "lone", 1, true)})).failed,
              (std::vector<Trasher::Failure>{Trasher::Failure::admin(Url::fromPath(work / "lone"))}));
}

TEST_F(TrasherTest, AdministratorMoveNeverLandsInsideAFolderThatTookTheName) {
    writeFile(work / "item", "i");
    // A folder appears at the reserved name between the reservation and the move.
    const Trasher t = trasher([&](const std::string& command) {
        makeFolder(inTrash("item"));
        return runShell(command);
    });
    auto outcome = t.execute(t.plan({item(work / "item", 1, true)}));
    EXPECT_EQ(outcome.failed, (std::vector<Trasher::Failure>{Trasher::Failure::fileError(
                                  Url::fromPath(work / "item"),
                                  "Something else took the item's name in the Trash, so it was left where it is.")}));
    EXPECT_EQ(Fs::readFile(work / "item"), "i");
    EXPECT_TRUE(Fs::list(inTrash("item")).empty());

    // The same on the way back: a folder now at the original path keeps out what was trashed,
    // and the mover says that it is taken.
    Fs::removeAll(inTrash("item"));
    const Trasher mover = trasher(runShell);
    auto moved = mover.execute(mover.plan({item(work / "item", 1, true)}));
    ASSERT_EQ(moved.removed.size(), 1u);
    const Trasher late = trasher([&](const std::string& command) {
        makeFolder(work / "item");
        return runShell(command);
    });
    EXPECT_EQ(late.putBack(moved.removed[0]), Trasher::PutBackResult::originalTaken());
    EXPECT_TRUE(Fs::list(work / "item").empty());
    EXPECT_TRUE(Trasher::isInTrash(moved.removed[0]));
}

TEST_F(TrasherTest, LongestNamesGoToTheTrashAndComeBackWhole) {
    const std::string name = std::string(250, 'n') + ".data";
    writeFile(work / name, "long");
    const Trasher t = plainTrasher();
    auto outcome = t.execute(t.plan({item(work / name)}));
    ASSERT_EQ(outcome.removed.size(), 1u) << (outcome.failed.empty() ? "" : outcome.failed[0].reason);
    EXPECT_EQ(outcome.removed[0].originalPath, Url::fromPath(work / name));
    EXPECT_LT(Path::lastComponent(outcome.removed[0].trashPath.path()).size(), name.size());
    EXPECT_EQ(t.putBack(outcome.removed[0]), Trasher::PutBackResult::restored());
    EXPECT_EQ(Fs::readFile(work / name), "long");
    EXPECT_TRUE(Fs::list(trashInfo).empty());
}

TEST_F(TrasherTest, AdministratorPutBackIsCheckedOnDisk) {
    writeFile(work / "root-owned", "r");
    const Trasher mover = trasher(runShell);
    auto outcome = mover.execute(mover.plan({item(work / "root-owned", 1, true)}));
    ASSERT_EQ(outcome.removed.size(), 1u);
    const RemovedItem removed = outcome.removed[0];

    EXPECT_EQ(trasher([](const std::string&) { return false; }).putBack(removed),
              Trasher::PutBackResult::failed("admin"));
    EXPECT_EQ(trasher([](const std::string&) { return true; }).putBack(removed),
              Trasher::PutBackResult::failed("admin"));
    EXPECT_TRUE(Trasher::isInTrash(removed));
    EXPECT_TRUE(Fs::exists(Path::join(trashInfo, "root-owned.trashinfo")));
    EXPECT_FALSE(Fs::exists(work / "root-owned"));

    // On this road the missing folder that held the item is not made, and the mover says so.
    Fs::removeAll(work.path());
    EXPECT_EQ(mover.putBack(removed),
              Trasher::PutBackResult::failed("The item, or the folder it goes back to, is no longer there."));
    EXPECT_TRUE(Trasher::isInTrash(removed));
}

TEST_F(TrasherTest, PutBackNeverReplacesAndRebuildsAMissingFolderChain) {
    writeFile(work / "deep/er/still/file.txt", "mine");
    writeFile(work / "taken.txt", "old");
    const Trasher t = trasher([](const std::string&) { return true; });
    auto outcome = t.execute(t.plan({item(work / "deep/er/still/file.txt"), item(work / "taken.txt")}));
    ASSERT_EQ(outcome.removed.size(), 2u);

    Fs::removeAll(work / "deep");
    EXPECT_EQ(t.putBack(outcome.removed[0]), Trasher::PutBackResult::restored());
    EXPECT_EQ(Fs::readFile(work / "deep/er/still/file.txt"), "mine");

    writeFile(work / "taken.txt", "new");
    EXPECT_EQ(t.putBack(outcome.removed[1]), Trasher::PutBackResult::originalTaken());
    EXPECT_EQ(Fs::readFile(work / "taken.txt"), "new");
    EXPECT_TRUE(Trasher::isInTrash(outcome.removed[1]));

    // Gone from the Trash wins over a taken original.
    Fs::removeAll(outcome.removed[1].trashPath.path());
    EXPECT_EQ(t.putBack(outcome.removed[1]), Trasher::PutBackResult::goneFromTrash());
    EXPECT_EQ(t.putBack(RemovedItem{Url::fromPath(work / "nowhere"), Url::fromPath(inTrash("never there")), 1, true}),
              Trasher::PutBackResult::goneFromTrash());
    EXPECT_TRUE(log.commands.empty());

    // Only a permission error leads to the administrator; others keep their description.
    auto vanished = t.execute(t.plan({item(work / "vanished")}));
    EXPECT_EQ(vanished.failed,
              (std::vector<Trasher::Failure>{Trasher::Failure::fileError(
                  Url::fromPath(work / "vanished"), "Items that are no longer at their place cannot be moved.")}));
}

TEST_F(TrasherTest, AnotherItemTrashedLaterUnderTheSameNameIsNotTheRecordedOne) {
    writeFile(work / "first/report.txt", "mine");
    writeFile(work / "second/report.txt", "someone else's");
    const Trasher t = plainTrasher();
    auto first = t.execute(t.plan({item(work / "first/report.txt")}));
    ASSERT_EQ(first.removed.size(), 1u);
    const RemovedItem recorded = first.removed[0];
    EXPECT_TRUE(Trasher::isInTrash(recorded));

    // The Trash is emptied, then an unrelated file of the same name takes the free name.
    Fs::removeAll(inTrash("report.txt"));
    Fs::removeAll(Path::join(trashInfo, "report.txt.trashinfo"));
    auto second = t.execute(t.plan({item(work / "second/report.txt")}));
    ASSERT_EQ(second.removed.size(), 1u);
    ASSERT_EQ(second.removed[0].trashPath, recorded.trashPath);

    EXPECT_FALSE(Trasher::isInTrash(recorded));
    EXPECT_TRUE(Trasher::isInTrash(second.removed[0]));
    const auto mismatch =
        Trasher::PutBackResult::failed("The record does not match what is in the Trash, so nothing was moved.");
    EXPECT_EQ(t.putBack(recorded), mismatch);
    EXPECT_FALSE(Fs::exists(work / "first/report.txt"));
    EXPECT_EQ(Fs::readFile(inTrash("report.txt")), "someone else's");
    EXPECT_TRUE(Fs::exists(Path::join(trashInfo, "report.txt.trashinfo")));

    // An entry whose info file is gone, or records nothing, cannot be told apart either.
    writeFile(Path::join(trashInfo, "report.txt.trashinfo"), "[Trash Info]\nDeletionDate=2024-01-01T00:00:00\n");
    EXPECT_FALSE(Trasher::isInTrash(second.removed[0]));
    Fs::removeAll(Path::join(trashInfo, "report.txt.trashinfo"));
    EXPECT_FALSE(Trasher::isInTrash(second.removed[0]));
    EXPECT_EQ(t.putBack(second.removed[0]), mismatch);
    EXPECT_TRUE(Fs::exists(inTrash("report.txt")));

    // A record made up by hand, naming a file outside any Trash, moves nothing either.
    writeFile(work / "plain.txt", "plain");
    dovrane::testing::ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(
        t.putBack(RemovedItem{Url::fromPath(work / "copy.txt"), Url::fromPath(work / "plain.txt"), 5, false}),
        Trasher::PutBackResult::failed("Dieses Objekt liegt nicht in deinem Papierkorb, daher wurde nichts bewegt."));
    EXPECT_EQ(Fs::readFile(work / "plain.txt"), "plain");
    EXPECT_FALSE(Fs::exists(work / "copy.txt"));
}

// The place an item came from lies on another disk by now (one is mounted on its folder): it
// stays in the Trash, since the way back would be a copy, and the reason says so.
TEST_F(TrasherTest, PutBackToAPlaceNowOnAnotherDiskSaysWhy) {
    writeFile(work / "disk/notes.txt", "notes");
    const Trasher t = plainTrasher();
    auto moved = t.execute(t.plan({item(work / "disk/notes.txt")}));
    ASSERT_EQ(moved.removed.size(), 1u);
    const RemovedItem removed = moved.removed[0];
    auto report = dovrane::testing::withPrivateMounts([&] {
        if (!dovrane::testing::mountTmpfs(work / "disk"))
            return std::string("mounting failed");
        std::string problems;
        if (t.putBack(removed) != Trasher::PutBackResult::failed("The original place is now on another disk, and "
                                                                 "Dovrane never copies out of the Trash."))
            problems += "the English reason names the other disk; ";
        dovrane::testing::ScopedEnv german("APP_LANG", "de");
        if (t.putBack(removed) != Trasher::PutBackResult::failed("Der ursprüngliche Ort liegt jetzt auf einem anderen "
                                                                 "Datenträger, und Dovrane kopiert nie aus dem "
                                                                 "Papierkorb."))
            problems += "the German reason names the other disk; ";
        if (!Trasher::isInTrash(removed) || Fs::exists(work / "disk/notes.txt"))
            problems += "the item stays in the Trash; ";
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}

// A Trash the user may not write: the item stays, the reason names it, and no administrator is
// asked, since rights would not make such a Trash a good one.
TEST(TrasherReadOnlyTrash, ItemStaysAndTheReasonSaysTheTrashIsReadOnly) {
    TempDir dir;
    const auto user = dovrane::testing::ordinaryUser();
    const std::string home = dir / "home", trash = dir / "home/.local/share/Trash";
    writeFile(home + "/Downloads/a.zip", "a");
    makeFolder(trash + "/files");
    makeFolder(trash + "/info");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    for (const std::string& path : {home, home + "/.local", home + "/.local/share", trash, trash + "/files",
                                    trash + "/info", home + "/Downloads", home + "/Downloads/a.zip"})
        ASSERT_EQ(chown(path.c_str(), user.user, user.group), 0) << path;

    auto moveAll = [&] {
        std::string report;
        const Trasher t{DeletionGuard(Url::fromPath(home)), Url::fromPath(trash + "/files"),
                        [&](const std::string& command) {
                            report += "asked: " + command + "\n";
                            return false;
                        }};
        for (const auto& failure : t.execute(t.plan({{Url::fromPath(home + "/Downloads/a.zip"), 1, 1, false}})).failed)
            report += failure.reason + "\n";
        return report;
    };
    for (const char* locked : {"/files", "/info"}) {
        ASSERT_EQ(chmod((trash + locked).c_str(), 0500), 0);
        EXPECT_EQ(dovrane::testing::asOrdinaryUser(moveAll), "Your Trash is read-only.\n") << locked;
        dovrane::testing::ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(dovrane::testing::asOrdinaryUser(moveAll), "Dein Papierkorb ist schreibgeschützt.\n") << locked;
        ASSERT_EQ(chmod((trash + locked).c_str(), 0700), 0);
    }
    EXPECT_EQ(Fs::readFile(home + "/Downloads/a.zip"), "a");
    EXPECT_TRUE(Fs::list(trash + "/info").empty());
}

TEST(FreedesktopTrashInfo, RecordedOriginalReadsTheInfoGroupAndResolvesAVolumeTrashsRelativePath) {
    TempDir volume;
    const std::string trash = volume / ".Trash-1000";
    writeFile(trash + "/files/a b", "x");
    writeFile(trash + "/info/a b.trashinfo", "[Other]\nPath=/elsewhere\n[Trash Info]\r\nPath=sub%20dir/a%20b\r\n");
    EXPECT_EQ(FreedesktopTrash::recordedOriginal(trash + "/files/a b"), volume / "sub dir/a b");
    EXPECT_TRUE(FreedesktopTrash::holds(trash + "/files/a b", volume / "sub dir/a b"));
    EXPECT_FALSE(FreedesktopTrash::holds(trash + "/files/a b", "/elsewhere"));

    const std::string shared = volume / ".Trash/1000";
    writeFile(shared + "/files/c", "x");
    writeFile(shared + "/info/c.trashinfo", "[Trash Info]\nPath=c\n");
    EXPECT_EQ(FreedesktopTrash::recordedOriginal(shared + "/files/c"), volume / "c");

    // A relative path outside a volume's trash, or a file outside any files/ folder, records nothing.
    writeFile(volume / "Trash/files/d", "x");
    writeFile(volume / "Trash/info/d.trashinfo", "[Trash Info]\nPath=d\n");
    EXPECT_EQ(FreedesktopTrash::recordedOriginal(volume / "Trash/files/d"), std::nullopt);
    EXPECT_EQ(FreedesktopTrash::recordedOriginal(volume / "loose"), std::nullopt);
}

TEST(FreedesktopTrashInfo, RecordedOriginalResolvesDotDotAndRefusesAPathLeavingTheVolume) {
    TempDir volume;
    const std::string trash = volume / ".Trash-1000";
    const auto record = [&](const std::string& name, const std::string& path) {
        writeFile(trash + "/files/" + name, "x");
        writeFile(trash + "/info/" + name + ".trashinfo", "[Trash Info]\nPath=" + path + "\n");
        return FreedesktopTrash::recordedOriginal(trash + "/files/" + name);
    };
    EXPECT_EQ(record("a", "../../etc/passwd"), std::nullopt);
    EXPECT_EQ(record("b", "sub/../../outside"), std::nullopt);
    EXPECT_EQ(record("c", ".."), std::nullopt);
    EXPECT_EQ(record("d", "%2E%2E/%2E%2E/etc/passwd"), std::nullopt);
    EXPECT_EQ(record("e", "sub/./deeper/../f"), volume / "sub/f");
    // An absolute path in a volume's trash counts only inside the volume.
    EXPECT_EQ(record("g", "/"), std::nullopt);
    EXPECT_EQ(record("h", "/etc/passwd"), std::nullopt);
    EXPECT_EQ(record("i", volume.path()), std::nullopt);
    EXPECT_EQ(record("j", volume / "sub/../../outside"), std::nullopt);
    EXPECT_EQ(record("k", volume / "sub/./k"), volume / "sub/k");
    EXPECT_FALSE(FreedesktopTrash::holds(trash + "/files/a", "/etc/passwd"));
    EXPECT_FALSE(FreedesktopTrash::holds(trash + "/files/h", "/etc/passwd"));

    // The home trash records absolute paths anywhere.
    TempHome home;
    const std::string homeTrash = FreedesktopTrash::homeTrash(home.path());
    writeFile(homeTrash + "/files/l", "x");
    writeFile(homeTrash + "/info/l.trashinfo", "[Trash Info]\nPath=/home/someone/../other/l\n");
    EXPECT_EQ(FreedesktopTrash::recordedOriginal(homeTrash + "/files/l"), "/home/other/l");
}

TEST_F(TrasherTest, PathThatBecameProtectedAfterPlanningIsNotMoved) {
    writeFile(work / "real/item", "data");
    writeFile(work / "real/other", "data");
    writeFile(home / ".ssh/item", "key");
    writeFile(home / ".ssh/other", "key");
    makeSymlink(work / "real", work / "dir");
    const Trasher t = trasher([](const std::string&) { return true; });
    TrashPlan plan = t.plan({item(work / "dir/item"), item(work / "dir/other", 1, true)});
    ASSERT_EQ(plan.entries.size(), 2u);

    // The folder link now leads into a protected tree.
    ASSERT_EQ(unlink((work / "dir").c_str()), 0);
    makeSymlink(home / ".ssh", work / "dir");
    auto outcome = t.execute(plan);
    EXPECT_TRUE(outcome.removed.empty());
    EXPECT_EQ(outcome.failed,
              (std::vector<Trasher::Failure>{Trasher::Failure::blocked(Url::fromPath(work / "dir/item")),
                                             Trasher::Failure::blocked(Url::fromPath(work / "dir/other"))}));
    EXPECT_EQ(Fs::readFile(home / ".ssh/item"), "key");
    EXPECT_EQ(Fs::readFile(home / ".ssh/other"), "key");
    EXPECT_TRUE(log.commands.empty());
}

TEST(TrasherStatic, QuotingKeepsAnyTextOneShellWord) {
    EXPECT_EQ(Trasher::quote("abc"), "'abc'");
    EXPECT_EQ(Trasher::quote("it's"), "'it'\\''s'");
    for (std::string text : {std::string("plain"), std::string("a'b''c"), std::string("$HOME `id` \\ \"q\" *"),
                             std::string("new\nline"), std::string("-n")}) {
        FILE* shell = popen(("printf %s " + Trasher::quote(text)).c_str(), "r");
        ASSERT_NE(shell, nullptr);
        std::string echoed;
        char buffer[256];
        while (std::size_t n = fread(buffer, 1, sizeof buffer, shell))
            echoed.append(buffer, n);
        pclose(shell);
        EXPECT_EQ(echoed, text);
    }
}

TEST(TrasherStatic, OnlySystemPermissionErrorsCountAsPermissionErrors) {
    EXPECT_TRUE(isPermissionError(std::error_code(EACCES, std::generic_category())));
    EXPECT_TRUE(isPermissionError(std::error_code(EPERM, std::system_category())));
    EXPECT_FALSE(isPermissionError(std::error_code(ENOENT, std::generic_category())));
    EXPECT_FALSE(isPermissionError(std::error_code(EROFS, std::generic_category())));
    // The same number in another domain means something else.
    EXPECT_EQ(int(std::io_errc::stream), EPERM);
    EXPECT_FALSE(isPermissionError(std::make_error_code(std::io_errc::stream)));
    EXPECT_FALSE(isPermissionError(std::make_error_code(std::future_errc::no_state)));
}

// A folder the user may not write to: the move fails with a permission error and becomes an
// administrator move. Root may write anywhere, so then the trasher runs in a child as nobody.
TEST(TrasherPermissions, MoveTheUserMayNotMakeGoesToTheAdministrator) {
    TempDir dir;
    const bool asRoot = geteuid() == 0;
    const uid_t user = asRoot ? 65534 : geteuid();
    const gid_t group = asRoot ? 65534 : getegid();
    const std::string home = dir / "home", locked = dir / "locked";
    writeFile(locked + "/stuck.txt", "stuck");
    makeFolder(home);
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chown(home.c_str(), user, group), 0);
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    const Url trashFiles = Url::fromPath(home + "/.local/share/Trash/files");

    auto run = [&]() -> std::string {
        std::string report;
        const std::string info = home + "/.local/share/Trash/info";
        Trasher t{DeletionGuard(Url::fromPath(home)), trashFiles, [&](const std::string& command) {
                      report += command + "\n" + std::to_string(Fs::list(info).size()) + "\n";
                      return false;
                  }};
        for (const auto& failure : t.execute(t.plan({{Url::fromPath(locked + "/stuck.txt"), 5, 1, false}})).failed)
            report += failure.reason + "\n";
        report += std::to_string(Fs::list(info).size());
        return report;
    };

    std::string report;
    if (!asRoot) {
        report = run();
    } else {
        int channel[2];
        ASSERT_EQ(pipe(channel), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(channel[0]);
            if (setgroups(0, nullptr) != 0 || setresgid(group, group, group) != 0 || setresuid(user, user, user) != 0)
                _exit(2);
            std::string text = run();
            _exit(write(channel[1], text.data(), text.size()) == ssize_t(text.size()) ? 0 : 3);
        }
        close(channel[1]);
        char buffer[4096];
        ssize_t n;
        while ((n = read(channel[0], buffer, sizeof buffer)) > 0)
            report.append(buffer, std::size_t(n));
        close(channel[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    chmod(locked.c_str(), 0755);
    EXPECT_EQ(report, moverLine("/", locked + "/stuck.txt", trashFiles.path(), trashFiles.path() + "/stuck.txt",
                                FolderDescent::identify(locked + "/stuck.txt")) +
                          "\n1\nadmin\n0");
    EXPECT_EQ(Fs::readFile(locked + "/stuck.txt"), "stuck");
}

// One batch of items from the home's disk and from two other disks, interleaved, under the
// same names: each item goes to the Trash of its own disk, however many items before it chose one.
TEST_F(TrasherTest, EachItemOfABatchGoesToTheTrashOfItsOwnDisk) {
    for (const char* disk : {"diskA", "diskB"})
        makeFolder(work / disk);
    auto report = dovrane::testing::withPrivateMounts([&] {
        if (!dovrane::testing::mountTmpfs(work / "diskA") || !dovrane::testing::mountTmpfs(work / "diskB"))
            return std::string("mounting failed");
        const std::vector<std::string> items = {"plain/one",   "diskA/x/one", "diskB/x/one",
                                                "diskA/y/one", "diskB/y/two", "plain/two"};
        for (const std::string& name : items)
            writeFile(work / name, name);
        const Trasher t = plainTrasher();
        std::vector<Trasher::Candidate> candidates;
        for (const std::string& name : items)
            candidates.push_back(item(work / name));
        const Trasher::Outcome outcome = t.execute(t.plan(candidates));
        const std::string uid = std::to_string(geteuid());
        const auto volumeTrash = [&](const char* disk, const char* name) {
            return work / (std::string(disk) + "/.Trash-" + uid + "/files/" + name);
        };
        const std::vector<std::string> expected = {inTrash("one"),
                                                   volumeTrash("diskA", "one"),
                                                   volumeTrash("diskB", "one"),
                                                   volumeTrash("diskA", "one 2"),
                                                   volumeTrash("diskB", "two"),
                                                   inTrash("two")};
        std::string problems;
        if (!outcome.failed.empty() || outcome.removed.size() != items.size())
            return "every item moves; " + (outcome.failed.empty() ? std::string() : outcome.failed[0].reason);
        for (std::size_t index = 0; index < items.size(); ++index) {
            if (outcome.removed[index].trashPath.path() != expected[index])
                problems += items[index] + " went to " + outcome.removed[index].trashPath.path() + "; ";
            if (Fs::readFile(expected[index]) != items[index] || !Trasher::isInTrash(outcome.removed[index]))
                problems += items[index] + " is in its Trash with its info file; ";
        }
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}

TEST_F(TrasherTest, ItemsHoldingAMountAreLeftWhereTheyAreAndReportedNotMoved) {
    writeFile(work / "cache/own", "x");
    makeFolder(work / "cache/disk");
    makeFolder(work / "mounted");
    writeFile(work / "plain/file", "y");
    auto report = dovrane::testing::withPrivateMounts([&] {
        if (!dovrane::testing::mountTmpfs(work / "cache/disk") || !dovrane::testing::mountTmpfs(work / "mounted"))
            return std::string("mounting failed");
        writeFile(work / "cache/disk/file", "another disk");
        const Trasher t = plainTrasher();
        Trasher::Outcome outcome =
            t.execute(t.plan({item(work / "cache"), item(work / "mounted"), item(work / "plain")}));
        std::string problems;
        if (outcome.removed.size() != 1 || outcome.removed.front().originalPath != Url::fromPath(work / "plain"))
            problems += "only the plain folder moves; ";
        if (outcome.failed.size() != 2 || outcome.failed[0].path != Url::fromPath(work / "cache") ||
            outcome.failed[1].path != Url::fromPath(work / "mounted") ||
            outcome.failed[0].reason.find("mounted") == std::string::npos)
            problems += "both items with a mount are reported, with the reason; ";
        if (Fs::readFile(work / "cache/disk/file") != "another disk" || !Fs::exists(work / "cache/own"))
            problems += "the item with the mount stays in place; ";
        if (Fs::list(trashInfo).size() != 1)
            problems += "no info file is left for what did not move; ";
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "mounting in a private mount namespace needs root";
    EXPECT_EQ(*report, "");
}

// The folder above a planned item is swapped for a link to somewhere else before the move:
// nothing there may move, neither by the user's own rename nor by the administrator's mover,
// and no Trash is made on the volume the link leads to.
TEST_F(TrasherTest, AFolderAboveTheItemSwappedForALinkMovesNothingFromElsewhere) {
    const std::string elsewhere = work / "elsewhere";
    for (const char* name : {"appA", "appB"})
        writeFile(elsewhere + "/" + name + "/data", std::string("not yours: ") + name);
    const auto before = dovrane::testing::snapshotTree(elsewhere);
    for (const char* name : {"appA", "appB"})
        writeFile(home / (std::string(".cache/") + name + "/data"), "cached");
    auto swapCache = [&](const std::string& aside) {
        ASSERT_EQ(std::rename((home / ".cache").c_str(), (home / aside).c_str()), 0);
        makeSymlink(elsewhere, home / ".cache");
    };

    // The user's own move, planned while .cache was a folder.
    const Trasher t = trasher(runShell);
    const TrashPlan plan = t.plan({item(home / ".cache/appA")});
    swapCache(".cache.real");
    Trasher::Outcome outcome = t.execute(plan);
    EXPECT_TRUE(outcome.removed.empty());
    ASSERT_EQ(outcome.failed.size(), 1u);
    EXPECT_EQ(outcome.failed[0].reason,
              "A folder above this item is a link, and Dovrane moves nothing through a link.");
    EXPECT_TRUE(log.commands.empty());

    // The administrator's move: the swap comes after the user's look, just before the mover runs.
    ASSERT_EQ(unlink((home / ".cache").c_str()), 0);
    ASSERT_EQ(std::rename((home / ".cache.real").c_str(), (home / ".cache").c_str()), 0);
    const auto identity = FolderDescent::identify(home / ".cache/appB");
    const Trasher late = trasher([&](const std::string& command) {
        swapCache(".cache.again");
        return runShell(command);
    });
    outcome = late.execute(late.plan({item(home / ".cache/appB", 1, true)}));
    EXPECT_TRUE(outcome.removed.empty());
    EXPECT_EQ(outcome.failed, (std::vector<Trasher::Failure>{Trasher::Failure::fileError(
                                  Url::fromPath(home / ".cache/appB"),
                                  "A folder above this item is a link, and Dovrane moves nothing through a link.")}));
    ASSERT_EQ(log.commands.size(), 1u);
    EXPECT_EQ(log.commands[0],
              moverLine(home.path(), home / ".cache/appB", trashFiles.path(), inTrash("appB"), identity));

    EXPECT_EQ(dovrane::testing::snapshotTree(elsewhere), before);
    EXPECT_EQ(Fs::readFile(home / ".cache.again/appA/data"), "cached");
    EXPECT_EQ(Fs::readFile(home / ".cache.again/appB/data"), "cached");
    EXPECT_TRUE(Fs::list(trashInfo).empty());
    EXPECT_TRUE(Fs::list(trashFiles.path()).empty());

    // A link to another volume: no Trash is made there either.
    auto report = dovrane::testing::withPrivateMounts([&] {
        if (!dovrane::testing::mountTmpfs(elsewhere))
            return std::string("mounting failed");
        writeFile(elsewhere + "/appA/data", "on another disk");
        const Trasher inChild = plainTrasher();
        const Trasher::Outcome moved =
            inChild.execute(TrashPlan{{{Url::fromPath(home / ".cache/appA"), 1, 1, false}}, {}});
        std::string problems;
        if (!moved.removed.empty() || Fs::readFile(elsewhere + "/appA/data") != "on another disk")
            problems += "the item on the other disk stays; ";
        if (Fs::list(elsewhere) != std::vector<std::string>{"appA"})
            problems += "no trash folder is made on the other disk; ";
        return problems;
    });
    if (report) {
        EXPECT_EQ(*report, "");
    }
}

TEST_F(TrasherTest, PutBackThroughAFolderSwappedForALinkIsRefused) {
    const std::string elsewhere = work / "elsewhere";
    writeFile(elsewhere + "/other", "not yours");
    const auto before = dovrane::testing::snapshotTree(elsewhere);
    writeFile(home / ".cache/appA/data", "a");
    writeFile(home / ".cache/appB/data", "b");
    const Trasher t = trasher(runShell);
    const Trasher::Outcome moved = t.execute(t.plan({item(home / ".cache/appA"), item(home / ".cache/appB", 1, true)}));
    ASSERT_EQ(moved.removed.size(), 2u);

    ASSERT_EQ(std::rename((home / ".cache").c_str(), (home / ".cache.real").c_str()), 0);
    makeSymlink(elsewhere, home / ".cache");
    // The administrator's mover refuses the link and says so: the reason is the link, not the
    // password, in the user's language.
    const auto linked = Trasher::PutBackResult::failed(
        "A folder above the item's original place is a link, and Dovrane moves nothing through a link.");
    EXPECT_EQ(t.putBack(moved.removed[0]), linked);
    EXPECT_EQ(t.putBack(moved.removed[1]), linked);
    {
        dovrane::testing::ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(t.putBack(moved.removed[1]),
                  Trasher::PutBackResult::failed("Ein Ordner über dem ursprünglichen Ort des Objekts ist ein Verweis, "
                                                 "und Dovrane bewegt nichts durch einen Verweis."));
    }
    // A password not given is said as such.
    EXPECT_EQ(trasher([](const std::string&) { return false; }).putBack(moved.removed[1]),
              Trasher::PutBackResult::failed("admin"));
    EXPECT_EQ(dovrane::testing::snapshotTree(elsewhere), before);
    EXPECT_TRUE(Trasher::isInTrash(moved.removed[0]));
    EXPECT_TRUE(Trasher::isInTrash(moved.removed[1]));
    EXPECT_EQ(Fs::list(trashInfo).size(), 2u);
}

// The Trash itself may lie behind a link (~/.local kept on another folder): items still go in
// and come back, the user's own move and the administrator's alike.
TEST_F(TrasherTest, ATrashKeptBehindALinkStillTakesItemsAndGivesThemBack) {
    makeFolder(work / "local");
    makeSymlink(work / "local", home / ".local");
    writeFile(home / "Downloads/old.iso", "iso");
    writeFile(home / "Downloads/root.iso", "root");
    const Trasher t = trasher(runShell);
    const Trasher::Outcome moved =
        t.execute(t.plan({item(home / "Downloads/old.iso"), item(home / "Downloads/root.iso", 1, true)}));
    ASSERT_EQ(moved.removed.size(), 2u) << moved.failed.front().reason;
    EXPECT_EQ(Fs::readFile(work / "local/share/Trash/files/root.iso"), "root");
    for (const RemovedItem& removed : moved.removed)
        EXPECT_EQ(t.putBack(removed), Trasher::PutBackResult::restored());
    EXPECT_EQ(Fs::readFile(home / "Downloads/old.iso"), "iso");
    EXPECT_EQ(Fs::readFile(home / "Downloads/root.iso"), "root");
}

// A home given through a link ("/home/u" where "/home" leads to "/var/home") is one folder in
// both spellings: items spelled either way move, the user's own way and the administrator's, and
// go back where they were; the administrator goes down from where the home really is. A folder
// in the home swapped for a link after the plan is still refused.
TEST(TrasherSpelledHome, ItemsOfAHomeGivenThroughALinkMoveAndComeBackInBothSpellings) {
    TempDir work;
    const std::string real = work / "var/home/u", spelled = work / "home/u";
    makeFolder(real);
    makeSymlink(work / "var/home", work / "home");
    writeFile(real + "/.cache/app/data", "cache");
    writeFile(real + "/.cache/other/data", "other");
    writeFile(real + "/Downloads/old.iso", "iso");
    writeFile(real + "/Downloads/root.iso", "root");
    const std::string trashFiles = FreedesktopTrash::homeTrashFiles(spelled);
    std::vector<std::string> commands;
    const Trasher t{DeletionGuard(Url::fromPath(spelled)), Url::fromPath(trashFiles), [&](const std::string& command) {
                        commands.push_back(command);
                        return runShell(command);
                    }};

    const auto identity = FolderDescent::identify(real + "/Downloads/root.iso");
    const Trasher::Outcome moved = t.execute(t.plan({{Url::fromPath(spelled + "/.cache/app"), 1, 1, false},
                                                     {Url::fromPath(real + "/Downloads/old.iso"), 1, 1, false},
                                                     {Url::fromPath(spelled + "/Downloads/root.iso"), 1, 1, true}}));
    ASSERT_EQ(moved.removed.size(), 3u) << moved.failed.front().reason;
    EXPECT_EQ(moved.removed[0].originalPath, Url::fromPath(spelled + "/.cache/app"));
    EXPECT_EQ(Fs::readFile(trashFiles + "/root.iso"), "root");
    // The mover goes down to both sides from "/" without links: the Trash too, where it really is.
    const std::string realFiles = FreedesktopTrash::homeTrashFiles(real);
    EXPECT_EQ(commands, std::vector<std::string>{moverLine(real, real + "/Downloads/root.iso", realFiles,
                                                           realFiles + "/root.iso", identity)});
    for (const RemovedItem& removed : moved.removed) {
        EXPECT_TRUE(Trasher::isInTrash(removed)) << removed.originalPath.path();
        EXPECT_EQ(t.putBack(removed), Trasher::PutBackResult::restored()) << removed.originalPath.path();
    }
    EXPECT_EQ(Fs::readFile(real + "/.cache/app/data"), "cache");
    EXPECT_EQ(Fs::readFile(real + "/Downloads/old.iso"), "iso");
    EXPECT_EQ(Fs::readFile(real + "/Downloads/root.iso"), "root");

    const TrashPlan plan = t.plan({{Url::fromPath(spelled + "/.cache/other"), 1, 1, false}});
    ASSERT_EQ(std::rename((real + "/.cache").c_str(), (real + "/.cache.real").c_str()), 0);
    makeSymlink(real + "/.cache.real", real + "/.cache");
    EXPECT_EQ(t.execute(plan).failed,
              (std::vector<Trasher::Failure>{Trasher::Failure::fileError(
                  Url::fromPath(spelled + "/.cache/other"),
                  "A folder above this item is a link, and Dovrane moves nothing through a link.")}));
    EXPECT_EQ(Fs::readFile(real + "/.cache.real/other/data"), "other");
}

// Dovrane started once with the home spelled "/home/u" and once with "/var/home/u" (the first a
// link to the second): what went to the Trash under one spelling comes back under the other, with
// or without the password, in both directions.
TEST(TrasherSpelledHome, ItemsMovedUnderOneSpellingComeBackWhenTheHomeIsGivenInTheOther) {
    TempDir work;
    const std::string real = work / "var/home/u", spelled = work / "home/u";
    makeFolder(real + "/Downloads");
    makeSymlink(work / "var/home", work / "home");
    const auto trasherOf = [](const std::string& home) {
        return Trasher{DeletionGuard(Url::fromPath(home)), Url::fromPath(FreedesktopTrash::homeTrashFiles(home)),
                       runShell};
    };
    for (const auto& [movedAs, backAs] : {std::pair(spelled, real), std::pair(real, spelled)})
        for (bool needsAdmin : {false, true}) {
            const std::string file = real + "/Downloads/a.iso";
            writeFile(file, movedAs + std::to_string(needsAdmin));
            const Trasher before = trasherOf(movedAs);
            const Trasher::Outcome moved =
                before.execute(before.plan({{Url::fromPath(movedAs + "/Downloads/a.iso"), 1, 1, needsAdmin}}));
            ASSERT_EQ(moved.removed.size(), 1u) << moved.failed.front().reason;
            EXPECT_EQ(trasherOf(backAs).putBack(moved.removed[0]), Trasher::PutBackResult::restored())
                << movedAs << " to " << backAs << (needsAdmin ? " with the password" : "");
            EXPECT_EQ(Fs::readFile(file), movedAs + std::to_string(needsAdmin));
        }
}

// What moves is what the user was shown: an item replaced at its path after planning, by its
// folder swapped for another real folder or by a new file of the same name, stays where it is,
// whether the user's rename or the administrator's would move it; so does one that appeared
// where nothing was when planned.
TEST_F(TrasherTest, AnItemReplacedSincePlanningStaysWhereItIs) {
    for (const char* name : {"appA", "appB"})
        writeFile(home / (std::string(".cache/") + name + "/data"), "shown");
    writeFile(work / "report.txt", "shown");
    const Trasher t = trasher(runShell);
    const TrashPlan plan = t.plan({item(home / ".cache/appA"), item(home / ".cache/appB", 1, true),
                                   item(work / "report.txt"), item(work / "later.txt")});
    ASSERT_EQ(plan.entries.size(), 4u);

    ASSERT_EQ(std::rename((home / ".cache").c_str(), (home / ".cache.shown").c_str()), 0);
    for (const char* name : {"appA", "appB"})
        writeFile(home / (std::string(".cache/") + name + "/data"), "another");
    ASSERT_EQ(unlink((work / "report.txt").c_str()), 0);
    writeFile(work / "report.txt", "another");
    writeFile(work / "later.txt", "appeared");

    const std::string changed = "This item was replaced by another one after it was shown, so nothing was moved.";
    std::vector<Trasher::Failure> expected;
    for (const TrashPlan::Entry& entry : plan.entries)
        expected.push_back(Trasher::Failure::fileError(entry.url, changed));
    const Trasher::Outcome outcome = t.execute(plan);
    EXPECT_TRUE(outcome.removed.empty());
    EXPECT_EQ(outcome.failed, expected);
    EXPECT_TRUE(log.commands.empty()) << "no password is asked for another item";
    for (const std::string& path : {home / ".cache/appA/data", home / ".cache/appB/data", work / "report.txt"})
        EXPECT_EQ(Fs::readFile(path), "another") << path;
    EXPECT_EQ(Fs::readFile(home / ".cache.shown/appA/data"), "shown");
    EXPECT_TRUE(Fs::list(trashInfo).empty());
    {
        dovrane::testing::ScopedEnv german("APP_LANG", "de");
        EXPECT_EQ(t.execute(TrashPlan{{plan.entries[2]}, {}}).failed.at(0).reason,
                  "Dieses Objekt wurde nach der Anzeige durch ein anderes ersetzt, daher wurde nichts bewegt.");
    }

    // The swap made while the password dialog shows: the mover, told the item's identity,
    // leaves the item swapped in where it is.
    const TrashPlan fresh = t.plan({item(home / ".cache/appB", 1, true)});
    const Trasher late = trasher([&](const std::string& command) {
        EXPECT_EQ(std::rename((home / ".cache").c_str(), (home / ".cache.again").c_str()), 0);
        writeFile(home / ".cache/appB/data", "swapped in");
        return runShell(command);
    });
    EXPECT_EQ(late.execute(fresh).failed,
              (std::vector<Trasher::Failure>{Trasher::Failure::fileError(fresh.entries[0].url, changed)}));
    EXPECT_EQ(Fs::readFile(home / ".cache/appB/data"), "swapped in");
    EXPECT_EQ(Fs::readFile(home / ".cache.again/appB/data"), "another");
    EXPECT_TRUE(Fs::list(trashInfo).empty());
    EXPECT_TRUE(Fs::list(trashFiles.path()).empty());

    // The item planned now is the one that goes.
    const Trasher::Outcome moved = t.execute(t.plan({item(home / ".cache/appB", 1, true), item(work / "report.txt")}));
    EXPECT_EQ(moved.removed.size(), 2u);
    EXPECT_EQ(Fs::readFile(inTrash("appB/data")), "swapped in");
}

// The record and the Trash's info file are the user's to edit: Put Back goes only where a move
// could have come from, asks no password for anywhere else, and moves nothing there.
// Another user's home (a folder named by DOVRANE_HOME_FOLDERS stands for /home here) and root's
// keys are no place to go back to either, with or without the password.
TEST_F(TrasherTest, PutBackGoesOnlyWhereAMoveCouldComeFrom) {
    TempDir homes;
    writeFile(homes / "other/notes.txt", "theirs");
    makeFolder(homes / "other/.ssh");
    dovrane::testing::ScopedEnv seam("DOVRANE_HOME_FOLDERS", homes.path());
    writeFile(work / "key", "planted");
    writeFile(home / ".ssh/known_hosts", "kept");
    makeFolder(home / "Downloads");
    const Trasher t = trasher(runShell);
    const Trasher::Outcome moved = t.execute(t.plan({item(work / "key")}));
    ASSERT_EQ(moved.removed.size(), 1u);
    const Url trashed = moved.removed[0].trashPath;
    // A protected place that is taken says it is protected, not that it is taken.
    for (const std::string& original :
         {home / ".ssh/authorized_keys", home / "Downloads/../.ssh/config", home / ".ssh/known_hosts",
          home / "Documents", std::string("/etc/cron.d/dovrane-test"), homes / "other/.ssh/authorized_keys",
          homes / "other/key", homes / "other", std::string("/root/.ssh/authorized_keys")})
        for (bool needsAdmin : {false, true}) {
            writeFile(FreedesktopTrash::infoPathFor(trashed.path()), FreedesktopTrash::infoText(original, 0));
            const RemovedItem forged{Url::fromPath(original), trashed, 1, needsAdmin};
            ASSERT_TRUE(Trasher::isInTrash(forged)) << original;
            EXPECT_EQ(t.putBack(forged), Trasher::PutBackResult::failed("blocked")) << original << needsAdmin;
        }
    EXPECT_TRUE(log.commands.empty());
    EXPECT_EQ(Fs::list(home / ".ssh").size(), 1u);
    EXPECT_EQ(Fs::readFile(home / ".ssh/known_hosts"), "kept");
    EXPECT_FALSE(Fs::exists(home / "Documents"));
    EXPECT_FALSE(Fs::exists("/etc/cron.d/dovrane-test"));
    EXPECT_EQ(Fs::list(homes / "other/.ssh"), std::vector<std::string>{});
    EXPECT_EQ(Fs::list(homes / "other").size(), 2u);
    EXPECT_EQ(Fs::readFile(trashed.path()), "planted");
}

// The mover, run as root, does not take the application's word for it: it judges both sides for
// the user who asked (PKEXEC_UID) and moves nothing into or out of another user's home, nor into
// any home's keys; a user it does not know gets nothing moved at all.
TEST(TrasherMover, RefusesAnotherUsersHomeWhateverItIsTold) {
    TempDir homes, work;
    writeFile(work / "key", "planted");
    writeFile(homes / "other/notes.txt", "theirs");
    makeFolder(homes / "other/.ssh");
    dovrane::testing::ScopedEnv seam("DOVRANE_HOME_FOLDERS", homes.path());
    dovrane::testing::ScopedEnv asker("PKEXEC_UID", std::to_string(getuid()));
    const auto status = [](const std::string& from, const std::string& to) {
        return runShell(moverLine("/", from, "/", to)).status();
    };
    for (const std::string& to : {homes / "other/.ssh/authorized_keys", homes / "other/key", homes / "other/.bashrc"})
        EXPECT_EQ(status(work / "key", to), FolderDescent::refusedExitStatus) << to;
    EXPECT_EQ(status(homes / "other/notes.txt", work / "notes.txt"), FolderDescent::refusedExitStatus);
    {
        dovrane::testing::ScopedEnv unknown("PKEXEC_UID", "4000000000");
        EXPECT_EQ(status(work / "key", work / "moved"), 1);
    }
    EXPECT_EQ(Fs::list(homes / "other/.ssh"), std::vector<std::string>{});
    EXPECT_EQ(Fs::readFile(homes / "other/notes.txt"), "theirs");
    EXPECT_EQ(Fs::list(work.path()), std::vector<std::string>{"key"});

    // What the user may move still moves, and a refusal reaches the trasher as the guard's.
    EXPECT_EQ(status(work / "key", work / "moved"), 0);
    EXPECT_EQ(Fs::readFile(work / "moved"), "planted");
    const Trasher refusing{
        DeletionGuard(Url::fromPath(work.path())), Url::fromPath(work / "Trash/files"),
        [](const std::string&) { return Shell::AdminAnswer::exited(FolderDescent::refusedExitStatus); }};
    EXPECT_EQ(refusing.execute(refusing.plan({{Url::fromPath(work / "moved"), 1, 1, true}})).failed,
              std::vector<Trasher::Failure>{Trasher::Failure::blocked(Url::fromPath(work / "moved"))});
    EXPECT_EQ(Fs::readFile(work / "moved"), "planted");
}

// A folder named "files" beside an "info" is no Trash: as the user, `mkdir -p fake/info` and
// `ln -s /etc fake/files`. The mover, run as root for that user, judges a side there by where it
// leads, a system folder, and moves nothing into it or out of it, whichever side it is.
TEST(TrasherMover, AFakeTrashLeadingToASystemFolderMovesNothingEitherWay) {
    if (geteuid() != 0)
        GTEST_SKIP() << "the mover runs as root for an ordinary user here, which takes root";
    TempDir dir;
    const auto user = dovrane::testing::ordinaryUser();
    const std::string home = dir / "home", unique = Path::lastComponent(dir.path());
    // The system folders' own entries stay as they were; only these, made here, are at stake.
    struct Planted {
        std::vector<std::string> paths;
        ~Planted() {
            for (const std::string& path : paths)
                unlink(path.c_str());
        }
    } planted;
    std::map<std::string, std::vector<std::string>> before;
    for (const std::string system : {"/etc", "/var/lib"}) {
        planted.paths.push_back(Path::join(system, unique));
        planted.paths.push_back(Path::join(system, unique + "-planted"));
        writeFile(Path::join(system, unique), "root's");
        before[system] = Fs::list(system);
        makeFolder(home + "/fake" + system + "/info");
        makeSymlink(system, home + "/fake" + system + "/files");
    }
    writeFile(home + "/payload", "the user's");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    dovrane::testing::chownRecursively(home, user.user, user.group);
    const auto homeBefore = dovrane::testing::snapshotTree(home);
    dovrane::testing::ScopedEnv asker("PKEXEC_UID", std::to_string(user.user));

    for (const std::string system : {"/etc", "/var/lib"}) {
        const std::string files = home + "/fake" + system + "/files";
        EXPECT_EQ(runShell(moverLine(files, files + "/" + unique, home, home + "/stolen")).status(),
                  FolderDescent::refusedExitStatus)
            << system;
        EXPECT_EQ(runShell(moverLine(home, home + "/payload", files, files + "/" + unique + "-planted")).status(),
                  FolderDescent::refusedExitStatus)
            << system;
        EXPECT_EQ(Fs::readFile(Path::join(system, unique)), "root's");
        std::vector<std::string> now = Fs::list(system);
        EXPECT_EQ(std::set<std::string>(now.begin(), now.end()),
                  std::set<std::string>(before[system].begin(), before[system].end()))
            << system;
    }
    EXPECT_EQ(dovrane::testing::snapshotTree(home), homeBefore);
}

// The user's own Trash is a Trash to the mover: root's home trash, which the whole guard protects,
// takes an item the trasher hands to the administrator and gives it back. The same folder behind
// a link is none.
TEST(TrasherMover, TheUsersOwnHomeTrashTakesItemsAndALinkInItsPlaceDoesNot) {
    auto report = dovrane::testing::withPrivateMounts([] {
        if (!dovrane::testing::mountTmpfs("/root"))
            return std::string("mounting failed");
        writeFile("/root/Downloads/old.iso", "iso");
        makeFolder("/root/.local/share/Trash/info");
        makeFolder("/root/.local/share/Trash/files");
        makeFolder("/root/elsewhere");
        setenv("PKEXEC_UID", "0", 1);
        const std::string files = "/root/.local/share/Trash/files", item = "/root/Downloads/old.iso";
        const Trasher t{DeletionGuard(Url::fromPath("/root")), Url::fromPath(files), runShell};
        const Trasher::Outcome moved = t.execute(t.plan({{Url::fromPath(item), 3, 1, true}}));
        std::string problems;
        if (moved.removed.size() != 1 || Fs::readFile(files + "/old.iso") != "iso")
            problems += "the item goes into the Trash; ";
        else if (t.putBack(moved.removed[0]) != Trasher::PutBackResult::restored() || !Fs::exists(item))
            problems += "and comes back; ";
        std::rename(files.c_str(), "/root/.local/share/Trash/files.real");
        makeSymlink("/root/elsewhere", files);
        if (runShell(moverLine("/root", item, files, files + "/old.iso")).status() == 0 ||
            !Fs::list("/root/elsewhere").empty() || !Fs::exists(item))
            problems += "nothing goes through a link in the Trash's place; ";
        return problems;
    });
    if (!report)
        GTEST_SKIP() << "a private /root takes root with the right to mount";
    EXPECT_EQ(*report, "");
}

// A record naming an item in a folder called files beside an info folder, a link to elsewhere,
// with an info file naming a place in the home: Put Back moves nothing and asks for no password,
// whether the record says the administrator moved it or not.
TEST_F(TrasherTest, PutBackOfAnItemInAFakeTrashAsksForNoPassword) {
    writeFile(work / "elsewhere/shadow-copy", "not the user's");
    makeFolder(home / "fake/info");
    makeSymlink(work / "elsewhere", home / "fake/files");
    writeFile(home / "fake/info/shadow-copy.trashinfo", FreedesktopTrash::infoText(home / "stolen", 0));
    const Trasher t = trasher(runShell);
    for (bool needsAdmin : {true, false}) {
        const RemovedItem forged{Url::fromPath(home / "stolen"), Url::fromPath(home / "fake/files/shadow-copy"), 1,
                                 needsAdmin};
        EXPECT_EQ(t.putBack(forged),
                  Trasher::PutBackResult::failed("This item is not in your Trash, so nothing was moved."));
    }
    EXPECT_TRUE(log.commands.empty());
    EXPECT_EQ(Fs::readFile(work / "elsewhere/shadow-copy"), "not the user's");
    EXPECT_FALSE(Fs::exists(home / "stolen"));
}

// A record spelled with ".." is no place to go back to by its spelling; the reason is Dovrane's
// own sentence in the user's language, not the system's English.
TEST_F(TrasherTest, PutBackToARecordSpelledWithDotsSaysSoInTheUsersLanguage) {
    writeFile(work / "dots.txt", "d");
    makeFolder(work / "sub");
    const Trasher t = plainTrasher();
    const Trasher::Outcome moved = t.execute(t.plan({item(work / "dots.txt")}));
    ASSERT_EQ(moved.removed.size(), 1u);
    const RemovedItem dotted{Url::fromPath(work / "sub/../dots.txt"), moved.removed[0].trashPath, 1, false};
    writeFile(FreedesktopTrash::infoPathFor(dotted.trashPath.path()),
              FreedesktopTrash::infoText(dotted.originalPath.path(), 0));
    ASSERT_TRUE(Trasher::isInTrash(dotted));
    dovrane::testing::ScopedEnv german("APP_LANG", "de");
    EXPECT_EQ(t.putBack(dotted),
              Trasher::PutBackResult::failed("Der gespeicherte ursprüngliche Ort ist kein "
                                             "einfacher absoluter Pfad, daher wurde nichts bewegt."));
    EXPECT_TRUE(Trasher::isInTrash(dotted));
}

// A folder the user may not write: Put Back says so in German, in Dovrane's words.
TEST(TrasherReasons, PutBackIntoAFolderTheUserMayNotWriteSaysWhyInTheUsersLanguage) {
    TempDir dir;
    const auto user = dovrane::testing::ordinaryUser();
    const std::string home = dir / "home";
    writeFile(home + "/Downloads/a.zip", "a");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    for (const std::string& path : {home, home + "/Downloads", home + "/Downloads/a.zip"})
        ASSERT_EQ(chown(path.c_str(), user.user, user.group), 0) << path;
    const auto putBack = [&] {
        const Trasher t{DeletionGuard(Url::fromPath(home)), Url::fromPath(FreedesktopTrash::homeTrashFiles(home))};
        const Trasher::Outcome moved = t.execute(t.plan({{Url::fromPath(home + "/Downloads/a.zip"), 1, 1, false}}));
        if (moved.removed.size() != 1)
            return std::string("not moved");
        chmod((home + "/Downloads").c_str(), 0555);
        std::string report;
        {
            dovrane::testing::ScopedEnv german("APP_LANG", "de");
            report = t.putBack(moved.removed[0]).reason;
        }
        chmod((home + "/Downloads").c_str(), 0755);
        if (t.putBack(moved.removed[0]) != Trasher::PutBackResult::restored())
            report += " / then not restored";
        return report;
    };
    EXPECT_EQ(dovrane::testing::asOrdinaryUser(putBack),
              "Du darfst am ursprünglichen Ort des Objekts nichts schreiben.");
    EXPECT_EQ(Fs::readFile(home + "/Downloads/a.zip"), "a");
}

// An item that may not leave the Trash, a folder its user may not rewrite, is what Put Back's
// reason names, in either language, and not the original place, which is free.
TEST(TrasherReasons, PutBackOfAFolderThatMayNotLeaveTheTrashNamesTheTrash) {
    TempDir dir;
    const auto user = dovrane::testing::ordinaryUser();
    const std::string home = dir / "home";
    makeFolder(home + "/Downloads/photos");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    for (const std::string& path : {home, home + "/Downloads", home + "/Downloads/photos"})
        ASSERT_EQ(chown(path.c_str(), user.user, user.group), 0) << path;
    const auto putBack = [&] {
        const Trasher t{DeletionGuard(Url::fromPath(home)), Url::fromPath(FreedesktopTrash::homeTrashFiles(home))};
        const Trasher::Outcome moved = t.execute(t.plan({{Url::fromPath(home + "/Downloads/photos"), 1, 1, false}}));
        if (moved.removed.size() != 1)
            return std::string("not moved");
        const std::string trashed = moved.removed[0].trashPath.path();
        chmod(trashed.c_str(), 0555);
        std::string report = t.putBack(moved.removed[0]).reason;
        {
            dovrane::testing::ScopedEnv german("APP_LANG", "de");
            report += " / " + t.putBack(moved.removed[0]).reason;
        }
        chmod(trashed.c_str(), 0755);
        if (t.putBack(moved.removed[0]) != Trasher::PutBackResult::restored())
            report += " / then not restored";
        return report;
    };
    EXPECT_EQ(
        dovrane::testing::asOrdinaryUser(putBack),
        "You may not move this item out of the Trash. / Du darfst dieses Objekt nicht aus dem Papierkorb bewegen.");
    EXPECT_TRUE(Fs::isDirectory(home + "/Downloads/photos"));
}

// A file locked in the Trash (immutable, as only an administrator can make it): Put Back names
// the item in the Trash, even for an administrator, whom no right of the original place stops.
TEST_F(TrasherTest, PutBackOfAnItemLockedInTheTrashNamesTheTrash) {
    const std::string file = home / "Downloads/a.zip";
    writeFile(file, "a");
    const Trasher t = plainTrasher();
    const Trasher::Outcome moved = t.execute(t.plan({item(file)}));
    ASSERT_EQ(moved.removed.size(), 1u);
    const std::string trashed = moved.removed[0].trashPath.path();
    const auto setLocked = [&trashed](bool locked) {
        const int fd = open(trashed.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        int flags = 0;
        bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = locked ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0)
            close(fd);
        return done;
    };
    if (!setLocked(true))
        GTEST_SKIP() << "this file system, or this user, cannot make a file immutable";
    const Trasher::PutBackResult refused = t.putBack(moved.removed[0]);
    std::string german;
    {
        dovrane::testing::ScopedEnv chosen("APP_LANG", "de");
        german = t.putBack(moved.removed[0]).reason;
    }
    ASSERT_TRUE(setLocked(false));
    EXPECT_EQ(refused.kind, Kind::failed);
    EXPECT_EQ(refused.reason, "You may not move this item out of the Trash.");
    EXPECT_EQ(german, "Du darfst dieses Objekt nicht aus dem Papierkorb bewegen.");
    EXPECT_EQ(t.putBack(moved.removed[0]), Trasher::PutBackResult::restored());
    EXPECT_EQ(Fs::readFile(file), "a");
}

// No error of the system reaches the user in the system's own English, either way.
TEST(TrasherReasons, EverySystemErrorIsSaidInDovranesOwnWords) {
    for (const char* language : {"en", "de"}) {
        dovrane::testing::ScopedEnv chosen("APP_LANG", language);
        for (int code = 1; code < 134; ++code)
            for (auto way : {MoveReasons::Way::toTrash, MoveReasons::Way::back}) {
                const std::error_code error(code, std::generic_category());
                const std::string reason = MoveReasons::forError(error, way);
                EXPECT_FALSE(reason.empty()) << code;
                EXPECT_EQ(reason.find(error.message()), std::string::npos) << code << " " << language;
            }
    }
}

// A journal hears of each batch before it moves: its items under the names they then take, two
// of one name apart; a batch whose record fails, and every one after it, stays where it is.
TEST_F(TrasherTest, EachBatchIsRecordedBeforeItMovesAndAFailedRecordMovesNothingMore) {
    std::vector<Trasher::Candidate> candidates;
    for (const char* path : {"a/cache", "b/cache", "c/cache", "d/log", "e/log"}) {
        writeFile(work / path, path);
        candidates.push_back(item(work / path));
    }
    const Trasher t = plainTrasher();
    std::vector<std::vector<RemovedItem>> batches;
    int answers = 3;
    const auto record = [&](const std::vector<Trasher::Taking>& taking) {
        std::vector<RemovedItem> items;
        for (const Trasher::Taking& each : taking) {
            EXPECT_TRUE(Fs::exists(each.item.originalPath.path())) << each.item.originalPath.path();
            EXPECT_FALSE(Fs::exists(FreedesktopTrash::infoPathFor(each.item.trashPath.path())))
                << each.item.trashPath.path();
            EXPECT_TRUE(each.item.identity);
            EXPECT_NE(each.info.inode, 0u) << "its info file is written, under a name of the move's own";
            items.push_back(each.item);
        }
        batches.push_back(items);
        return --answers > 0;
    };
    const Trasher::Outcome all = t.execute(t.plan(candidates), {2, record, {}});
    ASSERT_EQ(batches.size(), 3u);
    EXPECT_EQ(batches[0].size(), 2u);
    EXPECT_EQ(batches[2].size(), 1u);
    EXPECT_EQ(batches[0][0].trashPath.lastPathComponent(), "cache");
    EXPECT_EQ(batches[0][1].trashPath.lastPathComponent(), "cache 2");
    EXPECT_EQ(all.removed, (std::vector<RemovedItem>{batches[0][0], batches[0][1], batches[1][0], batches[1][1]}));
    for (const RemovedItem& moved : all.removed)
        EXPECT_TRUE(Trasher::isInTrash(moved)) << moved.trashPath.path();

    // The third record failed: its item stays, with no info file, and says why.
    ASSERT_EQ(all.failed.size(), 1u);
    EXPECT_EQ(all.failed[0].path, Url::fromPath(work / "e/log"));
    EXPECT_EQ(all.failed[0].reason,
              "Dovrane could not write its record of this move, so the item was left where it is.");
    EXPECT_TRUE(Fs::exists(work / "e/log"));
    EXPECT_EQ(Fs::list(trashInfo).size(), 4u);
}

// A batch's info files are all written and on the disk before any of its items moves, and the
// move's last renames before it returns: the order a power cut cannot undo (the model's tests cut
// a real disk's power where the machine lets them).
TEST_F(TrasherTest, EachBatchsInfoFilesReachTheDiskBeforeItsItemsMove) {
    using Step = TrasherInternals::Step;
    std::vector<Trasher::Candidate> candidates;
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        writeFile(work / name, name);
        candidates.push_back(item(work / name));
    }
    std::vector<std::string> steps;
    TrasherInternals::watchSteps([&](Step step, const std::string& path) {
        const char* word = step == Step::infoWritten ? "info " : step == Step::flushed ? "flush " : "move ";
        steps.push_back(word + (path.empty() ? std::string() : Path::lastComponent(path)));
    });
    const Trasher t = plainTrasher();
    const auto record = [](const std::vector<Trasher::Taking>&) { return true; };
    EXPECT_EQ(t.execute(t.plan(candidates), {2, record, {}}).removed.size(), 5u);
    const std::string trash = Path::lastComponent(Path::parent(trashFiles.path()));
    EXPECT_EQ(steps,
              (std::vector<std::string>{"info a.trashinfo", "info b.trashinfo", "flush " + trash, "move a", "move b",
                                        "info c.trashinfo", "info d.trashinfo", "flush " + trash, "move c", "move d",
                                        "info e.trashinfo", "flush " + trash, "move e", "flush "}));

    // Without a journal, the same; and for an item that a replacement takes the place of.
    steps.clear();
    writeFile(work / "f", "f");
    EXPECT_EQ(t.execute(t.plan({item(work / "f")})).removed.size(), 1u);
    writeFile(work / "g", "old");
    const Trasher::Replacement replacement{[](const std::string& staged) { return Fs::writeFile(staged, "new"); }, {}};
    EXPECT_EQ(t.replace(t.plan({item(work / "g")}).entries.front(), replacement, {}).removed.size(), 1u);
    TrasherInternals::watchSteps({});
    EXPECT_EQ(steps, (std::vector<std::string>{"info f.trashinfo", "flush " + trash, "move f", "flush ",
                                               "info g.trashinfo", "flush " + trash, "move g", "flush "}));
}

// Settling a move cut short keeps what reached the names it claimed and clears the info files it
// left without their item. A name it only journaled is not its own: what another program or
// another move put there stays, item and info file, even an empty info file. An entry outside a
// Trash of the user's is dropped and touches nothing.
TEST_F(TrasherTest, SettlingKeepsWhatReachedTheNamesItClaimedAndRemovesOnlyItsOwnInfoFiles) {
    for (const char* path : {"moved", "twice", "claimed", "unclaimed"})
        writeFile(work / path, path);
    const Trasher t = plainTrasher();
    std::vector<Trasher::Taking> journaled;
    const Trasher::Journal journal{10,
                                   [&journaled](const std::vector<Trasher::Taking>& taking) {
                                       journaled.insert(journaled.end(), taking.begin(), taking.end());
                                       return true;
                                   },
                                   "mark"};
    const Trasher::Outcome moved = t.execute(t.plan({item(work / "moved")}), journal);
    ASSERT_EQ(moved.removed.size(), 1u);
    ASSERT_EQ(journaled.size(), 1u);

    // Info files written under the move's own names, as a move killed part-way leaves them: one
    // claimed its name and the item never came; one journaled and never claimed, whose name
    // another move then took, moving the same item there; one never claimed, whose name another
    // program took with an empty info file; one of a batch never journaled; one of another move.
    const auto prepared = [&](const std::string& name, const std::string& privateName, bool claim) {
        const FreedesktopTrash::Directory trash{Path::parent(trashFiles.path()), {}};
        auto place = FolderDescent::parentOf("/", work / name);
        EXPECT_TRUE(place.ok());
        auto info = FreedesktopTrash::prepareInfo(trash, privateName, *place, work / name);
        EXPECT_TRUE(info.ok());
        if (claim) {
            EXPECT_FALSE(FreedesktopTrash::claim({trash, name}, privateName));
        }
        return Trasher::Taking{{Url::fromPath(work / name), Url::fromPath(inTrash(name)), 1, false,
                                FolderDescent::identify(work / name)->item},
                               *info};
    };
    journaled.push_back(prepared("claimed", ".dovrane-mark-7", true));
    journaled.push_back(prepared("twice", ".dovrane-mark-8", false));
    const Trasher::Outcome movedByAnother = t.execute(t.plan({item(work / "twice")}));
    ASSERT_EQ(movedByAnother.removed.size(), 1u);
    ASSERT_EQ(journaled.back().item.trashPath, movedByAnother.removed[0].trashPath);
    journaled.push_back(prepared("unclaimed", ".dovrane-mark-9", false));
    writeFile(FreedesktopTrash::infoPathFor(inTrash("unclaimed")), "");
    prepared("unclaimed", ".dovrane-mark-10", false);
    prepared("unclaimed", ".dovrane-another-1", false);
    // A folder named files beside an info folder, in no Trash: its info file stays.
    writeFile(work / "fake/files/shadow-copy", "root's");
    writeFile(work / "fake/info/shadow-copy.trashinfo", "");
    journaled.push_back({{Url::fromPath(work / "shadow-copy"), Url::fromPath(work / "fake/files/shadow-copy"), 1, true,
                          FolderDescent::identify(work / "fake/files/shadow-copy")->item},
                         FolderDescent::identify(work / "fake/info/shadow-copy.trashinfo")->item});

    EXPECT_EQ(t.settle(journaled, "mark"), moved.removed);
    EXPECT_TRUE(Trasher::isInTrash(movedByAnother.removed[0])) << "the other move's item and info file stay";
    EXPECT_FALSE(Fs::exists(FreedesktopTrash::infoPathFor(inTrash("claimed"))));
    EXPECT_EQ(Fs::readFile(FreedesktopTrash::infoPathFor(inTrash("unclaimed"))), "");
    EXPECT_EQ(Fs::readFile(work / "fake/info/shadow-copy.trashinfo"), "");
    std::vector<std::string> info = Fs::list(trashInfo);
    std::sort(info.begin(), info.end());
    EXPECT_EQ(info, (std::vector<std::string>{".dovrane-another-1", "moved.trashinfo", "twice.trashinfo",
                                              "unclaimed.trashinfo"}));
    EXPECT_TRUE(Fs::exists(work / "claimed"));
}

// A replacement the administrator makes is one command of our mover: a single file (an AppImage)
// takes its old version's place in one step, and the old one reaches the Trash under its place's
// name, so Put Back knows where it goes.
TEST_F(TrasherTest, AReplacementNeedingTheAdministratorSwapsAndTrashesInOneMoverCommand) {
    const std::string tool = work / "Apps/Tool.AppImage";
    writeFile(tool, "old");
    const Trasher t = trasher(runShell);
    std::string madeAt;
    const Trasher::Replacement replacement{[&](const std::string& staged) {
                                               madeAt = staged;
                                               writeFile(staged, "new");
                                               return true;
                                           },
                                           {}};
    const Trasher::Outcome outcome = t.replace(t.plan({item(tool, 3, true)}).entries.front(), replacement, {});

    ASSERT_EQ(outcome.removed.size(), 1u) << (outcome.failed.empty() ? "" : outcome.failed[0].reason);
    EXPECT_EQ(outcome.removed[0], (RemovedItem{Url::fromPath(tool), Url::fromPath(inTrash("Tool.AppImage")), 3, true}));
    EXPECT_TRUE(Trasher::isInTrash(outcome.removed[0]));
    EXPECT_EQ(Fs::readFile(tool), "new");
    EXPECT_EQ(Fs::readFile(inTrash("Tool.AppImage")), "old");
    EXPECT_EQ(Fs::list(work / "Apps"), std::vector<std::string>{"Tool.AppImage"});
    EXPECT_EQ(Path::parent(madeAt), work / "Apps");
    ASSERT_EQ(log.commands.size(), 1u);
    EXPECT_EQ(log.commands[0].rfind(Shell::quote(ToolPaths::current().mover) + " --swap ", 0), 0u) << log.commands[0];
}

// What a replacement killed part-way left: the old item under the name beside its place goes on
// into the Trash under the name the move claimed; a replacement that never took the place goes; a
// link or another user's entry under such a name is not ours and stays.
TEST_F(TrasherTest, SettlingAReplacementFinishesItsMoveAndRemovesOnlyItsOwnCopy) {
    const auto staging = [&](const std::string& name) {
        return work / ("Apps/" + std::string(Trasher::stagingPrefix) + name);
    };
    const auto left = [&](const std::string& name, bool swapped, bool claimed) {
        const std::string place = work / ("Apps/" + name);
        writeFile(place, "old " + name);
        const FolderDescent::Identity::File old = FolderDescent::identify(place)->item;
        if (swapped)
            std::rename(place.c_str(), staging(name).c_str());
        writeFile(swapped ? place : staging(name), "new " + name);
        const std::string info = FreedesktopTrash::infoPathFor(inTrash(name));
        if (claimed)
            writeFile(info, FreedesktopTrash::infoText(place, 0));
        return Trasher::Taking{
            {Url::fromPath(place), Url::fromPath(inTrash(name)), 1, false, old, Url::fromPath(staging(name))},
            claimed ? FolderDescent::identify(info)->item : FolderDescent::Identity::File{}};
    };
    makeFolder(trashFiles.path());
    const Trasher::Taking swapped = left("swapped", true, true), made = left("made", false, true),
                          copying = left("copying", false, false), linked = left("linked", false, false);
    Fs::removeAll(staging("linked"));
    makeSymlink(work / "elsewhere", staging("linked"));
    std::vector<Trasher::Taking> taken{swapped, made, copying, linked};
    if (geteuid() == 0) {
        const Trasher::Taking theirs = left("theirs", false, false);
        ASSERT_EQ(lchown(staging("theirs").c_str(), 65534, 65534), 0);
        taken.push_back(theirs);
    }

    RemovedItem settled = swapped.item;
    settled.swappedTo.reset();
    EXPECT_EQ(plainTrasher().settle(taken, "mark"), std::vector<RemovedItem>{settled});
    EXPECT_EQ(Fs::readFile(inTrash("swapped")), "old swapped");
    EXPECT_EQ(Fs::readFile(work / "Apps/swapped"), "new swapped");
    EXPECT_EQ(Fs::readFile(work / "Apps/made"), "old made");
    EXPECT_FALSE(Fs::exists(FreedesktopTrash::infoPathFor(inTrash("made"))));
    EXPECT_FALSE(Fs::exists(staging("made")));
    EXPECT_FALSE(Fs::exists(staging("copying")));
    EXPECT_TRUE(Fs::isSymlink(staging("linked")));
    if (geteuid() == 0) {
        EXPECT_EQ(Fs::readFile(staging("theirs")), "new theirs");
    }
}
