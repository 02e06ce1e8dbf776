#include "DovraneKit/trash/RemovedItem.h"

#include "core/SodiumSupport.h"
#include "core/Utf8.h"
#include "formats/JsonCoding.h"

namespace dovrane {

using jsoncoding::ObjectReader;

namespace {

// A path that is not UTF-8 cannot stand in JSON text as it is. It is written readable, with
// invalid bytes replaced, and its exact bytes go in Base64 under a key of its own that reading
// prefers, so a put back acts on the very item that was moved.
void putPath(nlohmann::json& json, const std::string& key, const Url& url) {
    const std::string path = url.path();
    json[key] = utf8::valid(path);
    if (!utf8::isValid(path))
        json[key + "Bytes"] = sodium::toBase64(path);
}

Url readPath(const ObjectReader& in, const std::string& key) {
    std::string text = in.string(key.c_str());
    std::string bytesKey = key + "Bytes";
    if (!in.has(bytesKey.c_str()))
        return Url::fromPath(text);
    auto bytes = sodium::fromBase64(in.string(bytesKey.c_str()));
    if (!bytes)
        throw jsoncoding::DecodeError("RemovedItem: \"" + bytesKey + "\" is not Base64");
    return Url::fromPath(*bytes);
}

} // namespace

nlohmann::json RemovedItem::toJson() const {
    nlohmann::json json = {{"size", size}, {"needsAdmin", needsAdmin}};
    putPath(json, "originalPath", originalPath);
    putPath(json, "trashPath", trashPath);
    if (identity)
        json["identity"] = identity->text();
    if (swappedTo)
        putPath(json, "swappedTo", *swappedTo);
    return json;
}

Expected<RemovedItem> RemovedItem::fromJson(const nlohmann::json& json) {
    return jsoncoding::decode([&] {
        ObjectReader in(json, "RemovedItem");
        RemovedItem item;
        item.originalPath = readPath(in, "originalPath");
        item.trashPath = readPath(in, "trashPath");
        item.size = in.size("size");
        item.needsAdmin = in.boolean("needsAdmin");
        if (in.has("identity")) {
            item.identity = FolderDescent::Identity::File::fromText(in.string("identity"));
            if (!item.identity)
                throw jsoncoding::DecodeError("RemovedItem: \"identity\" is not DEVICE:INODE:BORN");
        }
        if (in.has("swappedTo"))
            item.swappedTo = readPath(in, "swappedTo");
        return item;
    });
}

} // namespace dovrane
