#include "AppModel/ScanCache.h"

#include "AppModel/CacheWriter.h"

#include <nlohmann/json.hpp>

namespace dovrane::ScanCache {

Url url() { return cacheURL("last-scan.json", ".scan.json"); }

std::optional<ScanResult> load() {
    auto document = readCache(url());
    if (!document)
        return std::nullopt;
    auto result = ScanResult::fromJson(*document);
    if (!result)
        return std::nullopt;
    return std::move(result).value();
}

} // namespace dovrane::ScanCache
