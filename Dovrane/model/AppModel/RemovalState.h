#pragma once
// The model's removals in flight, private to the files that run them: the cleanup plan being
// made, the uninstall requests waiting for their sheet, and the journal records whose Put Back
// runs. Only the main thread touches it.

#include "AppModel/WindowRecords.h"

#include <DovraneKit/trash/Trasher.h>

#include <QUuid>

#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dovrane {

struct RemovalState {
    // The run number of the cleanup plan whose sheet is still to show; 0 when none is. A later
    // request or a change of the scan ends its turn.
    std::uint64_t cleanupPlans = 0;
    std::uint64_t awaitedPlan = 0;
    // Uninstall requests in the order made; each shows once its search has ended and the
    // requests before it have shown.
    struct QueuedUninstall {
        std::uint64_t ticket = 0;
        std::string path;
        std::optional<UninstallRequest> request;
    };
    std::deque<QueuedUninstall> uninstallQueue;
    std::uint64_t uninstallTickets = 0;
    std::set<QUuid> puttingBack;
};

} // namespace dovrane
