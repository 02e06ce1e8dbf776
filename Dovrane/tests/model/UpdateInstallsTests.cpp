// Installing updates through the model: the routes of installAll, one signed update end to end
// over loopback, refusals, an app that will not quit, Homebrew, a copy that fails, and a check
// that ends after an install.

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "AppModel/UpdatesCache.h"
#include "UpdatesModel/InstallSetup.h"
#include "support/Await.h"
#include "support/ModelTestMain.h"
#include "support/UpdateHome.h"

#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/FreedesktopTrash.h>
#include <DovraneKit/trash/Trasher.h>
#include <DovraneKit/updates/UpdateVerdict.h>

#include <QTest>

#include <unistd.h>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

UpdateInfo offer(const InstalledApp& app, AppSource source, std::optional<std::string> token = std::nullopt) {
    UpdateInfo info;
    info.bundleID = app.bundleID;
    info.appPath = app.path;
    info.currentVersion = app.version;
    info.newVersion = "2.0";
    info.source = source;
    info.caskToken = std::move(token);
    if (source == AppSource::appStore)
        info.storeURL = Url::parse("macappstore://apps.example.test/app/id" + app.name);
    return info;
}

InstalledApp storeApp(const std::string& name) {
    InstalledApp app;
    app.bundleID = "test." + name;
    app.name = name;
    app.version = "1.0";
    app.path = Url::fromPath("/Applications/" + name + ".app");
    app.source = AppSource::appStore;
    return app;
}

QString explained(UpdateRefusal refusal) { return QString::fromStdString(explanation(refusal)); }

// Runs the tools for real, but the copy of the new version stops half-way and fails.
class HalfCopy final : public CommandRunner {
public:
    explicit HalfCopy(std::string ditto) : ditto_(std::move(ditto)) {}
    std::optional<std::string> run(const std::string& tool, const std::vector<std::string>& args,
                                   std::stop_token stop = {}) const override {
        if (tool == ditto_ && args.size() == 2) {
            writeFile(args[1] + "/Contents/Info.plist", "half a copy");
            return std::nullopt;
        }
        return real_.run(tool, args, stop);
    }

private:
    std::string ditto_;
    ProcessRunner real_{300};
};

} // namespace

class UpdateInstallsTests : public QObject {
    Q_OBJECT

private slots:
    void installAllOpensTheStorePageOnceAndInstallsTheOthers() {
        UpdateHome home;
        home.caskApp("Editor", "editor", "1.0");
        home.brewInstalls("Editor", "editor", "2.0");
        AppModel& model = home.fixture.makeModel(home.services());
        const InstalledApp editor = home.app("Editor");
        const InstalledApp mail = storeApp("Mail Helper"), notes = storeApp("Notes");
        ModelSeeding(model).setApps({mail, editor, notes});
        const std::map<std::string, UpdateCheck> offered = {
            {mail.id(), UpdateCheck::available(offer(mail, AppSource::appStore))},
            {notes.id(), UpdateCheck::available(offer(notes, AppSource::appStore))},
            {editor.id(), UpdateCheck::available(offer(editor, AppSource::homebrew, "editor"))}};
        ModelSeeding(model).setUpdates(offered);

        await(model.installAll());
        QCOMPARE(home.fixture.workspace->opened, (std::vector<Url>{*Url::parse("macappstore://showUpdatesPage")}));
        QCOMPARE(home.brewCalls(), std::string("upgrade --cask --greedy editor\n"));
        QCOMPARE(model.updates().at(editor.id()), UpdateCheck::upToDate());
        QCOMPARE(model.updates().at(mail.id()), offered.at(mail.id()));
        QVERIFY(model.installing().empty());

        // Demo data: no page, no tool, each app only marked up to date.
        ModelSeeding(model).setIsDemo(true);
        ModelSeeding(model).setUpdates(offered);
        await(model.installAll());
        QCOMPARE(home.fixture.workspace->opened.size(), std::size_t(1));
        QCOMPARE(home.brewCalls(), std::string("upgrade --cask --greedy editor\n"));
        QCOMPARE(model.updates().at(editor.id()), UpdateCheck::upToDate());
        QCOMPARE(model.updates().at(notes.id()), offered.at(notes.id()));

        // A single store app opens its own page and stays as it was.
        ModelSeeding(model).setIsDemo(false);
        await(model.install(notes));
        QCOMPARE(home.fixture.workspace->opened.back(), *offer(notes, AppSource::appStore).storeURL);
        QCOMPARE(model.updates().at(notes.id()), offered.at(notes.id()));
    }

