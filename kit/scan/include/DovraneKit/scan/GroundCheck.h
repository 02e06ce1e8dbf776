#pragma once
// Whether items of a scan still stand on what their rating was measured on, looked at again
// when their move is planned: a scan shown may be hours old. Each must be the same item at its
// path (its identity as measured) with the same owner, and what was rated by its age must still
// be old enough: a project's newest change outside its build and dependency folders, an
// installer's content. An item whose ground changed is left out of the move.

#include "DovraneKit/core/Date.h"
#include "DovraneKit/scan/ScanModel.h"

#include <stop_token>
#include <vector>

namespace dovrane {

struct GroundCheck {
    enum class Change {
        none,      // it still stands
        gone,      // nothing is at its path now
        replaced,  // another item stands at its path
        owner,     // another user owns it now
        project,   // its project was changed since, or can no longer be dated
        installer, // the installer is younger than its age allows
    };

    int projectAgeDays = 30;
    int installerAgeDays = 14;
    // The installers' clock, the one the scanner was given; projects are dated by the wall clock,
    // as the scanner dates them.
    Date now;

    // Per item, in order. Only items to move to the Trash are looked at; an item without a ground
    // (an older scan file) is checked on its age alone. A stop request leaves the rest unchecked
    // as unchanged: the move checks each identity it has again.
    std::vector<Change> check(const std::vector<CleanupItem>& items, std::stop_token stop = {}) const;
};

} // namespace dovrane
