#include "support/PrivateBus.h"

#include <DovraneKit/system/FileSystem.h>

namespace dovrane::testing {

PrivateBus::PrivateBus() : folder_("dovrane-bus-") {
    const std::string config = folder_ / "bus.conf";
    writeFile(config, "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                      "<busconfig>\n"
                      "  <type>session</type>\n"
                      "  <listen>unix:dir=" +
                          folder_.path() +
                          "</listen>\n"
                          "  <auth>EXTERNAL</auth>\n"
                          "  <policy context=\"default\">\n"
                          "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                          "    <allow eavesdrop=\"true\"/>\n"
                          "    <allow own=\"*\"/>\n"
                          "  </policy>\n"
                          "</busconfig>\n");
    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({QStringLiteral("--config-file=") + QString::fromStdString(config), QStringLiteral("--nofork"),
                          QStringLiteral("--print-address")});
    daemon_.setProcessChannelMode(QProcess::SeparateChannels);
    daemon_.start();
    if (!daemon_.waitForStarted(-1))
        return;
    while (!daemon_.canReadLine() && daemon_.state() == QProcess::Running)
        daemon_.waitForReadyRead(-1);
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
    for (const QString& name : connections_)
        QDBusConnection::disconnectFromBus(name);
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        daemon_.waitForFinished(-1);
    }
}

QDBusConnection PrivateBus::connect() {
    static int serial = 0;
    const QString name = QStringLiteral("dovrane-test-bus-%1").arg(++serial);
    connections_.append(name);
    return QDBusConnection::connectToBus(address_, name);
}

bool FakeNotificationServer::registerOn(QDBusConnection connection) {
    return connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                     QDBusConnection::ExportAllSlots) &&
           connection.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

uint FakeNotificationServer::Notify(const QString& appName, uint replacesId, const QString& icon,
                                    const QString& summary, const QString& body, const QStringList& actions,
                                    const QVariantMap& hints, int timeout) {
    const uint id = replacesId != 0 ? replacesId : nextId_++;
    received.push_back({appName, replacesId, icon, summary, body, actions, hints, timeout, id});
    if (silent)
        setDelayedReply(true);
    return id;
}

} // namespace dovrane::testing
