#pragma once
// The demo picture of a machine: a full scan, ten apps, orphans, update results, disk and
// growth figures and a journal of four removals. APP_SEED=1 together with a test store puts
// it into the model through the model's own setters (Launch/SeedEntry.h), so every page and
// the screenshot run show the same content everywhere. Nothing here keeps state or touches the disk, apart from the
// journal that goes into the test store; every call builds new values in the current language.

#include <DovraneKit/apps/AppRecords.h>
#include <DovraneKit/apps/Leftovers.h>
#include <DovraneKit/apps/Orphans.h>
#include <DovraneKit/core/Url.h>
#include <DovraneKit/scan/ScanModel.h>
#include <DovraneKit/system/VolumeInfo.h>
#include <DovraneKit/updates/UpdateRecords.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dovrane {

class Removal;

namespace SeedData {

// "/Users/demo": a value only, nothing exists or is created there.
Url home();

// The demo scan: fifteen measured categories and the "other" remainder they leave.
ScanResult scan();
// The demo startup volume, the same figures the demo scan holds.
VolumeInfo volume();

std::vector<InstalledApp> apps();
std::vector<Orphan> orphans();
// Keyed by the app's path; system apps get no entry.
std::map<std::string, UpdateCheck> updates(const std::vector<InstalledApp>& apps);
// What removing any app would find: six entries, the same shape for every app.
std::vector<Leftover> leftovers(const InstalledApp& app);
// Four new records, not yet in any database, newest first.
std::vector<std::shared_ptr<Removal>> journal();

} // namespace SeedData

} // namespace dovrane
