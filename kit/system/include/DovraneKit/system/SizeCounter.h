#pragma once
// Every size the system shows comes from one walk: the space a file or folder takes on disk,
// its number of files and when it was last used. It reports no error: what cannot be read
// measures as empty. The capacity of the volume that holds a path is VolumeInfo's.

#include "DovraneKit/core/Date.h"
#include "DovraneKit/core/Url.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

namespace dovrane {

struct Measurement {
    std::int64_t size = 0;  // allocated 512-byte blocks of the counted files, times 512
    std::int64_t files = 0; // regular files, a hard-linked file once
    // Newest modification of a file or folder, or access of a file. A folder's access time is
    // left out: it moves whenever anyone lists the folder, which is no use of what it holds.
    std::optional<Date> lastUsed;

    bool operator==(const Measurement&) const = default;
};

namespace SizeCounter {
// One physical walk on the root's own file system, as `du -x` measures (links never followed,
// not even at the root). Whatever is mounted at or below the root counts as nothing: a disk or
// share mounted in the home is never measured as the home's. A stop request is noticed from the
// 4096th entry on, at the end of the listing batch under way, and returns the sums so far. The
// walk leaves access times as it found them wherever the kernel allows (Fs::openToLook).
Measurement measure(const Url& url, std::stop_token stop = {});
// Each URL measured as `measure` would (hard links counted once per URL), all at once, the
// results in the URLs' order. A stop request is noticed from the call's 4096th entry on; URLs
// not yet begun then measure as empty folders.
std::vector<Measurement> measureEach(const std::vector<Url>& urls, std::stop_token stop = {});
} // namespace SizeCounter

} // namespace dovrane

template <> struct std::hash<dovrane::Measurement> {
    std::size_t operator()(const dovrane::Measurement& m) const noexcept {
        std::size_t h = std::hash<std::int64_t>{}(m.size) * 31 + std::hash<std::int64_t>{}(m.files);
        return h * 31 + (m.lastUsed ? std::hash<double>{}(m.lastUsed->secondsSinceReference) : 0);
    }
};
