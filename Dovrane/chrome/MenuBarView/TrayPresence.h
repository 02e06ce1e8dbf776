#pragma once
// Whether the desktop has a tray to hold the menu bar item, followed while Dovrane runs: with
// "Open at login" Dovrane often starts before the panel that hosts tray icons, and a panel can
// restart.

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <functional>

class QDBusMessage;

namespace dovrane {

class TrayPresence : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool available() const = 0;

signals:
    // The tray came or went.
    void availabilityChanged(bool available);
};

// The desktop's tray as Qt can use it: a StatusNotifierWatcher with a host on the session bus,
// or an XEmbed tray owned on the X server. Qt is asked again whenever the watcher or a host
// comes or goes on the bus, and on X every few seconds for XEmbed trays, which only the X
// server announces.
class DesktopTray final : public TrayPresence {
    Q_OBJECT
public:
    // ask: whether a tray is there now (Qt's answer unless a test gives another).
    explicit DesktopTray(QDBusConnection bus = QDBusConnection::sessionBus(), std::function<bool()> ask = {},
                         QObject* parent = nullptr);

    bool available() const override { return available_; }
    // Asks again and announces a change.
    void recheck();

    static constexpr int pollMilliseconds = 3000;

private slots:
    void hostsChanged(const QDBusMessage& message);

private:
    std::function<bool()> ask_;
    bool available_ = false;
    QTimer poll_;
};

} // namespace dovrane
