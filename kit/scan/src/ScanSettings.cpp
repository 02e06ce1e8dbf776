#include "DovraneKit/scan/ScanSettings.h"

#include "formats/JsonCoding.h"

#include <limits>

namespace dovrane {

nlohmann::json ScanSettings::toJson() const {
    return {{"installerAgeDays", installerAgeDays},
            {"excludedPaths", excludedPaths},
            {"projectFolders", projectFolders},
            {"projectAgeDays", projectAgeDays}};
}

Expected<ScanSettings> ScanSettings::fromJson(const nlohmann::json& json) {
    return jsoncoding::decode([&] {
        jsoncoding::ObjectReader in(json, "ScanSettings");
        auto days = [&](const char* key) {
            auto value = in.integer(key);
            if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
                throw jsoncoding::DecodeError(std::string("ScanSettings: \"") + key + "\" is out of range");
            return int(value);
        };
        ScanSettings settings;
        settings.installerAgeDays = days("installerAgeDays");
        settings.excludedPaths = in.strings("excludedPaths");
        settings.projectFolders = in.strings("projectFolders");
        settings.projectAgeDays = days("projectAgeDays");
        return settings;
    });
}

} // namespace dovrane
