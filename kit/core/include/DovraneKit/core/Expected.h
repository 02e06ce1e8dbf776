#pragma once
// A value or the reason there is none. The library reports failures as values, never as
// exceptions across its API.

#include <string>
#include <utility>
#include <variant>

namespace dovrane {

struct Failure {
    std::string message;
    bool operator==(const Failure&) const = default;
};

// E is the failure type; most of the library's operations report a Failure with a message.
// Ignoring one is a compile warning: a failure nobody looks at reads as success.
template <class T, class E = Failure> class [[nodiscard]] Expected {
public:
    Expected(T value) : state_(std::move(value)) {}
    Expected(E failure) : state_(std::move(failure)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<T>(state_); }
    const T& value() const& { return std::get<T>(state_); }
    T&& value() && { return std::get<T>(std::move(state_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const E& error() const { return std::get<E>(state_); }

private:
    std::variant<T, E> state_;
};

} // namespace dovrane
