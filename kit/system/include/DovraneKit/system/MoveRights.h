#pragma once
// Whose a file or folder is, and whether this user may move it to another folder (the Trash)
// by their own rights, as the kernel will judge the rename: write and search rights on the
// folder that holds it; in a sticky folder, owning the entry or that folder; for a folder,
// write rights on itself too, since moving it rewrites its ".."; and no immutable or
// append-only entry. What the user may not move goes to the administrator's move instead.

#include "DovraneKit/system/FolderDescent.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dovrane {

struct MoveRights {
    std::uint32_t owner = 0; // the entry's owner
    bool own = false;        // it is this user's (the effective user's)
    bool movable = false;    // the user may move it without the administrator

    // The entry itself is looked at, not followed; the folders above it are followed as the
    // path leads. Nothing when the entry cannot be looked at (gone, or a folder above unsearchable).
    static std::optional<MoveRights> of(const std::string& path);
    // Each path as `of` judges it, in their order; paths in one folder, as a collector lists
    // them, look at that folder once. With `identities`, each entry's identity too, as
    // FolderDescent::identify gives it, from the same looks.
    static std::vector<std::optional<MoveRights>>
    ofEach(const std::vector<std::string>& paths,
           std::vector<std::optional<FolderDescent::Identity>>* identities = nullptr);
    // The user's login name, or the number as text when the user database knows none.
    static std::string userName(std::uint32_t user);

    bool operator==(const MoveRights&) const = default;
};

} // namespace dovrane
