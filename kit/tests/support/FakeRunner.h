#pragma once
// A CommandRunner that answers with recorded output and remembers every call.

#include "DovraneKit/system/CommandRunner.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace dovrane::testing {

class FakeRunner final : public CommandRunner {
public:
    struct Call {
        std::string executable;
        std::vector<std::string> arguments;
        bool operator==(const Call&) const = default;
    };

    // What the executable prints; an executable without an answer "cannot start".
    void answer(const std::string& executable, std::optional<std::string> output) {
        std::lock_guard lock(mutex_);
        answers_[executable] = std::move(output);
    }

    // Runs inside run() before it returns, on the calling thread (to hold one tool back).
    void beforeAnswering(std::function<void(const std::string& executable)> hook) {
        std::lock_guard lock(mutex_);
        hook_ = std::move(hook);
    }

    std::optional<std::string> run(const std::string& executable, const std::vector<std::string>& arguments,
                                   std::stop_token = {}) const override {
        std::function<void(const std::string&)> hook;
        std::optional<std::string> output;
        {
            std::lock_guard lock(mutex_);
            calls_.push_back({executable, arguments});
            hook = hook_;
            if (auto it = answers_.find(executable); it != answers_.end())
                output = it->second;
        }
        if (hook)
            hook(executable);
        return output;
    }

    std::vector<Call> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    mutable std::mutex mutex_;
    mutable std::vector<Call> calls_;
    std::map<std::string, std::optional<std::string>> answers_;
    std::function<void(const std::string&)> hook_;
};

} // namespace dovrane::testing
