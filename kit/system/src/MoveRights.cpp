#include "DovraneKit/system/MoveRights.h"

#include "DovraneKit/core/Path.h"
#include "system/Accounts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dovrane {

namespace {

// What the folder that holds the entries grants this user.
struct Holder {
    std::string path;
    bool writable = false; // entries may be added and removed (write and search rights)
    bool sticky = false;
    uid_t owner = 0;
    std::optional<FolderDescent::Identity::File> identity; // none when it could not be looked at
};

constexpr unsigned identityFields = STATX_INO | STATX_BTIME;

Holder holderOf(std::string path) {
    Holder holder;
    struct statx info;
    // Read-only mounts and immutable folders refuse writing here too.
    holder.writable = faccessat(AT_FDCWD, path.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    if (statx(AT_FDCWD, path.c_str(), AT_STATX_SYNC_AS_STAT, STATX_MODE | STATX_UID | identityFields, &info) == 0) {
        holder.sticky = (info.stx_mode & S_ISVTX) != 0;
        holder.owner = info.stx_uid;
        holder.identity = FolderDescent::Identity::File::of(info);
    } else if (errno == ENOENT || errno == ENOTDIR) {
        holder.identity = FolderDescent::Identity::File{};
    }
    holder.path = std::move(path);
    return holder;
}

// The entry's rights, and its identity where asked: as FolderDescent::identify tells it, an
// entry that is not there has inode 0 (and no rights), one that cannot be looked at none.
std::optional<MoveRights> judged(const std::string& path, const Holder& holder,
                                 std::optional<FolderDescent::Identity>* identity) {
    struct statx status;
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_SYNC_AS_STAT,
              STATX_TYPE | STATX_UID | (identity ? identityFields : 0u), &status) != 0) {
        if (identity && (errno == ENOENT || errno == ENOTDIR) && holder.identity)
            *identity = FolderDescent::Identity{{}, *holder.identity};
        return std::nullopt;
    }
    if (identity && holder.identity && holder.identity->inode != 0)
        *identity = FolderDescent::Identity{FolderDescent::Identity::File::of(status), *holder.identity};
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

std::vector<std::optional<MoveRights>>
MoveRights::ofEach(const std::vector<std::string>& paths,
                   std::vector<std::optional<FolderDescent::Identity>>* identities) {
    std::vector<std::optional<MoveRights>> result;
    result.reserve(paths.size());
    if (identities)
        identities->assign(paths.size(), std::nullopt);
    std::optional<Holder> holder;
    for (std::size_t index = 0; index < paths.size(); ++index) {
        const std::string& path = paths[index];
        if (path.empty() || path == "/" || path.find('\0') != std::string::npos) {
            result.emplace_back();
            continue;
        }
        std::string parent = Path::parent(path);
        if (!holder || holder->path != parent)
            holder = holderOf(std::move(parent));
        result.push_back(judged(path, *holder, identities ? &(*identities)[index] : nullptr));
    }
    return result;
}

std::string MoveRights::userName(std::uint32_t user) {
    if (auto account = accounts::of(user); account && !account->name.empty())
        return std::move(account->name);
    return std::to_string(user);
}

} // namespace dovrane
