#pragma once
// Disk images without mounting: "attaching" extracts the image's contents with 7-Zip into a
// fresh folder, refusing entries that would land outside it, makes the copy read-only and puts
// it at the mount point; "detaching" removes it again.

#include "DovraneKit/core/Expected.h"
#include "DovraneKit/system/CommandRunner.h"
#include "DovraneKit/updates/Archives.h"

#include <cstdint>
#include <optional>
#include <string>

namespace dovrane {

namespace DiskImages {
// Marks a mount point as one of ours, so detaching never removes anything else.
inline constexpr const char* markerName = ".dovrane-image";

// The 7-Zip program: the first executable of /usr/bin/7zz and /usr/bin/7z.
std::optional<std::string> sevenZip();

// Presents the image's contents read-only at mountPoint, which must not exist or be an empty
// folder. 7-Zip runs through runner twice (listing, then extracting into a private folder
// beside the mount point). Any failure leaves nothing new behind.
[[nodiscard]] Expected<Done> attach(const std::string& image, const std::string& mountPoint,
                                    const CommandRunner& runner, const std::string& sevenZipPath,
                                    std::uint64_t maxTotalBytes = 16ull << 30);

// Removes what attach put at mountPoint; refuses a folder attach did not make.
[[nodiscard]] Expected<Done> detach(const std::string& mountPoint);
} // namespace DiskImages

} // namespace dovrane
