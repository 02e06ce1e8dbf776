#pragma once
// Days as the user's calendar counts them, in the local time zone. A day need not last 86,400
// seconds (23 or 25 hours at a change of daylight saving time) and need not begin at midnight.

#include <DovraneKit/core/Date.h>

namespace dovrane::LocalCalendar {

// The first moment of the local day that holds date.
Date startOfDay(Date date);
// The first moment of the local day `days` calendar days before the day that holds date.
Date startOfDayBefore(Date date, int days);

} // namespace dovrane::LocalCalendar
