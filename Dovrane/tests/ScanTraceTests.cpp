// Runs the built application with "--scan-trace" against a home folder of our own.

#include "DovraneKit/FileSystem.h"
#include "DovraneKit/ScanModel.h"
#include "support/TestSupport.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <thread>

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
    setTimesRecursively(home / "Projects", daysAgo(40));
    ScopedEnv projects("TRACE_PROJECTS", "::" + home / "Projects" + "::/nonexistent-dovrane-projects:");

    AppRun run = runApp("--first --scan-trace last");
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 0);

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
    EXPECT_EQ(lines["projects"].items, 1);
    EXPECT_EQ(lines["projects"].size, bytes(allocated(home / "Projects/shop/node_modules/left-pad/index.js")));
    // The trace shows what each collector found, before downloads are taken out of personal.
    EXPECT_EQ(lines["personal"].items, 2);
    EXPECT_EQ(lines["personal"].size,
              bytes(allocated(home / "Downloads/old.dmg") + allocated(home / "Downloads/fresh.dmg") +
                    allocated(home / "Documents/notes.txt")));
    EXPECT_EQ(lines["docker"].items, 0);
    EXPECT_EQ(lines["docker"].size, "Zero KB");
}

// Without the switch the application starts as usual and keeps running: once its launch scan
// has written the scan cache, the start-up is past, and it printed nothing.
TEST(ScanTrace, WithoutTheSwitchNothingIsPrinted) {
    TempHome home;
    writeFileOfSize(home / "Library/Logs/app.log", 5000);
    int output[2];
    ASSERT_EQ(pipe(output), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(output[1], STDOUT_FILENO);
        close(output[0]);
        close(output[1]);
        execl(DOVRANE_APP, DOVRANE_APP, "--scan-tracer", "scan-trace", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(output[1]);
    const std::string cache = home / ".local/share/Dovrane/last-scan.json";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool exited = false;
    while (!Fs::exists(cache) && !exited && std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        exited = waitpid(child, &status, WNOHANG) == child;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(exited);
    EXPECT_TRUE(Fs::exists(cache));
    if (!exited) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    std::string printed;
    char buffer[4096];
    for (ssize_t read; (read = ::read(output[0], buffer, sizeof buffer)) > 0;)
        printed.append(buffer, std::size_t(read));
    close(output[0]);
    EXPECT_EQ(printed, "");
}
