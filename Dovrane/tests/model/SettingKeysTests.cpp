// The declared settings: a missing value or one of another type reads as the declared default,
// values round-trip through the settings file under the same keys and JSON types as before, and
// the menu bar item's rule under a test store.

#include "Services/JsonSettings.h"
#include "Services/SettingKeys.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>

#include <nlohmann/json.hpp>

#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <set>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// A value of the setting's type that differs from its default.
template <typename T> T otherThanDefault(const Setting<T>& setting) {
    const T& fallback = setting.defaultValue();
    if constexpr (std::is_same_v<T, bool>)
        return !fallback;
    else if constexpr (std::is_same_v<T, qint64>)
        return fallback + 9'007'199'254'740'993; // beyond a double's precision
    else if constexpr (std::is_same_v<T, QString>)
        return fallback + QStringLiteral("-ä");
    else if constexpr (std::is_same_v<T, QStringList>)
        return fallback + QStringList{QStringLiteral("/home/ä"), QStringLiteral("/tmp/x")};
    else
        return fallback == Date{736'000'000.25} ? Date{736'000'001} : Date{736'000'000.25};
}

// A value of another type than the setting's, as a foreign or older file might hold.
template <typename T> QVariant ofAnotherType(const Setting<T>&) {
    if constexpr (std::is_same_v<T, bool>)
        return QVariant(QStringLiteral("true"));
    else
        return QVariant(true);
}

// Whether the JSON value has the shape Settings writes for T.
template <typename T> bool hasStoredShape(const nlohmann::json& value, const Setting<T>&) {
    if constexpr (std::is_same_v<T, bool>)
        return value.is_boolean();
    else if constexpr (std::is_same_v<T, qint64>)
        return value.is_number_integer();
    else if constexpr (std::is_same_v<T, QString>)
        return value.is_string();
    else if constexpr (std::is_same_v<T, QStringList>)
        return value.is_array() &&
               std::all_of(value.begin(), value.end(), [](const auto& item) { return item.is_string(); });
    else
        return value.is_object() && value.size() == 1 && value.contains("date") && value["date"].is_number();
}

} // namespace

class SettingKeysTests : public QObject {
    Q_OBJECT

private slots:
    void aMissingValueGivesTheDeclaredDefault() {
        MemorySettings settings;
        SettingKeys::forEach([&settings](const auto& setting) {
            QVERIFY2(!setting.stored(settings), qPrintable(setting.key()));
            QVERIFY2(setting.get(settings) == setting.defaultValue(), qPrintable(setting.key()));
        });
    }

    void aValueOfAnotherTypeGivesTheDefault() {
        MemorySettings settings;
        SettingKeys::forEach([&settings](const auto& setting) {
            settings.setRaw(setting.key(), ofAnotherType(setting));
            QVERIFY2(!setting.stored(settings), qPrintable(setting.key()));
            QVERIFY2(setting.get(settings) == setting.defaultValue(), qPrintable(setting.key()));
            // Reading replaced nothing.
            QVERIFY2(settings.contains(setting.key()), qPrintable(setting.key()));
        });
    }

    void valuesRoundTripThroughTheFileUnderTheirKeys() {
        TempHome home;
        const std::string file = home / "config/Dovrane.json";
        {
            JsonSettings settings(file);
            SettingKeys::forEach(
                [&settings](const auto& setting) { setting.set(settings, otherThanDefault(setting)); });
        }
        JsonSettings reread(file);
        const auto text = Fs::readFile(file);
        QVERIFY(text);
        const nlohmann::json json = nlohmann::json::parse(*text, nullptr, false);
        QVERIFY(json.is_object());
        QCOMPARE(json.size(), SettingKeys::all().size());
        SettingKeys::forEach([&reread, &json](const auto& setting) {
            const QString key = setting.key();
            QVERIFY2(setting.get(reread) == otherThanDefault(setting), qPrintable(key));
            QVERIFY2(setting.stored(reread) == std::optional(otherThanDefault(setting)), qPrintable(key));
            QVERIFY2(json.contains(key.toStdString()), qPrintable(key));
            QVERIFY2(hasStoredShape(json[key.toStdString()], setting), qPrintable(key));
        });
    }

    void removeLeavesTheOtherSettings() {
        MemorySettings settings;
        SettingKeys::scanProjects.set(settings, {QStringLiteral("/work")});
        SettingKeys::scanExcluded.set(settings, {QStringLiteral("/tmp")});
        SettingKeys::scanProjects.remove(settings);
        QVERIFY(!SettingKeys::scanProjects.stored(settings));
        QCOMPARE(SettingKeys::scanProjects.get(settings), SettingKeys::scanProjects.defaultValue());
        QCOMPARE(SettingKeys::scanExcluded.get(settings), QStringList{QStringLiteral("/tmp")});
    }

    void keysAreUniqueAndDotted() {
        const std::vector<QString> keys = SettingKeys::all();
        QVERIFY(!keys.empty());
        QCOMPARE(std::set<QString>(keys.begin(), keys.end()).size(), keys.size());
        const QRegularExpression dotted(QStringLiteral("^[a-z]+(\\.[a-z][A-Za-z]*)+$"));
        for (const QString& key : keys)
            QVERIFY2(dotted.match(key).hasMatch(), qPrintable(key));
    }

    void keysStayThoseEarlierVersionsWrote() {
        // A renamed key would leave every user's stored value behind.
        const std::vector<QString> keys = SettingKeys::all();
        const std::set<QString> written = {"menubar.enabled",     "settings.tab",      "scan.installerAge",
                                           "scan.projects",       "scan.projectAge",   "scan.excluded",
                                           "report.weekly",       "onboarding.done",   "appearance.accent",
                                           "notify.updates.last", "notify.weekly.last"};
        QCOMPARE(std::set<QString>(keys.begin(), keys.end()), written);
    }

    void theMenuBarItemFollowsTheStoredBooleanElseTheStore() {
        MemorySettings settings;
        QVERIFY(SettingKeys::menuBarItemShown(settings, false));
        QVERIFY(!SettingKeys::menuBarItemShown(settings, true));
        settings.setRaw(SettingKeys::menuBarEnabled.key(), QStringLiteral("false")); // not a Boolean
        QVERIFY(SettingKeys::menuBarItemShown(settings, false));
        QVERIFY(!SettingKeys::menuBarItemShown(settings, true));
        SettingKeys::menuBarEnabled.set(settings, true);
        QVERIFY(SettingKeys::menuBarItemShown(settings, true));
        SettingKeys::menuBarEnabled.set(settings, false);
        QVERIFY(!SettingKeys::menuBarItemShown(settings, false));
        // The Settings window's reading keeps the declared default whatever the store.
        SettingKeys::menuBarEnabled.remove(settings);
        QVERIFY(SettingKeys::menuBarEnabled.get(settings));
    }
};

DOVRANE_MODEL_SUITE(SettingKeysTests)
#include "SettingKeysTests.moc"
