// Runs the built application with "--scan-trace" against a home folder of our own.

#include "DovraneKit/scan/ScanModel.h"
#include "DovraneKit/system/FileSystem.h"
#include "support/TestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <vector>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

struct AppRun {
    std::string output;
    int status = -1;
};

AppRun runApp(const std::string& arguments) {
    AppRun run;
    FILE* pipe = popen((std::string("'") + DOVRANE_APP + "' " + arguments).c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
        run.output.append(buffer, read);
    run.status = pclose(pipe);
    return run;
}

// The first line the application prints; then it is killed (it keeps running with its window).
std::string firstLineOf(const std::vector<std::string>& arguments) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    std::vector<std::string> words{DOVRANE_APP};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, DOVRANE_APP, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    std::string line;
    char next = 0;
    while (spawned == 0 && read(pipeEnds[0], &next, 1) == 1 && next != '\n')
        line += next;
    close(pipeEnds[0]);
    if (spawned == 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    return line;
}

std::int64_t allocated(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 ? std::int64_t(status.st_blocks) * 512 : 0;
}

struct TraceLine {
    long items = -1;
    std::string size;
};

// "TRACE <category>: <n> items, <size>, <seconds with one decimal> s"; absent in any other form.
std::optional<std::pair<std::string, TraceLine>> parseLine(const std::string& line) {
    char category[64], size[64];
    long items = -1;
    unsigned whole = 0, tenth = 0;
    int used = -1;
    if (std::sscanf(line.c_str(), "TRACE %63[A-Za-z]: %ld items, %63[^,], %u.%1u s%n", category, &items, size, &whole,
                    &tenth, &used) != 5 ||
        used != int(line.size()) || line[line.size() - 4] != '.')
        return std::nullopt;
    return std::pair{std::string(category), TraceLine{items, size}};
}

} // namespace

TEST(ScanTrace, PrintsOneLinePerCategoryOfTheHomeItIsGiven) {
    TempHome home;
    writeFileOfSize(home / "Library/Logs/app.log", 5000);
    writeFileOfSize(home / "Library/Logs/system/older.log", 3000);
    writeFile(home / "Library/Logs/.DS_Store", "x");
    writeFileOfSize(home / "Library/Caches/com.example.editor/blob", 9000);
    writeFileOfSize(home / "Library/Caches/Homebrew/bottle.tar.gz", 9000);
    writeFileOfSize(home / "Downloads/old.dmg", 20000);
    setTimes(home / "Downloads/old.dmg", daysAgo(20));
    writeFileOfSize(home / "Downloads/fresh.dmg", 20000);
    writeFileOfSize(home / "Documents/notes.txt", 100);
    writeFileOfSize(home / ".local/share/Trash/files/thrown.bin", 4000);
    writeFile(home / "Projects/shop/package.json", "{}");
    writeFileOfSize(home / "Projects/shop/node_modules/left-pad/index.js", 7000);
    // A project whose git index is a named pipe: the trace waits on nothing.
    writeFile(home / "Projects/piped/package.json", "{}");
    writeFileOfSize(home / "Projects/piped/node_modules/right-pad/index.js", 7000);
    writeFile(home / "Projects/piped/.git/HEAD", "ref: refs/heads/main\n");
    makeFolder(home / "Projects/piped/.git/objects");
    makeFolder(home / "Projects/piped/.git/refs");
    ASSERT_EQ(mkfifo((home / "Projects/piped/.git/index").c_str(), 0644), 0);
    setTimesRecursively(home / "Projects", daysAgo(40));
    // A relative folder names none; a folder inside another adds nothing twice.
    ScopedEnv projects("TRACE_PROJECTS",
                       "::" + home / "Projects" + "::/nonexistent-dovrane-projects:Projects:" + home / "Projects/shop");
    // Offscreen, where the window is shown but cannot be raised or told its size hints: the
    // trace's standard error stays empty all the same.
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    ScopedEnv runtime("XDG_RUNTIME_DIR", home.path());
    TempDir errors;

    AppRun run = runApp("first --scan-trace last 2>'" + errors / "stderr" + "'");
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
    EXPECT_EQ(Fs::readFile(errors / "stderr"), std::optional<std::string>(""));

    std::map<std::string, TraceLine> lines;
    std::istringstream output(run.output);
    int count = 0;
    for (std::string line; std::getline(output, line); ++count) {
        auto parsed = parseLine(line);
        ASSERT_TRUE(parsed) << "unexpected line: " << line;
        EXPECT_TRUE(lines.emplace(parsed->first, parsed->second).second) << "twice: " << parsed->first;
    }
    EXPECT_EQ(count, 15);
    EXPECT_TRUE(run.output.ends_with("\n"));
    for (CategoryID id : allCategoryIDs)
        EXPECT_EQ(lines.count(std::string(rawValue(id))), id == CategoryID::other ? 0u : 1u) << rawValue(id);

    EXPECT_EQ(lines["logs"].items, 2);
    EXPECT_EQ(lines["logs"].size,
              bytes(allocated(home / "Library/Logs/app.log") + allocated(home / "Library/Logs/system/older.log")));
    EXPECT_EQ(lines["caches"].items, 1);
    EXPECT_EQ(lines["caches"].size, bytes(allocated(home / "Library/Caches/com.example.editor/blob")));
    EXPECT_EQ(lines["installers"].items, 1);
    EXPECT_EQ(lines["installers"].size, bytes(allocated(home / "Downloads/old.dmg")));
    EXPECT_EQ(lines["trash"].items, 1);
    EXPECT_EQ(lines["projects"].items, 2);
    EXPECT_EQ(lines["projects"].size, bytes(allocated(home / "Projects/shop/node_modules/left-pad/index.js") +
                                            allocated(home / "Projects/piped/node_modules/right-pad/index.js")));
    // The trace shows what each collector found, before downloads are taken out of personal.
    EXPECT_EQ(lines["personal"].items, 2);
    EXPECT_EQ(lines["personal"].size,
              bytes(allocated(home / "Downloads/old.dmg") + allocated(home / "Downloads/fresh.dmg") +
                    allocated(home / "Documents/notes.txt")));
    EXPECT_EQ(lines["docker"].items, 0);
    EXPECT_EQ(lines["docker"].size, "Zero KB");
}

// Without the switch the application starts its window instead. Demo data without a test store
// print their refusal at launch: when that is the first line, no trace came before it.
TEST(ScanTrace, WithoutTheSwitchNothingIsPrinted) {
    TempHome home;
    writeFileOfSize(home / "Library/Logs/app.log", 5000);
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    ScopedEnv runtime("XDG_RUNTIME_DIR", home.path());
    ScopedEnv seed("APP_SEED", "1");
    ScopedEnv store("APP_STORE", std::nullopt);
    EXPECT_EQ(firstLineOf({"scan-trace"}), "APP_SEED ignored: APP_STORE must be a file in /tmp");
}

// The trace starts walking before the application has looked at its environment. A start the
// application refuses prints the refusal and nothing of the trace, however soon the walk ends.
TEST(ScanTrace, ARefusedStartPrintsNoTraceLine) {
    TempHome home;
    writeFileOfSize(home / "Library/Logs/app.log", 5000);
    ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    ScopedEnv runtime("XDG_RUNTIME_DIR", home.path());
    TempDir shots;
    ScopedEnv snapshot("APP_SNAPSHOT", shots.path());
    ScopedEnv store("APP_STORE", std::nullopt);

    AppRun run = runApp("--scan-trace");
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 1);
    EXPECT_EQ(run.output, "SNAPSHOT refused: set APP_STORE to a file in /tmp\n");
}
