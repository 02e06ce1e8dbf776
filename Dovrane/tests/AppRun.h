#pragma once
// The built application (or a tool beside it) in a child process, watched from outside: its
// standard output line by line and its exit status, within a deadline; and the world a headless
// run of the application starts in.

#include "support/LoopbackServer.h"
#include "support/Patience.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <initializer_list>
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
                  std::chrono::seconds deadline = patient(std::chrono::seconds(30)));

// Expected output put together from its parts, in order.
std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts);

// One headless run's world: a home of its own, a test store in a folder of its own, no display,
// and the update services pointed at a loopback server that nothing may ask.
class HeadlessAppTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(services_.requests().empty()) << "the application made a request"; }

    TempHome home_;
    TempDir storeFolder_;
    std::string store_ = storeFolder_ / "test.store";
    LoopbackServer services_;
    ScopedEnv platform_{"QT_QPA_PLATFORM", "offscreen"};
    ScopedEnv storeVariable_{"APP_STORE", store_};
    ScopedEnv casks_{"APP_CASK_INDEX_URL", services_.url("/api/cask.json").text()};
    ScopedEnv lookup_{"APP_STORE_LOOKUP_URL", services_.url("/lookup").text()};
};

} // namespace dovrane::testing
