// The window suites' entry: one binary, a suite per CTest entry. The fixed environment is set
// before Qt starts: offscreen, Berlin's time zone, English, no session bus, an empty home and a
// private runtime folder of this program's own (fixtures make their own homes), a test store in a
// folder that does not exist, and update services on a closed loopback port, so nothing reaches
// the real desktop, home or network.
//
//   DovraneWindowTests [Suite [Qt Test options]]
//   DovraneWindowTests --quit-child MODE   the application in a child process (QuitTests)

#include "support/ModelTestMain.h"

#include "QuitChild.h"
#include "UiKit/Setup.h"
#include "support/TestEnvironment.h"

#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <string>

namespace dovrane::testing {

namespace {

void fixEnvironment() {
    fixTestEnvironment("windowtests", "Europe/Berlin");
    setenv("APP_CASK_INDEX_URL", "http://127.0.0.1:9/api/cask.json", 1);
    setenv("APP_STORE_LOOKUP_URL", "http://127.0.0.1:9/lookup", 1);
    setenv("APP_STORE", (testFolder() + "/nostore/Dovrane.store").c_str(), 1);
}
} // namespace

} // namespace dovrane::testing

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--quit-child") == 0) {
        // The parent names the child's store, in a folder of its own.
        const std::string store = std::getenv("APP_STORE") ? std::getenv("APP_STORE") : "";
        dovrane::testing::fixEnvironment();
        setenv("APP_STORE", store.c_str(), 1);
        return dovrane::testing::runQuitChild(argv[2]);
    }
    dovrane::testing::fixEnvironment();

    QApplication application(argc, argv);
    dovrane::UiKit::install();
    return dovrane::testing::runRegisteredSuites(argc, argv);
}
