// Runs the built application with "--selftest" on a home, a Trash and a test store of our own.
// Every run has a deadline: a run still going then is killed by its process id and fails.

#include "AppRun.h"
#include "DovraneKit/system/FileSystem.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

AppRun runApp(const std::vector<std::string>& arguments) { return runProgram(DOVRANE_APP, arguments); }

void createIdentity(const std::string& name = "Apple Development: Test Person (TEAM42)",
                    const std::string& team = "TEAM42") {
    const AppRun made = runProgram(std::string(DOVRANE_BIN_DIR) + "/dovrane-security", {"create-identity", name, team});
    ASSERT_EQ(made.status, 0);
}

const std::string otherIdentity = "Developer ID Application: Someone Else (OTHER1)";

const std::vector<std::string> roadChecks = {"PASS the blocklist refuses /System in a plan",
                                             "PASS the plan counts three files",
                                             "PASS the files left their folder",
                                             "PASS a journal entry lists three items",
                                             "PASS the items are in the Trash",
                                             "PASS Put Back restores every file",
                                             "PASS the entry is marked as put back",
                                             "PASS leftovers are found by bundle id"};
const std::vector<std::string> updateInstallChecks = {
    "PASS an update with a wrong EdDSA signature is refused", "PASS a signed update replaces the app",
    "PASS the previous version is in the Trash", "PASS an update without the same developer is refused",
    "PASS the refused update leaves the app as it was"};
const std::string skipLine = "SKIP update install: no Apple Development certificate on this computer";
const std::string volumeCheck = "PASS free space is within the disk size";

// The summary's counts are those of the PASS and FAIL lines before it, the EXIT line comes
// last and the status is the one it names.
void expectConsistentEnd(const AppRun& run) {
    ASSERT_GE(run.lines.size(), 2u);
    const auto summary = std::find_if(run.lines.begin(), run.lines.end(),
                                      [](const std::string& line) { return line.starts_with("SELFTEST "); });
    ASSERT_NE(summary, run.lines.end());
    EXPECT_EQ(summary + 2, run.lines.end()) << "the summary is not followed by the EXIT line alone";
    const auto passed = std::count_if(run.lines.begin(), summary, [](auto& line) { return line.starts_with("PASS "); });
    const auto failed = std::count_if(run.lines.begin(), summary, [](auto& line) { return line.starts_with("FAIL "); });
    const int code = failed == 0 ? 0 : 1;
    EXPECT_EQ(*summary, failed == 0 ? "SELFTEST PASS " + std::to_string(passed) + " checks"
                                    : "SELFTEST FAIL " + std::to_string(failed) + " of " +
                                          std::to_string(passed + failed) + " checks");
    EXPECT_EQ(run.lines.back(), "EXIT " + std::to_string(code));
    EXPECT_EQ(run.status, code);
}

// Every path below folder, each with its size for files, sorted.
std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        paths.push_back(entry.path().string() +
                        (entry.is_regular_file() ? " " + std::to_string(entry.file_size()) : std::string()));
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> entries(const std::string& folder) {
    return Fs::exists(folder) ? Fs::list(folder) : std::vector<std::string>{};
}

struct Record {
    std::string title;
    bool undone = false;
};

std::vector<Record> journal(const std::string& store) {
    std::vector<Record> records;
    sqlite3* database = nullptr;
    if (sqlite3_open_v2(store.c_str(), &database, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* query = nullptr;
        if (sqlite3_prepare_v2(database, "SELECT title, undone FROM removals ORDER BY id", -1, &query, nullptr) ==
            SQLITE_OK)
            while (sqlite3_step(query) == SQLITE_ROW)
                records.push_back(
                    {reinterpret_cast<const char*>(sqlite3_column_text(query, 0)), sqlite3_column_int(query, 1) != 0});
        sqlite3_finalize(query);
    }
    sqlite3_close(database);
    return records;
}

// One self-test's world: the headless run's, whose home holds the Trash the self-test uses.
// A home laid out like a Mac's, where the leftover search looks.
class SelfTestRun : public HeadlessAppTest {
protected:
    void SetUp() override { ASSERT_TRUE(Fs::makeDirectories(home_ / "Library/Caches")); }

    std::string workRoot() const { return home_ / "Library/Caches/com.marrowdine.dovrane.selftest"; }
    std::string trash(const std::string& part) const { return home_ / (".local/share/Trash/" + part); }
    void expectTrashEmpty() const {
        EXPECT_EQ(entries(trash("files")), std::vector<std::string>{});
        EXPECT_EQ(entries(trash("info")), std::vector<std::string>{});
    }
};

} // namespace

