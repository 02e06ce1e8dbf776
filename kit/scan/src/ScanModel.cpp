#include "DovraneKit/scan/ScanModel.h"

#include "DovraneKit/core/Language.h"
#include "DovraneKit/core/Saturating.h"
#include "DovraneKit/scan/Explanations.h"
#include "core/Utf8.h"
#include "formats/JsonCoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace dovrane {

using jsoncoding::ObjectReader;

namespace {

constexpr std::string_view categoryNames[] = {
    "apps",       "personal",  "caches", "logs",       "trash",  "installers",    "mailDownloads", "messages",
    "iosBackups", "snapshots", "xcode",  "simulators", "docker", "packageCaches", "projects",      "other"};
constexpr std::string_view safetyNames[] = {"safe", "review", "keep"};
constexpr std::string_view actionNames[] = {"trash", "emptyTrash", "deleteSnapshot", "showOnly"};

template <class E, std::size_t N> std::optional<E> fromNames(const std::string_view (&names)[N], std::string_view raw) {
    for (std::size_t i = 0; i < N; ++i)
        if (names[i] == raw)
            return E(i);
    return std::nullopt;
}

} // namespace

std::string_view rawValue(CategoryID id) { return categoryNames[position(id)]; }
std::optional<CategoryID> categoryIDFromRaw(std::string_view raw) { return fromNames<CategoryID>(categoryNames, raw); }
int position(CategoryID id) { return static_cast<int>(id); }

bool isSystemData(CategoryID id) {
    switch (id) {
    case CategoryID::caches:
    case CategoryID::logs:
    case CategoryID::mailDownloads:
    case CategoryID::iosBackups:
    case CategoryID::snapshots:
    case CategoryID::xcode:
    case CategoryID::simulators:
    case CategoryID::docker:
    case CategoryID::packageCaches:
    case CategoryID::other:
        return true;
    default:
        return false;
    }
}

bool isDeveloper(CategoryID id) { return position(id) >= 10 && position(id) <= 14; }

bool isMacOnly(CategoryID id) {
    switch (id) {
    case CategoryID::logs:
    case CategoryID::mailDownloads:
    case CategoryID::messages:
    case CategoryID::iosBackups:
    case CategoryID::snapshots:
    case CategoryID::xcode:
    case CategoryID::simulators:
        return true;
    default:
        return false;
    }
}

bool isShown(CategoryID id, const ScanResult& scan, bool linuxHome) {
    if (!linuxHome || !isMacOnly(id))
        return true;
    const Category* category = scan.category(id);
    return category && !category->holdsNothing();
}

std::string_view rawValue(Safety safety) { return safetyNames[static_cast<int>(safety)]; }
std::optional<Safety> safetyFromRaw(std::string_view raw) { return fromNames<Safety>(safetyNames, raw); }

std::string_view rawValue(CleanupAction action) { return actionNames[static_cast<int>(action)]; }
std::optional<CleanupAction> cleanupActionFromRaw(std::string_view raw) {
    return fromNames<CleanupAction>(actionNames, raw);
}

// MARK: CleanupItem

CleanupItem::CleanupItem(Url url_, std::optional<std::string> name_, std::int64_t size_, std::int64_t fileCount_,
                         std::optional<Date> lastUsed_, std::string reason_, std::string source_, Safety safety_,
                         CleanupAction action_)
    : url(std::move(url_)), name(name_ ? std::move(*name_) : url.lastPathComponent()), size(size_),
      fileCount(fileCount_), lastUsed(lastUsed_), reason(std::move(reason_)), source(std::move(source_)),
      safety(safety_), action(action_) {}

nlohmann::json CleanupItem::toJson() const {
    // A name taken from a file name need not be UTF-8; JSON text must be.
    nlohmann::json json = {
        {"url", url.text()},          {"name", utf8::valid(name)},     {"size", size},
        {"fileCount", fileCount},     {"reason", utf8::valid(reason)}, {"source", utf8::valid(source)},
        {"safety", rawValue(safety)}, {"action", rawValue(action)}};
    jsoncoding::putOptional(json, "lastUsed", lastUsed);
    if (ground)
        json["ground"] = {{"item", ground->identity.item.text()},
                          {"folder", ground->identity.folder.text()},
                          {"owner", ground->owner}};
    return json;
}

