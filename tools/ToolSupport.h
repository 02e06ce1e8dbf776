#pragma once
// What every stand-in tool shares: fixed argument forms, errors to standard error only, exit
// status 0 for success, 1 for a failure and 2 for arguments the tool does not know.

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

namespace dovrane::tool {

constexpr int success = 0;
constexpr int failure = 1;
constexpr int usageError = 2;

inline std::vector<std::string> arguments(int argc, char** argv) {
    // Names inside archives are bytes; a UTF-8 character type keeps libarchive from refusing
    // the ones that are not ASCII.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    return std::vector<std::string>(argv + 1, argv + argc);
}

inline bool matches(const std::vector<std::string>& args, const std::vector<std::string>& form) {
    if (args.size() != form.size())
        return false;
    for (std::size_t i = 0; i < form.size(); ++i)
        if (form[i] != "*" ? args[i] != form[i] : args[i].empty())
            return false;
    return true;
}

inline int fail(const char* tool, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", tool, message.c_str());
    return failure;
}

inline int usage(const char* forms) {
    std::fprintf(stderr, "usage: %s\n", forms);
    return usageError;
}

} // namespace dovrane::tool
