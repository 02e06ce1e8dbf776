#pragma once
// Work on threads of its own, and the one fallback when the system refuses another thread: the
// work runs on the calling thread instead, so it is always done.

#include <system_error>
#include <thread>
#include <vector>

namespace dovrane {

// The body on a new thread, or, when no thread is to be had, on this one before returning (the
// result then is not joinable). The body is copied for the thread, so the original is still
// whole when it has to run here. It must not throw.
template <class Body> std::jthread runOnThreadElseInline(const Body& body) {
    try {
        return std::jthread(body);
    } catch (const std::system_error&) {
        body();
        return {};
    }
}

// body(i) for i in [0, count), all at once, each on a thread of its own; returns when all are
// done.
template <class Body> void concurrently(int count, const Body& body) {
    std::vector<std::jthread> threads;
    threads.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i)
        threads.push_back(runOnThreadElseInline([&body, i] { body(i); }));
}

} // namespace dovrane
