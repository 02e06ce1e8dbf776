#pragma once
// Archives of downloaded updates and copies of app bundles. Extraction treats every archive as
// hostile: it writes only into a fresh folder, refuses ".." and absolute names, never writes
// through a symbolic link, refuses devices and pipes, and stops at a size cap.

#include "DovraneKit/core/Expected.h"

#include <cstdint>
#include <string>
#include <variant>

namespace dovrane {

struct ExtractLimits {
    std::uint64_t maxTotalBytes = 16ull << 30; // uncompressed bytes of all entries together
    std::uint64_t maxEntries = 1'000'000;
    bool operator==(const ExtractLimits&) const = default;
};

struct ExtractSummary {
    std::uint64_t entries = 0;
    std::uint64_t bytes = 0;
    bool operator==(const ExtractSummary&) const = default;
};

using Done = std::monostate;

namespace Archives {
// Extracts a zip archive or a tar archive of any flavour and compression libarchive detects
// into destination, which must not exist yet (it is created) or be an empty folder. Modes
// (set-id bits dropped), times and symbolic links are kept. On failure nothing extracted stays.
[[nodiscard]] Expected<ExtractSummary> extract(const std::string& archive, const std::string& destination,
                                               ExtractLimits limits = {});

// Writes a zip archive of source with source itself as the top entry (its last path component
// as the name), keeping modes, times and symbolic links. An existing archive file is replaced
// only once the new one is complete.
[[nodiscard]] Expected<Done> createZip(const std::string& source, const std::string& zipPath);

// Makes destination a copy of source (a folder, a file or a symbolic link), keeping modes,
// times and symbolic links; copied folders always give their owner full rights. Missing parent
// folders are created. destination must not exist or
// be an empty folder, and is never nested into: the copy is destination itself. A copy into
// the source's own tree is refused. On failure nothing copied stays.
[[nodiscard]] Expected<Done> copy(const std::string& source, const std::string& destination);
} // namespace Archives

} // namespace dovrane
