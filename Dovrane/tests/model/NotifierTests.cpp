// Notifications over D-Bus, against a bus of the test's own with a notification service it
// registers, and against buses that cannot be reached or have no such service.

#include "QtWaits.h"
#include "Services/Notifier.h"
#include "support/Await.h"
#include "support/ModelTestMain.h"
#include "support/PrivateBus.h"

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

class NotifierTests : public QObject {
    Q_OBJECT

private slots:
    void postsToTheServiceAndReplacesItsOwn() {
        PrivateBus bus;
        QVERIFY2(!bus.address().isEmpty(), "dbus-daemon did not start");
        FakeNotificationServer server;
        QVERIFY(server.registerOn(bus.connect()));
        DBusNotifier notifier(bus.connect());
        QVERIFY(awaitResult(notifier.isAvailable()));

        QVERIFY(awaitResult(notifier.post(QStringLiteral("updates"), QStringLiteral("3 updates"),
                                          QStringLiteral("Tom & Jerry <beta> and more"))));
        QVERIFY(awaitResult(
            notifier.post(QStringLiteral("weekly"), QStringLiteral("Weekly"), QStringLiteral("Used space grew."))));
        QVERIFY(
            awaitResult(notifier.post(QStringLiteral("updates"), QStringLiteral("4 updates"), QStringLiteral("x"))));

        QCOMPARE(server.received.size(), size_t(3));
        const auto& first = server.received[0];
        QCOMPARE(first.appName, QStringLiteral("Dovrane"));
        QCOMPARE(first.summary, QStringLiteral("3 updates"));
        QCOMPARE(first.body, QStringLiteral("Tom &amp; Jerry &lt;beta&gt; and more"));
        QCOMPARE(first.replacesId, 0u);
        QCOMPARE(first.icon, QStringLiteral("app.dovrane.Dovrane"));
        QCOMPARE(first.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("app.dovrane.Dovrane"));
        QCOMPARE(first.actions.size(), 2);
        QCOMPARE(first.actions[0], QStringLiteral("default"));
        QCOMPARE(server.received[1].replacesId, 0u);                    // another identifier
        QCOMPARE(server.received[2].replacesId, server.received[0].id); // the same one replaces
        QVERIFY(server.received[0].id != server.received[1].id);
    }

    void clickingOurNotificationReportsItsIdentifier() {
        PrivateBus bus;
        QVERIFY2(!bus.address().isEmpty(), "dbus-daemon did not start");
        QDBusConnection serverConnection = bus.connect();
        FakeNotificationServer server;
        QVERIFY(server.registerOn(serverConnection));
        DBusNotifier notifier(bus.connect());
        QStringList clicked;
        notifier.setActivation([&](const QString& identifier) { clicked.append(identifier); });
        QVERIFY(awaitResult(notifier.post(QStringLiteral("weekly"), QStringLiteral("w"), QStringLiteral("b"))));
        QVERIFY(awaitResult(notifier.post(QStringLiteral("updates"), QStringLiteral("u"), QStringLiteral("b"))));
        const uint weekly = server.received[0].id, updates = server.received[1].id;

        auto invoke = [&](uint id, const QString& action) {
            QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                             QStringLiteral("org.freedesktop.Notifications"),
                                                             QStringLiteral("ActionInvoked"));
            signal << id << action;
            QVERIFY(serverConnection.send(signal));
        };
        invoke(updates + 100, QStringLiteral("default")); // another application's notification
        invoke(weekly, QStringLiteral("snooze"));         // not the default action
        invoke(updates, QStringLiteral("default"));
        DOVRANE_TRY_COMPARE(clicked, QStringList{QStringLiteral("updates")});
        invoke(weekly, QStringLiteral("default"));
        DOVRANE_TRY_COMPARE(clicked, (QStringList{QStringLiteral("updates"), QStringLiteral("weekly")}));
    }

    // A server that takes the call and never answers holds nothing up: the post fails at the
    // notifier's timeout (5 s by default, short here).
    void aServerThatNeverAnswersFailsAtTheTimeout() {
        PrivateBus bus;
        QVERIFY2(!bus.address().isEmpty(), "dbus-daemon did not start");
        FakeNotificationServer server;
        server.silent = true;
        QVERIFY(server.registerOn(bus.connect()));
        DBusNotifier notifier(bus.connect(), 200);
        QElapsedTimer waited;
        waited.start();
        QVERIFY(!awaitResult(notifier.post(QStringLiteral("updates"), QStringLiteral("t"), QStringLiteral("b"))));
        QCOMPARE(server.received.size(), size_t(1)); // it got there, and no answer came back
        QVERIFY(waited.elapsed() >= 150);
        // Not remembered as shown: the next one replaces nothing.
        server.silent = false;
        QVERIFY(awaitResult(notifier.post(QStringLiteral("updates"), QStringLiteral("u"), QStringLiteral("b"))));
        QCOMPARE(server.received[1].replacesId, 0u);
        QCOMPARE(DBusNotifier::answerTimeoutMs, 5000);
    }

    void aBusWithoutTheServiceOffersNothing() {
        PrivateBus bus;
        QVERIFY2(!bus.address().isEmpty(), "dbus-daemon did not start");
        DBusNotifier notifier(bus.connect());
        QVERIFY(!awaitResult(notifier.isAvailable()));
        QVERIFY(!awaitResult(notifier.post(QStringLiteral("weekly"), QStringLiteral("t"), QStringLiteral("b"))));
    }

    void anUnreachableBusOffersNothing() {
        TempDir folder;
        const QString address = QStringLiteral("unix:path=") + QString::fromStdString(folder / "no-bus");
        DBusNotifier given(QDBusConnection::connectToBus(address, QStringLiteral("dovrane-test-unreachable")));
        QVERIFY(!awaitResult(given.isAvailable()));
        QVERIFY(!awaitResult(given.post(QStringLiteral("updates"), QStringLiteral("t"), QStringLiteral("b"))));
        QDBusConnection::disconnectFromBus(QStringLiteral("dovrane-test-unreachable"));

        // The default: the session bus named by the environment, here none.
        DBusNotifier none;
        QVERIFY(!awaitResult(none.isAvailable()));
        ScopedEnv session("DBUS_SESSION_BUS_ADDRESS", address.toStdString());
        DBusNotifier unreachable;
        QVERIFY(!awaitResult(unreachable.isAvailable()));
    }
};

DOVRANE_MODEL_SUITE(NotifierTests)
#include "NotifierTests.moc"
