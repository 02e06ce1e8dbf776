#pragma once
// A D-Bus of the test's own: a dbus-daemon started in a temporary folder and stopped with the
// object, and a notification service that a test registers on it.

#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

#include <vector>

namespace dovrane::testing {

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the daemon could not be started.
    const QString& address() const { return address_; }
    // A new connection of its own to the bus.
    QDBusConnection connect();

private:
    TempDir folder_;
    QProcess daemon_;
    QString address_;
    QStringList connections_;
};

// Answers org.freedesktop.Notifications.Notify and keeps what it got. A notification that
// names an id to replace keeps that id; any other gets the next one. A silent server keeps what
// it got and never answers, like a server that hangs.
class FakeNotificationServer final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Received {
        QString appName;
        uint replacesId = 0;
        QString icon, summary, body;
        QStringList actions;
        QVariantMap hints;
        int timeout = 0;
        uint id = 0; // the id given in the answer
    };

    // Registers the object and the service name on the connection.
    bool registerOn(QDBusConnection connection);

    std::vector<Received> received;
    bool silent = false;

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout);

private:
    uint nextId_ = 41;
};

} // namespace dovrane::testing
