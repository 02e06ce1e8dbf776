#include "DovraneKit/Date.h"

#include <unicode/datefmt.h>
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

} // namespace

namespace DateText {

std::string abbreviatedDate(Date date) {
    return format(icu::DateFormat::createDateInstance(icu::DateFormat::kMedium), date);
}

std::string abbreviatedDateShortTime(Date date) {
    return format(icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kShort), date);
}

} // namespace DateText

} // namespace dovrane
