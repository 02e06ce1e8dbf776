#pragma once
// The application's own notifications, delivered at once on the main thread. "DovraneRemoveApp"
// carries the URL of an app to remove: the drop target, the command line and a second start
// post it, and the main window turns it into an uninstall request.

#include <DovraneKit/core/Url.h>

#include <QObject>
#include <QString>
#include <QVariant>

Q_DECLARE_METATYPE(dovrane::Url)

namespace dovrane {

class AppNotifications final : public QObject {
    Q_OBJECT
public:
    static inline const QString removeApp = QStringLiteral("DovraneRemoveApp");

    static AppNotifications& shared();
    // Delivers to every receiver before it returns.
    void post(const QString& name, const QVariant& object = {});
    void postRemoveApp(const Url& url) { post(removeApp, QVariant::fromValue(url)); }

signals:
    void posted(const QString& name, const QVariant& object);
};

} // namespace dovrane
