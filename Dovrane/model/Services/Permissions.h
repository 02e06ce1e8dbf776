#pragma once
// What the system lets the application do, and the application's own place in the session.
// What these reach (the notifier, the login item, the relaunch) comes from the model's Services,
// so the window's tests can replace it.

#include <DovraneKit/core/Url.h>

#include <QFuture>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dovrane {
struct Services;
}

namespace dovrane::Permissions {

// The address of the Full Disk Access settings. Nothing on Linux opens it, and the access
// hint never asks for it, since access is always granted.
const Url& fullDiskAccessSettings();

// Whether a bundle with this identifier (letter case ignored) lies in the default application
// folders of the user's home.
bool isInstalled(const std::string& bundleID);
// The identifiers of the bundles in these folders (absent: the default ones of home), in the
// form foldedBundleID() gives: built once, asked many times.
std::set<std::string> installedBundleIDs(const Url& home, const std::optional<std::vector<Url>>& folders);
std::string foldedBundleID(const std::string& bundleID);

// Linux has no authorisation step: notifications are allowed when the service is there.
QFuture<bool> notificationsAllowed(const Services& services);

// Starts the running program again one second after this process has ended, in a session of
// its own, and ends the application, even when the new start failed.
void relaunch(const Services& services);
// The command that does it: shell -c "sleep 1; exec 'EXECUTABLE'".
std::vector<std::string> relaunchCommand(const std::string& shell, const std::string& executable);

// Adds or removes the login item; a failure goes to standard error as "Login item: " and why.
void setStartsAtLogin(const Services& services, bool on);
// Read back from the login item itself.
bool startsAtLogin(const Services& services);

// Linux has no gate on reading the user's files, so this is true; only the demo data can
// report it as missing (APP_SEED "1" together with APP_NO_FDA "1"), to show the access hint.
bool hasFullDiskAccess();

} // namespace dovrane::Permissions
