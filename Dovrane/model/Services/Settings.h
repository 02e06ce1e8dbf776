#pragma once
// The user-settings store: one value per dotted key ("scan.installerAge", "appearance.accent").
// Each value reads back as the type it was stored with; a typed read of a value of another type
// is absent, so the setting's default applies. The keys, their types and defaults are declared
// once in SettingKeys.h, which the application reads and writes through; the raw calls here
// remain for it and for tests that write what a foreign file holds. The Linux store is a JSON
// file (JsonSettings); tests use MemorySettings.

#include <DovraneKit/core/Date.h>

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <string>

namespace dovrane {

class Settings {
public:
    virtual ~Settings() = default;

    std::optional<qint64> integer(const QString& key) const;
    std::optional<bool> boolean(const QString& key) const;
    std::optional<QString> text(const QString& key) const;
    std::optional<QStringList> texts(const QString& key) const;
    std::optional<Date> date(const QString& key) const;

    void setInteger(const QString& key, qint64 value) { write(key, QVariant::fromValue(value)); }
    void setBoolean(const QString& key, bool value) { write(key, QVariant(value)); }
    void setText(const QString& key, const QString& value) { write(key, QVariant(value)); }
    void setTexts(const QString& key, const QStringList& value) { write(key, QVariant(value)); }
    void setDate(const QString& key, Date value) { write(key, QVariant::fromValue(value)); }
    virtual void remove(const QString& key) = 0;
    // A stored file that cannot be read is moved aside now, so the user can be told where it is
    // kept; the name it is kept under. Stores without a file have nothing to move.
    virtual std::optional<std::string> setAsideDamaged() { return std::nullopt; }

protected:
    // The stored value as the store holds it: qint64, bool, QString, QStringList or Date; any
    // other shape the file may hold comes back as it is and reads as absent through the typed
    // getters above.
    virtual QVariant read(const QString& key) const = 0;
    virtual void write(const QString& key, const QVariant& value) = 0;
};

// Settings held in memory, for tests and for runs that must not touch the user's file.
class MemorySettings final : public Settings {
public:
    void remove(const QString& key) override { values_.remove(key); }
    // Stores a value of any shape, as a damaged or foreign file might hold it.
    void setRaw(const QString& key, const QVariant& value) { values_.insert(key, value); }
    bool contains(const QString& key) const { return values_.contains(key); }

protected:
    QVariant read(const QString& key) const override { return values_.value(key); }
    void write(const QString& key, const QVariant& value) override { values_.insert(key, value); }

private:
    QMap<QString, QVariant> values_;
};

} // namespace dovrane

Q_DECLARE_METATYPE(dovrane::Date)
