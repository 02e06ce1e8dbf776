// Dovrane's entry. A start while a normal instance runs hands its apps to that instance and
// ends. Then the application (on the offscreen platform for a headless self-test): the UI kit,
// the German texts when the language is German, the database (a store that cannot be opened
// ends the process), the model and the main window, whose launch steps run once it shows and
// end with the developer modes (the traces, the self-test and the screenshot run).

#include "App/DovraneApp.h"
#include "App/SingleInstance.h"
#include "CommandPalette/CommandPalette.h"
#include "ContentView/ContentView.h"
#include "ContentView/SheetHost.h"
#include "GuiClipboard.h"
#include "MenuBarView/MenuBarView.h"
#include "SelfTest/SelfTest.h"
#include "Services/Services.h"
#include "Services/Translations.h"
#include "SettingsView/SettingsView.h"
#include "Snapshot/Snapshot.h"
#include "Store/Store.h"
#include "Theme/Theme.h"
#include "UiKit/Setup.h"

#include <QApplication>

#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    const std::vector<dovrane::Url> opened = dovrane::SingleInstance::urlsFromArguments(arguments);
    if (!dovrane::SingleInstance::isExcluded(arguments) && dovrane::SingleInstance::handOff(opened))
        return 0;

    dovrane::SelfTest::preferHeadless(arguments);
    QApplication application(argc, argv);
    dovrane::UiKit::install();
    dovrane::Translations::install();
    auto container = dovrane::Store::makeContainer();
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
