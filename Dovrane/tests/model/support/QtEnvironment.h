#pragma once
// Qt's test watchdog reads the environment from a thread of its own at the start of every test
// function, under Qt's environment lock. A setenv beside it that adds a variable moves the
// environment list from under that read, a rare crash; so the Qt suites change the environment
// through Qt, under the same lock.

#include "support/TestSupport.h"

#include <QByteArray>
#include <QtGlobal>

namespace dovrane::testing {

inline void changeEnvironmentThroughQt() {
    setEnvironmentWriter([](const char* name, const std::optional<std::string>& value) {
        if (value)
            qputenv(name, QByteArray::fromStdString(*value));
        else
            qunsetenv(name);
    });
}

} // namespace dovrane::testing
