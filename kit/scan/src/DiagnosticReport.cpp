#include "DovraneKit/scan/DiagnosticReport.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace dovrane {

namespace {

std::string age(const std::optional<Date>& date, Date now) {
    if (!date)
        return "never";
    // A clock set back makes a date lie ahead; it reads as just now rather than a negative age.
    const double seconds = std::max(0.0, now.secondsSince(*date));
    const auto hours = static_cast<std::int64_t>(std::trunc(seconds / 3600.0));
    if (hours > 47)
        return std::to_string(hours / 24) + " days ago";
    return std::to_string(hours) + " h ago";
}

} // namespace

std::string DiagnosticReport::text(Date now) const {
    std::string counts;
    for (const char* kind : {"available", "current", "failed", "unsupported"}) {
        auto found = updates.find(kind);
        if (!counts.empty())
            counts += ", ";
        counts += std::string(kind) + " " + std::to_string(found == updates.end() ? 0 : found->second);
    }
    const std::array<std::string, 6> lines = {
        "Dovrane " + appVersion + " (" + build + ")",
        system + ", kernel " + kernel + ", " + architecture + ", language " + language,
        std::string("File access: ") + (fullDiskAccess ? "on" : "off"),
        "Last scan: " + age(lastScan, now) + ", " + std::to_string(categories) + " categories, " +
            std::to_string(safeBytes / 1000000) + " MB safe to remove",
        "Apps: " + std::to_string(appsInstalled) + ", updates checked " + age(updatesCheckedAt, now) + ": " + counts,
        "Cleanups in the journal: " + std::to_string(cleanups),
    };
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    return text;
}

} // namespace dovrane
