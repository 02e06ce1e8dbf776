#pragma once
// A value that several threads write, read and written only under its own lock. Not part of the
// public API.

#include <mutex>
#include <utility>

namespace dovrane {

template <class T> class Locked {
public:
    explicit Locked(T initial) : stored_(std::move(initial)) {}

    template <class F> decltype(auto) with(F&& body) {
        std::lock_guard lock(lock_);
        return std::forward<F>(body)(stored_);
    }

    T copy() {
        std::lock_guard lock(lock_);
        return stored_;
    }

private:
    std::mutex lock_;
    T stored_;
};

} // namespace dovrane
