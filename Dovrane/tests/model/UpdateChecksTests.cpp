// Update checks in the model against a loopback server: the guards, listing the apps for the
// check, results replacing the old ones, the order of available updates, the cache and the
// shared check setup.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "AppModel/UpdatesCache.h"
#include "UpdatesModel/UpdateCheckSetup.h"
#include "support/Await.h"
#include "support/ModelTestMain.h"
#include "support/UpdateHome.h"

#include <DovraneKit/formats/JsonReading.h>
#include <DovraneKit/system/FileSystem.h>

#include <nlohmann/json.hpp>

#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

UpdateInfo offer(const std::string& path, AppSource source = AppSource::sparkle) {
    UpdateInfo info;
    info.bundleID = "test.offer";
    info.appPath = Url::fromPath(path);
    info.currentVersion = "1.0";
    info.newVersion = "2.0";
    info.source = source;
    return info;
}

InstalledApp listed(const std::string& name, const std::string& path) {
    InstalledApp app;
    app.bundleID = "test." + name;
    app.name = name;
    app.version = "1.0";
    app.path = Url::fromPath(path);
    return app;
}

std::vector<std::string> names(const std::vector<AppModel::AvailableUpdate>& available) {
    std::vector<std::string> names;
    for (const auto& pair : available)
        names.push_back(pair.app.name + "@" + pair.app.id());
    return names;
}

} // namespace

class UpdateChecksTests : public QObject {
    Q_OBJECT

private slots:
    void aRunningCheckOrDemoDataStartNothing() {
        UpdateHome home;
        home.fedApp("Example", "1.0", "2.0");
        AppModel& model = home.fixture.makeModel(home.services());
        QFuture<void> check = model.checkUpdates();
        QVERIFY(model.isCheckingUpdates());
        QCOMPARE(model.updateProgress(), 0.0);
        ChangeLog log(model);
        QVERIFY(model.checkUpdates().isFinished());
        QVERIFY(log.fields.empty());
        await(check);
        QCOMPARE(home.server->count("/feeds/Example"), 1u);

        ModelSeeding(model).setIsDemo(true);
        log.clear();
        QVERIFY(model.checkUpdates().isFinished());
        QVERIFY(log.fields.empty());
        QCOMPARE(home.server->count("/feeds/Example"), 1u);
    }

    void withoutTheAppListTheCheckListsAndStoresTheApps() {
        UpdateHome home;
        home.fedApp("Example", "1.0", "2.0");
        makeBundle(home.appPath("Plain"), "test.Plain", "3.0");
        AppModel& model = home.fixture.makeModel(home.services());
        ModelSeeding(model).setInstallProblems({{home.appPath("Example"), QStringLiteral("an earlier failure")}});
        ModelSeeding(model).setUpdates(
            {{"/Applications/Gone.app", UpdateCheck::available(offer("/Applications/Gone.app"))}});

        await(model.checkUpdates());
        QCOMPARE(model.apps().size(), std::size_t(2));
        QCOMPARE(model.apps()[0].name, std::string("Example"));
        QVERIFY(!model.appsLoaded());
        QVERIFY(!model.isCheckingUpdates());
        QCOMPARE(model.updateProgress(), 1.0);
        QCOMPARE(model.updatesCheckedAt(), std::optional<Date>(home.fixture.clock->now()));
        QVERIFY(model.installProblems().empty());
        // Results replace the old ones whole: an app no longer installed has none.
        QCOMPARE(model.updates().size(), std::size_t(2));
        QCOMPARE(model.updates().at(home.appPath("Example")).update()->newVersion, std::string("2.0"));
        QCOMPARE(model.updates().at(home.appPath("Plain")).kind(), UpdateCheck::Kind::unsupported);

        // The check carries the application's user agent.
        const auto requests = home.server->requests();
        QCOMPARE(requests.size(), std::size_t(1));
        QCOMPARE(requests[0].header("User-Agent"), std::optional<std::string>(AppModel::userAgent()));

        // The cache holds the same, with the check's date, in its JSON form.
        const auto saved = UpdatesCache::load();
        QVERIFY(saved);
        QCOMPARE(saved->date, home.fixture.clock->now());
        QVERIFY(saved->results == model.updates());
        const auto json = nlohmann::json::parse(*Fs::readFile(UpdatesCache::url().path()));
        QVERIFY(json.at("results").at(home.appPath("Example")).at("available").contains("_0"));
        QVERIFY(json.at("results").at(home.appPath("Plain")).contains("unsupported"));

        // A new model starts from the cache.
        home.fixture.destroyModel();
        AppModel& restarted = home.fixture.makeModel(home.services());
        QVERIFY(restarted.updates() == saved->results);
        QCOMPARE(restarted.updatesCheckedAt(), std::optional<Date>(saved->date));
    }

