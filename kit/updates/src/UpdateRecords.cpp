#include "DovraneKit/updates/UpdateRecords.h"

#include "DovraneKit/core/Language.h"

#include "formats/JsonCoding.h"

#include <array>

namespace dovrane {

using jsoncoding::DecodeError;
using jsoncoding::ObjectReader;

namespace {

// The case names double as the one key of a check's JSON object.
constexpr std::array<const char*, 4> kindNames = {"available", "upToDate", "failed", "unsupported"};

const char* keyOf(UpdateCheck::Kind kind) { return kindNames[std::size_t(kind)]; }

// The same cases as the diagnostic report counts them, in the words support reads.
constexpr std::array<const char*, 4> reportedNames = {"available", "current", "failed", "unsupported"};

UpdateInfo readInfo(const nlohmann::json& json) {
    ObjectReader in(json, "UpdateInfo");
    UpdateInfo info;
    info.bundleID = in.string("bundleID");
    info.appPath = in.url("appPath");
    info.currentVersion = in.string("currentVersion");
    info.newVersion = in.string("newVersion");
    info.newBuild = in.optionalString("newBuild");
    info.source = in.enumeration("source", appSourceFromRaw);
    info.releaseNotes = in.optionalString("releaseNotes");
    info.releaseNotesURL = in.optionalUrl("releaseNotesURL");
    info.downloadURL = in.optionalUrl("downloadURL");
    info.length = in.optionalInteger("length");
    info.edSignature = in.optionalString("edSignature");
    info.storeURL = in.optionalUrl("storeURL");
    info.caskToken = in.optionalString("caskToken");
    info.checkedAt = in.date("checkedAt");
    return info;
}

} // namespace

nlohmann::json UpdateInfo::toJson() const {
    nlohmann::json json = {
        {"bundleID", bundleID},     {"appPath", appPath.text()},  {"currentVersion", currentVersion},
        {"newVersion", newVersion}, {"source", rawValue(source)}, {"checkedAt", checkedAt.secondsSinceReference}};
    jsoncoding::putOptional(json, "newBuild", newBuild);
    jsoncoding::putOptional(json, "releaseNotes", releaseNotes);
    jsoncoding::putOptional(json, "releaseNotesURL", releaseNotesURL);
    jsoncoding::putOptional(json, "downloadURL", downloadURL);
    jsoncoding::putOptional(json, "length", length);
    jsoncoding::putOptional(json, "edSignature", edSignature);
    jsoncoding::putOptional(json, "storeURL", storeURL);
    jsoncoding::putOptional(json, "caskToken", caskToken);
    return json;
}

Expected<UpdateInfo> UpdateInfo::fromJson(const nlohmann::json& json) {
    return jsoncoding::decode([&] { return readInfo(json); });
}

UpdateCheck UpdateCheck::available(UpdateInfo info) {
    return UpdateCheck(Kind::available, std::make_shared<const UpdateInfo>(std::move(info)), {});
}
UpdateCheck UpdateCheck::upToDate() { return UpdateCheck(Kind::upToDate, nullptr, {}); }
UpdateCheck UpdateCheck::failed(std::string message) { return UpdateCheck(Kind::failed, nullptr, std::move(message)); }
UpdateCheck UpdateCheck::unsupported(std::string message) {
    return UpdateCheck(Kind::unsupported, nullptr, std::move(message));
}

std::optional<UpdateInfo> UpdateCheck::update() const {
    if (kind_ == Kind::available && info_)
        return *info_;
    return std::nullopt;
}

UpdateCheck UpdateCheck::reworded() const {
    if (kind_ != Kind::failed && kind_ != Kind::unsupported)
        return *this;
    return UpdateCheck(kind_, info_, dovrane::reworded(message_));
}

bool UpdateCheck::operator==(const UpdateCheck& other) const {
    if (kind_ != other.kind_)
        return false;
    switch (kind_) {
    case Kind::available:
        return *info_ == *other.info_;
    case Kind::upToDate:
        return true;
    case Kind::failed:
    case Kind::unsupported:
        return message_ == other.message_;
    }
    return false;
}

nlohmann::json UpdateCheck::toJson() const {
    nlohmann::json payload = nlohmann::json::object();
    if (kind_ == Kind::available)
        payload["_0"] = info_->toJson();
    else if (kind_ != Kind::upToDate)
        payload["_0"] = message_;
    nlohmann::json json = nlohmann::json::object();
    json[keyOf(kind_)] = std::move(payload);
    return json;
}

Expected<UpdateCheck> UpdateCheck::fromJson(const nlohmann::json& json) {
    return jsoncoding::decode([&] {
        if (!json.is_object())
            throw DecodeError("UpdateCheck: expected an object");
        // Only the case names count; any other key is ignored.
        std::optional<Kind> kind;
        int found = 0;
        for (std::size_t i = 0; i < kindNames.size(); ++i) {
            if (json.contains(kindNames[i])) {
                kind = Kind(i);
                ++found;
            }
        }
        if (found != 1)
            throw DecodeError("UpdateCheck: Invalid number of keys found, expected one.");
        const auto& payload = json.at(keyOf(*kind));
        if (!payload.is_object())
            throw DecodeError(std::string("UpdateCheck: \"") + keyOf(*kind) + "\" is not an object");
        ObjectReader in(payload, std::string("UpdateCheck.") + keyOf(*kind));
        switch (*kind) {
        case Kind::available:
            return available(readInfo(in.value("_0")));
        case Kind::upToDate:
            return upToDate();
        case Kind::failed:
            return failed(in.string("_0"));
        case Kind::unsupported:
            return unsupported(in.string("_0"));
        }
        throw DecodeError("UpdateCheck: unknown case");
    });
}

std::map<std::string, int> UpdateCheck::countKinds(const std::map<std::string, UpdateCheck>& results) {
    std::map<std::string, int> counts;
    for (const auto& [path, check] : results)
        ++counts[reportedNames[std::size_t(check.kind())]];
    return counts;
}

} // namespace dovrane
