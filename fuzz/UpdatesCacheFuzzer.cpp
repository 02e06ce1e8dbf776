// The update check's cache file: any bytes decode whole or not at all, the file's one-pass reader
// agrees with the document's way, and what decodes writes back to JSON that decodes the same.
#include "AppModel/UpdatesCache.h"
#include "DovraneKit/formats/JsonReading.h"
#include "FuzzSupport.h"

#include <nlohmann/json.hpp>

using namespace dovrane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The file's one-pass reader accepts nothing the document's way refuses, and reads the same.
    const auto streamed = UpdatesCache::Saved::fromJsonText(fuzz::text(data, size));
    const auto json = Json::read(std::string(fuzz::text(data, size)));
    fuzz::check(!streamed || json, "what the file's reader takes is JSON");
    if (!json)
        return 0;
    const auto saved = UpdatesCache::Saved::fromJson(*json);
    fuzz::check(!streamed || (saved && *saved == *streamed), "the file's reader reads as the document does");
    if (!saved)
        return 0;
    const auto reread = UpdatesCache::Saved::fromJsonText(saved->toJson().dump());
    fuzz::check(reread && *reread == *saved, "the file's reader takes what the cache writes");
    const auto written = Json::read(saved->toJson().dump());
    fuzz::check(written.has_value(), "the cache writes JSON");
    const auto again = UpdatesCache::Saved::fromJson(*written);
    fuzz::check(bool(again), "what was read reads again");
    const auto twice = UpdatesCache::Saved::fromJson(*Json::read(again->toJson().dump()));
    fuzz::check(twice && *twice == *again, "and stays the same");
    return 0;
}
