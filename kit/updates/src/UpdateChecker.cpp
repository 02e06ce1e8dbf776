#include "DovraneKit/updates/UpdateChecker.h"

#include "DovraneKit/apps/AppVersion.h"
#include "DovraneKit/core/Concurrently.h"
#include "DovraneKit/core/Date.h"
#include "DovraneKit/core/Language.h"
#include "DovraneKit/core/TextPieces.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/updates/ReleaseNotes.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace dovrane {

namespace {

// The whole cask index is some tens of MiB; the cache is read back with the fetch's own cap.
constexpr std::uint64_t maxCacheBytes = FetchOptions::defaultMaxBytes;

std::string systemVersionText(OperatingSystemVersion version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." + std::to_string(version.patch);
}

FetchError localFailure(std::string description) {
    return FetchError{FetchErrorDomain::other, NetworkErrorCode::other, 0, std::move(description)};
}

// The fetch function is the caller's; whatever it throws becomes an ordinary failure.
FetchResult fetchSafely(const FetchFunction& fetch, const Url& url) {
    if (!fetch)
        return localFailure("no fetch function");
    try {
        return fetch(url);
    } catch (const std::exception& error) {
        return localFailure(error.what());
    } catch (...) {
        return localFailure("the fetch function failed");
    }
}

// "2.1,abc123" offers 2.1; a version of commas only stays whole.
std::string offeredVersion(const std::string& caskVersion) {
    auto pieces = splitDroppingEmpty(caskVersion, ',');
    return pieces.empty() ? caskVersion : std::string(pieces.front());
}

UpdateInfo baseInfo(const InstalledApp& app, std::string newVersion, AppSource source) {
    UpdateInfo info;
    info.bundleID = app.bundleID;
    info.appPath = app.path;
    info.currentVersion = app.version;
    info.newVersion = std::move(newVersion);
    info.source = source;
    info.checkedAt = Date::now();
    return info;
}

} // namespace

Url UpdateChecker::defaultCaskIndexURL() { return Url::parse("https://formulae.brew.sh/api/cask.json").value(); }

std::string UpdateChecker::defaultStoreWebHost() { return "apps.apple.com"; }

UpdateChecker::UpdateChecker(FetchFunction fetch_, std::string country_, OperatingSystemVersion osVersion_,
                             std::optional<Url> cacheFolder_, Url caskIndexURL_, Url storeLookupService_,
                             std::string storeWebHost_)
    : fetch(std::move(fetch_)), country(std::move(country_)), osVersion(osVersion_),
      cacheFolder(std::move(cacheFolder_)), caskIndexURL(std::move(caskIndexURL_)),
      storeLookupService(std::move(storeLookupService_)), storeWebHost(std::move(storeWebHost_)) {}

std::map<std::string, UpdateCheck> UpdateChecker::check(const std::vector<InstalledApp>& apps,
                                                        const Progress& progress) const {
    std::vector<const InstalledApp*> pending;
    for (const auto& app : apps)
        if (!app.isSystem)
            pending.push_back(&app);
    std::map<std::string, UpdateCheck> table;
    const std::size_t total = pending.size();
    if (total == 0)
        return table;

    bool anyHomebrew = std::any_of(pending.begin(), pending.end(),
                                   [](const InstalledApp* app) { return app->source == AppSource::homebrew; });
    const CaskTable casks = anyHomebrew ? caskIndex() : CaskTable{};

    struct Finished {
        std::string path;
        UpdateCheck result;
        std::size_t index;
    };
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Finished> finished;
    auto runCheck = [&](std::size_t index) {
        const InstalledApp& app = *pending[index];
        std::optional<UpdateCheck> result;
        try {
            result = check(app, casks);
        } catch (...) {
            result = UpdateCheck::failed(explain(localFailure("the check failed")));
        }
        std::lock_guard lock(mutex);
        finished.push_back(Finished{app.id(), std::move(*result), index});
        arrived.notify_one();
    };
    // Declared after everything the workers touch, so an early exit joins them first.
    std::vector<std::jthread> workers(total);
    auto start = [&](std::size_t index) {
        workers[index] = runOnThreadElseInline([&runCheck, index] { runCheck(index); });
    };

    std::size_t next = 0;
    for (; next < total && next < maxChecksInFlight; ++next)
        start(next);
    for (std::size_t received = 0; received < total; ++received) {
        std::unique_lock lock(mutex);
        arrived.wait(lock, [&] { return !finished.empty(); });
        Finished done = std::move(finished.front());
        finished.pop_front();
        lock.unlock();
        if (workers[done.index].joinable())
            workers[done.index].join();
        table.insert_or_assign(std::move(done.path), std::move(done.result));
        if (progress)
            progress(table.size(), total);
        if (next < total)
            start(next++);
    }
    return table;
}

