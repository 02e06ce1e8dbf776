#include "UiKit/Desktop.h"

#include <DovraneKit/FileSystem.h>
#include <DovraneKit/Url.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>

namespace dovrane::Desktop {

namespace {

Opener& opener() {
    static Opener current = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return current;
}

// The file URL of a byte path, every byte kept.
QUrl fileUrl(const std::string& path) { return QUrl::fromEncoded(QByteArray::fromStdString(Url::fromPath(path).text())); }

void openParent(const std::string& path) { opener()(fileUrl(Path::parent(path))); }

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

void reveal(const std::string& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openParent(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QString::fromLatin1(fileUrl(path).toEncoded())} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [path](QDBusPendingCallWatcher* finished) {
        if (finished->isError())
            openParent(path);
        finished->deleteLater();
    });
}

} // namespace dovrane::Desktop
