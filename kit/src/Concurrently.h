#pragma once
// Runs a number of independent iterations on threads of their own and waits for all of them.

#include <system_error>
#include <thread>
#include <vector>

namespace dovrane {

// body(i) for i in [0, count), all at once. When the system refuses another thread, that
// iteration runs on the calling thread instead, so the work is always done. The body must not
// throw.
template <class Body>
void concurrently(int count, const Body& body) {
    std::vector<std::jthread> threads;
    threads.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        try {
            threads.emplace_back([&body, i] { body(i); });
        } catch (const std::system_error&) {
            body(i);
        }
    }
}

} // namespace dovrane
