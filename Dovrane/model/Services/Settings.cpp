#include "Services/Settings.h"

namespace dovrane {

namespace {
bool holds(const QVariant& value, QMetaType::Type type) { return value.metaType().id() == type; }
} // namespace

std::optional<qint64> Settings::integer(const QString& key) const {
    const QVariant value = read(key);
    if (holds(value, QMetaType::LongLong))
        return value.toLongLong();
    if (holds(value, QMetaType::Int))
        return value.toInt();
    return std::nullopt;
}

std::optional<bool> Settings::boolean(const QString& key) const {
    const QVariant value = read(key);
    if (holds(value, QMetaType::Bool))
        return value.toBool();
    return std::nullopt;
}

std::optional<QString> Settings::text(const QString& key) const {
    const QVariant value = read(key);
    if (holds(value, QMetaType::QString))
        return value.toString();
    return std::nullopt;
}

std::optional<QStringList> Settings::texts(const QString& key) const {
    const QVariant value = read(key);
    if (holds(value, QMetaType::QStringList))
        return value.toStringList();
    return std::nullopt;
}

std::optional<Date> Settings::date(const QString& key) const {
    const QVariant value = read(key);
    if (value.metaType() == QMetaType::fromType<Date>())
        return value.value<Date>();
    return std::nullopt;
}

} // namespace dovrane