    void noInstalledAppsGiveAnEmptyFinishedCheck() {
        UpdateHome home;
        AppModel& model = home.fixture.makeModel(home.services());
        ModelSeeding(model).setUpdates({{"/Applications/Gone.app", UpdateCheck::upToDate()}});
        ModelSeeding(model).setInstallProblems({{"/Applications/Gone.app", QStringLiteral("failed")}});
        home.fixture.clock->advance(30);
        await(model.checkUpdates());
        QVERIFY(model.updates().empty());
        QVERIFY(model.installProblems().empty());
        QCOMPARE(model.updatesCheckedAt(), std::optional<Date>(home.fixture.clock->now()));
        QVERIFY(home.server->requests().empty());
    }

    void aListingInProgressKeepsItsApps() {
        UpdateHome home;
        home.fedApp("Example", "1.0", "2.0");
        AppModel& model = home.fixture.makeModel(home.services());
        // A full listing runs: its measured sizes must not be replaced by the check's zeros.
        ModelSeeding(model).setIsLoadingApps(true);
        await(model.checkUpdates());
        QVERIFY(model.apps().empty());
        QCOMPARE(model.updates().at(home.appPath("Example")).kind(), UpdateCheck::Kind::available);

        // With the list loaded, the check takes it as it is and lists nothing itself.
        ModelSeeding(model).setIsLoadingApps(false);
        ModelSeeding(model).setAppsLoaded(true);
        ModelSeeding(model).setApps({listed("Other", home.appPath("Other"))});
        await(model.checkUpdates());
        QCOMPARE(model.apps().size(), std::size_t(1));
        QCOMPARE(model.updates().size(), std::size_t(1));
        QCOMPARE(model.updates().at(home.appPath("Other")).kind(), UpdateCheck::Kind::unsupported);
    }

    void availableUpdatesFollowTheAppsInFinderOrder() {
        ModelFixture fixture;
        AppModel& model = fixture.makeModel();
        ModelSeeding(model).setApps({listed("App 10", "/A/App 10.app"), listed("Twin", "/B/Twin.app"),
                                     listed("App 9", "/A/App 9.app"), listed("Current", "/A/Current.app"),
                                     listed("Twin", "/A/Twin.app")});
        std::map<std::string, UpdateCheck> updates;
        for (const char* path : {"/A/App 10.app", "/B/Twin.app", "/A/App 9.app", "/A/Twin.app", "/A/Gone.app"})
            updates.emplace(path, UpdateCheck::available(offer(path)));
        updates.emplace("/A/Current.app", UpdateCheck::upToDate());
        ModelSeeding(model).setUpdates(updates);
        // Numbers by value; equal names keep the list's order; an update without its app is left out.
        QCOMPARE(names(model.availableUpdates()),
                 (std::vector<std::string>{"App 9@/A/App 9.app", "App 10@/A/App 10.app", "Twin@/B/Twin.app",
                                           "Twin@/A/Twin.app"}));
        QCOMPARE(model.availableUpdates()[0].info, offer("/A/App 9.app"));
    }

