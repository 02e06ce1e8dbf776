#pragma once
// One item moved to the Trash, kept so that it can be put back. The trasher and the update
// installer make them; the application keeps them in its journal of removals.

#include "DovraneKit/core/Expected.h"
#include "DovraneKit/core/Url.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>

namespace dovrane {

struct RemovedItem {
    Url originalPath;
    Url trashPath;
    std::int64_t size = 0;
    bool needsAdmin = false;

    // The paths are stored plain, not as URLs; a path that is not UTF-8 also keeps its exact
    // bytes in Base64 under "originalPathBytes" or "trashPathBytes".
    nlohmann::json toJson() const;
    [[nodiscard]] static Expected<RemovedItem> fromJson(const nlohmann::json& json);

    bool operator==(const RemovedItem&) const = default;
};

} // namespace dovrane
