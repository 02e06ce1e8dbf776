// The model suites' entry: the environment every test starts from, whoever runs the binary.
// Home, XDG and runtime folders lie in this program's own fresh folder and the test store in a
// folder that does not exist, so nothing can reach the real home or store; fixtures make their
// own. Berlin's time zone, so a change of daylight saving time can be tested.
//
//   DovraneModelTests [Suite [Qt Test options]]
//   DovraneModelTests --open-store [HOME]
//                                      opens the store the way the application does, with HOME
//                                      (a test's temporary home) as the home when given
//   DovraneModelTests --store-writer   another process on the test store: records 2024-05-01
//                                      (used 7) and marks every removal put back
//   DovraneModelTests --journaled-move HOME FOLDER STOP
//                                      moves FOLDER's files to HOME's Trash with their journal in
//                                      the test store, and waits at STOP to be killed
//   DovraneModelTests --killed-install HOME RUNTIME STOP [DITTO]
//                                      installs the update offered to HOME's app through a model
//                                      on the test store, and waits at STOP to be killed
//   DovraneModelTests --journal-owner STORE shared|own-pid-namespace
//                                      starts a removal's record in STORE and waits to be killed
//   DovraneModelTests --power-cut ITEMS STOP
//                                      moves ITEMS files on a loop-device disk and cuts its power
//                                      at STOP, then checks what the next start finds
//   DovraneModelTests --journaled-put-back HOME STOP
//                                      puts the test store's first record back from HOME's Trash
//                                      with its journal, and waits at STOP to be killed

#include "support/ModelTestMain.h"

#include "Store/Store.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {
void useHome(const std::string& home) {
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
}
} // namespace

int main(int argc, char** argv) {
    dovrane::testing::fixTestEnvironment("tests", "Europe/Berlin");
    if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "--open-store") == 0) {
        // APP_STORE comes from the test that started this process.
        if (argc == 3)
            useHome(argv[2]);
        QCoreApplication application(argc, argv);
        dovrane::Store::makeContainer();
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "--journaled-move") == 0) {
        useHome(argv[2]);
        QCoreApplication application(argc, argv);
        return dovrane::testing::journaledMoveChild(argv[2], argv[3], argv[4]);
    }
    if (argc == 4 && std::strcmp(argv[1], "--journal-owner") == 0)
        return dovrane::testing::journalOwnerChild(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--power-cut") == 0)
        return dovrane::testing::powerCutChild(argc, argv);
    if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "--killed-install") == 0) {
        useHome(argv[2]);
        setenv("XDG_RUNTIME_DIR", argv[3], 1);
        QCoreApplication application(argc, argv);
        return dovrane::testing::killedInstallChild(argv[2], argv[4], argc == 6 ? argv[5] : "");
    }
    if (argc == 4 && std::strcmp(argv[1], "--journaled-put-back") == 0) {
        useHome(argv[2]);
        QCoreApplication application(argc, argv);
        return dovrane::testing::journaledPutBackChild(argv[2], argv[3]);
    }
    if (argc == 2 && std::strcmp(argv[1], "--store-writer") == 0) {
        QCoreApplication application(argc, argv);
        auto container = dovrane::Store::makeContainer();
        container->insert(std::make_shared<dovrane::DailySize>(QDate(2024, 5, 1), 7));
        for (const auto& removal : container->removals().value_or(std::vector<std::shared_ptr<dovrane::Removal>>()))
            removal->setUndone(true);
        return container->save() ? 0 : 1;
    }
    setenv("APP_STORE", (dovrane::testing::testFolder() + "/nostore/Dovrane.store").c_str(), 1);

    QCoreApplication application(argc, argv);
    return dovrane::testing::runRegisteredSuites(argc, argv);
}
