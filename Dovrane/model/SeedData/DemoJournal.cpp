// The demo journal: four removals, the oldest one put back.

#include "SeedData/DemoText.h"
#include "SeedData/SeedData.h"
#include "Services/StoreRecords.h"

#include <QString>

#include <cstdint>
#include <string>

namespace dovrane::SeedData {

namespace {

// count items that together hold totalBytes, each the truncated share, so 7.9 GB in three
// items adds up to 7,899,999,999 bytes. Whatever the title, the items sit in the demo Caches.
std::vector<RemovedItem> items(int count, std::int64_t totalBytes) {
    std::vector<RemovedItem> result;
    for (int i = 0; i < count; ++i) {
        RemovedItem item;
        item.originalPath = Url::fromPath("/Users/demo/Library/Caches/item" + std::to_string(i));
        item.trashPath = Url::fromPath("/Users/demo/.Trash/item" + std::to_string(i));
        item.size = totalBytes / count;
        result.push_back(std::move(item));
    }
    return result;
}

std::shared_ptr<Removal> removal(double secondsAgo, const Text& title, int count, std::int64_t totalBytes) {
    return std::make_shared<Removal>(Date::now().adding(-secondsAgo), QString::fromStdString(title()),
                                     items(count, totalBytes));
}

} // namespace

std::vector<std::shared_ptr<Removal>> journal() {
    auto putBack = removal(777'600, {QT_TRANSLATE_NOOP("SeedData", "Ledgerly and 3 leftovers")}, 4, 420'000'000);
    putBack->setUndone(true);
    return {
        removal(8'640, {"Caches"}, 5, 12'400'000'000),
        removal(172'800, {QT_TRANSLATE_NOOP("SeedData", "Old installers")}, 3, 7'900'000'000),
        removal(518'400, {"Xcode"}, 8, 21'300'000'000),
        putBack,
    };
}

} // namespace dovrane::SeedData