    void theCacheIsReadStrictly() {
        ModelFixture fixture;
        QCOMPARE(UpdatesCache::url().path(), fixture.storePath() + ".updates.json");
        const std::string path = UpdatesCache::url().path();
        const UpdatesCache::Saved saved{Date{7.5e8},
                                        {{"/A/App.app", UpdateCheck::available(offer("/A/App.app"))},
                                         {"/A/Old.app", UpdateCheck::failed("The server did not answer.")}}};
        writeFile(path, saved.toJson().dump());
        QCOMPARE(UpdatesCache::load(), std::optional<UpdatesCache::Saved>(saved));
        {
            ScopedEnv seed("APP_SEED", "1");
            QVERIFY(!UpdatesCache::load());
        }

        const char* refused[] = {
            R"({"results": {}})",
            R"({"date": "yesterday", "results": {}})",
            R"({"date": 1e400, "results": {}})",
            R"({"date": 7.5e8})",
            R"({"date": 7.5e8, "results": {"/A/App.app": {"upToDate": {}}, "/A/B.app": {"newer": {}}}})",
            R"({"date": 7.5e8, "results": {"/A/App.app": {"failed": {"_0": 3}}}})",
            R"([1, 2])",
            "not json",
        };
        // Nested deeper than any record: refused before it is copied.
        const std::string deep =
            R"({"date": 1, "results": {}, "x": )" + std::string(200, '[') + std::string(200, ']') + "}";
        std::vector<std::string> texts(std::begin(refused), std::end(refused));
        texts.push_back(deep);
        for (const std::string& text : texts) {
            writeFile(path, text);
            QVERIFY2(!UpdatesCache::load(), text.c_str());
            AppModel& model = fixture.makeModel();
            QVERIFY(model.updates().empty());
            QVERIFY(!model.updatesCheckedAt());
        }
    }

    void aCacheLargerThanARealOneIsDamaged() {
        ModelFixture fixture;
        const std::string path = UpdatesCache::url().path();
        const UpdatesCache::Saved saved{Date{7.5e8}, {{"/A/App.app", UpdateCheck::upToDate()}}};
        const std::string text = saved.toJson().dump();
        // Valid JSON to the last byte, only its size is wrong.
        writeFile(path, text + std::string(UpdatesCache::maximumFileSize - text.size(), ' '));
        QCOMPARE(UpdatesCache::load(), std::optional<UpdatesCache::Saved>(saved));
        writeFile(path, text + std::string(UpdatesCache::maximumFileSize - text.size() + 1, ' '));
        QVERIFY(!UpdatesCache::load());
        QVERIFY(fixture.makeModel().updates().empty());
    }

