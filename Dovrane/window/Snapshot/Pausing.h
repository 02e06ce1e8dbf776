#pragma once
// Coroutines for work on the main thread that waits without blocking it: `co_await Pause(ms)`
// hands the thread back to the event loop, which lays out and paints, and a timer resumes the
// work afterwards. A `DetachedTask` starts at once and frees itself when it ends; a `Subtask`
// runs when awaited and resumes its caller when it ends, so a step with pauses of its own (a
// capture with its retries) reads as one call.
//
// A task still paused when the event loop is gone is never resumed, and its frame is not freed.

#include <QCoreApplication>
#include <QTimer>

#include <coroutine>
#include <exception>
#include <utility>

namespace dovrane {

struct DetachedTask {
    struct promise_type {
        DetachedTask get_return_object() noexcept { return {}; }
        std::suspend_never initial_suspend() noexcept { return {}; }
        std::suspend_never final_suspend() noexcept { return {}; }
        void return_void() noexcept {}
        void unhandled_exception() noexcept { std::terminate(); }
    };
};

class [[nodiscard]] Subtask {
public:
    struct promise_type;
    using Handle = std::coroutine_handle<promise_type>;

    struct promise_type {
        std::coroutine_handle<> caller;

        Subtask get_return_object() noexcept { return Subtask(Handle::from_promise(*this)); }
        std::suspend_always initial_suspend() noexcept { return {}; }
        auto final_suspend() noexcept {
            struct ResumeCaller {
                bool await_ready() const noexcept { return false; }
                std::coroutine_handle<> await_suspend(Handle finished) const noexcept {
                    return finished.promise().caller ? finished.promise().caller : std::noop_coroutine();
                }
                void await_resume() const noexcept {}
            };
            return ResumeCaller{};
        }
        void return_void() noexcept {}
        void unhandled_exception() noexcept { std::terminate(); }
    };

    Subtask(Subtask&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Subtask(const Subtask&) = delete;
    Subtask& operator=(const Subtask&) = delete;
    Subtask& operator=(Subtask&&) = delete;
    ~Subtask() {
        if (handle_)
            handle_.destroy();
    }

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> caller) noexcept {
        handle_.promise().caller = caller;
        return handle_;
    }
    void await_resume() const noexcept {}

private:
    explicit Subtask(Handle handle) : handle_(handle) {}
    Handle handle_;
};

class Pause {
public:
    explicit Pause(int milliseconds) : milliseconds_(milliseconds) {}

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> task) const {
        QTimer::singleShot(milliseconds_, qApp, [task] { task.resume(); });
    }
    void await_resume() const noexcept {}

private:
    int milliseconds_;
};

} // namespace dovrane
