#include "Services/Notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPromise>
#include <QStringList>
#include <QVariantMap>

#include <cstdlib>
#include <functional>

namespace dovrane {

namespace {

const QString notificationsService = QStringLiteral("org.freedesktop.Notifications");
const QString notificationsPath = QStringLiteral("/org/freedesktop/Notifications");

// Runs `answer` with the reply once it comes, or with an error reply at the timeout.
void whenAnswered(const QDBusConnection& connection, const QDBusMessage& message, int timeout,
                  std::function<void(const QDBusPendingCall&)> answer) {
    QDBusPendingCall call = connection.asyncCall(message, timeout);
    auto* watcher = new QDBusPendingCallWatcher(call);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [answer = std::move(answer)](QDBusPendingCallWatcher* finished) {
                         answer(*finished);
                         finished->deleteLater();
                     });
}

QDBusMessage busCall(const QString& method, const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), method);
    message.setArguments(arguments);
    return message;
}

QFuture<bool> ready(bool value) { return QtFuture::makeReadyFuture(value); }

} // namespace

DBusNotifier::DBusNotifier(std::optional<QDBusConnection> connection, int answerTimeout)
    : connection_(std::move(connection)), answerTimeout_(answerTimeout) {}

DBusNotifier::~DBusNotifier() {
    if (ownsConnection_ && connection_)
        QDBusConnection::disconnectFromBus(connection_->name());
}

std::optional<QDBusConnection> DBusNotifier::bus() {
    if (!connection_) {
        const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (!address || !*address)
            return std::nullopt;
        static int serial = 0;
        const QString name = QStringLiteral("dovrane-notifier-%1").arg(++serial);
        connection_ = QDBusConnection::connectToBus(QString::fromLocal8Bit(address), name);
        ownsConnection_ = true;
    }
    if (!connection_->isConnected())
        return std::nullopt;
    if (!listening_)
        listening_ = connection_->connect(notificationsService, notificationsPath, notificationsService,
                                          QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
    return connection_;
}

QString DBusNotifier::escapedBody(const QString& body) {
    QString escaped = body;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    escaped.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    escaped.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    return escaped;
}

QFuture<bool> DBusNotifier::isAvailable() {
    auto connection = bus();
    if (!connection)
        return ready(false);
    auto promise = std::make_shared<QPromise<bool>>();
    promise->start();
    QFuture<bool> future = promise->future();
    const QDBusConnection busConnection = *connection;
    const int timeout = answerTimeout_;
    whenAnswered(busConnection, busCall(QStringLiteral("NameHasOwner"), {notificationsService}), timeout,
                 [promise, busConnection, timeout](const QDBusPendingCall& call) {
                     QDBusPendingReply<bool> owned = call;
                     if (owned.isValid() && owned.value()) {
                         promise->addResult(true);
                         promise->finish();
                         return;
                     }
                     // Not running now, but the bus may start it on the first call.
                     whenAnswered(busConnection, busCall(QStringLiteral("ListActivatableNames"), {}), timeout,
                                  [promise](const QDBusPendingCall& listCall) {
                                      QDBusPendingReply<QStringList> names = listCall;
                                      promise->addResult(names.isValid() &&
                                                         names.value().contains(notificationsService));
                                      promise->finish();
                                  });
                 });
    return future;
}

QFuture<bool> DBusNotifier::post(const QString& identifier, const QString& title, const QString& body) {
    auto connection = bus();
    if (!connection)
        return ready(false);
    QDBusMessage message = QDBusMessage::createMethodCall(notificationsService, notificationsPath, notificationsService,
                                                          QStringLiteral("Notify"));
    // The default action is what a click on the notification invokes; its label is seldom shown.
    const QStringList actions{QStringLiteral("default"), tr("Open")};
    const QVariantMap hints{{QStringLiteral("desktop-entry"), applicationId}};
    message.setArguments({QStringLiteral("Dovrane"), lastIds_->value(identifier, 0u), applicationId, title,
                          escapedBody(body), actions, hints, -1});
    auto promise = std::make_shared<QPromise<bool>>();
    promise->start();
    QFuture<bool> future = promise->future();
    whenAnswered(*connection, message, answerTimeout_,
                 [promise, identifier, lastIds = lastIds_](const QDBusPendingCall& call) {
                     QDBusPendingReply<uint> reply = call;
                     const bool shown = reply.isValid();
                     if (shown)
                         lastIds->insert(identifier, reply.value());
                     promise->addResult(shown);
                     promise->finish();
                 });
    return future;
}

void DBusNotifier::actionInvoked(uint id, const QString& action) {
    // Every notification on the bus is announced to every listener: only ours count.
    if (action != QLatin1String("default"))
        return;
    for (auto entry = lastIds_->cbegin(); entry != lastIds_->cend(); ++entry)
        if (entry.value() == id) {
            activated(entry.key());
            return;
        }
}

} // namespace dovrane
