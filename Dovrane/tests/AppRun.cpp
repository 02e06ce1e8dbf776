#include "AppRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace dovrane::testing {

AppRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                  const std::function<bool()>& enough, std::chrono::seconds deadline) {
    AppRun run;
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipe";
        return run;
    }
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string output;
    const auto end = std::chrono::steady_clock::now() + deadline;
    bool hung = false;
    bool stopped = false;
    char buffer[4096];
    for (;;) {
        if (enough && enough()) {
            stopped = true;
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            hung = true;
            break;
        }
        pollfd readable{pipeEnds[0], POLLIN, 0};
        if (poll(&readable, 1, enough ? std::min(int(left.count()), 20) : int(left.count())) <= 0)
            continue;
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got > 0)
            output.append(buffer, std::size_t(got));
        else if (got == 0)
            break;
    }
    if (hung || stopped)
        kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    // What it printed before it was stopped; nothing can block once it is gone.
    fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, std::size_t(got));
    close(pipeEnds[0]);
    if (hung)
        ADD_FAILURE() << program << " still ran at its deadline; it printed:\n" << output;
    if (!hung && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    EXPECT_TRUE(output.empty() || output.ends_with("\n")) << output;
    std::istringstream stream(output);
    for (std::string line; std::getline(stream, line);)
        run.lines.push_back(line);
    return run;
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace dovrane::testing
