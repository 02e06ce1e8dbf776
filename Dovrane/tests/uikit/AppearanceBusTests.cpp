// Light and dark following the desktop portal while the application runs, through a bus: a
// portal of the test's own on a private session bus answers Read and emits SettingChanged, and
// the appearance service and a painted widget follow each change in both directions.

#include "QtWaits.h"
#include "UiTestMain.h"

#include "UiKit/Appearance.h"
#include "UiKit/SemanticColors.h"
#include "support/PrivateBus.h"

#include <QDBusMessage>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceSpace = QStringLiteral("org.freedesktop.appearance");

// org.freedesktop.portal.Settings with the two appearance keys the service reads.
class FakePortal final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    explicit FakePortal(QDBusConnection connection) : connection_(std::move(connection)) {}

    bool registerOn() {
        return connection_.registerObject(portalPath, this, QDBusConnection::ExportAllSlots) &&
               connection_.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }

    // Changes a value and tells the bus, as the portal does when the desktop's setting changes.
    void change(const QString& key, uint value) {
        values_[key] = value;
        QDBusMessage signal = QDBusMessage::createSignal(portalPath, portalInterface, QStringLiteral("SettingChanged"));
        signal << appearanceSpace << key << QVariant::fromValue(QDBusVariant(value));
        connection_.send(signal);
    }

    QMap<QString, uint> values_;

public slots:
    // The portal's Read answers a variant that holds the value's own variant.
    QDBusVariant Read(const QString& space, const QString& key) {
        if (space != appearanceSpace || !values_.contains(key))
            return QDBusVariant(QVariant::fromValue(QDBusVariant(uint(0))));
        return QDBusVariant(QVariant::fromValue(QDBusVariant(values_[key])));
    }

private:
    QDBusConnection connection_;
};

QColor paintedBackground(QWidget& widget) {
    return widget.grab().toImage().pixelColor(widget.width() / 2, widget.height() / 2);
}

} // namespace

class AppearanceBusTests : public QObject {
    Q_OBJECT

    PrivateBus bus;
    std::unique_ptr<FakePortal> portal;

private slots:
    void initTestCase() {
        QVERIFY2(!bus.address().isEmpty(), "dbus-daemon did not start");
        portal = std::make_unique<FakePortal>(bus.connect());
        // The desktop is dark before the start.
        portal->values_[QStringLiteral("color-scheme")] = 1;
        QVERIFY(portal->registerOn());
    }

    void followsColourSchemeAndContrastBothWays() {
        Appearance& appearance = Appearance::shared();
        QCOMPARE(appearance.look(), Look::light); // no session bus in tests: nothing read yet
        QWidget window;
        window.setAutoFillBackground(true);
        window.resize(40, 30);
        window.show();

        appearance.followDesktop(bus.connect());
        DOVRANE_TRY_COMPARE_WITHIN(appearance.look(), Look::dark, 2000); // read at the start

        QSignalSpy changed(&appearance, &Appearance::changed);
        portal->change(QStringLiteral("color-scheme"), 2);
        DOVRANE_TRY_COMPARE_WITHIN(appearance.look(), Look::light, 2000);
        QCOMPARE(paintedBackground(window), SemanticColors::palette(Look::light).color(QPalette::Window));

        portal->change(QStringLiteral("contrast"), 1);
        DOVRANE_TRY_COMPARE_WITHIN(appearance.look(), Look::highContrastLight, 2000);
        portal->change(QStringLiteral("color-scheme"), 1);
        DOVRANE_TRY_COMPARE_WITHIN(appearance.look(), Look::highContrastDark, 2000);
        portal->change(QStringLiteral("contrast"), 0);
        DOVRANE_TRY_COMPARE_WITHIN(appearance.look(), Look::dark, 2000);
        QCOMPARE(paintedBackground(window), SemanticColors::palette(Look::dark).color(QPalette::Window));
        QCOMPARE(changed.count(), 4);

        // "No preference" is light.
        portal->change(QStringLiteral("color-scheme"), 0);
        DOVRANE_TRY_COMPARE_WITHIN(appearance.look(), Look::light, 2000);
        QCOMPARE(changed.count(), 5);
    }

    void aForcedLookWinsUntilLifted() {
        Appearance& appearance = Appearance::shared();
        appearance.force(Look::light);
        portal->change(QStringLiteral("color-scheme"), 1);
        QTest::qWait(200);
        QCOMPARE(appearance.look(), Look::light);
        appearance.force(std::nullopt);
        DOVRANE_TRY_COMPARE_WITHIN(appearance.look(), Look::dark, 2000);
    }
};

DOVRANE_UI_TEST_MAIN(AppearanceBusTests)
#include "AppearanceBusTests.moc"