    void theOnePassReaderDecodesAsTheDocumentDoes() {
        const UpdateCheck full = UpdateCheck::available([] {
            UpdateInfo info = offer("/A/App.app");
            info.newBuild = "200";
            info.releaseNotes = "Faster \u00e9";
            info.releaseNotesURL = Url::fromPath("/notes");
            info.downloadURL = Url::fromPath("/App.AppImage");
            info.length = 42;
            info.edSignature = "c2ln";
            info.storeURL = Url::fromPath("/store");
            info.caskToken = "app";
            info.checkedAt = Date{7e8};
            return info;
        }());
        const UpdatesCache::Saved written{Date{7.5e8},
                                          {{"/A/App.app", full},
                                           {"/A/Same.app", UpdateCheck::upToDate()},
                                           {"/A/Old.app", UpdateCheck::failed("The server did not answer.")},
                                           {"/A/Odd.app", UpdateCheck::unsupported("No feed.")}}};
        for (const std::string& text : {written.toJson().dump(), written.toJson().dump(2)}) {
            const auto read = UpdatesCache::Saved::fromJsonText(text);
            QVERIFY(read && *read == written);
        }

        const char* texts[] = {
            // What no decoder reads is passed over, arrays and objects alike, at every level.
            R"({"x": [[1], {"a": [0, 0]}], "date": 1, "results": {"/A": {"upToDate": {"_0": [1]}, "y": {"z": 0}}}})",
            R"({"date": 1, "results": {"/A": {"failed": {"_0": "No.", "more": [{"a": 1}]}}}, "date": 2})",
            R"({"date": 1, "results": {"/A": {"available": {"_0": {"bundleID": "b", "appPath": "file:///A",
                "currentVersion": "1", "newVersion": "2", "source": "sparkle", "checkedAt": 3, "extra": {"q": [1]},
                "newBuild": null}}}}})",
            // A later key replaces the earlier value.
            R"({"date": "no", "results": 5, "date": 1, "results": {"/A": {"upToDate": {}}, "/A": {"failed": {"_0": "x"}}}})",
            R"({"date": 1, "results": {"/A": {"upToDate": {}}}, "results": {}})",
            // Refused: the containers a field cannot be, whatever they hold.
            R"({"date": 1, "results": {"/A": {"failed": {"_0": ["x"]}}}})",
            R"({"date": 1, "results": {"/A": {"failed": {"_0": {"bundleID": "x"}}}}})",
            R"({"date": 1, "results": {"/A": {"available": {"_0": {"bundleID": {"b": 1}, "appPath": "file:///A",
                "currentVersion": "1", "newVersion": "2", "source": "sparkle", "checkedAt": 3}}}}})",
            R"({"date": 1, "results": {"/A": {"upToDate": []}}})",
            R"({"date": 1, "results": {"/A": {"upToDate": {}, "failed": {"_0": "x"}}}})",
            R"({"date": [1], "results": {}})",
            R"({"date": 1, "results": [{}]})",
            R"({"date": 1, "results": {"/A": []}})",
            R"({"date": 1, "results": {"/A": 0}})",
            R"([{"date": 1, "results": {}}])",
            R"({"date": 1, "results": {}} x)",
            "\xEF\xBB\xBF{\"date\": 1, \"results\": {}}",
        };
        std::vector<std::string> cases(std::begin(texts), std::end(texts));
        cases.push_back(R"({"date": 1, "results": {}, "x": )" + std::string(63, '[') + std::string(63, ']') + "}");
        cases.push_back(R"({"date": 1, "results": {}, "x": )" + std::string(64, '[') + std::string(64, ']') + "}");
        for (const std::string& text : cases) {
            const auto document = Json::read(text);
            const auto streamed = UpdatesCache::Saved::fromJsonText(text);
            const auto expected = document ? std::optional(UpdatesCache::Saved::fromJson(*document)) : std::nullopt;
            QVERIFY2(bool(streamed) == (expected && bool(*expected)), text.c_str());
            if (streamed)
                QVERIFY2(*streamed == **expected, text.c_str());
        }
        QVERIFY(UpdatesCache::Saved::fromJsonText(texts[3]));
        QVERIFY(!UpdatesCache::Saved::fromJsonText(texts[6]));
    }

    void theUserAgentNamesTheShortVersion() {
        QCOMPARE(UpdateCheckSetup::userAgent(QStringLiteral("2.5")), std::string("Dovrane/2.5"));
        QCOMPARE(UpdateCheckSetup::userAgent(std::nullopt), std::string("Dovrane/1.0"));
    }

    void theServicesFollowTheEnvironment() {
        {
            ScopedEnv casks("APP_CASK_INDEX_URL", "http://127.0.0.1:9/api/cask.json");
            ScopedEnv store("APP_STORE_LOOKUP_URL", "ftp://store.example.test");
            QCOMPARE(UpdateCheckSetup::caskIndexURL().text(), std::string("http://127.0.0.1:9/api/cask.json"));
            QCOMPARE(UpdateCheckSetup::storeLookupService(), StoreLookup::defaultService());
        }
        ScopedEnv casks("APP_CASK_INDEX_URL", std::nullopt);
        QCOMPARE(UpdateCheckSetup::caskIndexURL(), UpdateChecker::defaultCaskIndexURL());
    }
};

DOVRANE_MODEL_SUITE(UpdateChecksTests)
#include "UpdateChecksTests.moc"
