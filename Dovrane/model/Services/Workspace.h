#pragma once
// The running applications and the opening of URLs and applications. An application is a
// process of the user whose program lies in an "X.app/Contents/MacOS/" folder; it is known by
// its process id together with its start time, so a process id the system has reused for
// another program is never signalled.

#include <DovraneKit/core/Url.h>

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dovrane {

struct RunningApplication {
    pid_t pid = 0;
    std::uint64_t startTime = 0; // in clock ticks after boot, as /proc gives it
    Url bundle;                  // the ".app" folder
    std::optional<std::string> bundleID;

    bool operator==(const RunningApplication&) const = default;
};

class Workspace {
public:
    virtual ~Workspace() = default;

    // Read afresh on every call.
    virtual std::vector<RunningApplication> runningApplications() const = 0;
    // Asks the application to quit; false when it is no longer the process it was.
    virtual bool terminate(const RunningApplication& application) = 0;
    // Gone, a zombie, or its process id now belongs to another process.
    virtual bool isTerminated(const RunningApplication& application) const = 0;
    // Hands a web or mail address to the desktop; anything else is refused.
    virtual bool open(const Url& url) = 0;
    // Starts the bundle's program in a session of its own.
    virtual bool openApplication(const Url& bundle) = 0;
    // The first bundle with this identifier in the application folders.
    virtual std::optional<Url> applicationURL(const std::string& bundleID) const = 0;
};

// Where the workspace over /proc finds the system; tests point it elsewhere.
struct ProcWorkspacePaths {
    std::string proc = "/proc";
    std::string opener = "/usr/bin/xdg-open";
    std::string setsid = "/usr/bin/setsid";
};

// The workspace over /proc.
class ProcWorkspace final : public Workspace {
public:
    using Paths = ProcWorkspacePaths;

    // applicationFolders: absent for the default folders of the given home.
    explicit ProcWorkspace(Url home, std::optional<std::vector<Url>> applicationFolders = std::nullopt,
                           Paths paths = Paths());

    std::vector<RunningApplication> runningApplications() const override;
    bool terminate(const RunningApplication& application) override;
    bool isTerminated(const RunningApplication& application) const override;
    bool open(const Url& url) override;
    bool openApplication(const Url& bundle) override;
    std::optional<Url> applicationURL(const std::string& bundleID) const override;

    // Fields of /proc/PID/stat: the state letter and the start time, read after the last ")"
    // because the program name in parentheses may hold spaces and parentheses itself.
    struct ProcessStat {
        char state = '?';
        std::uint64_t startTime = 0;
    };
    static std::optional<ProcessStat> parseStat(std::string_view text);
    // The ".app" folder of a path inside "X.app/Contents/MacOS/"; absent for any other path.
    static std::optional<std::string> bundleOfProgram(std::string_view path);

private:
    std::optional<ProcessStat> stat(pid_t pid) const;

    Url home_;
    std::optional<std::vector<Url>> applicationFolders_;
    Paths paths_;
};

} // namespace dovrane
