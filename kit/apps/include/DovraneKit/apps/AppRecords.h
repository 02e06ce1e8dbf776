#pragma once
// Installed apps and where they get their updates.

#include "DovraneKit/core/Date.h"
#include "DovraneKit/core/Expected.h"
#include "DovraneKit/core/Url.h"

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dovrane {

enum class AppSource { sparkle, homebrew, appStore, apple, unknown };
inline constexpr std::array<AppSource, 5> allAppSources = {AppSource::sparkle, AppSource::homebrew, AppSource::appStore,
                                                           AppSource::apple, AppSource::unknown};
std::string_view rawValue(AppSource source);
std::optional<AppSource> appSourceFromRaw(std::string_view raw);

struct InstalledApp {
    std::string bundleID;
    std::string name;
    std::string version;
    std::optional<std::string> build;
    Url path;
    std::optional<std::string> teamID;
    AppSource source = AppSource::unknown;
    std::optional<Url> feedURL;
    std::optional<std::string> edKey;
    std::optional<std::string> caskToken;
    std::int64_t size = 0;
    std::optional<Date> lastUsed;
    bool isSystem = false;

    // Identity in lists and keyed results: the bundle's path.
    std::string id() const { return path.path(); }

    nlohmann::json toJson() const;
    [[nodiscard]] static Expected<InstalledApp> fromJson(const nlohmann::json& json);

    bool operator==(const InstalledApp&) const = default;
};

} // namespace dovrane
