#pragma once
// Every user setting, declared once: its dotted key, the type it is stored as and the value a
// reader gets while nothing of that type is stored. Readers and writers go through these
// declarations rather than spelling a key, so no two places can disagree on a key, its type or
// what a missing value means. What reaches the file is what Settings writes for that type.

#include "Services/Settings.h"

#include <algorithm>
#include <type_traits>
#include <vector>

namespace dovrane {

template <typename T>
concept SettingType = std::is_same_v<T, bool> || std::is_same_v<T, qint64> || std::is_same_v<T, QString> ||
    std::is_same_v<T, QStringList> || std::is_same_v<T, Date>;

// One setting of type T: the store's typed access under the key, with the default applied.
template <SettingType T> class Setting {
public:
    Setting(const char* key, T defaultValue) : key_(key), defaultValue_(std::move(defaultValue)) {}

    QString key() const { return QString::fromLatin1(key_); }
    const T& defaultValue() const { return defaultValue_; }

    // The stored value, or the default while nothing is stored or a value of another type is.
    T get(const Settings& settings) const { return stored(settings).value_or(defaultValue_); }
    // The stored value of this type, or none: for the readers whose rule tells absent apart.
    std::optional<T> stored(const Settings& settings) const {
        if constexpr (std::is_same_v<T, bool>)
            return settings.boolean(key());
        else if constexpr (std::is_same_v<T, qint64>)
            return settings.integer(key());
        else if constexpr (std::is_same_v<T, QString>)
            return settings.text(key());
        else if constexpr (std::is_same_v<T, QStringList>)
            return settings.texts(key());
        else
            return settings.date(key());
    }
    void set(Settings& settings, const T& value) const {
        if constexpr (std::is_same_v<T, bool>)
            settings.setBoolean(key(), value);
        else if constexpr (std::is_same_v<T, qint64>)
            settings.setInteger(key(), value);
        else if constexpr (std::is_same_v<T, QString>)
            settings.setText(key(), value);
        else if constexpr (std::is_same_v<T, QStringList>)
            settings.setTexts(key(), value);
        else
            settings.setDate(key(), value);
    }
    void remove(Settings& settings) const { settings.remove(key()); }

private:
    const char* key_;
    T defaultValue_;
};

namespace SettingKeys {

// Show the menu bar item. The Settings window shows the default, true; the item itself and the
// quit rule use menuBarItemShown, which hides it under a test store while nothing is stored.
inline const Setting<bool> menuBarEnabled{"menubar.enabled", true};
// The Settings window's last tab as its raw value; empty, like any unknown text, means general.
inline const Setting<QString> settingsTab{"settings.tab", QString()};
// Days after which a downloaded installer is listed.
inline const Setting<qint64> scanInstallerAge{"scan.installerAge", 14};
// Folders searched for developer projects.
inline const Setting<QStringList> scanProjects{"scan.projects", QStringList()};
// Days without change after which a project's build folder is listed.
inline const Setting<qint64> scanProjectAge{"scan.projectAge", 30};

// The days the Settings window's steppers offer. A stored number outside them (a file edited by
// hand) is read as the nearer end, so a scan uses what the window shows.
struct DayRange {
    int lowest;
    int highest;
    int nearest(qint64 days) const { return int(std::clamp<qint64>(days, lowest, highest)); }
};
inline constexpr DayRange installerAgeRange{1, 365};
inline constexpr DayRange projectAgeRange{7, 365};
// Paths whose items are never listed.
inline const Setting<QStringList> scanExcluded{"scan.excluded", QStringList()};
// Post the weekly report; anything but a stored false counts as on.
inline const Setting<bool> reportWeekly{"report.weekly", true};
// The onboarding sheet was finished.
inline const Setting<bool> onboardingDone{"onboarding.done", false};
// The accent theme's id.
inline const Setting<QString> appearanceAccent{"appearance.accent", QStringLiteral("seagreen")};
// When the updates notification and the weekly report were last posted; absent means never,
// which the distant past stands for.
inline const Setting<Date> updatesNoticeLast{"notify.updates.last", Date::distantPast()};
inline const Setting<Date> weeklyReportLast{"notify.weekly.last", Date::distantPast()};

// Whether the menu bar item is shown: the stored Boolean, else on, except under a test store.
bool menuBarItemShown(const Settings& settings, bool testStore);

// Calls visit with each setting above, in their order; a new setting is added here too.
template <typename Visit> void forEach(Visit&& visit) {
    visit(menuBarEnabled);
    visit(settingsTab);
    visit(scanInstallerAge);
    visit(scanProjects);
    visit(scanProjectAge);
    visit(scanExcluded);
    visit(reportWeekly);
    visit(onboardingDone);
    visit(appearanceAccent);
    visit(updatesNoticeLast);
    visit(weeklyReportLast);
}

// The keys of all the settings above, in their order.
std::vector<QString> all();

} // namespace SettingKeys

} // namespace dovrane
