#pragma once
// Command lines for /bin/sh. The library runs no shell itself: lines that need administrator
// rights (moving into or out of the Trash, copying an update into place, deleting a snapshot)
// go to a closure the application supplies, which asks for the password and runs them.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dovrane::Shell {

// How an administrator run ended. A closure that knows no more answers a Boolean: true when the
// command ran to its end without error, false when it did not run or failed.
class AdminAnswer {
public:
    AdminAnswer(bool succeeded) : status_(succeeded ? std::optional<int>(0) : std::nullopt) {}
    // An exit status is no Boolean (1 is a failure): say exited(status).
    AdminAnswer(int) = delete;
    // The command ran and ended with this exit status.
    static AdminAnswer exited(int status);

    explicit operator bool() const { return status_ == 0; }
    // None when the command did not run (the password was not given) or the closure did not say.
    std::optional<int> status() const { return status_; }

private:
    AdminAnswer() = default;
    std::optional<int> status_;
};

// One whole shell command line in, run with administrator rights. Called from whatever thread
// needs it, never twice at once by one operation.
using Admin = std::function<AdminAnswer(const std::string& commandLine)>;

// One single-quoted word for /bin/sh: any text, quotes included, arrives as itself.
std::string quote(std::string_view text);

// The administrator's answer; a failure when there is no closure or it throws.
AdminAnswer runAsAdmin(const Admin& admin, const std::string& commandLine);

} // namespace dovrane::Shell
