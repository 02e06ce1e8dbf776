// The self-updater's switch: no controller with a test store or without a feed, and canCheck
// following the controller's word.

#include "Updater/Updater.h"
#include "support/ModelTestMain.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>

using namespace dovrane;

namespace {

class FakeController final : public UpdaterController {
public:
    std::atomic<bool> allowed{true};
    int checks = 0;

    bool canCheckForUpdates() const override { return allowed; }
    void checkForUpdates() override { ++checks; }
    void say(bool value) {
        allowed = value;
        emit canCheckForUpdatesChanged();
    }
};

Updater::InfoSource withFeed(bool feed) {
    return [feed](const QString& key) -> std::optional<QString> {
        if (feed && key == QLatin1String("SUFeedURL"))
            return QStringLiteral("https://updates.example.test/appcast.xml");
        return std::nullopt;
    };
}

} // namespace

class UpdaterTests : public QObject {
    Q_OBJECT

private slots:
    void offWithATestStoreOrWithoutAFeed() {
        int made = 0;
        const Updater::ControllerFactory factory = [&made] {
            ++made;
            return std::make_unique<FakeController>();
        };
        for (auto [feed, testStore] : {std::pair{true, true}, std::pair{false, false}, std::pair{false, true}}) {
            Updater updater(withFeed(feed), factory, testStore);
            QVERIFY(!updater.controller());
            QVERIFY(!updater.canCheck());
            updater.checkForUpdates(); // the disabled command does nothing
        }
        QCOMPARE(made, 0);
    }

    void canCheckFollowsTheController() {
        FakeController* controller = nullptr;
        Updater updater(
            withFeed(true),
            [&controller] {
                auto made = std::make_unique<FakeController>();
                made->allowed = false;
                controller = made.get();
                return made;
            },
            false);
        QCOMPARE(updater.controller(), controller);
        QVERIFY(!updater.canCheck());
        QSignalSpy changes(&updater, &Updater::canCheckChanged);

        controller->say(true);
        QVERIFY(!updater.canCheck()); // written on the main thread's next turn, not in the signal
        QCoreApplication::processEvents();
        QVERIFY(updater.canCheck());

        // The same value again is no change.
        controller->say(true);
        QCoreApplication::processEvents();
        QCOMPARE(changes.count(), 1);

        controller->say(false);
        QCoreApplication::processEvents();
        QVERIFY(!updater.canCheck());
        QCOMPARE(changes.count(), 2);

        updater.checkForUpdates();
        QCOMPARE(controller->checks, 1);
    }
};

DOVRANE_MODEL_SUITE(UpdaterTests)
#include "UpdaterTests.moc"
