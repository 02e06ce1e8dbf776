#pragma once
// How every update check of other apps is set up, shared by the model and the update trace: the
// system version feeds are asked about, the store country, the services' hosts and the user
// agent of the check requests.

#include <DovraneKit/core/Url.h>
#include <DovraneKit/updates/Appcast.h>
#include <DovraneKit/updates/UpdateChecker.h>

#include <QString>

#include <optional>
#include <string>

namespace dovrane::UpdateCheckSetup {

// Feeds gate their items by a minimum macOS version, and Linux has none to offer. Checks claim
// this one, recent enough that current feeds offer their newest builds to it.
inline constexpr OperatingSystemVersion assumedSystemVersion{15, 0, 0};

// "Dovrane/" followed by the short version, else by "1.0".
std::string userAgent(const std::optional<QString>& shortVersion);
// The same with the application's own short version.
std::string userAgent();

// The region of ICU's default locale (taken from the POSIX locale variables), else "US".
std::string country();

// APP_CASK_INDEX_URL and APP_STORE_LOOKUP_URL, when set to an http or https address, stand in
// for the public services, so tests and CI can point the checks at a loopback server.
Url caskIndexURL();
Url storeLookupService();

// A checker over the network with the given user agent, asking the services above.
UpdateChecker makeChecker(const std::string& userAgent, std::optional<Url> cacheFolder);

} // namespace dovrane::UpdateCheckSetup
