#pragma once
// The last update check's results, kept as JSON beside the database so that they, and the
// time of the check, survive a restart.

#include "AppModel/CacheWriter.h"

#include <DovraneKit/core/Date.h>
#include <DovraneKit/core/Expected.h>
#include <DovraneKit/core/Url.h>
#include <DovraneKit/updates/UpdateRecords.h>

#include <nlohmann/json_fwd.hpp>

#include <QFuture>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace dovrane::UpdatesCache {

struct Saved {
    Date date;                                  // when the results were found
    std::map<std::string, UpdateCheck> results; // keyed by the app bundle's path

    // {"date": seconds since 2001, "results": {path: UpdateCheck}}
    nlohmann::json toJson() const;
    // Both keys are required and every result must decode; anything else is refused whole.
    static Expected<Saved> fromJson(const nlohmann::json& json);
    // The file's text read in one pass, each result decoded as soon as it ends, with no
    // document of the whole file between: memory stays near what the results hold, whatever
    // the file. Whatever it accepts, fromJson accepts the same; it refuses more only where a
    // key is repeated, which this program never writes.
    static Expected<Saved> fromJsonText(std::string_view text);

    bool operator==(const Saved&) const = default;
};

// A real cache holds a few kilobytes per app; a larger file is damaged and not read.
constexpr std::uint64_t maximumFileSize = 64ull << 20;

// "last-updates.json" beside the store; with a test store the store's name and ".updates.json".
Url url();
// The saved results, their sentences in the current language whichever run wrote them; absent
// with APP_SEED "1" (the file is then not read), and when the file is missing, unreadable or
// does not decode.
std::optional<Saved> load();
// Writes the results through the model's cache writer; true once written. A failure leaves
// the old file in place.
QFuture<bool> save(CacheWriter& writer, std::map<std::string, UpdateCheck> results, Date date);

} // namespace dovrane::UpdatesCache