Expected<CleanupItem> CleanupItem::fromJson(const nlohmann::json& json) {
    return jsoncoding::decode([&] {
        ObjectReader in(json, "CleanupItem");
        CleanupItem item;
        item.url = in.url("url");
        item.name = in.string("name");
        item.size = in.size("size");
        item.fileCount = in.size("fileCount");
        item.lastUsed = in.optionalDate("lastUsed");
        item.reason = in.string("reason");
        item.source = in.string("source");
        item.safety = in.enumeration("safety", safetyFromRaw);
        item.action = in.enumeration("action", cleanupActionFromRaw);
        if (in.has("ground")) {
            ObjectReader noted(in.value("ground"), "CleanupItem.ground");
            const std::optional<FolderDescent::Identity> identity =
                FolderDescent::Identity::fromText(noted.string("item"), noted.string("folder"));
            const std::int64_t owner = noted.integer("owner");
            if (!identity || owner < 0 || owner > std::int64_t(UINT32_MAX))
                throw jsoncoding::DecodeError("CleanupItem.ground: not an item's identity and owner");
            item.ground = Ground{*identity, std::uint32_t(owner)};
        }
        return item;
    });
}

// MARK: Category

Category::Category(CategoryID id_, std::optional<std::int64_t> size_, std::vector<CleanupItem> items_,
                   bool sizeIsEstimate_, std::optional<std::string> note_)
    : id(id_), items(std::move(items_)), sizeIsEstimate(sizeIsEstimate_), note(std::move(note_)) {
    if (size_) {
        size = *size_;
    } else {
        for (const auto& item : items)
            size = saturatingAdd(size, item.size);
    }
}

std::string Category::title() const { return Explanations::title(id); }
std::string Category::explanation() const { return Explanations::text(id); }
Safety Category::safety() const { return Explanations::safety(id); }

std::int64_t Category::safeSize() const {
    std::int64_t sum = 0;
    for (const auto& item : items)
        if (item.safety == Safety::safe && item.action == CleanupAction::trash)
            sum = saturatingAdd(sum, item.size);
    return sum;
}

nlohmann::json Category::toJson() const {
    nlohmann::json itemsJson = nlohmann::json::array();
    for (const auto& item : items)
        itemsJson.push_back(item.toJson());
    nlohmann::json json = {
        {"id", rawValue(id)}, {"size", size}, {"items", std::move(itemsJson)}, {"sizeIsEstimate", sizeIsEstimate}};
    if (note)
        json["note"] = utf8::valid(*note);
    return json;
}

Expected<Category> Category::fromJson(const nlohmann::json& json) {
    return jsoncoding::decode([&] {
        ObjectReader in(json, "Category");
        Category category;
        category.id = in.enumeration("id", categoryIDFromRaw);
        category.size = in.size("size");
        for (const auto& element : in.array("items")) {
            auto item = CleanupItem::fromJson(element);
            if (!item)
                throw jsoncoding::DecodeError(item.error().message);
            category.items.push_back(std::move(item.value()));
        }
        category.sizeIsEstimate = in.boolean("sizeIsEstimate");
        category.note = in.optionalString("note");
        return category;
    });
}

// MARK: ScanResult

std::int64_t ScanResult::purgeable() const { return std::max<std::int64_t>(0, saturatingSubtract(free, available)); }
std::int64_t ScanResult::used() const { return std::max<std::int64_t>(0, saturatingSubtract(total, free)); }

const Category* ScanResult::category(CategoryID id) const {
    auto it = std::find_if(categories.begin(), categories.end(), [id](const Category& c) { return c.id == id; });
    return it == categories.end() ? nullptr : &*it;
}

std::vector<CleanupItem> ScanResult::safeItems(bool includingDeveloper) const {
    std::vector<CleanupItem> result;
    for (const auto& category : categories) {
        if (isDeveloper(category.id) && !includingDeveloper)
            continue;
        for (const auto& item : category.items)
            if (item.safety == Safety::safe && item.action == CleanupAction::trash)
                result.push_back(item);
    }
    return result;
}

std::int64_t ScanResult::safeTotal() const {
    // The items of safeItems() in their order, summed where they lie: a page asks at every redraw.
    std::int64_t sum = 0;
    for (const auto& category : categories)
        for (const auto& item : category.items)
            if (item.safety == Safety::safe && item.action == CleanupAction::trash)
                sum = saturatingAdd(sum, item.size);
    return sum;
}

void Category::capLastUse(Date when) {
    // A snapshot's date is when it was taken, and names it.
    for (CleanupItem& item : items)
        if (item.lastUsed && *item.lastUsed > when && item.action != CleanupAction::deleteSnapshot)
            item.lastUsed = when;
}

void ScanResult::capLastUse() {
    for (Category& category : categories)
        category.capLastUse(date);
}

