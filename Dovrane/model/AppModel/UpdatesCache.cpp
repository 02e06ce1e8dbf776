#include "AppModel/UpdatesCache.h"

#include <DovraneKit/formats/JsonReading.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

namespace dovrane::UpdatesCache {

namespace {

using nlohmann::json;

// The keys the update records are read by, found from what they write: a member under any
// other key is ignored by their decoders, so it need not be kept to decode them.
struct RecordKeys {
    std::set<std::string, std::less<>> kinds, payload, info;

    RecordKeys() {
        for (const auto& check : {UpdateCheck::upToDate(), UpdateCheck::failed({})}) {
            const json written = check.toJson();
            for (const auto& [kind, content] : written.items()) {
                kinds.insert(kind);
                for (const auto& [key, value] : content.items())
                    payload.insert(key);
            }
        }
        UpdateInfo full;
        full.newBuild = full.releaseNotes = full.edSignature = full.caskToken = "";
        full.releaseNotesURL = full.downloadURL = full.storeURL = Url::fromPath("/");
        full.length = 0;
        const json fields = full.toJson();
        for (const auto& [key, value] : fields.items())
            info.insert(key);
        kinds.insert(rawKind(UpdateCheck::available(full)));
        kinds.insert(rawKind(UpdateCheck::unsupported({})));
    }

    static std::string rawKind(const UpdateCheck& check) { return check.toJson().begin().key(); }

    // Whether a member under `key` at `level` inside one result (1: the kind, 2: its payload,
    // 3: the update's fields) can matter to the decoders.
    bool matters(int level, std::string_view key) const {
        switch (level) {
        case 1:
            return kinds.contains(key);
        case 2:
            return payload.contains(key);
        case 3:
            return info.contains(key);
        default:
            return false;
        }
    }
};

const RecordKeys& recordKeys() {
    static const RecordKeys keys;
    return keys;
}

// Reads {"date": …, "results": {path: check, …}} through the JSON library's events, with the
// nesting limit of Json::read. Each result is built as a small document holding only what its
// decoder reads (an array, which no result holds, stands as an empty one; a member of an
// unknown key is left out) and decoded as soon as it closes.
class SavedReader {
public:
    explicit SavedReader(UpdatesCache::Saved& saved) : saved_(saved) {}

    bool null() { return scalar(nullptr); }
    bool boolean(bool value) { return scalar(value); }
    bool number_integer(json::number_integer_t value) { return scalar(value); }
    bool number_unsigned(json::number_unsigned_t value) { return scalar(value); }
    bool number_float(json::number_float_t value, const json::string_t&) { return scalar(value); }
    bool string(json::string_t& value) { return scalar(std::move(value)); }
    bool binary(json::binary_t&) { return false; }

    bool key(json::string_t& value) {
        if (depth_ == 1)
            topKey_ = value;
        else if (depth_ == 2 && inResults_)
            path_ = value;
        else if (building())
            slot_ = keeps(value) ? &(*open_.back())[value] : nullptr;
        return true;
    }

    bool start_object(std::size_t) { return enter(true); }
    bool start_array(std::size_t) { return enter(false); }
    bool end_object() { return leave(); }
    bool end_array() { return leave(); }
    bool parse_error(std::size_t, const std::string&, const json::exception&) { return false; }

    bool complete() const { return dated_ && resultsRead_; }

private:
    // Inside one result, at the level where its members are kept.
    bool building() const { return !open_.empty() && skipping_ == 0; }
    bool keeps(std::string_view key) const { return recordKeys().matters(int(open_.size()), key); }

    bool scalar(json value) {
        if (depth_ == 0)
            return false; // the file is one object
        if (depth_ == 1) {
            if (topKey_ == "date") {
                dated_ = value.is_number() && std::isfinite(value.get<double>());
                if (dated_)
                    saved_.date = Date{value.get<double>()};
            } else if (topKey_ == "results") {
                resultsRead_ = false;
            }
            return true;
        }
        if (depth_ == 2 && inResults_)
            return false; // a result that is no object does not decode, nor does the file
        if (building() && slot_)
            *slot_ = std::move(value);
        return true;
    }

    bool enter(bool object) {
        if (depth_ >= Json::maximumDepth)
            return false;
        ++depth_;
        if (depth_ == 1)
            return object; // the file is one object
        if (depth_ == 2) {
            if (topKey_ == "date")
                dated_ = false;
            inResults_ = topKey_ == "results" && object;
            if (topKey_ == "results") {
                resultsRead_ = inResults_;
                saved_.results.clear();
            }
            return true;
        }
        if (depth_ == 3 && inResults_) {
            if (!object)
                return false;
            result_ = json::object();
            open_.assign(1, &result_);
            return true;
        }
        if (!building()) {
            ++skipping_;
            return true;
        }
        json* slot = std::exchange(slot_, nullptr);
        if (!slot) {
            ++skipping_; // a member no decoder reads
            return true;
        }
        // A container where the records hold text or numbers: its type alone refuses it.
        if (!object || open_.size() >= 3) {
            *slot = object ? json::object() : json::array();
            ++skipping_;
            return true;
        }
        *slot = json::object();
        open_.push_back(slot);
        return true;
    }

    bool leave() {
        --depth_;
        if (skipping_ > 0) {
            --skipping_;
            return true;
        }
        if (open_.empty()) {
            if (depth_ == 1)
                inResults_ = false;
            return true;
        }
        open_.pop_back();
        if (!open_.empty())
            return true;
        auto check = UpdateCheck::fromJson(result_);
        if (!check)
            return false;
        saved_.results.insert_or_assign(path_, std::move(check).value());
        result_ = nullptr;
        return true;
    }

    UpdatesCache::Saved& saved_;
    int depth_ = 0;
    std::string topKey_;
    std::string path_;
    bool inResults_ = false;
    bool dated_ = false;
    bool resultsRead_ = false;
    json result_;
    std::vector<json*> open_; // the open objects of the result being read
    json* slot_ = nullptr;    // where the next value of the result goes, or nowhere
    int skipping_ = 0;        // open containers whose content is not kept
};

} // namespace

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

Expected<Saved> Saved::fromJsonText(std::string_view text) {
    Saved saved{Date{0}, {}};
    SavedReader reader(saved);
    try {
        if (!json::sax_parse(text, &reader))
            return Failure{"UpdatesCache: not JSON, nested too deeply, or a result that does not decode"};
    } catch (const json::exception&) {
        return Failure{"UpdatesCache: not JSON"};
    }
    if (!reader.complete())
        return Failure{"UpdatesCache: \"date\" or \"results\" is missing or not of its type"};
    return saved;
}

Url url() { return cacheURL(Store::updatesCache); }

std::optional<Saved> load() {
    auto text = readCacheText(url(), maximumFileSize);
    if (!text)
        return std::nullopt;
    auto saved = Saved::fromJsonText(*text);
    if (!saved)
        return std::nullopt;
    for (auto& [path, check] : saved.value().results)
        check = check.reworded();
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
