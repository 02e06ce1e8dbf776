#pragma once
// User notifications. On Linux they go to org.freedesktop.Notifications over D-Bus; a later
// notification with the same identifier replaces the one before it.

#include <QDBusConnection>
#include <QFuture>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>

namespace dovrane {

class Notifier {
public:
    virtual ~Notifier() = default;

    // Whether a notification could be shown now. Main thread.
    virtual QFuture<bool> isAvailable() = 0;
    // Shows title and body; true when the server took it. Main thread.
    virtual QFuture<bool> post(const QString& identifier, const QString& title, const QString& body) = 0;
};

class DBusNotifier final : public Notifier {
public:
    static constexpr int answerTimeoutMs = 5000;

    // Without a connection, the user's bus named by DBUS_SESSION_BUS_ADDRESS, connected at the
    // first use.
    explicit DBusNotifier(std::optional<QDBusConnection> connection = std::nullopt);
    ~DBusNotifier() override;

    QFuture<bool> isAvailable() override;
    QFuture<bool> post(const QString& identifier, const QString& title, const QString& body) override;

    // Servers may read the body as markup; these three would be taken for it.
    static QString escapedBody(const QString& body);

private:
    std::optional<QDBusConnection> bus();

    std::optional<QDBusConnection> connection_;
    bool ownsConnection_ = false;
    // The id the server gave the last notification of each identifier. Shared with the
    // answers still on their way, which may arrive after the notifier is gone.
    std::shared_ptr<QHash<QString, uint>> lastIds_ = std::make_shared<QHash<QString, uint>>();
};

} // namespace dovrane
