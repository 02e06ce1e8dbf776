#include "AppModel/ScanCache.h"

#include "AppModel/CacheWriter.h"

#include <DovraneKit/scan/DiskScanner.h>

namespace dovrane::ScanCache {

Url url() { return cacheURL(Store::scanCache); }

std::optional<ScanResult> load(std::uint64_t limit) {
    auto text = readCacheText(url(), limit);
    if (!text)
        return std::nullopt;
    auto result = ScanResult::fromJsonText(*text);
    if (!result)
        return std::nullopt;
    DiskScanner::reword(result.value());
    result.value().capLastUse();
    return std::move(result).value();
}

std::string encode(const ScanResult& scan) { return scan.toJsonText(); }

} // namespace dovrane::ScanCache
