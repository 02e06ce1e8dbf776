#pragma once
// The one writer of the cache files: a single thread that takes the writes in the order they
// were asked for, so an older state never lands after a newer one. Each file is replaced in one
// atomic step and readable by the user alone.

#include "Store/Store.h"

#include <DovraneKit/core/Url.h>

#include <nlohmann/json_fwd.hpp>

#include <QFuture>
#include <QThreadPool>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dovrane {

class CacheWriter {
public:
    using Encoder = std::function<std::optional<std::string>()>;

    CacheWriter();
    // Waits for the writes already asked for.
    ~CacheWriter();

    // Encodes on the writer's thread and writes the file; true once written. A failed
    // encoding or write leaves the old file as it was, and so does anything but a regular file
    // in the cache's place (a symbolic link, a folder, a named pipe).
    QFuture<bool> write(std::string path, Encoder encode);
    // Removes what writes of these files, killed before their rename, left beside them
    // (Fs::removeStaleTemporaries), on the writer's thread ahead of any later write; how many
    // files went.
    QFuture<std::size_t> removeStaleTemporaries(std::vector<std::string> paths);

private:
    QThreadPool thread_;
};

// A cache file beside the store (Store::cachePath), so that each test store has caches of its own.
Url cacheURL(const Store::Cache& cache);
// A cache file's text; absent with APP_SEED "1" (the file is then not read), and when the file
// is missing, unreadable, larger than maxBytes, or not the user's own file that only the user
// may write.
std::optional<std::string> readCacheText(const Url& url, std::uint64_t maxBytes = 1ull << 30);
// The same file's JSON; absent also when the text is no JSON.
std::optional<nlohmann::json> readCache(const Url& url);

} // namespace dovrane