void ScanResult::computeOther() {
    std::erase_if(categories, [](const Category& c) { return c.id == CategoryID::other; });
    std::int64_t known = 0;
    for (const auto& category : categories)
        if (!category.sizeIsEstimate)
            known = saturatingAdd(known, category.size);
    categories.emplace_back(CategoryID::other, std::max<std::int64_t>(0, saturatingSubtract(used(), known)));
}

void ScanResult::countMovedToTrash(const Url& files, std::int64_t size, std::int64_t fileCount) {
    auto trash =
        std::find_if(categories.begin(), categories.end(), [](const Category& c) { return c.id == CategoryID::trash; });
    if (trash == categories.end() || (size < 1 && fileCount < 1))
        return;
    auto folder = std::find_if(trash->items.begin(), trash->items.end(),
                               [](const CleanupItem& item) { return item.action == CleanupAction::emptyTrash; });
    if (folder == trash->items.end()) {
        trash->items.push_back(trashFolderItem(files, size, fileCount));
    } else {
        folder->size = saturatingAdd(folder->size, size);
        folder->fileCount = saturatingAdd(folder->fileCount, fileCount);
    }
    trash->size = saturatingAdd(trash->size, size);
}

CleanupItem trashFolderItem(const Url& files, std::int64_t size, std::int64_t fileCount, std::optional<Date> lastUsed) {
    return CleanupItem(files, L("Trash"), size, fileCount, lastUsed,
                       L("Dovrane empties the Trash after you confirm. This cannot be undone."), "trash", Safety::safe,
                       CleanupAction::emptyTrash);
}

std::map<std::string, std::int64_t> ScanResult::sizesByCategory() const {
    std::map<std::string, std::int64_t> sizes;
    for (const auto& category : categories) {
        std::int64_t& size = sizes[std::string(rawValue(category.id))];
        size = saturatingAdd(size, category.size);
    }
    return sizes;
}

nlohmann::json ScanResult::toJson() const {
    nlohmann::json categoriesJson = nlohmann::json::array();
    for (const auto& category : categories)
        categoriesJson.push_back(category.toJson());
    return {{"date", date.secondsSinceReference},
            {"volume", utf8::valid(volume)},
            {"total", total},
            {"free", free},
            {"available", available},
            {"categories", std::move(categoriesJson)}};
}

Expected<ScanResult> ScanResult::fromJson(const nlohmann::json& json) {
    return jsoncoding::decode([&] {
        ObjectReader in(json, "ScanResult");
        ScanResult result;
        result.date = in.date("date");
        result.volume = in.string("volume");
        result.total = in.size("total");
        result.free = in.size("free");
        result.available = in.size("available");
        for (const auto& element : in.array("categories")) {
            auto category = Category::fromJson(element);
            if (!category)
                throw jsoncoding::DecodeError(category.error().message);
            result.categories.push_back(std::move(category.value()));
        }
        return result;
    });
}

// MARK: Byte counts

std::string bytes(std::int64_t count) {
    if (count == 0)
        return L("Zero KB");
    std::string sign = count < 0 ? "-" : "";
    // Work in unsigned so that the most negative count has a magnitude too.
    std::uint64_t magnitude = count < 0 ? 0 - std::uint64_t(count) : std::uint64_t(count);
    if (magnitude == 1)
        return sign + L("1 byte");
    if (magnitude < 1000)
        return sign + Lf("{1} bytes", {std::to_string(magnitude)});

    static constexpr const char* units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    static constexpr int decimals[] = {0, 1, 2, 2, 2, 2};
    int unit = 0;
    long double scale = 1000.0L;
    long double rounded = 0;
    for (;; ++unit, scale *= 1000.0L) {
        long double factor = std::pow(10.0L, decimals[unit]);
        rounded = std::round(static_cast<long double>(magnitude) / scale * factor) / factor;
        if (rounded < 1000.0L || unit == 5)
            break;
    }
    // to_chars ignores the C locale, which the application sets from the environment: printf
    // would write "1,0" under a German locale and the trailing zero would stay.
    char text[64];
    auto written = std::to_chars(text, text + sizeof text, rounded, std::chars_format::fixed, decimals[unit]);
    std::string number(text, written.ptr);
    if (number.find('.') != std::string::npos) {
        while (number.back() == '0')
            number.pop_back();
        if (number.back() == '.')
            number.pop_back();
    }
    if (currentLanguage() == Language::de)
        std::replace(number.begin(), number.end(), '.', ',');
    return sign + number + " " + units[unit];
}

} // namespace dovrane
