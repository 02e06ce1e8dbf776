#include "UiKit/Desktop.h"

#include <DovraneKit/core/Url.h>
#include <DovraneKit/system/FileSystem.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>

#include <algorithm>

namespace dovrane::Desktop {

namespace {

Opener& opener() {
    static Opener current = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return current;
}

// The file URL of a byte path, every byte kept.
QUrl fileUrl(const std::string& path) {
    return QUrl::fromEncoded(QByteArray::fromStdString(Url::fromPath(path).text()));
}

} // namespace

void setOpener(Opener next) { opener() = std::move(next); }

bool isOpenable(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (!url.isValid())
        return false;
    if (scheme == QLatin1String("mailto"))
        return !url.path().isEmpty();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

bool open(const QUrl& url) {
    if (!isOpenable(url))
        return false;
    return opener()(url);
}

void reveal(const std::string& path) { reveal(std::vector<std::string>{path}); }

void reveal(const std::vector<std::string>& paths) {
    if (paths.empty())
        return;
    auto openParents = [paths] {
        std::vector<std::string> opened;
        for (const std::string& path : paths) {
            const std::string parent = Path::parent(path);
            if (std::find(opened.begin(), opened.end(), parent) != opened.end())
                continue;
            opened.push_back(parent);
            opener()(fileUrl(parent));
        }
    };
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openParents();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    QStringList uris;
    for (const std::string& path : paths)
        uris << QString::fromLatin1(fileUrl(path).toEncoded());
    call << uris << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [openParents](QDBusPendingCallWatcher* finished) {
        if (finished->isError())
            openParents();
        finished->deleteLater();
    });
}

} // namespace dovrane::Desktop
