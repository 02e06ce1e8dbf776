// The settings file: typed round trips, other types read as absent, damage kept aside.

#include "Services/JsonSettings.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/system/FileSystem.h>

#include <nlohmann/json.hpp>

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace dovrane;
using namespace dovrane::testing;

namespace {
nlohmann::json fileContents(const std::string& path) {
    auto text = Fs::readFile(path);
    return text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
}
} // namespace

class SettingsTests : public QObject {
    Q_OBJECT

private slots:
    void fileLivesInTheConfigHome() {
        TempHome home;
        QCOMPARE(JsonSettings::defaultFile(), home / ".config/Dovrane/Dovrane.json");
        ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
        QCOMPARE(JsonSettings::defaultFile(), home / ".config/Dovrane/Dovrane.json");
        ScopedEnv chosen("XDG_CONFIG_HOME", home / "elsewhere");
        QCOMPARE(JsonSettings::defaultFile(), home / "elsewhere/Dovrane/Dovrane.json");
    }

    void eachTypeReadsBackAsItself() {
        TempHome home;
        JsonSettings settings;
        QVERIFY(!settings.integer("scan.installerAge")); // no file yet
        QVERIFY(!Fs::exists(settings.file()));

        settings.setInteger("scan.installerAge", 9'007'199'254'740'993); // beyond a double's precision
        settings.setBoolean("report.weekly", false);
        settings.setText("settings.tab", QStringLiteral("scan"));
        settings.setTexts("scan.excluded", {QStringLiteral("/home/ä"), QStringLiteral("/tmp/x")});
        settings.setTexts("scan.projects", {});
        settings.setDate("notify.weekly.last", Date{736'000'000.25});

        JsonSettings reread;
        QCOMPARE(reread.integer("scan.installerAge"), std::optional<qint64>(9'007'199'254'740'993));
        QCOMPARE(reread.boolean("report.weekly"), std::optional<bool>(false));
        QCOMPARE(reread.text("settings.tab"), std::optional<QString>(QStringLiteral("scan")));
        QCOMPARE(reread.texts("scan.excluded"),
                 std::optional<QStringList>({QStringLiteral("/home/ä"), QStringLiteral("/tmp/x")}));
        QCOMPARE(reread.texts("scan.projects"), std::optional<QStringList>(QStringList()));
        QCOMPARE(reread.date("notify.weekly.last"), std::optional<Date>(Date{736'000'000.25}));

        const auto json = fileContents(settings.file());
        QVERIFY(json["notify.weekly.last"] == nlohmann::json({{"date", 736'000'000.25}}));
        QVERIFY(json["scan.installerAge"].is_number_integer());

        reread.remove("settings.tab");
        QVERIFY(!settings.text("settings.tab"));
        QCOMPARE(settings.boolean("report.weekly"), std::optional<bool>(false));
    }

    void otherTypesReadAsAbsentAndSurviveARewrite() {
        TempHome home;
        const std::string path = JsonSettings::defaultFile();
        writeFile(path, R"({"scan.installerAge": "14", "scan.projectAge": 1.5, "report.weekly": 1,
                          "scan.excluded": "/home/one", "scan.projects": ["/a", 2],
                          "notify.updates.last": {"date": "yesterday"}, "window": {"x": 1, "y": [true, null]}})");
        JsonSettings settings;
        QVERIFY(!settings.integer("scan.installerAge"));
        QVERIFY(!settings.text("scan.projectAge"));
        QVERIFY(!settings.integer("scan.projectAge"));
        QVERIFY(!settings.boolean("report.weekly"));
        QVERIFY(!settings.texts("scan.excluded"));
        QVERIFY(!settings.texts("scan.projects"));
        QVERIFY(!settings.date("notify.updates.last"));
        QVERIFY(!settings.text("window"));

        settings.setText("settings.tab", QStringLiteral("general"));
        const auto json = fileContents(path);
        QVERIFY(json["window"] == nlohmann::json::parse(R"({"x": 1, "y": [true, null]})"));
        QVERIFY(json["scan.projectAge"] == 1.5);
        QVERIFY(json["scan.projects"] == nlohmann::json::parse(R"(["/a", 2])"));
        QVERIFY(json["notify.updates.last"] == nlohmann::json::parse(R"({"date": "yesterday"})"));
        QVERIFY(json["settings.tab"] == "general");
        QVERIFY(!Fs::exists(path + ".damaged"));
    }

    void everyShapeReadsAsTheDocumentHoldsIt() {
        TempHome home;
        const std::string path = JsonSettings::defaultFile();
        const std::string deep = std::string(62, '[') + std::string(62, ']');
        writeFile(path, R"({"a": ["x", "y"], "b": ["x", ["y"], "z"], "c": ["x", {"d": "e"}], "d": [],
                          "e": {"date": 1, "date": 2.5}, "f": {"date": 1, "date": "x"}, "g": {"date": 1, "x": 2},
                          "h": {}, "i": {"date": {"date": 1}}, "j": null, "k": 18446744073709551615,
                          "a": ["w"], "l": )" +
                            deep + R"(, "m": "\u00e4\n"})");
        JsonSettings settings;
        QCOMPARE(settings.texts("a"), std::optional<QStringList>(QStringList{"w"})); // the later key holds
        QVERIFY(!settings.texts("b"));
        QVERIFY(!settings.texts("c"));
        QCOMPARE(settings.texts("d"), std::optional<QStringList>(QStringList()));
        QCOMPARE(settings.date("e"), std::optional<Date>(Date{2.5}));
        for (const char* key : {"f", "g", "h", "i", "j", "k", "l"}) {
            QVERIFY2(!settings.date(key) && !settings.texts(key) && !settings.text(key) && !settings.integer(key), key);
        }
        QCOMPARE(settings.text("m"), std::optional<QString>(QString::fromUtf8("\u00e4\n")));

        // What the typed reads do not take is written back as it was.
        settings.setBoolean("n", true);
        const auto json = fileContents(path);
        QVERIFY(json["b"] == nlohmann::json::parse(R"(["x", ["y"], "z"])"));
        QVERIFY(json["c"] == nlohmann::json::parse(R"(["x", {"d": "e"}])"));
        QVERIFY(json["f"] == nlohmann::json::parse(R"({"date": "x"})"));
        QVERIFY(json["i"] == nlohmann::json::parse(R"({"date": {"date": 1}})"));
        QVERIFY(json["j"].is_null() && json["k"] == 18446744073709551615ull);
        QVERIFY(json["l"] == nlohmann::json::parse(deep));

        // Nested one level deeper than any reader takes: damaged.
        writeFile(path, R"({"l": )" + std::string(64, '[') + std::string(64, ']') + "}");
        QVERIFY(!JsonSettings().texts("l"));
        QVERIFY(JsonSettings().setAsideDamaged());
    }

    void aDamagedFileIsKeptAsideBeforeTheFirstWrite() {
        TempHome home;
        const std::string path = JsonSettings::defaultFile();
        writeFile(path, "{\"settings.tab\": \"scan\",");
        JsonSettings settings;
        QVERIFY(!settings.text("settings.tab")); // reads as empty
        QVERIFY(Fs::exists(path));               // reading moves nothing
        QVERIFY(!Fs::exists(path + ".damaged"));

        settings.setBoolean("onboarding.done", true);
        QCOMPARE(Fs::readFile(path + ".damaged"), std::optional<std::string>("{\"settings.tab\": \"scan\","));
        QCOMPARE(settings.boolean("onboarding.done"), std::optional<bool>(true));
        QVERIFY(!settings.text("settings.tab"));

        // A second damage keeps the first copy and numbers the next.
        writeFile(path, "[not an object]");
        JsonSettings again;
        again.setBoolean("onboarding.done", false);
        QCOMPARE(Fs::readFile(path + ".damaged"), std::optional<std::string>("{\"settings.tab\": \"scan\","));
        QCOMPARE(Fs::readFile(path + ".damaged-2"), std::optional<std::string>("[not an object]"));
        QCOMPARE(again.boolean("onboarding.done"), std::optional<bool>(false));
    }

    // A named pipe or a device in the file's place is never opened in a way that waits: it
    // reads as empty, and the first write keeps it aside like a damaged file.
    void anythingButARegularFileReadsAsEmpty() {
        TempHome home;
        const std::string path = JsonSettings::defaultFile();
        QVERIFY(Fs::makeDirectories(Path::parent(path)));
        QCOMPARE(mkfifo(path.c_str(), 0600), 0);
        JsonSettings settings;
        QVERIFY(!settings.text("settings.tab"));
        QVERIFY(!settings.boolean("onboarding.done"));
        settings.setText("settings.tab", "scan");
        QCOMPARE(settings.text("settings.tab"), std::optional<QString>("scan"));
        struct stat aside;
        QCOMPARE(lstat((path + ".damaged").c_str(), &aside), 0);
        QVERIFY(S_ISFIFO(aside.st_mode));

        QVERIFY(Fs::removeAll(path));
        QCOMPARE(symlink("/dev/zero", path.c_str()), 0);
        QVERIFY(!JsonSettings().text("settings.tab"));
    }

    void aFileLargerThanARealOneIsDamaged() {
        TempHome home;
        const std::string path = JsonSettings::defaultFile();
        const std::string text = R"({"settings.tab": "scan"})";
        const std::string padding(JsonSettings::maximumFileSize - text.size(), ' ');
        writeFile(path, text + padding);
        QCOMPARE(JsonSettings().text("settings.tab"), std::optional<QString>("scan"));

        // One byte more: valid JSON still, but no real file is that large.
        writeFile(path, text + padding + " ");
        JsonSettings settings;
        QVERIFY(!settings.text("settings.tab"));
        QCOMPARE(settings.setAsideDamaged(), std::optional<std::string>(path + ".damaged"));
        QVERIFY(!Fs::exists(path));
    }
};

DOVRANE_MODEL_SUITE(SettingsTests)
#include "SettingsTests.moc"
