#pragma once
// Days as the user's calendar counts them. A daily record stands for a calendar date, whatever
// time zone the run that wrote it was in: its day before is the date before.

#include <DovraneKit/core/Date.h>

#include <QDate>

#include <optional>

namespace dovrane::LocalCalendar {

// The date, in the local time zone, that holds date.
QDate dateOf(Date date);
// A calendar date as one instant, the same in every time zone: its midnight in UTC. Dates whole
// days apart are as many times 86,400 seconds apart.
Date instantOf(QDate day);
// The date a stored day names. Records are stored as instantOf(date); older ones as the first
// moment of the local day in the zone of the run that wrote them, which the record does not
// name. Such a moment reads as its date when it begins a day in the local zone (a store that
// stayed in one zone); else as the UTC date of the moment 12 hours on, the date of every zone
// from UTC-11 to UTC+12. Nothing for a moment no calendar holds.
std::optional<QDate> dateOfStoredDay(Date stored);

} // namespace dovrane::LocalCalendar
