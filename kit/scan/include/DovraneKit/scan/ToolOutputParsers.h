#pragma once
// Readers of what other programs write: the snapshot list of the Time Machine tool, the device
// list of the simulator tool and a device backup's Info.plist (a bundle's is BundleInfo's). They
// never fail loudly: what cannot be read is left out or absent. All are safe to call from
// several threads at once.

#include "DovraneKit/core/Date.h"
#include "DovraneKit/core/Url.h"
#include "DovraneKit/formats/Plist.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dovrane {

// The output of "tmutil listlocalsnapshotdates /".
struct SnapshotParser {
    struct Snapshot {
        std::string stamp; // "2024-05-01-093012", exactly as printed
        Date date;         // that stamp in the current time zone
        bool operator==(const Snapshot&) const = default;
    };

    // One snapshot per distinct stamp (the first line wins), oldest first; lines without a
    // stamp, such as the tool's header, and stamps that are no real date fall away.
    static std::vector<Snapshot> parse(std::string_view text);
    // A "yyyy-MM-dd-HHmmss" stamp in the current time zone; nothing unless it is exactly that
    // and names a real moment.
    static std::optional<Date> date(std::string_view stamp);
};

// The output of "xcrun simctl list devices --json".
struct SimctlParser {
    struct Device {
        std::string udid;
        std::string name;
        std::string runtime; // "iOS 17.5", made from the runtime key
        bool isAvailable = false;
        std::optional<std::string> dataPath;
        bool operator==(const Device&) const = default;
    };

    // Sorted by runtime, then name (bytewise); one malformed device empties the whole list.
    static std::vector<Device> parse(std::string_view bytes);
};

// The Info.plist of one device backup folder.
struct BackupInfo {
    struct Info {
        std::optional<std::string> deviceName;
        std::optional<Date> date; // the last backup
        bool operator==(const Info&) const = default;
    };

    // Both fields absent when the property list is missing or unreadable.
    static Info read(const Url& folder);
};

} // namespace dovrane
