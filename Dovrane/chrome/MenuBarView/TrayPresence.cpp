#include "MenuBarView/TrayPresence.h"

#include <QDBusError>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QSystemTrayIcon>

#include <cstdio>

namespace dovrane {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

} // namespace

DesktopTray::DesktopTray(QDBusConnection bus, std::function<bool()> ask, QObject* parent)
    : TrayPresence(parent), ask_(std::move(ask)) {
    if (!ask_)
        ask_ = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };
    available_ = ask_();
    if (bus.isConnected()) {
        auto* watcher = new QDBusServiceWatcher(
            watcherService, bus,
            QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration, this);
        connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &DesktopTray::recheck);
        connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, &DesktopTray::recheck);
        bool listening = true;
        for (const char* change : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
            listening = bus.connect(QString(), watcherPath, watcherService, QString::fromLatin1(change), this,
                                    SLOT(hostsChanged(QDBusMessage))) &&
                        listening;
        if (!listening)
            std::fprintf(stderr,
                         "Dovrane: a tray that starts later may go unnoticed: the tray's host changes could not "
                         "be listened for. %s\n",
                         qPrintable(bus.lastError().message()));
    }
    // Only X has XEmbed trays; asking there is a look at a selection owner Qt already tracks.
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        poll_.setInterval(pollMilliseconds);
        connect(&poll_, &QTimer::timeout, this, &DesktopTray::recheck);
        poll_.start();
    }
}

void DesktopTray::hostsChanged(const QDBusMessage&) { recheck(); }

void DesktopTray::recheck() {
    const bool now = ask_();
    if (now == available_)
        return;
    available_ = now;
    emit availabilityChanged(now);
}

} // namespace dovrane
