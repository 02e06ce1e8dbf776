#include "system/Accounts.h"

#include <pwd.h>
#include <unistd.h>

#include <mutex>
#include <vector>

namespace dovrane::accounts {

namespace {

std::size_t entrySize() {
    const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    return size > 0 ? std::size_t(size) : 16384;
}

} // namespace

std::optional<Account> of(std::uint32_t user) {
    std::vector<char> buffer(entrySize());
    passwd entry;
    passwd* found = nullptr;
    if (getpwuid_r(uid_t(user), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return Account{found->pw_name ? found->pw_name : "", found->pw_dir ? found->pw_dir : ""};
}

std::vector<std::string> homes() {
    // The walk through the database has one position for the whole process.
    static std::mutex walking;
    const std::lock_guard lock(walking);
    std::vector<std::string> found;
    std::vector<char> buffer(entrySize());
    passwd entry;
    passwd* next = nullptr;
    setpwent();
    while (getpwent_r(&entry, buffer.data(), buffer.size(), &next) == 0 && next)
        if (next->pw_dir && *next->pw_dir)
            found.emplace_back(next->pw_dir);
    endpwent();
    return found;
}

} // namespace dovrane::accounts