UpdateCheck UpdateChecker::check(const InstalledApp& app, const CaskTable& casks) const {
    switch (app.source) {
    case AppSource::sparkle:
        return sparkle(app);
    case AppSource::homebrew:
        if (app.caskToken && casks.count(*app.caskToken))
            return homebrew(app, casks);
        if (app.feedURL)
            return sparkle(app);
        return homebrew(app, casks);
    case AppSource::appStore:
        return appStore(app);
    case AppSource::apple:
        return UpdateCheck::unsupported(L("macOS updates this app."));
    case AppSource::unknown:
        break;
    }
    return UpdateCheck::unsupported(
        L("Dovrane cannot tell where this app gets its updates. The app itself may have a menu item for it."));
}

UpdateCheck UpdateChecker::sparkle(const InstalledApp& app) const {
    if (!app.feedURL)
        return UpdateCheck::unsupported(L("This app updates itself, but does not say where from."));
    auto body = fetchSafely(fetch, *app.feedURL);
    if (!body)
        return UpdateCheck::failed(explain(body.error()));
    auto items = AppcastParser::items(*body);
    if (items.empty())
        return UpdateCheck::failed(L("The update feed of this app could not be read."));
    auto item = AppcastParser::best(items, osVersion);
    if (!item)
        return UpdateCheck::upToDate();

    // The machine-readable version goes against the app's build when both sides have one.
    bool newer = false;
    if (item->version)
        newer = AppVersion::isNewer(*item->version, app.build ? *app.build : app.version);
    else if (item->shortVersion)
        newer = AppVersion::isNewer(*item->shortVersion, app.version);
    if (!newer)
        return UpdateCheck::upToDate();

    UpdateInfo info = baseInfo(app, item->shortVersion ? *item->shortVersion : *item->version, AppSource::sparkle);
    info.newBuild = item->version;
    info.releaseNotes = ReleaseNotes::plain(item->description);
    info.releaseNotesURL = item->releaseNotesURL;
    info.downloadURL = item->url;
    info.length = item->length;
    info.edSignature = item->edSignature;
    return UpdateCheck::available(std::move(info));
}

UpdateCheck UpdateChecker::homebrew(const InstalledApp& app, const CaskTable& casks) const {
    if (casks.empty())
        return UpdateCheck::failed(L("The Homebrew list could not be loaded."));
    const CaskInfo* cask = nullptr;
    if (app.caskToken) {
        if (auto found = casks.find(*app.caskToken); found != casks.end())
            cask = &found->second;
    }
    if (!cask) {
        // The table runs in token order, so the lowest token wins when several casks install
        // a bundle of this name.
        std::string bundleName = Path::lastComponent(app.path.path());
        for (const auto& [token, info] : casks) {
            if (std::find(info.apps.begin(), info.apps.end(), bundleName) != info.apps.end()) {
                cask = &info;
                break;
            }
        }
    }
    if (!cask)
        return UpdateCheck::unsupported(L("This app comes from a Homebrew tap that Dovrane cannot read. “brew upgrade” "
                                          "in Terminal still updates it."));
    if (cask->version == "latest")
        return UpdateCheck::unsupported(L("Homebrew does not track versions of this app."));

    std::string offered = offeredVersion(cask->version);
    if (!AppVersion::isNewer(offered, app.version))
        return UpdateCheck::upToDate();
    UpdateInfo info = baseInfo(app, offered, AppSource::homebrew);
    info.caskToken = cask->token;
    return UpdateCheck::available(std::move(info));
}

