#pragma once
// A short plain-text summary for support: versions and counts only, never a path, file name or
// app name, so it can be pasted into a message without telling what is on the disk.

#include "DovraneKit/core/Date.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace dovrane {

struct DiagnosticReport {
    std::string appVersion;
    std::string build;
    std::string system;       // the distribution's name ("Debian GNU/Linux 12 (bookworm)")
    std::string kernel;       // the kernel's version as three numbers ("6.1.0")
    std::string architecture; // the machine ("x86_64")
    std::string language;     // the first preferred language as a tag ("de-DE"), "?" for none
    bool fullDiskAccess = false;
    std::optional<Date> lastScan;
    int categories = 0;
    std::int64_t safeBytes = 0;
    int appsInstalled = 0;
    std::map<std::string, int> updates; // UpdateCheck::countKinds: "available", "current", "failed", "unsupported"
    std::optional<Date> updatesCheckedAt;
    int cleanups = 0;

    // Six lines; ages count back from now, and a date after now is 0 hours old.
    std::string text(Date now) const;
};

} // namespace dovrane
