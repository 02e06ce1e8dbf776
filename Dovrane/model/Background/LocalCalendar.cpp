#include "Background/LocalCalendar.h"

#include <QDateTime>

#include <cmath>

namespace dovrane::LocalCalendar {

namespace {
const QDate reference(2001, 1, 1);
constexpr double secondsPerDay = 86400;
// About ten thousand years either way: far beyond any record, and far within QDateTime's range.
constexpr double farthest = 3e11;

qint64 unixMilliseconds(Date date) { return qint64(std::floor(date.unixSeconds() * 1000.0)); }
} // namespace

QDate dateOf(Date date) { return QDateTime::fromMSecsSinceEpoch(unixMilliseconds(date), Qt::LocalTime).date(); }

Date instantOf(QDate day) { return Date{double(reference.daysTo(day)) * secondsPerDay}; }

std::optional<QDate> dateOfStoredDay(Date stored) {
    if (!std::isfinite(stored.secondsSinceReference) || std::abs(stored.secondsSinceReference) > farthest)
        return std::nullopt;
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(unixMilliseconds(stored), Qt::LocalTime);
    const QDate day = local.date();
    if (day.isValid() && std::llabs(day.startOfDay(Qt::LocalTime).msecsTo(local)) < 1000)
        return day;
    return reference.addDays(qint64(std::floor((stored.secondsSinceReference + secondsPerDay / 2) / secondsPerDay)));
}

} // namespace dovrane::LocalCalendar
