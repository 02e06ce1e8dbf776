#pragma once
// The results of update checking: one available update, and the outcome of checking one app.
// Both are kept in the update cache between runs, so their JSON form must not change.

#include "DovraneKit/apps/AppRecords.h"
#include "DovraneKit/core/Date.h"
#include "DovraneKit/core/Expected.h"
#include "DovraneKit/core/Url.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace dovrane {

struct UpdateInfo {
    std::string bundleID;
    Url appPath;
    std::string currentVersion;              // as the installed app states it
    std::string newVersion;                  // as shown to the user
    std::optional<std::string> newBuild;     // machine-readable version; appcasts only
    AppSource source = AppSource::unknown;   // sparkle, homebrew or appStore
    std::optional<std::string> releaseNotes; // plain text
    std::optional<Url> releaseNotesURL;
    std::optional<Url> downloadURL;         // without it nothing can be installed
    std::optional<std::int64_t> length;     // announced download size in bytes
    std::optional<std::string> edSignature; // of the download, checked against the app's key
    std::optional<Url> storeURL;
    std::optional<std::string> caskToken;
    Date checkedAt;

    nlohmann::json toJson() const;
    [[nodiscard]] static Expected<UpdateInfo> fromJson(const nlohmann::json& json);

    bool operator==(const UpdateInfo&) const = default;
};

// The outcome of checking one app: available (with the update), upToDate, failed or
// unsupported (each with the sentence shown to the user).
class UpdateCheck {
public:
    enum class Kind { available, upToDate, failed, unsupported };

    static UpdateCheck available(UpdateInfo info);
    static UpdateCheck upToDate();
    static UpdateCheck failed(std::string message);
    static UpdateCheck unsupported(std::string message);

    Kind kind() const { return kind_; }
    // The update of an available check, absent for every other kind.
    std::optional<UpdateInfo> update() const;
    // The sentence of a failed or unsupported check, empty for the other kinds.
    const std::string& message() const { return message_; }
    // The same check with its sentence, written by an earlier run perhaps in the other language,
    // worded in the current one.
    UpdateCheck reworded() const;

    // {"available": {"_0": {...}}}, {"upToDate": {}}, {"failed": {"_0": "..."}}, ...
    nlohmann::json toJson() const;
    [[nodiscard]] static Expected<UpdateCheck> fromJson(const nlohmann::json& json);

    bool operator==(const UpdateCheck& other) const;

    // How many results of each kind, as the diagnostic report names them ("available",
    // "current", "failed", "unsupported"); a kind without results has no key.
    static std::map<std::string, int> countKinds(const std::map<std::string, UpdateCheck>& results);

private:
    UpdateCheck(Kind kind, std::shared_ptr<const UpdateInfo> info, std::string message)
        : kind_(kind), info_(std::move(info)), message_(std::move(message)) {}

    Kind kind_;
    // Shared and never changed: most checks carry no update, and a cache of many small ones
    // should not hold room for one in each.
    std::shared_ptr<const UpdateInfo> info_;
    std::string message_;
};

} // namespace dovrane
