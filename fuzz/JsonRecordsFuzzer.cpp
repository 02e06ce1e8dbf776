// Every JSON record the library decodes (caches, journal, settings, update records): a record
// that decodes writes back to JSON that decodes to the same record, the figures derived from a
// decoded scan never overflow, and the scan cache's one-pass reader and writer and the
// element-by-element reader agree with the document's way.
#include "DovraneKit/apps/AppRecords.h"
#include "DovraneKit/formats/JsonReading.h"
#include "DovraneKit/scan/ScanModel.h"
#include "DovraneKit/scan/ScanSettings.h"
#include "DovraneKit/trash/RemovedItem.h"
#include "DovraneKit/updates/UpdateRecords.h"
#include "FuzzSupport.h"

using namespace dovrane;

namespace {

template <class Record> void roundTrip(const nlohmann::json& json, const char* what) {
    auto record = Record::fromJson(json);
    if (!record)
        return;
    // Through text, as the stores keep it; names that are not UTF-8 are written readably and
    // may read back changed, so the second reading must be stable.
    auto first = Json::read(record->toJson().dump());
    fuzz::check(first.has_value(), what);
    auto again = Record::fromJson(*first);
    fuzz::check(bool(again), what);
    auto twice = Record::fromJson(*Json::read(again->toJson().dump()));
    fuzz::check(twice && *twice == *again, what);
}

// The scan cache's one-pass reader takes exactly what the document's way takes, into the same
// records, and its writer writes the document's bytes.
void scanTextReadsAsTheDocument(std::string_view text, const std::optional<nlohmann::json>& json) {
    const auto onePass = ScanResult::fromJsonText(text);
    const auto document = json ? ScanResult::fromJson(*json) : Expected<ScanResult>(Failure{"no JSON"});
    fuzz::check(bool(onePass) == bool(document), "the one-pass scan reader refuses what the document refuses");
    if (!onePass || !document)
        return;
    fuzz::check(*onePass == *document, "the one-pass scan reader reads the document's records");
    fuzz::check(onePass->toJsonText() == onePass->toJson().dump(), "the scan writer writes the document's bytes");
}

// The element-by-element reader takes an array's elements as the document holds them, and
// refuses whatever is not an array the document's way reads.
void elementsReadAsTheDocument(std::string_view text, const std::optional<nlohmann::json>& json) {
    nlohmann::json elements = nlohmann::json::array();
    const bool read = Json::readEach(text, [&elements](nlohmann::json&& element) {
        elements.push_back(std::move(element));
        return true;
    });
    fuzz::check(read == (json && json->is_array()), "the element reader refuses what the document refuses");
    if (read)
        fuzz::check(elements == *json, "the element reader reads the document's elements");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto json = Json::read(fuzz::text(data, size));
    scanTextReadsAsTheDocument(fuzz::text(data, size), json);
    elementsReadAsTheDocument(fuzz::text(data, size), json);
    if (!json)
        return 0;
    roundTrip<InstalledApp>(*json, "InstalledApp round trip");
    roundTrip<RemovedItem>(*json, "RemovedItem round trip");
    roundTrip<CleanupItem>(*json, "CleanupItem round trip");
    roundTrip<Category>(*json, "Category round trip");
    roundTrip<ScanResult>(*json, "ScanResult round trip");
    roundTrip<ScanSettings>(*json, "ScanSettings round trip");
    roundTrip<UpdateInfo>(*json, "UpdateInfo round trip");
    roundTrip<UpdateCheck>(*json, "UpdateCheck round trip");
    if (auto scan = ScanResult::fromJson(*json)) {
        (void)scan->used();
        (void)scan->purgeable();
        (void)scan->safeTotal();
        (void)scan->sizesByCategory();
        for (const auto& category : scan->categories)
            (void)category.safeSize();
        scan->computeOther();
        for (const auto& category : scan->categories)
            (void)bytes(category.size);
    }
    // A removed item's path bytes decode to one path only.
    if (auto item = RemovedItem::fromJson(*json)) {
        auto back = RemovedItem::fromJson(item->toJson());
        fuzz::check(back && back->originalPath == item->originalPath && back->trashPath == item->trashPath,
                    "a journal record names the same paths after writing");
    }
    return 0;
}
