// Dovrane's entry. The developer modes come first; each returns at once unless its switch was
// given, and then it ends the process itself. Then the start-up: the German texts when the
// language is German, the database (a store that cannot be opened ends the process), the model,
// the launch steps (the demo data first) and the event loop.

#include "App/GuiClipboard.h"
#include "App/Launch.h"
#include "App/Store.h"
#include "AppModel/AppModel.h"
#include "SelfTest/Traces.h"
#include "SelfTest/UpdateTrace.h"
#include "Services/Services.h"
#include "Services/Translations.h"

#include <QCoreApplication>

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

    // A plain application until the main window arrives; the clipboard copies only once a
    // GUI application runs.
    QCoreApplication application(argc, argv);
    dovrane::Translations::install();
    auto container = dovrane::Store::makeContainer();
    dovrane::Services services = dovrane::Services::system();
    services.clipboard = std::make_shared<dovrane::GuiClipboard>();
    dovrane::AppModel model(*container, std::move(services));
    // The main window takes these steps over into its launch task when it arrives.
    dovrane::Launch::run(model, arguments);
    return application.exec();
}
