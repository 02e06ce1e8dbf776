#pragma once
// The system programs the administrator shell and the relaunch start, in one table, so tests
// can point them at scripts of their own.

#include <string>

namespace dovrane {

struct SystemPaths {
    std::string pkexec = "/usr/bin/pkexec";
    std::string shell = "/bin/sh";
};

} // namespace dovrane
