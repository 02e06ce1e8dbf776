#pragma once
// One item moved to the Trash, kept so that it can be put back. The trasher and the update
// installer make them; the application keeps them in its journal of removals.

#include "DovraneKit/core/Expected.h"
#include "DovraneKit/core/Url.h"
#include "DovraneKit/system/FolderDescent.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>

namespace dovrane {

struct RemovedItem {
    Url originalPath;
    Url trashPath;
    std::int64_t size = 0;
    bool needsAdmin = false;
    // The item itself (its device, inode and birth), which a rename keeps: what is at trashPath
    // is still this item whatever the Trash's info file says now. None in records made before it
    // was kept, and where the item could not be looked at.
    std::optional<FolderDescent::Identity::File> identity = std::nullopt;
    // Only in the journal of a replacement under way (Trasher::replace): the name beside the
    // item's place that its replacement is made at and that the item is swapped to before it
    // moves, so that the next start can finish what a process killed part-way left there.
    std::optional<Url> swappedTo = std::nullopt;

    // The paths are stored plain, not as URLs; a path that is not UTF-8 also keeps its exact
    // bytes in Base64 under "originalPathBytes" or "trashPathBytes". The identity, when known,
    // is "identity": "DEVICE:INODE:BORN"; records without it read as before. So is "swappedTo",
    // a path as the two above.
    nlohmann::json toJson() const;
    [[nodiscard]] static Expected<RemovedItem> fromJson(const nlohmann::json& json);

    // By the four values the journal shows; the identity only says which item they are of.
    bool operator==(const RemovedItem& other) const {
        return originalPath == other.originalPath && trashPath == other.trashPath && size == other.size &&
               needsAdmin == other.needsAdmin;
    }
};

} // namespace dovrane
