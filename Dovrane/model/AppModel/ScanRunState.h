#pragma once
// The model's scan run, private to the files that start, follow and end it: the run number
// (0 when none is current), its stop and the categories it still measures. Only the main
// thread touches it.

#include <DovraneKit/scan/ScanModel.h>

#include <QPromise>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <vector>

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
    // The cached scan read at start-up has been taken in, or found missing; until then the
    // promises of those waiting for it (one each: a future takes only one continuation).
    bool restored = false;
    std::vector<std::shared_ptr<QPromise<void>>> awaitingRestore;
};

} // namespace dovrane
