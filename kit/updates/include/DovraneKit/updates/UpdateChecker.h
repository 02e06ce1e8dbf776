#pragma once
// Finds out, for every installed app, whether a newer version exists: through the app's own
// update feed, the Homebrew cask index or the store's lookup service. Every failure comes back
// as a result with a sentence for the user; a run never fails as a whole.

#include "DovraneKit/apps/AppRecords.h"
#include "DovraneKit/core/Url.h"
#include "DovraneKit/system/Network.h"
#include "DovraneKit/updates/Appcast.h"
#include "DovraneKit/updates/CaskIndex.h"
#include "DovraneKit/updates/UpdateRecords.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dovrane {

using CaskTable = std::map<std::string, CaskInfo>;

struct UpdateChecker {
    // Never more checks than this are in flight at once.
    static constexpr std::size_t maxChecksInFlight = 6;
    // The cask index cache inside cacheFolder, and how long it is trusted without asking.
    static constexpr const char* caskCacheFileName = "homebrew-casks.json";
    static constexpr double caskCacheLifetime = 86'400;

    // https://formulae.brew.sh/api/cask.json
    static Url defaultCaskIndexURL();
    // The host in "macappstore://<host>/app/id<trackID>".
    static std::string defaultStoreWebHost();

    using Progress = std::function<void(std::size_t done, std::size_t total)>;

    UpdateChecker(FetchFunction fetch, std::string country, OperatingSystemVersion osVersion,
                  std::optional<Url> cacheFolder = std::nullopt, Url caskIndexURL = defaultCaskIndexURL(),
                  Url storeLookupService = StoreLookup::defaultService(),
                  std::string storeWebHost = defaultStoreWebHost());

    FetchFunction fetch;              // called from several threads at once
    std::string country;              // store country code, any letter case
    OperatingSystemVersion osVersion; // the running system's version
    std::optional<Url> cacheFolder;   // absent: the cask index is never cached
    Url caskIndexURL;
    Url storeLookupService;
    std::string storeWebHost;

    // Checks every app that is not a system app, at most maxChecksInFlight at a time, and
    // returns the results keyed by the bundle's plain path. progress(done, total) is called on
    // the calling thread once per finished check, never concurrently, never before the first
    // result and not at all when no app is left to check. The cask index is loaded (once)
    // only when some app comes from Homebrew.
    std::map<std::string, UpdateCheck> check(const std::vector<InstalledApp>& apps,
                                             const Progress& progress = {}) const;

    // One app through the source its AppSource names.
    UpdateCheck check(const InstalledApp& app, const CaskTable& casks) const;

    UpdateCheck sparkle(const InstalledApp& app) const;
    UpdateCheck homebrew(const InstalledApp& app, const CaskTable& casks) const; // no network
    UpdateCheck appStore(const InstalledApp& app) const;

    // The cask table: from a fresh cache, else from the network (written to the cache), else
    // from the cache of any age; empty when none of these gives one. Never fails.
    CaskTable caskIndex() const;

    // One sentence in the current language for a failed fetch.
    static std::string explain(const FetchError& error);
};

} // namespace dovrane
