#include "DovraneKit/system/Shell.h"

namespace dovrane::Shell {

AdminAnswer AdminAnswer::exited(int status) {
    AdminAnswer answer;
    answer.status_ = status;
    return answer;
}

std::string quote(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += "'";
    return quoted;
}

AdminAnswer runAsAdmin(const Admin& admin, const std::string& commandLine) {
    if (!admin)
        return false;
    try {
        return admin(commandLine);
    } catch (...) {
        return false;
    }
}

} // namespace dovrane::Shell
