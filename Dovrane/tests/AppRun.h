#pragma once
// The built application (or a tool beside it) in a child process, watched from outside: its
// standard output line by line and its exit status, within a deadline.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace dovrane::testing {

struct AppRun {
    std::vector<std::string> lines;
    int status = -1; // the exit status; -1 when killed or not started
};

// Runs program with the arguments and this process's environment, reading its standard output
// until it closes. A program still running at the deadline is killed by its process id, and
// the test fails. With `enough`, a program that keeps running is stopped, without a failure,
// once enough() holds.
AppRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                  const std::function<bool()>& enough = {},
                  std::chrono::seconds deadline = std::chrono::seconds(90));

} // namespace dovrane::testing
