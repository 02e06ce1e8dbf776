#include "AppModel/ScanCache.h"

#include "App/Store.h"

#include <DovraneKit/FileSystem.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <string_view>

namespace dovrane::ScanCache {

Url url() {
    return Store::url().deletingLastPathComponent().appending(Store::isOverridden() ? "dovrane-test-scan.json"
                                                                                    : "last-scan.json");
}

std::optional<ScanResult> load() {
    const char* seed = std::getenv("APP_SEED");
    if (seed && std::string_view(seed) == "1")
        return std::nullopt;
    auto text = Fs::readFile(url().path(), 1ull << 30);
    if (!text)
        return std::nullopt;
    const nlohmann::json document = nlohmann::json::parse(*text, nullptr, false);
    if (document.is_discarded())
        return std::nullopt;
    auto result = ScanResult::fromJson(document);
    if (!result)
        return std::nullopt;
    return std::move(result).value();
}

} // namespace dovrane::ScanCache