UpdateCheck UpdateChecker::appStore(const InstalledApp& app) const {
    std::optional<StoreRecord> record;
    for (const char* entity : {"desktopSoftware", "macSoftware"}) {
        auto body = fetchSafely(fetch, StoreLookup::url(app.bundleID, country, entity, storeLookupService));
        if (!body)
            return UpdateCheck::failed(explain(body.error()));
        record = StoreLookup::parse(*body);
        if (record)
            break;
    }
    if (!record)
        return UpdateCheck::failed(L("The App Store does not list this app in your country."));
    // An update this system cannot run is not offered.
    if (record->minimumOS && AppVersion::isNewer(*record->minimumOS, systemVersionText(osVersion)))
        return UpdateCheck::upToDate();
    if (!AppVersion::isNewer(record->version, app.version))
        return UpdateCheck::upToDate();

    UpdateInfo info = baseInfo(app, record->version, AppSource::appStore);
    info.releaseNotes = ReleaseNotes::plain(record->releaseNotes);
    info.storeURL = Url::parse("macappstore://" + storeWebHost + "/app/id" + std::to_string(record->trackID));
    return UpdateCheck::available(std::move(info));
}

CaskTable UpdateChecker::caskIndex() const {
    std::optional<std::string> cachePath;
    if (cacheFolder && cacheFolder->isFile())
        cachePath = Path::join(cacheFolder->path(), caskCacheFileName);
    auto readCache = [&]() -> CaskTable {
        if (!cachePath)
            return {};
        auto bytes = Fs::readFile(*cachePath, maxCacheBytes);
        return bytes ? CaskIndex::parse(*bytes) : CaskTable{};
    };

    if (cachePath) {
        // A date in the future counts as fresh.
        auto modified = Fs::modificationDate(*cachePath);
        if (modified && Date::now().secondsSince(*modified) < caskCacheLifetime) {
            auto table = readCache();
            if (!table.empty())
                return table;
        }
    }

    auto fetched = fetchSafely(fetch, caskIndexURL);
    if (!fetched)
        return readCache();
    auto table = CaskIndex::parse(*fetched);
    // A successful answer without any cask (a portal's or proxy's HTML page, say) must not
    // replace a cache that still holds the index.
    if (table.empty())
        return readCache();
    if (cachePath)
        Fs::writeFileAtomically(*cachePath, *fetched);
    return table;
}

std::string UpdateChecker::explain(const FetchError& error) {
    if (error.domain == FetchErrorDomain::network) {
        switch (error.code) {
        case NetworkErrorCode::notConnectedToInternet:
        case NetworkErrorCode::networkConnectionLost:
            return L("No internet connection.");
        case NetworkErrorCode::timedOut:
            return L("The vendor's server did not answer in time.");
        case NetworkErrorCode::cannotFindHost:
        case NetworkErrorCode::dnsLookupFailed:
            return L("The vendor's update server no longer exists.");
        case NetworkErrorCode::badServerResponse:
            return L("The vendor's update server answered with an error.");
        case NetworkErrorCode::serverCertificateUntrusted:
        case NetworkErrorCode::secureConnectionFailed:
        case NetworkErrorCode::serverCertificateHasBadDate:
            return L("The connection to the vendor's server is not secure. Dovrane stopped here.");
        case NetworkErrorCode::insecureRedirect:
            return L("The vendor's server sent Dovrane from a secure connection to an insecure one. Dovrane stopped "
                     "here.");
        case NetworkErrorCode::unsupportedURL:
            return L("The update address does not lead to a web server (http or https). Dovrane stopped here.");
        default:
            break;
        }
    }
    return L("The update check did not work this time.");
}

} // namespace dovrane
