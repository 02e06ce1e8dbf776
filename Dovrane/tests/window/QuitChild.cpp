#include "QuitChild.h"

#include "App/DovraneApp.h"
#include "App/ExitCode.h"
#include "ContentView/ContentView.h"
#include "Store/Store.h"
#include "UiKit/Setup.h"

#include <QApplication>
#include <QTimer>

#include <cstring>

namespace dovrane::testing {

int runQuitChild(const char* mode) {
    int argc = 1;
    char name[] = "Dovrane";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    UiKit::install();
    auto container = Store::makeContainer();
    DovraneApp app({"Dovrane", "--selftest"}, *container, Services::system());
    SelfTest::exitCode = 3;
    if (std::strcmp(mode, "finished") == 0) {
        SelfTest::finished = true;
        app.quit();
    } else if (std::strcmp(mode, "early-quit") == 0) {
        app.quit();
    } else {
        app.showMainWindow();
        QTimer::singleShot(0, &app.window(), [&app] { app.window().close(); });
    }
    application.exec();
    return 99; // never reached: the termination hook ends the process
}

} // namespace dovrane::testing
