// Dovrane's entry. The traces come first; each returns at once unless its switch was given, and
// then it ends the process itself. A start while a normal instance runs hands its apps to that
// instance and ends. Then the application: the UI kit, the German texts when the language is
// German, the database (a store that cannot be opened ends the process), the model and the
// main window, whose launch steps run once it shows.

#include "App/DovraneApp.h"
#include "App/GuiClipboard.h"
#include "App/SingleInstance.h"
#include "App/Store.h"
#include "CommandPalette/CommandPalette.h"
#include "ContentView/SheetHost.h"
#include "MenuBarView/MenuBarView.h"
#include "SelfTest/Traces.h"
#include "SelfTest/UpdateTrace.h"
#include "Services/Services.h"
#include "Services/Translations.h"
#include "SettingsView/SettingsView.h"
#include "Theme/Theme.h"
#include "UiKit/Setup.h"

#include <QApplication>

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    // The update trace runs on a thread of its own, so it is started before the scan trace,
    // which keeps this thread; whichever finishes first ends the process.
    const bool updateTrace = dovrane::SelfTest::updateTraceIfRequested(arguments);
    dovrane::SelfTest::traceIfRequested(arguments);
    if (updateTrace)
        for (;;)
            pause();

    const std::vector<dovrane::Url> opened = dovrane::SingleInstance::urlsFromArguments(arguments);
    if (!dovrane::SingleInstance::isExcluded(arguments) && dovrane::SingleInstance::handOff(opened))
        return 0;

    QApplication application(argc, argv);
    dovrane::UiKit::install();
    dovrane::Translations::install();
    auto container = dovrane::Store::makeContainer();
    dovrane::Services services = dovrane::Services::system();
    services.clipboard = std::make_shared<dovrane::GuiClipboard>();

    dovrane::DovraneApp app(arguments, *container, std::move(services));
    // The palette, the Settings window and the menu bar item, hosted by the application; they
    // go before it, since they observe its model.
    dovrane::SheetHost::setPaletteMaker([&app](dovrane::AppModel& model, QWidget* window) -> QDialog* {
        return new dovrane::CommandPalette(model, [&app] { app.openSettings(); }, window);
    });
    dovrane::SettingsView settings(app.model(), dovrane::ThemeStore::shared());
    dovrane::themed(&settings);
    app.setSettingsOpener([&settings] { settings.bringForward(); });
    dovrane::MenuBarItem menuBarItem(app.model(), {[&app] { app.showMainWindow(); }, [&app] { app.quit(); }});
    app.setMenuBarItemShown([&menuBarItem] { return menuBarItem.isShown(); });
    app.listenForOtherStarts();
    app.openAfterLaunch(opened);
    app.showMainWindow();
    return application.exec();
}
