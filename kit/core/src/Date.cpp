#include "DovraneKit/core/Date.h"

#include "DovraneKit/core/Language.h"

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/reldatefmt.h>
#include <unicode/unistr.h>

#include <chrono>
#include <memory>

namespace dovrane {

Date Date::now() {
    auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return fromUnix(std::chrono::duration<double>(sinceEpoch).count());
}

namespace {

std::string format(icu::DateFormat* formatter, Date date) {
    if (!formatter)
        return {};
    std::unique_ptr<icu::DateFormat> owned(formatter);
    icu::UnicodeString text;
    owned->format(UDate(date.unixSeconds() * 1000.0), text);
    std::string utf8;
    text.toUTF8String(utf8);
    return utf8;
}

// The locale of the library's language: the user's own when it speaks that language, so a
// German window never shows English month names.
icu::Locale displayLocale() {
    const std::string language(rawValue(currentLanguage()));
    icu::Locale locale = icu::Locale::getDefault();
    if (language != locale.getLanguage())
        locale = icu::Locale(language.c_str());
    return locale;
}

} // namespace

namespace DateText {

// By skeleton rather than ICU's medium style, which is all digits in German ("15.05.2024"):
// the abbreviated style names the month in every language ("May 15, 2024", "15. Mai 2024"),
// and "j" takes the locale's own hour cycle (12 hours in English, 24 in German).
std::string abbreviatedDate(Date date) {
    UErrorCode status = U_ZERO_ERROR;
    icu::DateFormat* formatter = icu::DateFormat::createInstanceForSkeleton("yMMMd", displayLocale(), status);
    return U_SUCCESS(status) ? format(formatter, date) : std::string();
}

std::string abbreviatedDateShortTime(Date date) {
    UErrorCode status = U_ZERO_ERROR;
    icu::DateFormat* formatter = icu::DateFormat::createInstanceForSkeleton("yMMMdjmm", displayLocale(), status);
    return U_SUCCESS(status) ? format(formatter, date) : std::string();
}

std::string relative(Date date, Date now) {
    const icu::Locale locale(std::string(rawValue(currentLanguage())).c_str());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(locale, status));
    // Named forms ("yesterday") with wide units ("3 weeks ago", not "3 wk. ago").
    icu::RelativeDateTimeFormatter formatter(locale, nullptr, UDAT_STYLE_LONG, UDISPCTX_CAPITALIZATION_NONE, status);
    if (U_FAILURE(status) || !calendar)
        return {};
    calendar->setTime(UDate(now.unixSeconds() * 1000.0), status);
    const UDate target = UDate(date.unixSeconds() * 1000.0);

    // fieldDifference moves the calendar on by what it counted, so each unit measures the rest.
    struct Step {
        UCalendarDateFields field;
        URelativeDateTimeUnit unit;
    };
    static constexpr Step steps[] = {
        {UCAL_YEAR, UDAT_REL_UNIT_YEAR},     {UCAL_MONTH, UDAT_REL_UNIT_MONTH},
        {UCAL_DATE, UDAT_REL_UNIT_DAY},      {UCAL_HOUR_OF_DAY, UDAT_REL_UNIT_HOUR},
        {UCAL_MINUTE, UDAT_REL_UNIT_MINUTE}, {UCAL_SECOND, UDAT_REL_UNIT_SECOND},
    };
    double offset = 0;
    URelativeDateTimeUnit unit = UDAT_REL_UNIT_SECOND;
    for (const Step& step : steps) {
        const int32_t difference = calendar->fieldDifference(target, step.field, status);
        if (U_FAILURE(status))
            return {};
        if (difference == 0)
            continue;
        offset = difference;
        unit = step.unit;
        // Seven days or more read as weeks, as a calendar's week count does.
        if (step.field == UCAL_DATE && (difference >= 7 || difference <= -7)) {
            offset = difference / 7;
            unit = UDAT_REL_UNIT_WEEK;
        }
        break;
    }
    icu::UnicodeString text;
    formatter.format(offset, unit, text, status);
    if (U_FAILURE(status))
        return {};
    std::string utf8;
    text.toUTF8String(utf8);
    return utf8;
}

} // namespace DateText

} // namespace dovrane