    void aSignedUpdateInstallsEndToEnd() {
        UpdateHome home;
        home.fedApp("Example", "1.0", "2.0");
        AppModel& model = home.fixture.makeModel(home.services());
        await(model.checkUpdates());
        const Date checkedAt = *model.updatesCheckedAt();
        QCOMPARE(model.availableUpdates().size(), std::size_t(1));
        const InstalledApp app = model.apps().at(0);
        ModelSeeding(model).setInstallProblems({{app.id(), QStringLiteral("an earlier try")}});

        home.fixture.clock->advance(120);
        QFuture<void> install = model.install(app);
        QVERIFY(model.installing().count(app.id()));
        QVERIFY(model.install(app).isFinished()); // the same app twice: the second does nothing
        QVERIFY(!model.installProblems().count(app.id()));
        await(install);

        QVERIFY(model.installing().empty());
        QCOMPARE(model.installProblems(), (std::map<std::string, QString>{}));
        QCOMPARE(versionAt(home.appPath("Example")), std::string("2.0"));
        QCOMPARE(model.apps().at(0).version, std::string("2.0"));
        QCOMPARE(model.updates().at(app.id()), UpdateCheck::upToDate());
        QVERIFY(home.fixture.workspace->openedApplications.empty()); // it was not running

        // The old version is in the journal, in the Trash, and can be put back from there.
        const auto removals = home.fixture.container().removals().value();
        QCOMPARE(removals.size(), std::size_t(1));
        QCOMPARE(removals[0]->title(), QStringLiteral("Example 1.0, replaced by 2.0"));
        QCOMPARE(removals[0]->date(), home.fixture.clock->now());
        QCOMPARE(removals[0]->items().size(), std::size_t(1));
        const RemovedItem previous = removals[0]->items()[0];
        QCOMPARE(previous.originalPath.path(), home.appPath("Example"));
        QVERIFY(Trasher::isInTrash(previous));
        QCOMPARE(versionAt(previous.trashPath.path()), std::string("1.0"));

        // The cache keeps the check's date and now holds the app as up to date.
        const auto saved = UpdatesCache::load();
        QVERIFY(saved);
        QCOMPARE(saved->date, checkedAt);
        QCOMPARE(saved->results.at(app.id()), UpdateCheck::upToDate());

        // Nothing more to install.
        await(model.install(app));
        QCOMPARE(home.server->count("/downloads/Example.zip"), std::size_t(1));
    }

    void aRefusalKeepsTheOldAppAndOpensAQuitAppAgain() {
        UpdateHome home;
        home.fedApp("Example", "1.0", "2.0", true);
        AppModel& model = home.fixture.makeModel(home.services());
        await(model.checkUpdates());
        const InstalledApp app = model.apps().at(0);
        const RunningApplication running{4242, 99, app.path, app.bundleID};
        home.fixture.workspace->running = {running};

        await(model.install(app));
        QCOMPARE(model.installProblems().at(app.id()), explained(UpdateRefusal::signatureInvalid));
        QCOMPARE(home.fixture.workspace->terminated, std::vector<RunningApplication>{running});
        QCOMPARE(home.fixture.workspace->openedApplications, std::vector<Url>{app.path});
        QCOMPARE(versionAt(home.appPath("Example")), std::string("1.0"));
        QCOMPARE(model.updates().at(app.id()).kind(), UpdateCheck::Kind::available);
        QVERIFY(home.fixture.container().removals().value().empty());
        QVERIFY(model.installing().empty());
    }

    void anAppThatDoesNotQuitIsLeftAlone() {
        UpdateHome home;
        home.fedApp("Example", "1.0", "2.0");
        AppModel& model = home.fixture.makeModel(home.services());
        await(model.checkUpdates());
        const InstalledApp app = model.apps().at(0);
        home.fixture.workspace->running = {{4242, 99, app.path, app.bundleID}};
        home.fixture.workspace->ignoresQuit = true;
        home.fixture.clock->delays.clear();

        await(model.install(app));
        QCOMPARE(model.installProblems().at(app.id()),
                 QStringLiteral("Example is still open. Quit it, then try again."));
        QCOMPARE(home.fixture.clock->delays.size(), std::size_t(20)); // twenty looks, then it gives up
        QCOMPARE(home.server->count("/downloads/Example.zip"), std::size_t(0));
        QVERIFY(home.fixture.workspace->openedApplications.empty());
        QVERIFY(model.installing().empty());
    }

