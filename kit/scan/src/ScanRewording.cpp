// A scan kept from an earlier run speaks the language of that run. Its texts are worded again
// from what each item still holds: a reason or note through the catalogue that made it, a name
// the scan gives by the rule (`source`) that found the item.

#include "DovraneKit/core/Language.h"
#include "DovraneKit/core/Path.h"
#include "DovraneKit/scan/DiskScanner.h"

#include "core/Catalogue.h"
#include "scan/ScanCollectors.h"

#include <string_view>
#include <unordered_map>

namespace dovrane {

namespace {

// The rules whose items the scan names from the catalogue (the Trash, Messages' attachments,
// Xcode's archives and simulator caches, all simulators; your folders below); the names of the
// others are those of files, apps, tools and devices.
bool namesFromCatalogue(std::string_view source) {
    return source == "trash" || source == "messages" || source == "xcode.archives" || source == "xcode.simCaches" ||
           source == "simulators.all";
}

// One of your folders is named from the catalogue where it is the Mac's folder of the home, and
// by its own name where the desktop keeps it elsewhere ("Bilder" for a German desktop's
// pictures), in any language. A name that is not the folder's is the catalogue's; so is the
// folder's own name when it is the catalogue's English.
bool personalNameFromCatalogue(const CleanupItem& item) {
    return item.name != Path::lastComponent(item.url.path()) || catalogue::german(item.name);
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
            if (namesFromCatalogue(item.source) || (item.source == "personal" && personalNameFromCatalogue(item))) {
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
