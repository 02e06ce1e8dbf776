#include "DovraneKit/system/CommandRunner.h"

#include "DovraneKit/system/FileSystem.h"
#include "support/Patience.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

using namespace dovrane;
namespace support = dovrane::testing;
using support::TempDir;

namespace {

using Clock = std::chrono::steady_clock;

std::string makeScript(const TempDir& dir, const std::string& name, const std::string& body) {
    std::string path = dir / name;
    support::writeFile(path, "#!/bin/sh\n" + body);
    chmod(path.c_str(), 0755);
    return path;
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

pid_t readPid(const std::string& path) {
    auto text = Fs::readFile(path);
    return text ? pid_t(std::atoi(text->c_str())) : 0;
}

bool isRunning(pid_t pid) {
    auto stat = Fs::readFile("/proc/" + std::to_string(pid) + "/stat");
    if (!stat)
        return false;
    auto close = stat->rfind(')');
    return close != std::string::npos && close + 2 < stat->size() && (*stat)[close + 2] != 'Z';
}

// Gone or a zombie: either way no longer running. Death after a signal is not instant, so
// look a few times before giving up.
bool processEnded(pid_t pid) {
    const auto end = Clock::now() + support::patient(std::chrono::seconds(2));
    while (isRunning(pid)) {
        if (Clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Kills a leftover helper process of a test when the test ends.
struct KillOnExit {
    pid_t pid = 0;
    ~KillOnExit() {
        if (pid > 0)
            ::kill(pid, SIGKILL);
    }
};

// Runs, with half a second to finish, a tool that starts a child in the background (`launch`,
// ending in "&"), prints "done" and exits 0. The child holds the tool's output open, so the run
// has to give up at its timeout. Returns the child's pid (0 when it wrote none).
pid_t runLeavingChild(const TempDir& dir, const std::string& launch) {
    auto tool = makeScript(dir, "leaving.sh", launch + "\necho $! > '" + dir / "child" + "'\necho done\n");
    auto start = Clock::now();
    auto result = ProcessRunner(0.5).run(tool, {});
    double elapsed = secondsSince(start);
    // The tool itself exited 0, but its output never ended before the timeout.
    EXPECT_FALSE(result.has_value());
    EXPECT_LT(elapsed, 4.0 * support::patience) << "returned long before the child's minute";
    return readPid(dir / "child");
}

} // namespace

TEST(ProcessRunnerOutput, EmptyOutputIsNotFailure) {
    TempDir dir;
    auto silent = makeScript(dir, "silent.sh", "exit 0\n");
    auto result = ProcessRunner(10).run(silent, {});
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->empty());
}

TEST(ProcessRunnerOutput, ArgumentsArriveVerbatimWithoutShell) {
    TempDir dir;
    auto echo = makeScript(dir, "args.sh", "for a in \"$@\"; do printf '[%s]' \"$a\"; done\n");
    auto result = ProcessRunner(10).run(echo, {"a b", "$HOME", "*", "", "x;y"});
    EXPECT_EQ(result, std::optional<std::string>("[a b][$HOME][*][][x;y]"));
}

TEST(ProcessRunnerOutput, BinaryAndMegabytesOfOutputArriveWhole) {
    TempDir dir;
    auto counter = makeScript(dir, "count.sh", "seq 1 900000\nprintf 'end\\000\\377'\n");
    auto result = ProcessRunner(30).run(counter, {});
    ASSERT_TRUE(result.has_value());
    std::string expected;
    for (int i = 1; i <= 900000; ++i)
        expected += std::to_string(i) + "\n";
    expected += std::string("end\0\377", 5);
    EXPECT_GT(expected.size(), 4u << 20);
    EXPECT_EQ(result->size(), expected.size());
    EXPECT_TRUE(*result == expected);
}

TEST(ProcessRunnerOutput, EnvironmentIsPassedUnchanged) {
    TempDir dir;
    support::ScopedEnv probe("DOVRANE_RUNNER_PROBE", "value with spaces");
    auto show = makeScript(dir, "env.sh", "printf '%s' \"$DOVRANE_RUNNER_PROBE\"\n");
    EXPECT_EQ(ProcessRunner(10).run(show, {}), std::optional<std::string>("value with spaces"));
}

TEST(ProcessRunnerFailure, NonZeroExitOrSignalGivesNothing) {
    TempDir dir;
    auto complaining = makeScript(dir, "fail.sh", "echo 'some output'\necho 'bad things' >&2\nexit 1\n");
    EXPECT_FALSE(ProcessRunner(10).run(complaining, {}).has_value());

    auto crashing = makeScript(dir, "crash.sh", "echo 'some output'\nkill -KILL $$\n");
    EXPECT_FALSE(ProcessRunner(10).run(crashing, {}).has_value());

    // Standard error is dropped, never mixed into the result.
    auto noisy = makeScript(dir, "noisy.sh", "echo out\necho err >&2\n");
    EXPECT_EQ(ProcessRunner(10).run(noisy, {}), std::optional<std::string>("out\n"));
}

TEST(ProcessRunnerFailure, UnrunnablePathsStartNothing) {
    TempDir dir;
    auto marker = dir / "started";
    auto body = "touch '" + marker + "'\n";
    auto plain = dir / "plain.sh";
    support::writeFile(plain, "#!/bin/sh\n" + body);
    chmod(plain.c_str(), 0644);
    makeScript(dir, "relative.sh", body);
    support::makeFolder(dir / "folder.app");

    ProcessRunner runner(10);
    EXPECT_FALSE(runner.run(dir / "missing", {}).has_value());
    EXPECT_FALSE(runner.run(plain, {}).has_value());
    EXPECT_FALSE(runner.run(dir / "folder.app", {}).has_value());
    EXPECT_FALSE(runner.run("", {}).has_value());

    // A relative path would depend on the working folder; it is refused, not searched.
    char* saved = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    auto relative = runner.run("relative.sh", {});
    auto dotted = runner.run("./relative.sh", {});
    ASSERT_EQ(chdir(saved), 0);
    std::free(saved);
    EXPECT_FALSE(relative.has_value());
    EXPECT_FALSE(dotted.has_value());

    EXPECT_FALSE(Fs::exists(marker));
}

TEST(ProcessRunnerTimeout, ToolIgnoringTerminationIsKilledAfterGrace) {
    TempDir dir;
    auto termed = dir / "termed";
    auto stubborn = makeScript(dir, "stubborn.sh",
                               "echo $$ > '" + dir / "pid" +
                                   "'\n"
                                   "trap 'echo yes > \"" +
                                   termed +
                                   "\"' TERM\n"
                                   "echo partial\n"
                                   "while :; do sleep 0.1; done\n");
    auto start = Clock::now();
    auto result = ProcessRunner(0.5).run(stubborn, {});
    double elapsed = secondsSince(start);

    EXPECT_FALSE(result.has_value());
    EXPECT_TRUE(Fs::exists(termed)) << "asked to terminate before being killed";
    EXPECT_GE(elapsed, 0.5 + ProcessRunner::killGraceSeconds - 0.1) << "killed before the grace period ended";
    EXPECT_LT(elapsed, 4.0 * support::patience) << "returned soon after the grace period";
    pid_t pid = readPid(dir / "pid");
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(processEnded(pid));
}

TEST(ProcessRunnerTimeout, BackgroundChildHoldingOutputIsTerminatedWithTheTool) {
    TempDir dir;
    KillOnExit cleanup;
    cleanup.pid = runLeavingChild(dir, "sleep 60 &");
    ASSERT_GT(cleanup.pid, 0);
    EXPECT_TRUE(processEnded(cleanup.pid)) << "the child shares the tool's process group";
}

TEST(ProcessRunnerTimeout, EscapedGrandchildHoldingOutputDoesNotHangTheRun) {
    TempDir dir;
    KillOnExit cleanup;
    cleanup.pid = runLeavingChild(dir, "setsid sleep 60 &");
    ASSERT_GT(cleanup.pid, 0);
    // It left the group, so it outlived the run and still held the pipe when the run gave up.
    EXPECT_TRUE(isRunning(cleanup.pid));
}

TEST(ProcessRunnerTimeout, ToolEndingBeforeTimeoutIsNeverSignalled) {
    TempDir dir;
    auto termed = dir / "termed";
    // A watcher stays behind in the tool's group (with its output elsewhere) and records any
    // termination request that reaches the group after the tool has ended.
    auto quick = makeScript(dir, "quick.sh",
                            "(trap 'echo yes > \"" + termed +
                                "\"; exit' TERM; sleep 3) >/dev/null &\n"
                                "echo $! > '" +
                                dir / "watcher" +
                                "'\n"
                                "sleep 0.2\n"
                                "echo finished\n");
    KillOnExit cleanup;
    auto start = Clock::now();
    auto result = ProcessRunner(1.0).run(quick, {});
    cleanup.pid = readPid(dir / "watcher");

    EXPECT_EQ(result, std::optional<std::string>("finished\n"));
    auto pastTimeout = start + std::chrono::milliseconds(1600);
    std::this_thread::sleep_until(pastTimeout);
    EXPECT_FALSE(Fs::exists(termed));
}

TEST(ProcessRunnerConcurrency, FifteenRunsKeepTheirOwnOutputAndPipes) {
    TempDir dir;
    // Each run prints its own tag many times, then the descriptors a program it starts sees.
    auto tagged = makeScript(dir, "tagged.sh",
                             "i=0\n"
                             "while [ $i -lt 2000 ]; do echo \"$1\"; i=$((i+1)); done\n"
                             "echo FDS\n"
                             "ls -l /proc/self/fd\n");
    auto runner = std::make_shared<const ProcessRunner>(60);
    std::shared_ptr<const CommandRunner> shared = runner;

    constexpr int runs = 15;
    std::vector<std::optional<std::string>> results(runs);
    std::vector<std::thread> threads;
    for (int i = 0; i < runs; ++i)
        threads.emplace_back([&, i] { results[std::size_t(i)] = shared->run(tagged, {"tag" + std::to_string(i)}); });
    for (auto& thread : threads)
        thread.join();

    for (int i = 0; i < runs; ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        const auto& result = results[std::size_t(i)];
        ASSERT_TRUE(result.has_value());
        std::istringstream lines(*result);
        std::string line;
        int tags = 0;
        while (std::getline(lines, line) && line != "FDS") {
            EXPECT_EQ(line, "tag" + std::to_string(i));
            ++tags;
        }
        EXPECT_EQ(tags, 2000);

        // Only standard output may be a pipe (standard input is whatever the test got).
        std::set<int> pipes;
        while (std::getline(lines, line)) {
            auto arrow = line.find(" -> ");
            if (arrow == std::string::npos || line.find("pipe:", arrow) == std::string::npos)
                continue;
            auto space = line.rfind(' ', arrow - 1);
            int fd = std::atoi(line.substr(space + 1, arrow - space - 1).c_str());
            if (fd != 0)
                pipes.insert(fd);
        }
        EXPECT_EQ(pipes, std::set<int>{1});
    }
}

TEST(ProcessRunnerStop, StopEndsTheRunningToolAndItsGroupLongBeforeTheTimeout) {
    TempDir dir;
    // The tool and a child of its own both sleep far past anything the test waits for.
    auto sleeper = makeScript(dir, "sleeper.sh",
                              "sleep 600 &\n"
                              "echo $$ $! > '" +
                                  dir / "pids.tmp" +
                                  "'\n"
                                  "mv '" +
                                  dir / "pids.tmp" + "' '" + dir / "pids" +
                                  "'\n"
                                  "wait\n");
    KillOnExit cleanupTool, cleanupChild;
    std::stop_source stop;
    std::vector<std::string> events;
    std::mutex eventsLock;
    auto note = [&](std::string event) {
        std::lock_guard lock(eventsLock);
        events.push_back(std::move(event));
    };

    std::jthread stopper([&] {
        while (!Fs::exists(dir / "pids"))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        note("stop requested");
        stop.request_stop();
    });
    // An hour: only the stop can end this run while the test is alive.
    auto result = ProcessRunner(3600).run(sleeper, {}, stop.get_token());
    note("run returned");
    stopper.join();

    EXPECT_FALSE(result.has_value());
    EXPECT_EQ(events, (std::vector<std::string>{"stop requested", "run returned"}));
    std::istringstream pids(Fs::readFile(dir / "pids").value_or(""));
    pids >> cleanupTool.pid >> cleanupChild.pid;
    ASSERT_GT(cleanupTool.pid, 0);
    ASSERT_GT(cleanupChild.pid, 0);
    EXPECT_FALSE(isRunning(cleanupTool.pid));
    EXPECT_TRUE(processEnded(cleanupChild.pid)) << "the child shares the tool's process group";
}

TEST(ProcessRunnerStop, StopRequestedBeforehandStartsNothingAndUnusedStopChangesNothing) {
    TempDir dir;
    auto marker = dir / "started";
    auto tool = makeScript(dir, "tool.sh", "touch '" + marker + "'\necho ran\n");
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_FALSE(ProcessRunner(60).run(tool, {}, stopped.get_token()).has_value());
    EXPECT_FALSE(Fs::exists(marker));

    std::stop_source unused;
    EXPECT_EQ(ProcessRunner(60).run(tool, {}, unused.get_token()), "ran\n");
    EXPECT_TRUE(Fs::exists(marker));
}
