#include "support/ModelTestMain.h"

#include <QTest>

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

int runRegisteredSuites(int argc, char** argv) {
    if (argc >= 2 && argv[1][0] != '-') {
        auto suite = suites().find(argv[1]);
        if (suite == suites().end())
            return 2;
        auto object = suite->second();
        argv[1] = argv[0];
        return QTest::qExec(object.get(), argc - 1, argv + 1);
    }
    int failures = 0;
    for (auto& [name, make] : suites()) {
        auto object = make();
        failures += QTest::qExec(object.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}

} // namespace dovrane::testing
