#include "App/AppIdentity.h"

#include "Services/Notifier.h"

#include <QApplication>

namespace dovrane::AppIdentity {

void install() {
    QGuiApplication::setDesktopFileName(DBusNotifier::applicationId);
    QApplication::setWindowIcon(icon());
}

QIcon icon() {
    return QIcon::fromTheme(DBusNotifier::applicationId,
                            QIcon(QStringLiteral(":/icons/") + DBusNotifier::applicationId + QStringLiteral(".svg")));
}

} // namespace dovrane::AppIdentity
