#pragma once
// The last complete scan, kept as JSON beside the database so the next launch shows it at once.

#include <DovraneKit/core/Url.h>
#include <DovraneKit/scan/ScanModel.h>

#include <cstdint>
#include <optional>
#include <string>

namespace dovrane::ScanCache {

// The largest cache a scan writes. A scan keeps one item per entry of the folders it lists (the
// caches, logs, personal folders and the like, one level deep) and per project folder found;
// an item's JSON is some 300 bytes (its URL, name, reason and figures). 64 MiB holds over
// 200,000 of them, far more than those folders of a home hold, while reading it costs a few
// hundred MB at its peak. The writer keeps to the same bound, so a larger file is damaged or
// not ours, and is ignored unread like an unreadable one.
inline constexpr std::uint64_t maxBytes = 64ull << 20;

// "last-scan.json" beside the store; with a test store the store's name and ".scan.json".
Url url();
// The cached scan, its texts in the current language whichever run wrote them; absent with
// APP_SEED "1" (the file is then not read), and when the file is missing, unreadable, larger
// than limit (then not read) or does not decode. Blocking: the model reads it on its pool.
std::optional<ScanResult> load(std::uint64_t limit = maxBytes);
// The file's text: the JSON of the scan, written straight from the records instead of as one
// document. Throws what the JSON writer throws.
std::string encode(const ScanResult& scan);

} // namespace dovrane::ScanCache