// An identity that is not a development one counts as none.
TEST_F(SelfTestRun, WithoutAnIdentityPassesNineChecksAndPassesAgainOnTheSameStore) {
    createIdentity(otherIdentity, "OTHER1");
    const std::vector<std::string> expected =
        joined({roadChecks, {skipLine, volumeCheck, "SELFTEST PASS 9 checks", "EXIT 0"}});
    for (int round = 1; round <= 2; ++round) {
        const AppRun run = runApp({"--selftest"});
        EXPECT_EQ(run.lines, expected) << "run " << round;
        expectConsistentEnd(run);
        EXPECT_FALSE(Fs::exists(workRoot()));
        expectTrashEmpty();
        const std::vector<Record> records = journal(store_);
        ASSERT_EQ(records.size(), std::size_t(round));
        for (const Record& record : records) {
            EXPECT_EQ(record.title, "Self-test");
            EXPECT_TRUE(record.undone);
        }
    }
}

// A full disk: the files went to the Trash and came back, but a journal that could not be
// saved fails its check and the run.
TEST_F(SelfTestRun, AJournalThatCannotBeSavedFailsItsCheckAndEndsWithOne) {
    createIdentity(otherIdentity, "OTHER1");
    ASSERT_EQ(runApp({"--selftest"}).status, 0); // the store and its tables exist
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open(store_.c_str(), &database), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(database,
                           "CREATE TRIGGER refuse BEFORE INSERT ON removals "
                           "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(database);

    const AppRun run = runApp({"--selftest"});
    EXPECT_NE(std::find(run.lines.begin(), run.lines.end(),
                        "FAIL a journal entry lists three items: the database could not be saved"),
              run.lines.end());
    EXPECT_EQ(std::count_if(run.lines.begin(), run.lines.end(), [](auto& line) { return line.starts_with("FAIL "); }),
              1);
    expectConsistentEnd(run);
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(Fs::exists(workRoot()));
    expectTrashEmpty();
}

// The first identity listed is not a development one: the checks pass over it.
TEST_F(SelfTestRun, WithAnIdentityTheUpdateInstallChecksPassAndLeaveTheTrashEmpty) {
    createIdentity(otherIdentity, "OTHER1");
    createIdentity();
    const AppRun run = runApp({"--selftest"});
    EXPECT_EQ(run.lines, joined({roadChecks, updateInstallChecks, {volumeCheck, "SELFTEST PASS 14 checks", "EXIT 0"}}));
    expectConsistentEnd(run);
    EXPECT_FALSE(Fs::exists(workRoot()));
    expectTrashEmpty();
}

// With the Trash a regular file nothing can move: the checks after the move fail without a
// detail and the put-back checks are absent, also when the store holds a passing run's record.
TEST_F(SelfTestRun, ARoadThatCannotMoveFailsItsChecksAndEndsWithOne) {
    const std::vector<std::string> expected = {"PASS the blocklist refuses /System in a plan",
                                               "PASS the plan counts three files",
                                               "FAIL the files left their folder",
                                               "FAIL a journal entry lists three items",
                                               "FAIL the items are in the Trash",
                                               "PASS leftovers are found by bundle id",
                                               skipLine,
                                               volumeCheck,
                                               "SELFTEST FAIL 3 of 7 checks",
                                               "EXIT 1"};
    ASSERT_EQ(runApp({"--selftest"}).status, 0);
    Fs::removeAll(home_ / ".local/share/Trash");
    writeFile(home_ / ".local/share/Trash", "not a folder");

    const AppRun reused = runApp({"--selftest"});
    EXPECT_EQ(reused.lines, expected);
    expectConsistentEnd(reused);
    EXPECT_FALSE(Fs::exists(workRoot()));

    TempDir otherStore;
    ScopedEnv fresh("APP_STORE", otherStore / "fresh.store");
    const AppRun first = runApp({"--selftest"});
    EXPECT_EQ(first.lines, expected);
    expectConsistentEnd(first);
    EXPECT_TRUE(journal(otherStore / "fresh.store").empty());
}

TEST_F(SelfTestRun, AFailingCodeSignerCostsOneCheckWithoutDetail) {
    createIdentity();
    TempDir tools;
    for (const char* tool : {"security", "spctl", "ditto", "tar", "hdiutil"})
        makeSymlink(std::string(DOVRANE_BIN_DIR) + "/dovrane-" + tool, tools / (std::string("dovrane-") + tool));
    writeFile(tools / "dovrane-codesign", "#!/bin/sh\nexit 1\n");
    ASSERT_EQ(chmod((tools / "dovrane-codesign").c_str(), 0755), 0);
    ScopedEnv toolDir("DOVRANE_TOOL_DIR", tools.path());

    const AppRun run = runApp({"--selftest"});
    EXPECT_EQ(run.lines, joined({roadChecks,
                                 {"FAIL the signed test apps were built", volumeCheck, "SELFTEST FAIL 1 of 10 checks",
                                  "EXIT 1"}}));
    expectConsistentEnd(run);
    EXPECT_FALSE(Fs::exists(workRoot()));
    expectTrashEmpty();
}

// A tool the update installer needs that is not installed is no missing identity: the run fails
// and names it, also without an identity.
TEST_F(SelfTestRun, AMissingToolFailsTheRunAndIsNamed) {
    TempDir tools;
    for (const char* tool : {"codesign", "spctl", "ditto", "tar", "hdiutil"})
        makeSymlink(std::string(DOVRANE_BIN_DIR) + "/dovrane-" + tool, tools / (std::string("dovrane-") + tool));
    ScopedEnv toolDir("DOVRANE_TOOL_DIR", tools.path());

    const AppRun run = runApp({"--selftest"});
    EXPECT_EQ(run.lines,
              joined({roadChecks,
                      {"FAIL the update installer's tools are installed: not found: " + (tools / "dovrane-security"),
                       volumeCheck, "SELFTEST FAIL 1 of 10 checks", "EXIT 1"}}));
    expectConsistentEnd(run);
    EXPECT_FALSE(Fs::exists(workRoot()));
}

TEST_F(SelfTestRun, WithoutATestStoreItRefusesAndEndsWithOne) {
    for (std::optional<std::string> value : {std::optional<std::string>(), std::optional<std::string>("")}) {
        ScopedEnv storeVariable("APP_STORE", value);
        const AppRun run = runApp({"--selftest"});
        EXPECT_EQ(run.lines, (std::vector<std::string>{"SELFTEST refused: set APP_STORE to a file in /tmp", "EXIT 1"}));
        EXPECT_EQ(run.status, 1);
        EXPECT_FALSE(Fs::exists(workRoot()));
        // Not even the real store's folder is made for a refused run.
        EXPECT_FALSE(Fs::exists(home_ / ".local/share/Dovrane"));
    }
}

// A store that cannot be opened ends the start with status 1 and a line on standard error
// (offscreen there is nobody to answer a box); the file stays as it was. A test store behind a
// symbolic link is refused with its reason before anything opens it.
TEST_F(SelfTestRun, AStoreThatCannotBeUsedEndsTheStartAndIsLeftAlone) {
    writeFile(store_, "not a database, but the user's bytes");
    const AppRun damaged = runApp({"--selftest"});
    EXPECT_EQ(damaged.lines, (std::vector<std::string>{"SELFTEST refused: the database at " + store_ +
                                                           " could not be opened: file is not a database",
                                                       "EXIT 1"}));
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(Fs::readFile(store_), std::optional<std::string>("not a database, but the user's bytes"));

    writeFile(storeFolder_ / "target", "someone else's");
    ASSERT_EQ(::symlink((storeFolder_ / "target").c_str(), (storeFolder_ / "link.store").c_str()), 0);
    ScopedEnv link("APP_STORE", storeFolder_ / "link.store");
    const AppRun refused = runApp({"--selftest"});
    EXPECT_EQ(refused.lines,
              (std::vector<std::string>{"SELFTEST refused: set APP_STORE to a file in /tmp: it is a symbolic link",
                                        "EXIT 1"}));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(Fs::readFile(storeFolder_ / "target"), std::optional<std::string>("someone else's"));
}

// A settings folder that cannot be made ends the start the same way, before the self-test runs,
// and leaves the file in its place alone.
TEST_F(SelfTestRun, AnUnusableSettingsFolderEndsTheStart) {
    writeFile(home_ / ".config/Dovrane", "the user's file");
    const AppRun run = runProgram("/bin/sh", {"-c", "exec \"$0\" --selftest 2>&1", DOVRANE_APP});
    const std::string message =
        "Could not use the settings folder at " + (home_ / ".config/Dovrane") + ": it is not a folder";
    EXPECT_NE(std::find(run.lines.begin(), run.lines.end(), message), run.lines.end());
    EXPECT_FALSE(std::any_of(run.lines.begin(), run.lines.end(),
                             [](const std::string& line) { return line.starts_with("SELFTEST"); }));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Fs::readFile(home_ / ".config/Dovrane"), std::optional<std::string>("the user's file"));
}

