#include "DovraneKit/system/CommandRunner.h"

#include "DovraneKit/system/FileSystem.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>

extern char** environ;

namespace dovrane {

CommandRunner::~CommandRunner() = default;

ProcessRunner::ProcessRunner(double timeoutSeconds) : timeout_(timeoutSeconds) {}

namespace {

using Clock = std::chrono::steady_clock;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

Clock::time_point deadlineAfter(Clock::time_point start, double seconds) {
    // A NaN, negative or absurdly large limit must not overflow the clock arithmetic.
    if (!(seconds > 0))
        seconds = 0;
    seconds = std::min(seconds, 1e9);
    return start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

int millisecondsUntil(Clock::time_point deadline) {
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return int(std::min<long long>(ms, INT_MAX));
}

// Starts the tool with standard output on outputFd and standard error on /dev/null, in a
// process group of its own (so the timeout reaches whatever it starts), with SIGPIPE back at
// its default and no signal blocked. Every other descriptor is closed in the child, so tools
// started at the same time never hold each other's pipes open.
pid_t spawn(const std::string& executable, const std::vector<std::string>& arguments, int outputFd) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }

    sigset_t defaults, unblocked;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&unblocked);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP;

    bool ready = posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO) == 0 &&
                 posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0) == 0 &&
                 posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1) == 0 &&
                 posix_spawnattr_setsigdefault(&attributes, &defaults) == 0 &&
                 posix_spawnattr_setsigmask(&attributes, &unblocked) == 0 &&
                 posix_spawnattr_setpgroup(&attributes, 0) == 0 && posix_spawnattr_setflags(&attributes, flags) == 0;

    pid_t pid = -1;
    if (ready) {
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 2);
        argv.push_back(const_cast<char*>(executable.c_str()));
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid, executable.c_str(), &actions, &attributes, argv.data(), environ) != 0)
            pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Signals the tool's group and the tool itself, in case it moved to another group. The tool
// is not reaped before the run ends, so its pid (and the group id) cannot have been reused.
void signalTool(pid_t pid, int signal) {
    ::kill(-pid, signal);
    ::kill(pid, signal);
}

} // namespace

std::optional<std::string> ProcessRunner::run(const std::string& executable, const std::vector<std::string>& arguments,
                                              std::stop_token stop) const {
    if (stop.stop_requested() || executable.empty() || executable.front() != '/' || !Fs::isExecutableFile(executable))
        return std::nullopt;

    // A stop request from another thread wakes the wait below through this counter.
    FileDescriptor stopNotice(stop.stop_possible() ? eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK) : -1);
    if (stop.stop_possible() && !stopNotice.valid())
        return std::nullopt;
    std::stop_callback wake(stop, [fd = stopNotice.get()] {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto written = write(fd, &one, sizeof one);
    });

    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return std::nullopt;
    FileDescriptor output(ends[0]);
    FileDescriptor writeEnd(ends[1]);
    pid_t pid = spawn(executable, arguments, writeEnd.get());
    writeEnd.close();
    if (pid < 0)
        return std::nullopt;

    const auto terminateAt = deadlineAfter(Clock::now(), timeout_);
    const auto grace = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(killGraceSeconds));
    Clock::time_point killAt{};

    // Readable once the tool has exited; without pidfd support its exit is looked for by polling.
    FileDescriptor exitNotice(int(syscall(SYS_pidfd_open, pid, 0)));

    std::string text;
    char buffer[64 * 1024];
    bool exited = false;
    bool signalled = false;
    bool failed = false;

    // Notes the exit without reaping it, so the pid stays reserved while signals may follow.
    auto lookForExit = [&] {
        siginfo_t info{};
        while (waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
            if (errno != EINTR) {
                exited = true; // reaped elsewhere (SIGCHLD ignored): nothing to wait for
                failed = true;
                return;
            }
        }
        exited = info.si_pid != 0;
    };

    while (!(exited && !output.valid())) {
        auto now = Clock::now();
        if (!signalled && (now >= terminateAt || stop.stop_requested())) {
            signalTool(pid, SIGTERM);
            signalled = true;
            killAt = now + grace;
        }
        if (signalled && now >= killAt)
            break;

        pollfd watched[3];
        nfds_t count = 0;
        int outputIndex = -1, exitIndex = -1;
        if (!signalled && stopNotice.valid())
            watched[count++] = pollfd{stopNotice.get(), POLLIN, 0}; // read by the check above
        if (output.valid()) {
            outputIndex = int(count);
            watched[count++] = pollfd{output.get(), POLLIN, 0};
        }
        if (!exited && exitNotice.valid()) {
            exitIndex = int(count);
            watched[count++] = pollfd{exitNotice.get(), POLLIN, 0};
        }
        int wait = millisecondsUntil(signalled ? killAt : terminateAt);
        if (!exited && !exitNotice.valid() && !output.valid())
            wait = std::min(wait, 10);

        int ready = poll(watched, count, wait);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            failed = true;
            break;
        }
        if (outputIndex >= 0 && watched[outputIndex].revents != 0) {
            ssize_t got = read(output.get(), buffer, sizeof buffer);
            if (got > 0)
                text.append(buffer, std::size_t(got));
            else if (got == 0 || (errno != EINTR && errno != EAGAIN))
                output.close();
        }
        if (!exited && (exitIndex >= 0 ? watched[exitIndex].revents != 0 : !output.valid()))
            lookForExit();
    }

    // Out of time or out of luck: stop reading, even if a grandchild that escaped the group
    // still holds the pipe, and make sure the tool is gone before it is reaped.
    bool finished = exited && !output.valid();
    if (!finished)
        signalTool(pid, SIGKILL);
    output.close();

    int status = 0;
    pid_t reaped;
    do {
        reaped = waitpid(pid, &status, 0);
    } while (reaped < 0 && errno == EINTR);

    if (!finished || signalled || failed || stop.stop_requested() || reaped != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return std::nullopt;
    return text;
}

} // namespace dovrane
