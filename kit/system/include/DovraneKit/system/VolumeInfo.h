#pragma once
// The capacity figures of the volume that holds a path, as the scan's summary shows them.

#include "DovraneKit/core/Url.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace dovrane {

struct VolumeInfo {
    std::string name; // the file system's label, else "This computer"
    std::int64_t total = 0;
    std::int64_t free = 0;      // available for important use; Linux has no more than `available`
    std::int64_t available = 0; // available to this user right now

    // Figures of the volume that holds the path; absent when they cannot be read.
    static std::optional<VolumeInfo> read(const Url& url);
    // The name of a volume without a label, in the current language: "This computer".
    static std::string unlabeledName();
    // A name stored earlier (in a scan cache) as the current language shows it: the name of a
    // volume without a label is worded afresh, whichever language stored it; a label stays.
    static std::string shownName(std::string_view stored);
    // important - available, never below zero.
    static std::int64_t purgeable(std::int64_t important, std::int64_t available);

    bool operator==(const VolumeInfo&) const = default;
};

} // namespace dovrane

template <> struct std::hash<dovrane::VolumeInfo> {
    std::size_t operator()(const dovrane::VolumeInfo& v) const noexcept {
        std::size_t h = std::hash<std::string>{}(v.name);
        for (std::int64_t figure : {v.total, v.free, v.available})
            h = h * 31 + std::hash<std::int64_t>{}(figure);
        return h;
    }
};
