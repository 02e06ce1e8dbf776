#pragma once
// Programs the application starts in a session of their own: no controlling terminal, so
// nothing they start can ask for a password there, and standard input and output on /dev/null.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace dovrane::ChildProcess {

// argv[0] is the absolute path of the program; nothing when it could not start.
std::optional<pid_t> startInOwnSession(const std::vector<std::string>& argv);
// Blocks until the child ends; its exit status, or nothing when it was killed by a signal.
std::optional<int> waitForExit(pid_t pid);

} // namespace dovrane::ChildProcess
