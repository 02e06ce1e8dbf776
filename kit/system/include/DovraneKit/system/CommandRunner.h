#pragma once
// Every command-line tool the library starts goes through a CommandRunner, so the scanner and
// the installers can be handed any runner (tests hand them fakes) and never touch processes.

#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace dovrane {

class CommandRunner {
public:
    virtual ~CommandRunner();

    // Runs the executable at an absolute path with the arguments (no shell, no PATH search,
    // environment and standard input unchanged) and blocks until it ends. The result is the
    // tool's whole standard output when it exited with status 0, possibly empty; nothing when
    // it could not start, failed, was killed, ran out of time or was stopped. A stop request
    // ends the tool at once, the way the timeout does, so a stopped caller never waits for it.
    // Callable from any thread, several runs at once.
    virtual std::optional<std::string> run(const std::string& executable, const std::vector<std::string>& arguments,
                                           std::stop_token stop = {}) const = 0;
};

// Runs tools as child processes. At the timeout or a stop request the tool's process group is
// asked to terminate; whatever is still running 2 seconds later is killed. A run never hangs, not even
// when a grandchild that escaped the group keeps the output pipe open.
class ProcessRunner final : public CommandRunner {
public:
    static constexpr double killGraceSeconds = 2.0;

    explicit ProcessRunner(double timeoutSeconds);

    double timeout() const { return timeout_; }

    std::optional<std::string> run(const std::string& executable, const std::vector<std::string>& arguments,
                                   std::stop_token stop = {}) const override;

private:
    double timeout_;
};

} // namespace dovrane
