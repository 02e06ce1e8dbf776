#pragma once
// The user's choices that change what a scan lists. The library never reads settings itself.

#include "DovraneKit/core/Expected.h"

#include <nlohmann/json_fwd.hpp>

#include <string>
#include <vector>

namespace dovrane {

struct ScanSettings {
    int installerAgeDays = 14;
    std::vector<std::string> excludedPaths;
    std::vector<std::string> projectFolders;
    int projectAgeDays = 30;

    nlohmann::json toJson() const;
    // All four keys are required; the defaults are not used when decoding.
    [[nodiscard]] static Expected<ScanSettings> fromJson(const nlohmann::json& json);

    bool operator==(const ScanSettings&) const = default;
};

} // namespace dovrane
