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

QString folder(const Orphan& orphan) {
    return QString::fromStdString(Path::lastComponent(Path::parent(orphan.url.path())));
}

} // namespace dovrane
