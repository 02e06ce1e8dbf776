#pragma once
// The model's update check in flight, private to the files that check and install: the apps
// whose update was installed while the running check went on. Only the main thread touches it.

#include <set>
#include <string>

namespace dovrane {

struct UpdateRunState {
    std::set<std::string> installedDuringCheck;
};

} // namespace dovrane
