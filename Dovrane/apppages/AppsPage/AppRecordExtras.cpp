#include "AppsPage/AppRecordExtras.h"

#include <DovraneKit/apps/FlatpakApps.h>
#include <DovraneKit/system/FileSystem.h>

#include <QCoreApplication>

namespace dovrane {

QString title(AppSource source) {
    switch (source) {
    case AppSource::sparkle:
        return QCoreApplication::translate("AppSource", "Sparkle");
    case AppSource::homebrew:
        return QCoreApplication::translate("AppSource", "Homebrew");
    case AppSource::appStore:
        return QCoreApplication::translate("AppSource", "App Store");
    case AppSource::apple:
        return QCoreApplication::translate("AppSource", "macOS");
    case AppSource::unknown:
        break;
    }
    return QCoreApplication::translate("AppSource", "Other");
}

QString sourceTitle(const InstalledApp& app) {
    return FlatpakApps::isFlatpak(app) ? QCoreApplication::translate("AppSource", "Flatpak") : title(app.source);
}

Date lastUsedSort(const InstalledApp& app) { return app.lastUsed.value_or(Date::distantPast()); }

namespace {

// The folders of a Mac's Library that leftovers are found in, to be shown translated.
[[maybe_unused]] constexpr const char* libraryFolders[] = {
    QT_TRANSLATE_NOOP("LeftoverFolder", "Application Support"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "Application Scripts"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "ByHost"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "Caches"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "Containers"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "Cookies"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "Group Containers"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "HTTPStorages"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "LaunchAgents"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "LaunchDaemons"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "Logs"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "Preferences"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "PrivilegedHelperTools"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "Saved Application State"),
    QT_TRANSLATE_NOOP("LeftoverFolder", "WebKit"),
};

} // namespace

QString holdingFolder(const Url& leftover, const Url& home) {
    const std::string parent = Path::parent(leftover.path());
    if (parent.find("/Library/") != std::string::npos) {
        const std::string name = Path::lastComponent(parent);
        return QCoreApplication::translate("LeftoverFolder", name.c_str());
    }
    const std::string homePath = home.path();
    if (parent == homePath)
        return QStringLiteral("~");
    if (parent.starts_with(homePath + '/'))
        return QStringLiteral("~/") + QString::fromStdString(parent.substr(homePath.size() + 1));
    return QString::fromStdString(parent);
}

QString folder(const Orphan& orphan, const Url& home) { return holdingFolder(orphan.url, home); }

} // namespace dovrane
