#pragma once
// The last complete scan, kept as JSON beside the database so the next launch shows it at once.

#include <DovraneKit/core/Url.h>
#include <DovraneKit/scan/ScanModel.h>

#include <optional>
#include <string>

namespace dovrane::ScanCache {

// "last-scan.json" beside the store; with a test store the store's name and ".scan.json".
Url url();
// The cached scan; absent with APP_SEED "1" (the file is then not read), and when the file is
// missing, unreadable or does not decode.
std::optional<ScanResult> load();
// The file's text: the JSON of the scan, written straight from the records instead of as one
// document. Throws what the JSON writer throws.
std::string encode(const ScanResult& scan);

} // namespace dovrane::ScanCache
