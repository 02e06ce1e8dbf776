// The menu bar panel over models in chosen states, its buttons, what opening it reads, the
// tray item's fallback where the desktop has no tray, and the item following a tray that comes
// and goes (a fake one, and the desktop's watched on a private session bus).

#include "AppModel/ModelSeeding.h"
#include "ChromeFixture.h"
#include "QtWaits.h"
#include "Theme/Theme.h"
#include "UiTestMain.h"

#include "MenuBarView/MenuBarView.h"
#include "Services/SettingKeys.h"
#include "StorageGraphics/StorageBar.h"
#include "support/PrivateBus.h"

#include <QDBusMessage>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

class FakeTray final : public TrayPresence {
public:
    bool available() const override { return available_; }
    void set(bool available) {
        available_ = available;
        emit availabilityChanged(available);
    }

private:
    bool available_ = false;
};

// The StatusNotifierWatcher of a panel: present on the bus, with or without a host.
class FakeWatcher final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered MEMBER hostRegistered)

public:
    bool hostRegistered = false;
};

} // namespace

class MenuBarTests : public QObject {
    Q_OBJECT

    std::unique_ptr<ModelFixture> fixture;
    AppModel* model = nullptr;
    std::optional<VolumeInfo> readable; // what reading the volume gives
    std::vector<std::string> readPaths;
    int windowShown = 0;

    std::unique_ptr<MenuBarView> panel() {
        return std::make_unique<MenuBarView>(*model, [this] { ++windowShown; });
    }

private slots:
    void init() {
        fixture = std::make_unique<ModelFixture>();
        readable.reset();
        readPaths.clear();
        windowShown = 0;
        Services services = fixture->services();
        services.readVolume = [this](const Url& url) {
            readPaths.push_back(url.path());
            return readable;
        };
        model = &fixture->makeModel(std::move(services));
    }
    void cleanup() { fixture.reset(); }

    void withoutFiguresThereIsNoHeaderOrBar() {
        QVERIFY(!model->volume());
        auto shown = panel();
        render(*shown, Look::light);
        QVERIFY(!shown->freeLabel()->isVisibleTo(shown.get()));
        QVERIFY(!shown->storageBar());
        QCOMPARE(shown->growthLabel()->text(), QString("From tomorrow on, Dovrane shows here what grew."));
        QCOMPARE(menuBarFreeText(*model), QString("Zero KB"));
    }

    void theHeaderTakesTheVolumeElseTheScan() {
        auto shown = panel();
        ModelSeeding(*model).setScan(makeScan(Date{0}, 500'000'000'000, 120'000'000'000));
        QVERIFY(shown->freeLabel()->isVisibleTo(shown.get()));
        QCOMPARE(shown->freeLabel()->text(), QString("120 GB"));
        QCOMPARE(shown->totalLabel()->text(), QString("free of 500 GB"));
        QVERIFY(shown->storageBar());
        model->setVolume(VolumeInfo{"Disk", 1'000'000'000'000, 250'000'000'000, 250'000'000'000});
        QCOMPARE(shown->freeLabel()->text(), QString("250 GB"));
        QCOMPARE(shown->totalLabel()->text(), QString("free of 1 TB"));
        QCOMPARE(menuBarFreeText(*model), QString("250 GB"));
        ModelSeeding(*model).setScan(std::nullopt);
        QVERIFY(!shown->storageBar());
        QVERIFY(shown->freeLabel()->isVisibleTo(shown.get()));
    }

    void growthAndUpdateRows() {
        auto shown = panel();
        ModelSeeding(*model).setDayGrowth(Growth{300'000'000, CategoryID::caches, 300'000'000, 1});
        QVERIFY(shown->growthLabel()->text().startsWith("Since yesterday: Used space grew by "));
        QCOMPARE(shown->updatesLabel()->text(), QString("No app updates"));
        QVERIFY(!shown->showButton()->isVisibleTo(shown.get()));

        const InstalledApp app = makeApp("Alpha");
        ModelSeeding(*model).setApps({app});
        ModelSeeding(*model).setUpdates({{app.id(), availableFor(app)}});
        QCOMPARE(shown->updatesLabel()->text(), QString("1 app updates ready"));
        QVERIFY(shown->showButton()->isVisibleTo(shown.get()));
        QTest::mouseClick(shown->showButton(), Qt::LeftButton);
        QCOMPARE(model->sidebar(), std::optional<SidebarItem>(SidebarItem::updates));
        QCOMPARE(windowShown, 1);
        QTest::mouseClick(shown->openButton(), Qt::LeftButton);
        QCOMPARE(windowShown, 2);
    }

    void scanAgainIsOffWhileScanningAndInDemo() {
        auto shown = panel();
        QVERIFY(shown->scanButton()->isEnabled());
        ModelSeeding(*model).setIsScanning(true);
        QVERIFY(!shown->scanButton()->isEnabled());
        ModelSeeding(*model).setIsScanning(false);
        ModelSeeding(*model).setIsDemo(true);
        QVERIFY(!shown->scanButton()->isEnabled());
    }

