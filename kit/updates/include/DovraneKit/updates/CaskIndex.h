#pragma once
// Readers of the Homebrew cask index and of the store's lookup answer. Both are pure
// functions over bytes that never fail loudly: what they cannot read is left out.

#include "DovraneKit/core/Url.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

// One Homebrew cask.
struct CaskInfo {
    std::string token;
    std::string version;           // as the index gives it: may hold commas, or be "latest"
    bool autoUpdates = false;      // the app updates itself
    std::vector<std::string> apps; // file names of the app bundles the cask installs

    bool operator==(const CaskInfo&) const = default;
};

// One answer of the store's lookup service.
struct StoreRecord {
    std::string version;
    std::int64_t trackID = 0;
    std::optional<std::string> releaseNotes;
    std::optional<std::string> minimumOS;

    bool operator==(const StoreRecord&) const = default;
};

namespace CaskIndex {
// The index (a JSON array of cask objects) as a table keyed by token; empty when nothing can
// be read. The table iterates in token order, lowest token first. A later cask with the same
// token replaces an earlier one.
std::map<std::string, CaskInfo> parse(std::string_view bytes);
} // namespace CaskIndex

namespace StoreLookup {
// The public lookup service, over https.
Url defaultService();
// service + "/lookup" with the query items bundleId, entity and country (lower-cased), in
// that order, each value percent-encoded. The service may carry a base path; a trailing
// slash is ignored.
Url url(std::string_view bundleID, std::string_view country, std::string_view entity,
        const Url& service = defaultService());
// The first result of a lookup answer; absent when it lacks a string "version" or an
// integral "trackId", when there are no results, or when the bytes are no such answer.
std::optional<StoreRecord> parse(std::string_view bytes);
} // namespace StoreLookup

} // namespace dovrane
