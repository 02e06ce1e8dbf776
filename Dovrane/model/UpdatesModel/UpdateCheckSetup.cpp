#include "UpdatesModel/UpdateCheckSetup.h"

#include "Services/AppInfo.h"

#include <DovraneKit/system/Network.h>

#include <unicode/locid.h>

#include <cstdlib>

namespace dovrane::UpdateCheckSetup {

namespace {

Url serviceFromEnvironment(const char* name, Url fallback) {
    const char* value = std::getenv(name);
    if (value && *value)
        if (auto url = Url::parse(value); url && url->isHttp())
            return *url;
    return fallback;
}

} // namespace

std::string userAgent(const std::optional<QString>& shortVersion) {
    return "Dovrane/" + (shortVersion ? shortVersion->toStdString() : std::string("1.0"));
}

std::string userAgent() { return userAgent(AppInfo::string(QStringLiteral("CFBundleShortVersionString"))); }

std::string country() {
    const char* region = icu::Locale::getDefault().getCountry();
    return region && *region ? std::string(region) : "US";
}

Url caskIndexURL() { return serviceFromEnvironment("APP_CASK_INDEX_URL", UpdateChecker::defaultCaskIndexURL()); }

Url storeLookupService() { return serviceFromEnvironment("APP_STORE_LOOKUP_URL", StoreLookup::defaultService()); }

UpdateChecker makeChecker(const std::string& userAgent, std::optional<Url> cacheFolder) {
    return UpdateChecker(Network::fetch(userAgent), country(), assumedSystemVersion, std::move(cacheFolder),
                         caskIndexURL(), storeLookupService());
}

} // namespace dovrane::UpdateCheckSetup
