#include "Services/Permissions.h"

#include "Services/Services.h"

#include <DovraneKit/apps/AppInventory.h>
#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/Trasher.h>

#include <QDebug>
#include <QString>

#include <cstdlib>
#include <string_view>

namespace dovrane::Permissions {

namespace {
bool isOne(const char* name) {
    const char* value = std::getenv(name);
    return value && std::string_view(value) == "1";
}
} // namespace

bool hasFullDiskAccess() {
    if (isOne("APP_SEED"))
        return !isOne("APP_NO_FDA");
    return true;
}

const Url& fullDiskAccessSettings() {
    static const Url address = *Url::parse("x-apple.systempreferences:com.apple.preference.security?Privacy_AllFiles");
    return address;
}

std::string foldedBundleID(const std::string& bundleID) {
    return QString::fromStdString(bundleID).toCaseFolded().toStdString();
}

std::set<std::string> installedBundleIDs(const Url& home, const std::optional<std::vector<Url>>& folders) {
    std::set<std::string> identifiers;
    for (const InstalledApp& app : AppInventory(home, folders, {}).list())
        identifiers.insert(foldedBundleID(app.bundleID));
    return identifiers;
}

bool isInstalled(const std::string& bundleID) {
    return installedBundleIDs(Url::fromPath(Fs::homeDirectory()), std::nullopt).contains(foldedBundleID(bundleID));
}

QFuture<bool> notificationsAllowed(const Services& services) {
    return services.notifier ? services.notifier->isAvailable() : QtFuture::makeReadyFuture(false);
}

std::vector<std::string> relaunchCommand(const std::string& shell, const std::string& executable) {
    return {shell, "-c", "sleep 1; exec " + Trasher::quote(executable)};
}

void relaunch(const Services& services) {
    if (services.startDetached)
        services.startDetached(relaunchCommand(services.systemPaths.shell, services.executable));
    if (services.quit)
        services.quit();
}

void setStartsAtLogin(const Services& services, bool on) {
    std::optional<std::string> failure =
        services.loginItem ? services.loginItem->set(on) : std::optional<std::string>("no login item service");
    if (failure)
        qWarning().noquote() << QStringLiteral("Login item: ") + QString::fromStdString(*failure);
}

bool startsAtLogin(const Services& services) { return services.loginItem && services.loginItem->isOn(); }

} // namespace dovrane::Permissions
