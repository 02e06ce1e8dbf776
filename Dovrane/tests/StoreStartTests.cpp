// The built application started on a store it cannot use as it is: the window opens all the
// same (the process keeps running until it is stopped here), a junk store is found aside byte
// for byte, a linked one is left as it was, a read-only one keeps its mode, and standard error
// says what was done. Every developer mode on such a store ends with its error and status 1.

#include "AppRun.h"
#include "DovraneKit/system/FileSystem.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

class StoreStart : public HeadlessAppTest {
protected:
    // Runs Dovrane with the arguments, its standard error in a file, until it ends or, with
    // `windowShown`, until its window has shown and run its launch steps, whose scan writes the
    // scan cache; what it wrote on standard error.
    std::string start(const std::vector<std::string>& arguments, AppRun& run, bool windowShown = false) {
        const std::string errors = scratch_ / "errors";
        std::vector<std::string> words{"-c", "exec \"$0\" \"$@\" 2>\"$ERRORS\"", DOVRANE_APP};
        words.insert(words.end(), arguments.begin(), arguments.end());
        ScopedEnv errorsFile("ERRORS", errors);
        std::function<bool()> launched;
        if (windowShown)
            launched = [this] { return Fs::exists(store_ + ".scan.json"); };
        run = runProgram("/bin/sh", words, launched);
        return Fs::readFile(errors).value_or("");
    }

    TempDir scratch_, runtime_;
    ScopedEnv runtimeFolder_{"XDG_RUNTIME_DIR", runtime_.path()};
};

const std::string junk = std::string("random bytes\x00\x01\xfe\xff where the store was", 36);

} // namespace

TEST_F(StoreStart, TheWindowOpensOnAJunkStoreAndKeepsItAside) {
    writeFile(store_, junk);
    AppRun run;
    const std::string errors = start({}, run, true);
    EXPECT_EQ(run.status, -1) << "the window did not stay open:\n" << errors; // stopped here, not ended
    // Qt's offscreen platform may add notices of its own afterwards.
    EXPECT_TRUE(errors.starts_with("Could not open the database at " + store_ +
                                   ": file is not a database\nThe damaged database is kept at " + store_ +
                                   ".damaged; 0 journal records were carried over\n"))
        << errors;
    EXPECT_EQ(Fs::readFile(store_ + ".damaged"), junk);
    EXPECT_EQ(Fs::readFile(store_).value_or("").substr(0, 16), std::string("SQLite format 3\0", 16));
}

TEST_F(StoreStart, TheWindowOpensOnALinkedStoreAndLeavesTheLinkAlone) {
    const std::string moved = storeFolder_ / "moved.store";
    writeFile(moved, junk);
    makeSymlink(moved, store_);
    AppRun run;
    const std::string errors = start({}, run, true);
    EXPECT_EQ(run.status, -1) << "the window did not stay open:\n" << errors;
    EXPECT_TRUE(errors.starts_with("Not opening the database at " + store_ + ": " + store_ + " is a symbolic link to " +
                                   moved + "; removals are recorded only until Dovrane quits\n"))
        << errors;
    EXPECT_TRUE(Fs::isSymlink(store_));
    EXPECT_EQ(Fs::readFile(moved), junk);
    // The update check saves its cache whenever it ends, so the stop here may come before,
    // after or in the middle of that save; what is beside the store is otherwise fixed.
    std::vector<std::string> beside = Fs::list(storeFolder_.path());
    std::erase_if(beside, [](const std::string& name) { return name.starts_with("test.store.updates.json"); });
    std::sort(beside.begin(), beside.end());
    EXPECT_EQ(beside, (std::vector<std::string>{"moved.store", "test.store", "test.store.scan.json"}));
    // The stand-in it worked on, left behind by the stop here.
    const std::vector<std::string> standIns = Fs::list(runtime_.path());
    ASSERT_EQ(standIns.size(), 1u);
    EXPECT_TRUE(standIns[0].starts_with("dovrane-session-"));
    EXPECT_TRUE(Fs::isRegularFile(runtime_ / (standIns[0] + "/Dovrane.store")));
}

TEST_F(StoreStart, TheWindowOpensOnAReadOnlyStoreAndLeavesItsModeAlone) {
    writeFile(store_, junk);
    ASSERT_EQ(chmod(store_.c_str(), 0444), 0);
    AppRun run;
    const std::string errors = start({}, run, true);
    EXPECT_EQ(run.status, -1) << "the window did not stay open:\n" << errors;
    EXPECT_TRUE(errors.starts_with("Could not open the database at " + store_ +
                                   ": it is read-only\nRemovals are recorded only until Dovrane quits\n"))
        << errors;
    struct stat status {};
    ASSERT_EQ(lstat(store_.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0444u);
    EXPECT_EQ(Fs::readFile(store_), junk);
    EXPECT_FALSE(Fs::exists(store_ + ".damaged"));
    EXPECT_FALSE(Fs::exists(store_ + "-wal"));
}

// The scan trace is done at once on an empty home, long before the store is opened: its end
// waits for the store all the same.
TEST_F(StoreStart, EveryDeveloperModeOnABrokenStoreEndsWithItsErrorWhateverTheHomeHolds) {
    const std::string refused = "SELFTEST refused: the database at " + store_ + " could not be opened: ";
    for (const bool readOnly : {false, true}) {
        writeFile(store_, junk);
        ASSERT_EQ(chmod(store_.c_str(), readOnly ? 0444 : 0600), 0);
        const std::string reason = readOnly ? "it is read-only" : "file is not a database";
        for (const char* mode : {"--scan-trace", "--update-trace", "--selftest"}) {
            AppRun run;
            const std::string errors = start({mode}, run);
            EXPECT_EQ(run.status, 1) << mode << ":\n" << errors;
            EXPECT_EQ(errors, "Could not open the database at " + store_ + ": " + reason + "\n") << mode;
            // The scan trace may print its lines before the store is opened.
            if (mode == std::string("--selftest")) {
                EXPECT_EQ(run.lines, (std::vector<std::string>{refused + reason, "EXIT 1"}));
            } else if (mode == std::string("--update-trace")) {
                EXPECT_EQ(run.lines, std::vector<std::string>{});
            }
        }
        ScopedEnv snapshot("APP_SNAPSHOT", scratch_ / "shots");
        AppRun run;
        const std::string errors = start({}, run);
        EXPECT_EQ(run.status, 1) << "the screenshot run:\n" << errors;
        EXPECT_EQ(errors, "Could not open the database at " + store_ + ": " + reason + "\n");
        EXPECT_EQ(Fs::readFile(store_), junk);
        EXPECT_FALSE(Fs::exists(store_ + ".damaged"));
    }
}

// A store another process holds locked keeps the opening waiting its whole busy time, long
// after the trace of an empty home is done: the trace still ends with the store's error.
TEST_F(StoreStart, AScanTraceDoneBeforeTheStoreFailsEndsWithTheStoresError) {
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(store_.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "CREATE TABLE held (n); BEGIN EXCLUSIVE; INSERT INTO held VALUES (1)", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    AppRun run;
    const std::string errors = start({"--scan-trace"}, run);
    sqlite3_close(holder);
    EXPECT_EQ(run.status, 1) << errors;
    EXPECT_EQ(errors, "Could not open the database at " + store_ + ": database is locked\n");
}
