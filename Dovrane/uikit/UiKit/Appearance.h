#pragma once
// Light or dark, with or without high contrast, as the desktop asks for it. Qt 6.4 has no
// colour-scheme API, so this follows the XDG desktop portal's "org.freedesktop.appearance"
// settings over D-Bus; without D-Bus or a portal it stays light with normal contrast. The
// application may force a look (tests, the screenshot run).

#include <QDBusConnection>
#include <QObject>
#include <QVariant>

#include <optional>

namespace dovrane {

enum class Look { light, dark, highContrastLight, highContrastDark };

class Appearance final : public QObject {
    Q_OBJECT
public:
    // The one service of the process, created on first use (main thread).
    static Appearance& shared();

    Look look() const;
    bool isDark() const { return look() == Look::dark || look() == Look::highContrastDark; }
    bool isHighContrast() const { return look() == Look::highContrastLight || look() == Look::highContrastDark; }

    // A forced look wins over the desktop's until it is lifted with nullopt.
    void force(std::optional<Look> look);

    // Starts following the portal on the bus (the session bus unless told otherwise): reads
    // both settings once, without waiting, and listens for their changes. Does nothing when the
    // bus is missing; says once on standard error when the changes cannot be listened for.
    void followDesktop();
    void followDesktop(const QDBusConnection& bus);

    // One portal setting as it arrives, by namespace and key; anything not understood is
    // ignored. The value may come wrapped in D-Bus variants.
    void takePortalSetting(const QString& space, const QString& key, const QVariant& value);

signals:
    // The look changed; every window has been given the new palette and repainted.
    void changed();

private slots:
    // The whole message: Qt 6.4 refuses to connect a slot taking (QString, QString,
    // QDBusVariant) to a signal whose last argument is a variant.
    void portalSettingChanged(const QDBusMessage& message);

private:
    Appearance() = default;
    void setDesktop(bool dark, bool highContrast);
    void announceIfChanged(Look before);
    void readPortal(const QString& key);

    bool desktopDark_ = false;
    bool desktopHighContrast_ = false;
    std::optional<Look> forced_;
    std::optional<QDBusConnection> bus_;
};

} // namespace dovrane
