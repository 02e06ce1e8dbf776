// Dovrane's entry. "--help", "--version" and an unknown option are answered before anything
// else. A start while a normal instance runs hands its apps to that instance and ends. A
// developer mode without a usable test store is refused before anything is printed or opened.
// The scan trace needs nothing of Qt: it starts walking here, while the application starts
// around it (on the offscreen platform for a headless self-test): the UI kit, the German texts
// when the language is German, the database, the model and the main window, whose launch steps
// run once it shows and end with the developer modes (the traces, the self-test and the
// screenshot run). A store that cannot be opened, or a settings or caches folder that cannot be
// used, ends a developer run; the window opens anyway and says what is wrong. A window with no
// display to open on ends with one line saying so.

#include "App/AppIdentity.h"
#include "App/DovraneApp.h"
#include "App/SingleInstance.h"
#include "App/StartupProblem.h"
#include "CommandLine.h"
#include "CommandPalette/CommandPalette.h"
#include "ContentView/ContentView.h"
#include "ContentView/SheetHost.h"
#include "GuiClipboard.h"
#include "Launch/SeedEntry.h"
#include "MenuBarView/MenuBarView.h"
#include "SelfTest/SelfTest.h"
#include "SelfTest/Traces.h"
#include "Services/Services.h"
#include "Services/Translations.h"
#include "SettingsView/SettingsView.h"
#include "Snapshot/Snapshot.h"
#include "Store/Store.h"
#include "Theme/Theme.h"
#include "UiKit/Setup.h"

#include <QApplication>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// A developer run's database: it is never set aside or stood in for; a store that cannot be
// opened ends the run (`problem` then says why).
std::unique_ptr<dovrane::ModelContainer> openForDeveloperRun(std::string& problem) {
    auto opened = dovrane::Store::openContainer();
    if (opened)
        return std::move(opened).value();
    problem = opened.error().message;
    std::fprintf(stderr, "Could not open the database at %s: %s\n", dovrane::Store::url(false).path().c_str(),
                 problem.c_str());
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    if (const auto answered = dovrane::CommandLine::answer(arguments))
        return *answered;
    const std::vector<dovrane::Url> opened = dovrane::SingleInstance::urlsFromArguments(arguments);
    if (!dovrane::SingleInstance::isExcluded(arguments) && dovrane::SingleInstance::handOff(opened))
        return 0;

    // A developer mode without a usable test store is refused before any database is opened.
    const auto selfTestRefusal = dovrane::SelfTest::refusal(arguments);
    const auto snapshotRefusal = dovrane::Snapshot::refusal();
    if (selfTestRefusal || snapshotRefusal) {
        for (const auto& line : {dovrane::SeedData::refusal(), selfTestRefusal, snapshotRefusal})
            if (line)
                std::printf("%s\n", line->c_str());
        // The self-test's last line is always its exit status.
        if (selfTestRefusal)
            std::printf("EXIT 1\n");
        return 1;
    }

    dovrane::SelfTest::traceIfRequested(arguments);
    dovrane::SelfTest::preferHeadless(arguments);
    if (const auto refused = dovrane::CommandLine::refuseWithoutDisplay())
        return dovrane::SelfTest::endFailedStart(*refused);
    std::optional<dovrane::CommandLine::DisplayGuard> guard(std::in_place);
    QApplication application(argc, argv);
    guard.reset();
    dovrane::SelfTest::endOnMainThread();
    dovrane::AppIdentity::install();
    dovrane::UiKit::install();
    dovrane::Translations::install();
    std::unique_ptr<dovrane::ModelContainer> container;
    QString startProblems;
    if (dovrane::CommandLine::isDeveloperRun(arguments)) {
        std::string storeProblem;
        container = openForDeveloperRun(storeProblem);
        if (!container)
            return dovrane::SelfTest::endFailedStart(
                dovrane::SelfTest::refuseUnopenedStore(arguments, dovrane::Store::url(false).path(), storeProblem));
        if (dovrane::StartupProblem::reportUnusableFolder())
            return dovrane::SelfTest::endFailedStart(1);
        dovrane::SelfTest::startWentOn();
    } else {
        auto started = dovrane::StartupProblem::openForWindow();
        if (!started.container)
            return 1;
        container = std::move(started.container);
        startProblems = started.problems;
    }
    dovrane::Services services = dovrane::Services::system();
    services.clipboard = std::make_shared<dovrane::GuiClipboard>();

    dovrane::DovraneApp app(arguments, *container, std::move(services),
                            {[](dovrane::AppModel& model) { dovrane::SelfTest::runIfRequested(model); },
                             [](dovrane::AppModel& model, const std::function<void()>& openSettings) {
                                 dovrane::Snapshot::runIfRequested(model, openSettings);
                             }});
    // The palette, the Settings window and the menu bar item, hosted by the application; they
    // go before it, since they observe its model.
    dovrane::SheetHost::setPaletteMaker([&app](dovrane::AppModel& model, QWidget* window) -> QDialog* {
        return new dovrane::CommandPalette(
            model, [&app] { app.openSettings(); }, window);
    });
    dovrane::SettingsView settings(app.model(), dovrane::ThemeStore::shared());
    dovrane::themed(&settings);
    app.setSettingsOpener([&settings, &app] { settings.bringForward(&app.window()); });
    dovrane::MenuBarItem menuBarItem(app.model(), {[&app] { app.showMainWindow(); }, [&app] { app.quit(); }});
    app.setMenuBarItemShown([&menuBarItem] { return menuBarItem.isShown(); });
    app.tellAtLaunch(startProblems);
    app.listenForOtherStarts();
    app.openAfterLaunch(opened);
    app.showMainWindow();
    return application.exec();
}
