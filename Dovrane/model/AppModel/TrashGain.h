#pragma once
// What emptying the Trash won. The disk's free space changes while other programs write and
// delete, so its change alone may claim more than the Trash held, or less.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace dovrane {

struct TrashGain {
    std::int64_t bytes = 0;
    bool exact = true; // false: the disk changed for other reasons as well, and the figure is "about"
};

// The change of the free space from before to after, floored at zero and never more than the
// Trash freed. Exact while the disk changed by what the Trash freed, give or take the file
// system's bookkeeping (1% of it or 64 KB, whichever is more), and when the Trash freed nothing;
// otherwise "about", also when the disk filled up by as much as the Trash gave and the figure
// comes to nothing.
inline TrashGain trashGain(std::int64_t before, std::int64_t after, std::int64_t freed) {
    freed = std::max<std::int64_t>(0, freed);
    const std::int64_t change = after - before;
    const std::int64_t slack = std::max<std::int64_t>(freed / 100, 64'000);
    const std::int64_t gain = std::clamp<std::int64_t>(change, 0, freed);
    return {gain, freed == 0 || std::llabs(change - freed) <= slack};
}

} // namespace dovrane
