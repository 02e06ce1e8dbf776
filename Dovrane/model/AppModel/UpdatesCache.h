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

#include <map>
#include <optional>
#include <string>

namespace dovrane::UpdatesCache {

struct Saved {
    Date date;                                  // when the results were found
    std::map<std::string, UpdateCheck> results; // keyed by the app bundle's path

    // {"date": seconds since 2001, "results": {path: UpdateCheck}}
    nlohmann::json toJson() const;
    // Both keys are required and every result must decode; anything else is refused whole.
    static Expected<Saved> fromJson(const nlohmann::json& json);

    bool operator==(const Saved&) const = default;
};

// "last-updates.json" beside the store; with a test store the store's name and ".updates.json".
Url url();
// The saved results; absent with APP_SEED "1" (the file is then not read), and when the file is
// missing, unreadable or does not decode.
std::optional<Saved> load();
// Writes the results through the model's cache writer; true once written. A failure leaves
// the old file in place.
QFuture<bool> save(CacheWriter& writer, std::map<std::string, UpdateCheck> results, Date date);

} // namespace dovrane::UpdatesCache
