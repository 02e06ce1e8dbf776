#pragma once
// The user settings on Linux: one JSON object in $XDG_CONFIG_HOME/Dovrane/Dovrane.json, written
// through QSettings with a format of our own and read with the same parser, so each value reads
// back as the type it was stored with. A file that does not parse, or anything there but a
// regular file (a named pipe, a device, never waited on), reads as empty and is moved aside to
// Dovrane.json.damaged (-2, -3, … when that is taken) before the first write, so nothing the
// user had is overwritten unseen.

#include "Services/Settings.h"

#include <QSettings>
#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace dovrane {

class JsonSettings final : public Settings {
public:
    // The file in $XDG_CONFIG_HOME/Dovrane, with ~/.config when the variable is unset or relative.
    JsonSettings();
    // A file of the caller's choice.
    explicit JsonSettings(std::string file);

    // A real settings file holds a few kilobytes; one larger than this is damaged.
    static constexpr std::uint64_t maximumFileSize = 16ull << 20;

    static std::string defaultFile();
    const std::string& file() const { return file_; }

    void remove(const QString& key) override;
    std::optional<std::string> setAsideDamaged() override;

protected:
    QVariant read(const QString& key) const override;
    void write(const QString& key, const QVariant& value) override;

private:
    // Prepares the file for a write: the folder made, a damaged file moved aside.
    void prepareForWrite() const;
    bool isDamaged() const;
    // What the file holds; nothing when it is missing, damaged or cannot be read.
    QSettings::SettingsMap values() const;

    std::string file_;
    mutable std::atomic<bool> toldUnreadable_ = false; // one line on standard error is enough
};

// A value of a shape the typed reads do not know (a nested object, a fraction, null, a mixed
// list), kept as its JSON text so that rewriting the file keeps it.
struct ForeignJson {
    std::string text;
    bool operator==(const ForeignJson&) const = default;
};

} // namespace dovrane

Q_DECLARE_METATYPE(dovrane::ForeignJson)
