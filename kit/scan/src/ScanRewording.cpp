// A scan kept from an earlier run speaks the language of that run. Its texts are worded again
// from what each item still holds: a reason or note through the catalogue that made it, a name
// the scan gives by the rule (`source`) that found the item.

#include "DovraneKit/core/Language.h"
#include "DovraneKit/scan/DiskScanner.h"

#include "scan/ScanCollectors.h"

#include <string_view>
#include <unordered_map>

namespace dovrane {

namespace {

// The rules whose items the scan names from the catalogue (your folders, the Trash, Messages'
// attachments, Xcode's archives and simulator caches, all simulators); the names of the
// others are those of files, apps, tools and devices.
bool namesFromCatalogue(std::string_view source) {
    return source == "personal" || source == "trash" || source == "messages" || source == "xcode.archives" ||
           source == "xcode.simCaches" || source == "simulators.all";
}

} // namespace

void DiskScanner::reword(ScanResult& scan) {
    // Thousands of items share a handful of reasons: each is worded once.
    std::unordered_map<std::string, std::string> again;
    auto reworded = [&again](std::string& text) {
        auto [found, added] = again.try_emplace(text);
        if (added)
            found->second = dovrane::reworded(text);
        text = found->second;
    };
    for (Category& category : scan.categories) {
        if (category.note)
            reworded(*category.note);
        for (CleanupItem& item : category.items) {
            reworded(item.reason);
            if (namesFromCatalogue(item.source)) {
                reworded(item.name);
            } else if (item.source == "snapshots.local" && item.lastUsed) {
                item.name = DateText::abbreviatedDateShortTime(*item.lastUsed);
            } else if (item.source == "backups.ios") {
                // The date is in the name alone: the backup's own record gives it again.
                const BackupInfo::Info info = BackupInfo::read(item.url);
                if (info.deviceName || info.date)
                    item.name = ScanCollectors::backupName(info);
                else
                    reworded(item.name);
            }
        }
    }
}

} // namespace dovrane
