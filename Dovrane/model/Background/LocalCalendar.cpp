#include "Background/LocalCalendar.h"

#include <QDateTime>

#include <cmath>

namespace dovrane::LocalCalendar {

namespace {
QDate localDay(Date date) {
    return QDateTime::fromMSecsSinceEpoch(qint64(std::floor(date.unixSeconds() * 1000.0)), Qt::LocalTime).date();
}

Date fromDateTime(const QDateTime& moment) { return Date::fromUnix(double(moment.toMSecsSinceEpoch()) / 1000.0); }
} // namespace

Date startOfDay(Date date) { return fromDateTime(localDay(date).startOfDay(Qt::LocalTime)); }

Date startOfDayBefore(Date date, int days) {
    return fromDateTime(localDay(date).addDays(-days).startOfDay(Qt::LocalTime));
}

} // namespace dovrane::LocalCalendar
