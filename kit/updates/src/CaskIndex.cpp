#include "DovraneKit/updates/CaskIndex.h"

#include "DovraneKit/formats/JsonReading.h"
#include "DovraneKit/system/FileSystem.h"

#include "core/Ascii.h"
#include "formats/JsonCoding.h"

#include <nlohmann/json.hpp>

namespace dovrane {

namespace {

using nlohmann::json;

json parseQuietly(std::string_view bytes) { return Json::read(bytes).value_or(json()); }

const json* member(const json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// The index and the lookup answer are read as arrays of objects as a whole: one element of
// another kind makes the whole array unreadable.
bool isArrayOfObjects(const json* value) {
    if (!value || !value->is_array())
        return false;
    for (const auto& element : *value)
        if (!element.is_object())
            return false;
    return true;
}

const std::string* stringMember(const json& object, const char* key) {
    const json* value = member(object, key);
    return value && value->is_string() ? value->get_ptr<const std::string*>() : nullptr;
}

// Names of the app bundles of one cask, in order, across all its "app" artifacts.
std::vector<std::string> appNames(const json& cask) {
    std::vector<std::string> names;
    const json* artifacts = member(cask, "artifacts");
    if (!isArrayOfObjects(artifacts))
        return names;
    for (const auto& artifact : *artifacts) {
        const json* apps = member(artifact, "app");
        if (!apps || !apps->is_array())
            continue;
        for (const auto& app : *apps) {
            if (app.is_string()) {
                names.push_back(app.get<std::string>());
            } else if (app.is_object()) {
                // A target may name a sub-folder as well; only the bundle's own name counts.
                if (const std::string* target = stringMember(app, "target"))
                    names.push_back(Path::lastComponent(*target));
            }
        }
    }
    return names;
}

} // namespace

namespace CaskIndex {

std::map<std::string, CaskInfo> parse(std::string_view bytes) {
    std::map<std::string, CaskInfo> table;
    try {
        json document = parseQuietly(bytes);
        if (!isArrayOfObjects(&document))
            return table;
        for (const auto& cask : document) {
            const std::string* token = stringMember(cask, "token");
            const std::string* version = stringMember(cask, "version");
            if (!token || !version)
                continue;
            const json* autoUpdates = member(cask, "auto_updates");
            CaskInfo info{*token, *version, autoUpdates && autoUpdates->is_boolean() && autoUpdates->get<bool>(),
                          appNames(cask)};
            table.insert_or_assign(*token, std::move(info));
        }
    } catch (const std::exception&) {
        table.clear();
    }
    return table;
}

} // namespace CaskIndex

namespace StoreLookup {

Url defaultService() { return Url::parse("https://itunes.apple.com").value(); }

Url url(std::string_view bundleID, std::string_view country, std::string_view entity, const Url& service) {
    std::string base = service.text();
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    const std::string lowerCountry = ascii::lowercased(country);
    std::string text = base + "/lookup?bundleId=" + percentEncodeQueryValue(bundleID) +
                       "&entity=" + percentEncodeQueryValue(entity) +
                       "&country=" + percentEncodeQueryValue(lowerCountry);
    return Url::parse(text).value_or(Url());
}

std::optional<StoreRecord> parse(std::string_view bytes) {
    try {
        json document = parseQuietly(bytes);
        if (!document.is_object())
            return std::nullopt;
        const json* results = member(document, "results");
        if (!isArrayOfObjects(results) || results->empty())
            return std::nullopt;
        const json& first = results->front();
        jsoncoding::ObjectReader reader(first, "lookup result");
        StoreRecord record;
        record.version = reader.string("version");
        record.trackID = reader.integer("trackId");
        if (const std::string* notes = stringMember(first, "releaseNotes"))
            record.releaseNotes = *notes;
        if (const std::string* minimum = stringMember(first, "minimumOsVersion"))
            record.minimumOS = *minimum;
        return record;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace StoreLookup

} // namespace dovrane
