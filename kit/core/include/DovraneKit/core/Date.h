#pragma once
// Points in time as seconds since 2001-01-01 00:00:00 UTC, the form the JSON caches write.

#include <compare>
#include <string>

namespace dovrane {

struct Date {
    static constexpr double unixOffset = 978307200.0; // seconds from 1970-01-01 to 2001-01-01

    double secondsSinceReference = 0;

    static Date now();
    static Date fromUnix(double unixSeconds) { return Date{unixSeconds - unixOffset}; }
    static Date distantPast() { return Date{-1e18}; }

    double unixSeconds() const { return secondsSinceReference + unixOffset; }
    Date adding(double seconds) const { return Date{secondsSinceReference + seconds}; }
    double secondsSince(Date other) const { return secondsSinceReference - other.secondsSinceReference; }

    auto operator<=>(const Date&) const = default;
};

// Dates as the user reads them, in the user's locale (ICU's default locale, taken from the
// POSIX locale variables) and the current time zone.
namespace DateText {
std::string abbreviatedDate(Date date);          // "May 1, 2024"
std::string abbreviatedDateShortTime(Date date); // "May 1, 2024 at 9:30 AM"
// How long ago (or ahead) date is from now, in the library's current language, by the largest
// calendar unit that differs: "yesterday", "3 weeks ago", "in 2 hours", "now".
std::string relative(Date date, Date now = Date::now());
} // namespace DateText

} // namespace dovrane
