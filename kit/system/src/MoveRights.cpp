#include "DovraneKit/system/MoveRights.h"

#include "DovraneKit/core/Path.h"
#include "system/Accounts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dovrane {

namespace {

// What the folder that holds the entries grants this user.
struct Holder {
    std::string path;
    bool writable = false; // entries may be added and removed (write and search rights)
    bool sticky = false;
    uid_t owner = 0;
};

Holder holderOf(std::string path) {
    Holder holder;
    struct stat info;
    // Read-only mounts and immutable folders refuse writing here too.
    holder.writable = faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    if (stat(path.c_str(), &info) == 0) {
        holder.sticky = (info.st_mode & S_ISVTX) != 0;
        holder.owner = info.st_uid;
    }
    holder.path = std::move(path);
    return holder;
}

std::optional<MoveRights> judged(const std::string& path, const Holder& holder) {
    struct statx status;
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_UID, &status) != 0)
        return std::nullopt;
    const uid_t user = geteuid();
    MoveRights rights;
    rights.owner = status.stx_uid;
    rights.own = status.stx_uid == user;
    // Root may remove from a sticky folder whatever it holds.
    const bool mayTakeOut = holder.writable && (!holder.sticky || rights.own || holder.owner == user || user == 0);
    const bool fixed = (status.stx_attributes & (STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND)) != 0;
    const bool selfWritable = !S_ISDIR(status.stx_mode) || faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
    rights.movable = mayTakeOut && !fixed && selfWritable;
    return rights;
}

} // namespace

std::optional<MoveRights> MoveRights::of(const std::string& path) { return ofEach({path}).front(); }

std::vector<std::optional<MoveRights>> MoveRights::ofEach(const std::vector<std::string>& paths) {
    std::vector<std::optional<MoveRights>> result;
    result.reserve(paths.size());
    std::optional<Holder> holder;
    for (const std::string& path : paths) {
        if (path.empty() || path == "/" || path.find('\0') != std::string::npos) {
            result.emplace_back();
            continue;
        }
        std::string parent = Path::parent(path);
        if (!holder || holder->path != parent)
            holder = holderOf(std::move(parent));
        result.push_back(judged(path, *holder));
    }
    return result;
}

std::string MoveRights::userName(std::uint32_t user) {
    if (auto account = accounts::of(user); account && !account->name.empty())
        return std::move(account->name);
    return std::to_string(user);
}

} // namespace dovrane
