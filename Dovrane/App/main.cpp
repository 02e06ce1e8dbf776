// Dovrane's entry: the German texts when the language is German, the database (a store that
// cannot be opened ends the process), the model, then the launch steps from the event loop.
// Until the main window arrives, the event loop runs only for the developer modes, which end
// the process themselves; otherwise the start-up ends once the model stands.

#include "App/GuiClipboard.h"
#include "App/Store.h"
#include "AppModel/AppModel.h"
#include "SelfTest/SelfTest.h"
#include "Services/Services.h"
#include "Services/Translations.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

bool developerModeRequested(const std::vector<std::string>& arguments) {
    return std::any_of(arguments.begin(), arguments.end(), [](const std::string& argument) {
        return argument == "--selftest" || argument == "--scan-trace" || argument == "--update-trace";
    });
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    dovrane::SelfTest::preferHeadless(arguments);

    QCoreApplication application(argc, argv);
    dovrane::Translations::install();
    auto container = dovrane::Store::makeContainer();
    dovrane::Services services = dovrane::Services::system();
    services.clipboard = std::make_shared<dovrane::GuiClipboard>();
    dovrane::AppModel model(*container, std::move(services));
    if (!developerModeRequested(arguments))
        return 0;

    // The one termination hook.
    QObject::connect(&application, &QCoreApplication::aboutToQuit,
                     [arguments] { dovrane::SelfTest::willTerminate(arguments); });
    // The launch steps run once the event loop does; the normal start-up work is the main
    // window's, and the developer modes skip it anyway.
    QMetaObject::invokeMethod(
        &application, [&model] { dovrane::SelfTest::runIfRequested(model); }, Qt::QueuedConnection);
    return application.exec();
}
