#pragma once
// A network probe that answers what the test says, and counts how often it was asked.

#include "DovraneKit/system/NetworkProbe.h"

#include <atomic>

namespace dovrane::testing {

class FakeNetworkProbe final : public NetworkProbe {
public:
    explicit FakeNetworkProbe(bool usable) : usable_(usable) {}

    bool hasUsableNetwork() const override {
        ++asked_;
        return usable_;
    }
    int asked() const { return asked_; }

private:
    bool usable_;
    mutable std::atomic<int> asked_ = 0;
};

} // namespace dovrane::testing
