#include "AppModel/UpdatesCache.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace dovrane::UpdatesCache {

nlohmann::json Saved::toJson() const {
    nlohmann::json encoded = nlohmann::json::object();
    for (const auto& [path, check] : results)
        encoded[path] = check.toJson();
    return {{"date", date.secondsSinceReference}, {"results", std::move(encoded)}};
}

Expected<Saved> Saved::fromJson(const nlohmann::json& json) {
    if (!json.is_object())
        return Failure{"UpdatesCache: expected an object"};
    auto date = json.find("date");
    // A date too large for a double reads as infinite and would be written back as null.
    if (date == json.end() || !date->is_number() || !std::isfinite(date->get<double>()))
        return Failure{"UpdatesCache: \"date\" is missing or not a number"};
    auto results = json.find("results");
    if (results == json.end() || !results->is_object())
        return Failure{"UpdatesCache: \"results\" is missing or not an object"};
    Saved saved{Date{date->get<double>()}, {}};
    for (const auto& [path, value] : results->items()) {
        auto check = UpdateCheck::fromJson(value);
        if (!check)
            return Failure{"UpdatesCache: result of " + path + ": " + check.error().message};
        saved.results.emplace(path, std::move(check).value());
    }
    return saved;
}

Url url() { return cacheURL("last-updates.json", ".updates.json"); }

std::optional<Saved> load() {
    auto document = readCache(url());
    if (!document)
        return std::nullopt;
    auto saved = Saved::fromJson(*document);
    if (!saved)
        return std::nullopt;
    return std::move(saved).value();
}

QFuture<bool> save(CacheWriter& writer, std::map<std::string, UpdateCheck> results, Date date) {
    return writer.write(url().path(), [saved = Saved{date, std::move(results)}]() -> std::optional<std::string> {
        try {
            return saved.toJson().dump();
        } catch (const nlohmann::json::exception&) {
            return std::nullopt; // text the JSON writer refuses; the old cache stays
        }
    });
}

} // namespace dovrane::UpdatesCache
