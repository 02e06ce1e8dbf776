#include "UiKit/Appearance.h"

#include "UiKit/SemanticColors.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QWidget>

#include <cstdio>
#include <utility>

namespace dovrane {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceSpace = QStringLiteral("org.freedesktop.appearance");

// The portal's Read wraps the value in one variant more than SettingChanged does.
std::optional<uint> unwrapped(QVariant value) {
    for (int depth = 0; depth < 4 && value.userType() == qMetaTypeId<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint number = value.toUInt(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

} // namespace

Appearance& Appearance::shared() {
    static Appearance* instance = new Appearance;
    return *instance;
}

Look Appearance::look() const {
    if (forced_)
        return *forced_;
    if (desktopHighContrast_)
        return desktopDark_ ? Look::highContrastDark : Look::highContrastLight;
    return desktopDark_ ? Look::dark : Look::light;
}

void Appearance::force(std::optional<Look> look) {
    const Look before = this->look();
    forced_ = look;
    announceIfChanged(before);
}

void Appearance::followDesktop() { followDesktop(QDBusConnection::sessionBus()); }

void Appearance::followDesktop(const QDBusConnection& bus) {
    if (bus_ || !bus.isConnected())
        return;
    bus_ = bus;
    if (!bus_->connect(portalService, portalPath, portalInterface, QStringLiteral("SettingChanged"), this,
                       SLOT(portalSettingChanged(QDBusMessage)))) {
        // Qt gives no error for a refused slot, only for a refused match rule.
        static bool said = false;
        if (!std::exchange(said, true))
            std::fprintf(stderr,
                         "Dovrane: light and dark will not follow the desktop while Dovrane runs: the portal's "
                         "SettingChanged could not be listened for. %s\n",
                         qPrintable(bus_->lastError().message()));
    }
    readPortal(QStringLiteral("color-scheme"));
    readPortal(QStringLiteral("contrast"));
}

void Appearance::readPortal(const QString& key) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(portalService, portalPath, portalInterface, QStringLiteral("Read"));
    call << appearanceSpace << key;
    // Asynchronous, so a slow or absent portal never holds up the window.
    auto* watcher = new QDBusPendingCallWatcher(bus_->asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, key](QDBusPendingCallWatcher* finished) {
        const QDBusMessage reply = finished->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            takePortalSetting(appearanceSpace, key, reply.arguments().first());
        finished->deleteLater();
    });
}

void Appearance::portalSettingChanged(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() != 3)
        return;
    takePortalSetting(arguments[0].toString(), arguments[1].toString(), arguments[2]);
}

void Appearance::takePortalSetting(const QString& space, const QString& key, const QVariant& value) {
    if (space != appearanceSpace)
        return;
    const std::optional<uint> number = unwrapped(value);
    if (!number)
        return;
    // color-scheme: 0 no preference, 1 dark, 2 light. contrast: 0 normal, 1 high.
    if (key == QLatin1String("color-scheme"))
        setDesktop(*number == 1, desktopHighContrast_);
    else if (key == QLatin1String("contrast"))
        setDesktop(desktopDark_, *number == 1);
}

void Appearance::setDesktop(bool dark, bool highContrast) {
    const Look before = look();
    desktopDark_ = dark;
    desktopHighContrast_ = highContrast;
    announceIfChanged(before);
}

void Appearance::announceIfChanged(Look before) {
    if (look() == before)
        return;
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QApplication::setPalette(SemanticColors::palette(look()));
        // Painted widgets resolve their colours while painting; make every one paint again.
        for (QWidget* widget : QApplication::allWidgets())
            widget->update();
    }
    emit changed();
}

} // namespace dovrane
