#include "system/Accounts.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace dovrane::accounts {

std::optional<Account> of(std::uint32_t user) {
    const long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
    passwd entry;
    passwd* found = nullptr;
    if (getpwuid_r(uid_t(user), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return Account{found->pw_name ? found->pw_name : "", found->pw_dir ? found->pw_dir : ""};
}

} // namespace dovrane::accounts
