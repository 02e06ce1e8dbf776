#include "AppModel/ScanCache.h"

#include "AppModel/CacheWriter.h"

#include <nlohmann/json.hpp>

#include <string_view>

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

namespace {

// Replaces the empty array of `key` in `text` with the elements: `"key":[]` is the first
// occurrence, because every key sorted before it has a number or an identifier for its value.
void fillArray(std::string& text, std::string_view key, const std::string& elements) {
    const std::string empty = "\"" + std::string(key) + "\":[]";
    const std::size_t at = text.find(empty);
    text.insert(at + empty.size() - 1, elements);
}

} // namespace

std::string encode(const ScanResult& scan) {
    ScanResult outline;
    outline.date = scan.date;
    outline.volume = scan.volume;
    outline.total = scan.total;
    outline.free = scan.free;
    outline.available = scan.available;
    std::string text = outline.toJson().dump();
    std::string categories;
    for (const Category& category : scan.categories) {
        Category empty(category.id, category.size, {}, category.sizeIsEstimate, category.note);
        std::string categoryText = empty.toJson().dump();
        std::string items;
        for (const CleanupItem& item : category.items) {
            if (!items.empty())
                items += ',';
            items += item.toJson().dump();
        }
        fillArray(categoryText, "items", items);
        if (!categories.empty())
            categories += ',';
        categories += categoryText;
    }
    fillArray(text, "categories", categories);
    return text;
}

} // namespace dovrane::ScanCache
