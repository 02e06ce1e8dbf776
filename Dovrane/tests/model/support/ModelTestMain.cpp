// The model suites' entry: the environment every test starts from, whoever runs the binary.
// Home, XDG folders and the test store point at a folder that does not exist, so nothing can
// reach the real home; fixtures make their own under /tmp. Berlin's time zone, so a change of
// daylight saving time can be tested.
//
//   DovraneModelTests [Suite [Qt Test options]]
//   DovraneModelTests --open-store     opens the store the way the application does

#include "support/ModelTestMain.h"

#include "App/Store.h"

#include <QCoreApplication>
#include <QTest>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

namespace dovrane::testing {

namespace {
std::map<std::string, std::function<std::unique_ptr<QObject>()>>& suites() {
    static std::map<std::string, std::function<std::unique_ptr<QObject>()>> registered;
    return registered;
}
} // namespace

SuiteRegistration::SuiteRegistration(const char* name, std::function<std::unique_ptr<QObject>()> make) {
    suites().emplace(name, std::move(make));
}

} // namespace dovrane::testing

int main(int argc, char** argv) {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    setenv("APP_LANG", "en", 1);
    setenv("LANG", "C.UTF-8", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "TMPDIR", "APP_SEED", "APP_NO_FDA",
                             "DBUS_SESSION_BUS_ADDRESS"})
        unsetenv(name);
    setenv("HOME", "/tmp/dovrane-tests-nohome", 1);
    setenv("XDG_DATA_HOME", "/tmp/dovrane-tests-nohome/.local/share", 1);
    setenv("XDG_CONFIG_HOME", "/tmp/dovrane-tests-nohome/.config", 1);
    if (argc == 2 && std::strcmp(argv[1], "--open-store") == 0) {
        // APP_STORE comes from the test that started this process.
        QCoreApplication application(argc, argv);
        dovrane::Store::makeContainer();
        return 0;
    }
    setenv("APP_STORE", "/tmp/dovrane-tests-nohome/Dovrane.store", 1);

    QCoreApplication application(argc, argv);
    auto& suites = dovrane::testing::suites();
    if (argc >= 2 && argv[1][0] != '-') {
        auto suite = suites.find(argv[1]);
        if (suite == suites.end())
            return 2;
        auto object = suite->second();
        argv[1] = argv[0];
        return QTest::qExec(object.get(), argc - 1, argv + 1);
    }
    int failures = 0;
    for (auto& [name, make] : suites) {
        auto object = make();
        failures += QTest::qExec(object.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