    void homebrewUpdatesKeepTheirRouteOrSayWhyNot() {
        UpdateHome home;
        home.caskApp("Editor", "editor", "1.0");
        home.serveCaskIndex("editor", "Editor", "2.0");
        home.brewFails();
        AppModel& model = home.fixture.makeModel(home.services());
        await(model.checkUpdates());
        const InstalledApp editor = model.apps().at(0);
        QCOMPARE(model.updates().at(editor.id()).update()->caskToken, std::optional<std::string>("editor"));

        await(model.install(editor));
        QCOMPARE(model.installProblems().at(editor.id()),
                 QStringLiteral(
                     "Homebrew did not finish the update. Run “brew upgrade --cask editor” in Terminal to see why."));
        QCOMPARE(model.updates().at(editor.id()).kind(), UpdateCheck::Kind::available);

        home.brewInstalls("Editor", "editor", "2.0");
        await(model.install(editor));
        QVERIFY(model.installProblems().empty());
        QCOMPARE(model.updates().at(editor.id()), UpdateCheck::upToDate());
        // Read again with the cask map: still a Homebrew app with its token, checked that way next time.
        QCOMPARE(model.apps().at(0).version, std::string("2.0"));
        QCOMPARE(model.apps().at(0).source, AppSource::homebrew);
        QCOMPARE(model.apps().at(0).caskToken, std::optional<std::string>("editor"));
        QCOMPARE(home.brewCalls(), std::string("upgrade --cask --greedy editor\nupgrade --cask --greedy editor\n"));

        // An update that names no cask cannot go through Homebrew, and says so.
        ModelSeeding(model).setUpdates({{editor.id(), UpdateCheck::available(offer(editor, AppSource::homebrew))}});
        await(model.install(editor));
        QCOMPARE(model.installProblems().at(editor.id()),
                 QStringLiteral("Dovrane does not know this app's Homebrew cask, so it cannot update it."));
        QCOMPARE(home.brewCalls().size(), std::string("upgrade --cask --greedy editor\n").size() * 2);
        QVERIFY(model.installing().empty());
    }

    void aCopyThatFailsLeavesTheOldVersionInPlaceAndNothingInTheJournal() {
        UpdateHome home;
        home.fedApp("Example", "1.0", "2.0");
        Services services = home.services();
        auto halfCopy = std::make_shared<HalfCopy>(services.tools.ditto);
        services.makeRunner = [halfCopy](double) -> std::shared_ptr<const CommandRunner> { return halfCopy; };
        AppModel& model = home.fixture.makeModel(services);
        await(model.checkUpdates());
        const InstalledApp app = model.apps().at(0);

        await(model.install(app));
        QCOMPARE(model.installProblems().at(app.id()), explained(UpdateRefusal::replaceFailed));
        QCOMPARE(versionAt(home.appPath("Example")), std::string("1.0"));
        QCOMPARE(Fs::list(home.apps()), std::vector<std::string>{"Example.app"});
        QVERIFY(home.fixture.container().removals().value().empty());
        QVERIFY(Fs::list(FreedesktopTrash::homeTrashFiles(home.fixture.home())).empty());
        QCOMPARE(model.updates().at(app.id()).kind(), UpdateCheck::Kind::available);
    }

    void aCheckEndingAfterAnInstallKeepsTheAppUpToDate() {
        UpdateHome home;
        home.caskApp("Editor", "editor", "1.0");
        home.brewInstalls("Editor", "editor", "2.0");
        AppModel& model = home.fixture.makeModel(home.services());
        const InstalledApp editor = home.app("Editor");
        ModelSeeding(model).setApps({editor});
        ModelSeeding(model).setAppsLoaded(true);
        ModelSeeding(model).setUpdates(
            {{editor.id(), UpdateCheck::available(offer(editor, AppSource::homebrew, "editor"))}});
        // The check waits for the cask index until the server goes.
        home.server->route("/api/cask.json", ScriptedResponse(200, "[]").delayed(std::chrono::hours(1)));
        QFuture<void> check = model.checkUpdates();

        await(model.install(editor));
        QCOMPARE(model.updates().at(editor.id()), UpdateCheck::upToDate());
        home.server.reset();
        await(check);
        QCOMPARE(model.updates().at(editor.id()), UpdateCheck::upToDate());
    }

    void theWorkFolderIsTheUsersOwn() {
        {
            ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/4242");
            QCOMPARE(InstallSetup::workFolder().path(), std::string("/run/user/4242/dovrane-updates"));
        }
        TempDir temporary;
        ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
        ScopedEnv tmp("TMPDIR", temporary.path());
        QCOMPARE(InstallSetup::workFolder().path(), temporary / ("dovrane-updates-" + std::to_string(getuid())));
    }
};

DOVRANE_MODEL_SUITE(UpdateInstallsTests)
#include "UpdateInstallsTests.moc"
