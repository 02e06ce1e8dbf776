#pragma once
// A scan function the test drives step by step: each call waits on its worker thread for the
// test to report progress or to finish it with a result. A stop request ends a waiting call
// with an empty result, as the real scanner ends early.

#include "Services/Services.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace dovrane::testing {

class ScriptedScan {
public:
    // The function to put into Services::scan; the object must outlive the model.
    Services::ScanFunction function();

    // Blocks until call number `call` (0 for the first) has begun.
    void waitForCall(int call);
    int calls() const;
    // The scanner a call was given.
    DiskScanner scanner(int call) const;
    // Makes the call report progress, and returns once it has; the model's handling of it is
    // then queued on the main thread.
    void report(int call, CategoryID category, int finished, int total = 15);
    // Lets the call return the result.
    void finish(int call, ScanResult result);
    // Whether stop was requested on the call's token.
    bool stopRequested(int call) const;

    // False: a stopped call keeps waiting for its steps, like a measurement that only notices
    // the stop later, so the test can deliver its late progress.
    bool endsWhenStopped = true;

private:
    struct Step {
        std::optional<CategoryID> category;
        int finished = 0, total = 0;
        std::optional<ScanResult> result;
    };
    struct Call {
        DiskScanner scanner;
        std::stop_token stop;
        std::deque<Step> steps;
        int reported = 0;
    };

    void push(int call, Step step);
    ScanResult run(const DiskScanner& scanner, const DiskScanner::Progress& progress, std::stop_token stop);

    mutable std::mutex mutex_;
    mutable std::condition_variable_any changed_;
    std::vector<std::unique_ptr<Call>> calls_;
};

} // namespace dovrane::testing
