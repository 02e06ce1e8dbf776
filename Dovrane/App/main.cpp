// Dovrane's entry: the German texts when the language is German, the database (a store that
// cannot be opened ends the process), the model, then the event loop. The launch steps and the
// developer modes after them run from the event loop's first turn, in their launch order.

#include "App/GuiClipboard.h"
#include "App/Launch.h"
#include "App/Store.h"
#include "AppModel/AppModel.h"
#include "SelfTest/SelfTest.h"
#include "Services/Services.h"
#include "Services/Translations.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    dovrane::SelfTest::preferHeadless(arguments);

    // A plain application until the main window arrives; the clipboard copies only once a
    // GUI application runs.
    QCoreApplication application(argc, argv);
    dovrane::Translations::install();
    auto container = dovrane::Store::makeContainer();
    dovrane::Services services = dovrane::Services::system();
    services.clipboard = std::make_shared<dovrane::GuiClipboard>();
    dovrane::AppModel model(*container, std::move(services));

    // The one termination hook.
    QObject::connect(&application, &QCoreApplication::aboutToQuit,
                     [arguments] { dovrane::SelfTest::willTerminate(arguments); });
    // The main window takes these steps over into its launch task when it arrives. They wait
    // for the event loop, so that a developer mode's quit is not asked before it runs.
    QMetaObject::invokeMethod(
        &application,
        [&model, &arguments] {
            dovrane::Launch::run(model, arguments);
            dovrane::SelfTest::runIfRequested(model);
        },
        Qt::QueuedConnection);
    return application.exec();
}