    void openingReadsTheHomeVolumeUnlessDemo() {
        readable = VolumeInfo{"Home", 800'000'000'000, 90'000'000'000, 90'000'000'000};
        readPaths.clear();
        auto shown = panel();
        shown->show();
        QCOMPARE(readPaths, std::vector<std::string>{fixture->home()});
        QCOMPARE(model->volume(), readable);

        const VolumeInfo demo{"Demo", 1'000'000'000'000, 300'000'000'000, 300'000'000'000};
        ModelSeeding(*model).setIsDemo(true);
        model->setVolume(demo);
        shown->hide();
        shown->show();
        QCOMPARE(model->volume(), std::optional<VolumeInfo>(demo));
        QCOMPARE(readPaths.size(), std::size_t(1));
    }

    void rendersInLightAndDark() {
        ModelSeeding(*model).setScan(
            makeScan(Date{0}, 500'000'000'000, 120'000'000'000, {{CategoryID::apps, 80'000'000'000}}));
        for (Look look : {Look::light, Look::dark}) {
            auto shown = panel();
            const QImage image = render(*shown, look);
            QCOMPARE(image.width(), MenuBarView::width);
            QCOMPARE(shown->storageBar()->height(), 12);
            QVERIFY(shown->scanButton()->geometry().top() > shown->updatesLabel()->geometry().top());
        }
    }

    // Offscreen there is no tray: no icon, and the setting still reads and writes.
    void withoutATrayThereIsNoItemButTheSettingWorks() {
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        Settings& settings = *fixture->settings;
        // A test store is in use, so the item is off until the setting says otherwise.
        QVERIFY(!MenuBarSetting::showsItem(settings));
        MenuBarItem item(*model, {});
        QVERIFY(!item.isShown());
        QSignalSpy followed(&MenuBarSetting::shared(), &MenuBarSetting::changed);
        MenuBarSetting::shared().set(settings, true);
        QCOMPARE(followed.count(), 1);
        QVERIFY(MenuBarSetting::showsItem(settings));
        QVERIFY(!item.isShown());
        MenuBarSetting::shared().set(settings, false);
        QCOMPARE(SettingKeys::menuBarEnabled.stored(settings), std::optional<bool>(false));
    }

    // A panel that starts after Dovrane, restarts, or goes: the item follows it and the setting.
    void theItemFollowsATrayThatComesAndGoes() {
        Settings& settings = *fixture->settings;
        MenuBarSetting::shared().set(settings, true);
        auto owned = std::make_unique<FakeTray>();
        FakeTray& tray = *owned;
        MenuBarItem item(*model, {}, std::move(owned));
        QVERIFY(!item.isShown());
        tray.set(true);
        QVERIFY(item.isShown());
        QVERIFY(!item.icon()->toolTip().isEmpty());
        tray.set(false);
        QVERIFY(!item.isShown());
        QVERIFY(!item.icon());
        tray.set(true);
        QVERIFY(item.isShown());
        // Switched off, a tray coming back brings nothing; switched on again, the item returns.
        MenuBarSetting::shared().set(settings, false);
        QVERIFY(!item.isShown());
        tray.set(false);
        tray.set(true);
        QVERIFY(!item.isShown());
        MenuBarSetting::shared().set(settings, true);
        QVERIFY(item.isShown());
    }

    void thePanelWearsTheChosenAccent() {
        Settings& settings = *fixture->settings;
        MenuBarSetting::shared().set(settings, true);
        auto owned = std::make_unique<FakeTray>();
        FakeTray& tray = *owned;
        MenuBarItem item(*model, {}, std::move(owned));
        tray.set(true);
        ThemeStore& themes = ThemeStore::shared();
        const QString before = themes.themeID();
        const auto restore = qScopeGuard([&] {
            themes.setThemeID(before);
            MenuBarSetting::shared().set(settings, false);
        });
        themes.setThemeID(QStringLiteral("mint"));
        item.openPanel();
        MenuBarView* panel = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* shown = qobject_cast<MenuBarView*>(window); shown && shown->isVisible())
                panel = shown;
        QVERIFY(panel);
        QCOMPARE(panel->palette().color(QPalette::Active, QPalette::Highlight), QColor(0x2B, 0xC4, 0x8A));
        QCOMPARE(panel->palette().color(QPalette::Active, QPalette::HighlightedText), QColor(0x16, 0x16, 0x1C));
        themes.setThemeID(QStringLiteral("violet"));
        QCOMPARE(panel->palette().color(QPalette::Active, QPalette::Highlight), QColor(0x7B, 0x5C, 0xFF));
        panel->close();
    }

    void theDesktopTrayIsAskedAgainWhenAWatcherOrHostComesOrGoes() {
        PrivateBus bus;
        QVERIFY2(!bus.address().isEmpty(), "dbus-daemon did not start");
        QDBusConnection panel = bus.connect();
        FakeWatcher watcher;
        QVERIFY(panel.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                                     QDBusConnection::ExportAllProperties));
        bool registered = false;
        int asked = 0;
        // Stands in for Qt's answer, which offscreen is always no.
        DesktopTray tray(bus.connect(), [&] {
            ++asked;
            return registered && watcher.hostRegistered;
        });
        QVERIFY(!tray.available());
        QSignalSpy changes(&tray, &TrayPresence::availabilityChanged);

        // The panel's watcher starts, then its host registers.
        QVERIFY(panel.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
        registered = true;
        DOVRANE_TRY_COMPARE(asked, 2);
        QCOMPARE(changes.count(), 0);
        watcher.hostRegistered = true;
        panel.send(QDBusMessage::createSignal(QStringLiteral("/StatusNotifierWatcher"),
                                              QStringLiteral("org.kde.StatusNotifierWatcher"),
                                              QStringLiteral("StatusNotifierHostRegistered")));
        DOVRANE_TRY_COMPARE(changes.count(), 1);
        QVERIFY(tray.available());
        QCOMPARE(changes.last().first().toBool(), true);

        // The panel goes away.
        QVERIFY(panel.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher")));
        registered = false;
        DOVRANE_TRY_COMPARE(changes.count(), 2);
        QVERIFY(!tray.available());
    }
};

DOVRANE_UI_TEST_MAIN(MenuBarTests)
#include "MenuBarTests.moc"
