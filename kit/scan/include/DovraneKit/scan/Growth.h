#pragma once
// What grew between two daily records of disk use, and one sentence that says so.

#include "DovraneKit/core/Date.h"
#include "DovraneKit/scan/ScanModel.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace dovrane {

struct Growth {
    std::int64_t total = 0;        // newer used space minus older; negative when space was freed
    std::optional<CategoryID> top; // grew most; `other` when used space grew but no category did
    std::int64_t topSize = 0;      // how much `top` grew; 0 without one
    int days = 1;                  // whole days between the records, at least 1

    // The maps are category case name to size, as ScanResult::sizesByCategory makes them; a
    // missing category counts as 0.
    static Growth between(const std::map<std::string, std::int64_t>& old, std::int64_t oldUsed, Date oldDate,
                          const std::map<std::string, std::int64_t>& newer, std::int64_t newUsed, Date newDate);

    // In the current language; changes under 100 MB either way read as unchanged.
    std::string sentence() const;

    bool operator==(const Growth&) const = default;
};

} // namespace dovrane

template <> struct std::hash<dovrane::Growth> {
    std::size_t operator()(const dovrane::Growth& g) const noexcept {
        std::size_t h = std::hash<std::int64_t>{}(g.total);
        h = h * 31 + (g.top ? std::size_t(dovrane::position(*g.top)) + 1 : 0);
        h = h * 31 + std::hash<std::int64_t>{}(g.topSize);
        return h * 31 + std::hash<int>{}(g.days);
    }
};
