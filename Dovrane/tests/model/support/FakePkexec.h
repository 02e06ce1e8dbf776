#pragma once
// A stand-in for pkexec: a script that notes each call's arguments and the session it runs in,
// then runs the command as the current user, refuses (exit 126) like a dismissed dialog, or
// pretends it ran. A line of the test's may run first, as something else would while the
// password dialog shows.

#include "Services/Services.h"
#include "Services/SystemPaths.h"

#include <string>
#include <vector>

namespace dovrane::testing {

class FakePkexec {
public:
    // Writes the script into folder, which must exist and outlive this object.
    explicit FakePkexec(std::string folder);

    // The table with pkexec pointing at the script.
    SystemPaths paths() const;
    // The services with pkexec pointing at the script.
    Services applied(Services services) const;
    const std::string& script() const { return script_; }
    void setRefusing(bool refusing) const;
    // Answers success without running the command (for tools this machine lacks).
    void setPretending(bool pretending) const;
    // A shell line run once at the start of the next call, before the command (empty: none).
    void setBeforeNextRun(const std::string& shellLine) const;

    // Every call's arguments after the program name, in order.
    std::vector<std::vector<std::string>> calls() const;
    // Per call: whether the script led its own session and read standard input from /dev/null.
    struct Session {
        bool leader = false;
        bool stdinIsNull = false;
    };
    std::vector<Session> sessions() const;

private:
    std::string folder_;
    std::string script_;
};

} // namespace dovrane::testing
