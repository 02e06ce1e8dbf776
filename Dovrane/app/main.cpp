// Dovrane's entry. "--help", "--version" and an unknown option are answered before anything
// else. A start while a normal instance runs hands its apps to that instance and ends. A
// developer mode without a usable test store is refused before anything is printed or opened.
// The scan trace needs nothing of Qt: it starts walking here, while the application starts
// around it (on the offscreen platform for a headless self-test): the UI kit, the German texts
// when the language is German, the database (a store that cannot be opened, or a settings or
// caches folder that cannot be used, ends the process), the model and the main window, whose
// launch steps run once it shows and end with the developer modes (the traces, the self-test and
// the screenshot run). A window with no display to open on ends with one line saying so.

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

// The database, or nothing when it cannot be opened and the user (or the lack of a display)
// leaves no way on. A damaged store is moved aside only by the user's choice, and the new one
// starts with the journal records it could still give.
// `problem` then holds why the last try failed.
std::unique_ptr<dovrane::ModelContainer> openStore(std::string& problem) {
    for (;;) {
        auto opened = dovrane::Store::openContainer();
        if (opened)
            return std::move(opened).value();
        const std::string path = dovrane::Store::url(false).path();
        problem = opened.error().message;
        std::fprintf(stderr, "Could not open the database at %s: %s\n", path.c_str(), opened.error().message.c_str());
        if (!dovrane::StartupProblem::canShowWindows())
            return nullptr;
        const auto shown = dovrane::StartupProblem::storeBox(path, opened.error());
        shown.box->exec();
        if (!shown.freshButton || shown.box->clickedButton() != shown.freshButton)
            return nullptr;
        const auto started = dovrane::Store::startFresh(path);
        if (!started) {
            std::fprintf(stderr, "Could not move the damaged database at %s aside\n", path.c_str());
            return nullptr;
        }
        std::fprintf(stderr, "The damaged database is kept at %s; %zu journal records were carried over\n",
                     started->aside.c_str(), started->keptRemovals);
    }
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
        return *refused;
    std::optional<dovrane::CommandLine::DisplayGuard> guard(std::in_place);
    QApplication application(argc, argv);
    guard.reset();
    dovrane::SelfTest::endOnMainThread();
    dovrane::AppIdentity::install();
    dovrane::UiKit::install();
    dovrane::Translations::install();
    std::string storeProblem;
    auto container = openStore(storeProblem);
    if (!container)
        return dovrane::SelfTest::endFailedStart(
            dovrane::SelfTest::refuseUnopenedStore(arguments, dovrane::Store::url(false).path(), storeProblem));
    if (dovrane::StartupProblem::reportUnusableFolder())
        return dovrane::SelfTest::endFailedStart(1);
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
    app.listenForOtherStarts();
    app.openAfterLaunch(opened);
    app.showMainWindow();
    return application.exec();
}
