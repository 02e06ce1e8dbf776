#include "support/ScriptedScan.h"

namespace dovrane::testing {

Services::ScanFunction ScriptedScan::function() {
    return [this](const DiskScanner& scanner, const DiskScanner::Progress& progress, std::stop_token stop) {
        return run(scanner, progress, stop);
    };
}

ScanResult ScriptedScan::run(const DiskScanner& scanner, const DiskScanner::Progress& progress, std::stop_token stop) {
    std::unique_lock lock(mutex_);
    calls_.push_back(std::make_unique<Call>(Call{scanner, stop, {}, 0}));
    Call& call = *calls_.back();
    changed_.notify_all();
    for (;;) {
        if (endsWhenStopped) {
            if (!changed_.wait(lock, stop, [&] { return !call.steps.empty(); }))
                return ScanResult(); // stopped while waiting
        } else {
            changed_.wait(lock, [&] { return !call.steps.empty(); });
        }
        Step step = std::move(call.steps.front());
        call.steps.pop_front();
        if (step.result)
            return std::move(*step.result);
        lock.unlock();
        progress(*step.category, step.finished, step.total);
        lock.lock();
        ++call.reported;
        changed_.notify_all();
    }
}

void ScriptedScan::waitForCall(int call) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return int(calls_.size()) > call; });
}

int ScriptedScan::calls() const {
    std::lock_guard lock(mutex_);
    return int(calls_.size());
}

DiskScanner ScriptedScan::scanner(int call) const {
    std::lock_guard lock(mutex_);
    return calls_.at(size_t(call))->scanner;
}

bool ScriptedScan::stopRequested(int call) const {
    std::lock_guard lock(mutex_);
    return calls_.at(size_t(call))->stop.stop_requested();
}

void ScriptedScan::push(int call, Step step) {
    std::lock_guard lock(mutex_);
    calls_.at(size_t(call))->steps.push_back(std::move(step));
    changed_.notify_all();
}

void ScriptedScan::report(int call, CategoryID category, int finished, int total) {
    waitForCall(call);
    int before = 0;
    {
        std::lock_guard lock(mutex_);
        before = calls_.at(size_t(call))->reported;
    }
    push(call, Step{category, finished, total, std::nullopt});
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return calls_.at(size_t(call))->reported > before; });
}

void ScriptedScan::finish(int call, ScanResult result) {
    waitForCall(call);
    push(call, Step{std::nullopt, 0, 0, std::move(result)});
}

} // namespace dovrane::testing
