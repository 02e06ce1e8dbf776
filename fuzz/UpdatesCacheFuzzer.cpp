// The update check's cache file: any bytes decode whole or not at all, and what decodes writes
// back to JSON that decodes to the same results.
#include "AppModel/UpdatesCache.h"
#include "DovraneKit/formats/JsonReading.h"
#include "FuzzSupport.h"

#include <nlohmann/json.hpp>

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto json = Json::read(std::string(fuzz::text(data, size)));
    if (!json)
        return 0;
    const auto saved = UpdatesCache::Saved::fromJson(*json);
    if (!saved)
        return 0;
    const auto written = Json::read(saved->toJson().dump());
    fuzz::check(written.has_value(), "the cache writes JSON");
    const auto again = UpdatesCache::Saved::fromJson(*written);
    fuzz::check(bool(again), "what was read reads again");
    const auto twice = UpdatesCache::Saved::fromJson(*Json::read(again->toJson().dump()));
    fuzz::check(twice && *twice == *again, "and stays the same");
    return 0;
}