// A named pipe in the settings file's place is never waited on: the run takes the defaults,
// says so once on standard error and passes.
TEST_F(SelfTestRun, ANamedPipeAsTheSettingsFileHoldsNothingUp) {
    const std::string settings = home_ / ".config/Dovrane/Dovrane.json";
    ASSERT_TRUE(Fs::makeDirectories(Path::parent(settings)));
    ASSERT_EQ(mkfifo(settings.c_str(), 0600), 0);
    const AppRun run = runProgram("/bin/sh", {"-c", "exec \"$0\" --selftest 2>&1", DOVRANE_APP});
    const std::string message =
        "Not reading the settings at " + settings + ": it is not a regular file; using the defaults";
    EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), message), 1);
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), "EXIT 0");
    EXPECT_EQ(run.status, 0);
}

// A run on a test store reads the user's settings and changes nothing of their file, not even
// one it cannot read, which a normal start would move aside.
TEST_F(SelfTestRun, OnATestStoreTheUsersSettingsFileStaysAsItWas) {
    const std::string settings = home_ / ".config/Dovrane/Dovrane.json";
    const std::string damaged = "{\"settings.tab\": \"scan\", ";
    writeFile(settings, damaged);
    ASSERT_EQ(chmod(settings.c_str(), 0640), 0);
    struct stat before {};
    ASSERT_EQ(lstat(settings.c_str(), &before), 0);

    const AppRun run = runApp({"--selftest"});
    ASSERT_FALSE(run.lines.empty());
    EXPECT_EQ(run.lines.back(), "EXIT 0");
    struct stat after {};
    ASSERT_EQ(lstat(settings.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(Fs::readFile(settings), std::optional<std::string>(damaged));
    EXPECT_EQ(entries(Path::parent(settings)), std::vector<std::string>{"Dovrane.json"});
}

// A Linux home keeps its caches in ~/.cache: the run works there, where the leftover search
// finds its folder, and leaves the home exactly as it found it, without a Library folder that
// would hide ~/.cache from the next scan. A home without any cache folder gets none; the run
// works in the temporary folder then, where no leftover search looks.
TEST_F(SelfTestRun, OnALinuxHomeItLeavesTheHomeAsItFoundIt) {
    ASSERT_TRUE(Fs::removeAll(home_ / "Library"));
    const std::vector<std::string> linuxRoad =
        joined({roadChecks, {skipLine, volumeCheck, "SELFTEST PASS 9 checks", "EXIT 0"}});
    const std::vector<std::string> roadWithoutCaches =
        joined({std::vector<std::string>(roadChecks.begin(), roadChecks.end() - 1),
                {"SKIP leftovers: this home keeps no Library/Caches folder", skipLine, volumeCheck,
                 "SELFTEST PASS 8 checks", "EXIT 0"}});
    writeFile(home_ / ".cache/pip/wheel.bin", std::string(4096, 'x'));
    ASSERT_TRUE(Fs::makeDirectories(trash("files")) && Fs::makeDirectories(trash("info")));
    for (const bool withCacheHome : {true, false}) {
        if (!withCacheHome) {
            ASSERT_TRUE(Fs::removeAll(home_ / ".cache"));
        }
        const std::vector<std::string> before = listing(home_.path());
        const AppRun run = runApp({"--selftest"});
        EXPECT_EQ(run.lines, withCacheHome ? linuxRoad : roadWithoutCaches)
            << (withCacheHome ? "with ~/.cache" : "without a cache folder");
        expectConsistentEnd(run);
        EXPECT_EQ(listing(home_.path()), before);
    }
}

// A trace that is done leaves the ending to the self-test: its summary and EXIT line come last
// whichever finishes first, and the status is the summary's.
TEST_F(SelfTestRun, TracesGivenBesideItNeverEndTheRun) {
    const AppRun update = runApp({"--update-trace", "--selftest"});
    const auto done = std::find_if(update.lines.begin(), update.lines.end(),
                                   [](const std::string& line) { return line.starts_with("TRACE done in "); });
    EXPECT_NE(done, update.lines.end());
    EXPECT_EQ(std::count(update.lines.begin(), update.lines.end(), "SELFTEST PASS 9 checks"), 1);
    expectConsistentEnd(update);

    const AppRun both = runApp({"--scan-trace", "--selftest", "--update-trace"});
    EXPECT_EQ(std::count_if(both.lines.begin(), both.lines.end(),
                            [](const std::string& line) { return line.starts_with("TRACE "); }),
              16);
    expectConsistentEnd(both);
    EXPECT_EQ(both.lines.back(), "EXIT 0");
}

// Every headless command ends without the destructors that would close the store: each closes
// it itself, so that its write-ahead log is folded into the file and the log files go.
TEST_F(SelfTestRun, EveryHeadlessCommandClosesItsStore) {
    for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
             {"--selftest"}, {"--scan-trace"}, {"--update-trace"}, {"--scan-trace", "--update-trace"}}) {
        SCOPED_TRACE(command.front() + (command.size() > 1 ? " " + command.back() : ""));
        const AppRun run = runApp(command);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(Fs::exists(store_));
        EXPECT_FALSE(Fs::exists(store_ + "-wal"));
        EXPECT_FALSE(Fs::exists(store_ + "-shm"));
    }
    EXPECT_EQ(journal(store_).size(), 1u);
}

// Without the switch the application starts as usual and keeps running: its launch scan's
// cache shows it got past the launch steps, and the self-test printed nothing by then.
TEST_F(SelfTestRun, WithoutTheSwitchItPrintsNothing) {
    const std::string scanCache = store_ + ".scan.json";
    const AppRun run = runProgram(DOVRANE_APP, {"selftest"}, [&] { return Fs::exists(scanCache); });
    EXPECT_TRUE(Fs::exists(scanCache));
    EXPECT_EQ(run.lines, std::vector<std::string>{});
    EXPECT_FALSE(Fs::exists(workRoot()));
    EXPECT_TRUE(journal(store_).empty());
}
