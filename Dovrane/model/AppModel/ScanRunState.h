#pragma once
// The model's scan run, private to the files that start, follow and end it: the run number
// (0 when none is current), its stop and the categories it still measures. Only the main
// thread touches it.

#include <DovraneKit/scan/ScanModel.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <stop_token>

namespace dovrane {

struct ScanRunState {
    std::uint64_t runs = 0;
    std::uint64_t current = 0;
    std::optional<std::stop_source> stop;
    std::set<CategoryID> pendingCategories;
    // A scan of this session has ended: its sizes are fresh enough to spare walking again.
    bool endedThisSession = false;
    // The leftovers search never runs beside a scan: it waits here for the scan to end.
    std::function<void()> orphanSearch;
};

} // namespace dovrane
