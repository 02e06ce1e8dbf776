#pragma once
// User notifications. On Linux they go to org.freedesktop.Notifications over D-Bus, carrying
// the application's name, icon and desktop entry and a default action; a later notification
// with the same identifier replaces the one before it.

#include <QDBusConnection>
#include <QFuture>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
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

    // Called with a notification's identifier when the user clicks it. Main thread.
    using Activation = std::function<void(const QString& identifier)>;
    void setActivation(Activation activation) { activation_ = std::move(activation); }

protected:
    void activated(const QString& identifier) const {
        if (activation_)
            activation_(identifier);
    }

private:
    Activation activation_;
};

class DBusNotifier final : public QObject, public Notifier {
    Q_OBJECT
public:
    static constexpr int answerTimeoutMs = 5000;
    // The application id: the icon's name and the desktop entry's.
    static inline const QString applicationId = QStringLiteral("app.dovrane.Dovrane");

    // Without a connection, the user's bus named by DBUS_SESSION_BUS_ADDRESS, connected at the
    // first use. A call the bus has not answered within answerTimeout counts as failed.
    explicit DBusNotifier(std::optional<QDBusConnection> connection = std::nullopt,
                          int answerTimeout = answerTimeoutMs);
    ~DBusNotifier() override;

    QFuture<bool> isAvailable() override;
    QFuture<bool> post(const QString& identifier, const QString& title, const QString& body) override;

    // Servers may read the body as markup; these three would be taken for it.
    static QString escapedBody(const QString& body);

private slots:
    void actionInvoked(uint id, const QString& action);

private:
    std::optional<QDBusConnection> bus();

    std::optional<QDBusConnection> connection_;
    int answerTimeout_;
    bool ownsConnection_ = false;
    bool listening_ = false;
    // The id the server gave the last notification of each identifier. Shared with the
    // answers still on their way, which may arrive after the notifier is gone.
    std::shared_ptr<QHash<QString, uint>> lastIds_ = std::make_shared<QHash<QString, uint>>();
};

} // namespace dovrane
