#pragma once
// The model suites register here; the entry runs the one named on the command line, or all.

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dovrane::testing {

struct SuiteRegistration {
    SuiteRegistration(const char* name, std::function<std::unique_ptr<QObject>()> make);
};

} // namespace dovrane::testing

#define DOVRANE_MODEL_SUITE(Class)                                                                       \
    static const ::dovrane::testing::SuiteRegistration registration##Class(                             \
        #Class, [] { return std::unique_ptr<QObject>(new Class); });
