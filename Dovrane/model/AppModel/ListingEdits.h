#pragma once
// Changes made while a listing of apps runs, private to the files that make them: the listing
// applies them to each publication, so it never brings back what is already gone. Only the
// main thread touches them.

#include <DovraneKit/apps/AppRecords.h>

#include <map>
#include <set>
#include <string>

namespace dovrane {

struct ListingEdits {
    std::set<std::string> removedApps;
    std::map<std::string, InstalledApp> refreshedApps;
    std::set<std::string> trashedOrphans;
};

} // namespace dovrane
