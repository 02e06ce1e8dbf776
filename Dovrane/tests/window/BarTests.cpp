// The window's smaller parts in their states: the scan toolbar, the notice bar, the access
// hint, the sidebar's symbols and badge, and onboarding's rows over faked permissions.

#include "../uikit/ColourChecks.h"
#include "AppModel/ModelSeeding.h"
#include "ContentView/AccessHint.h"
#include "ContentView/NoticeBar.h"
#include "ContentView/ScanToolbar.h"
#include "ContentView/SheetHost.h"
#include "QtWaits.h"
#include "Services/SettingKeys.h"
#include "Sheets/OnboardingView.h"
#include "UiKit/SemanticColors.h"
#include "WindowFixture.h"
#include "support/Await.h"
#include "support/ModelTestMain.h"

#include <QListWidget>
#include <QTest>
#include <QToolButton>

using namespace dovrane;
using namespace dovrane::testing;

class BarTests : public QObject {
    Q_OBJECT

private slots:
    void windowLayout() {
        WindowFixture fixture;
        ContentView& window = fixture.makeWindow(fixture.makeModel());
        window.show();
        QVERIFY(dovrane::testing::waitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Dovrane"));
        QCOMPARE(window.size(), QSize(1100, 720));
        QCOMPARE(window.minimumSize(), QSize(760, 480));
        QCOMPARE(window.sidebar()->width(), 212);
        QCOMPARE(window.sidebar()->minimumWidth(), 180);
        QCOMPARE(window.sidebar()->count(), 6);
        QCOMPARE(window.page()->objectName(), QStringLiteral("page-overview")); // nothing selected
        QVERIFY(!window.grab().isNull());
        // The page control sits left of the scan control, at the toolbar's trailing end.
        auto* control = new QWidget;
        control->setFixedSize(120, 20);
        window.setPageControl(control);
        DOVRANE_TRY_VERIFY(control->isVisible());
        QVERIFY(control->mapTo(&window, QPoint()).x() < window.scanToolbar()->mapTo(&window, QPoint()).x());
        QPointer<QWidget> gone = control;
        window.model().setSidebar(SidebarItem::apps); // a new page takes the old one's control away
        DOVRANE_TRY_VERIFY(!gone);
    }

    // Narrow, the sidebar shows its symbols alone and names them in tooltips; wide again, it
    // takes back the width it had.
    void theSidebarTurnsCompactInANarrowWindow() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ContentView& window = fixture.makeWindow(model);
        window.resize(1100, 720);
        window.show();
        QCoreApplication::processEvents();
        QListWidget* sidebar = window.sidebar();
        QVERIFY(!window.sidebarCompact());
        const int fullWidth = sidebar->width();
        QVERIFY(fullWidth >= 180);
        QVERIFY(sidebar->item(0)->toolTip().isEmpty());

        window.resize(760, 480);
        QCoreApplication::processEvents();
        QVERIFY(window.sidebarCompact());
        QVERIFY(sidebar->width() < 60);
        QCOMPARE(sidebar->item(0)->toolTip(), QStringLiteral("Overview"));
        QCOMPARE(sidebar->item(0)->text(), QStringLiteral("Overview")); // still named for assistive technology
        // The page takes the room the sidebar gave up.
        QVERIFY(window.page()->width() > 760 - 60 - 10);

        window.resize(ContentView::compactBelow, 720);
        QCoreApplication::processEvents();
        QVERIFY(!window.sidebarCompact());
        QCOMPARE(sidebar->width(), fullWidth);
        QVERIFY(sidebar->item(0)->toolTip().isEmpty());
    }

    void toolbarSwapsWithTheScan() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ScanToolbar toolbar(model);
        toolbar.show();
        QVERIFY(toolbar.scanButton()->isVisible());
        QVERIFY(toolbar.scanButton()->isEnabled());
        QCOMPARE(toolbar.scanButton()->toolTip(), QStringLiteral("Measure the disk again (Ctrl-R)"));
        QVERIFY(!toolbar.stopButton()->isVisible());

        ModelSeeding(model).setIsScanning(true);
        ModelSeeding(model).setScanProgress(0.25);
        QVERIFY(!toolbar.scanButton()->isVisible());
        QVERIFY(toolbar.stopButton()->isVisible());
        QCOMPARE(toolbar.stopButton()->toolTip(), QStringLiteral("Stop the scan (Ctrl-Period)"));
        QCOMPARE(toolbar.progress()->value(), 0.25);
        ModelSeeding(model).setIsScanning(false);
        ModelSeeding(model).setIsDemo(true);
        QVERIFY(toolbar.scanButton()->isVisible());
        QVERIFY(!toolbar.scanButton()->isEnabled());
        // Off, it says why.
        QCOMPARE(toolbar.scanButton()->toolTip(), QStringLiteral("Not available while the demo data is shown"));
        ModelSeeding(model).setIsDemo(false);
        QCOMPARE(toolbar.scanButton()->toolTip(), QStringLiteral("Measure the disk again (Ctrl-R)"));
    }

    void noticeBarShowsTheModelsTextAndCloses() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ContentView& window = fixture.makeWindow(model);
        window.show();
        QVERIFY(!window.noticeBar());
        const QString text = QStringLiteral("<b>one</b>\ntwo\nthree\nfour\nfive");
        model.setNotice(text);
        NoticeBar* bar = window.noticeBar();
        QVERIFY(bar);
        QCOMPARE(bar->label()->text(), text);
        QCOMPARE(bar->label()->textFormat(), Qt::PlainText);
        DOVRANE_TRY_VERIFY(bar->label()->height() > 0);
        QVERIFY(bar->label()->height() <= 3 * bar->label()->fontMetrics().lineSpacing());
        bar->closeButton()->click();
        QVERIFY(!model.notice());
        QVERIFY(!window.noticeBar());
    }

    void accessHintFollowsAccessAndRestart() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        AccessHint hint(model);
        ModelSeeding(model).setHasFullDiskAccess(false);
        ModelSeeding(model).setNeedsRestart(true);
        QCOMPARE(hint.state(), AccessHint::State::missing);
        QVERIFY(!hint.isHidden());
        ModelSeeding(model).setHasFullDiskAccess(true);
        QCOMPARE(hint.state(), AccessHint::State::restart);
        hint.restartButton()->click();
        QCOMPARE(fixture.relaunches, 1);
        ModelSeeding(model).setNeedsRestart(false);
        QCOMPARE(hint.state(), AccessHint::State::none);
        QVERIFY(hint.isHidden());
    }

    void appsBadgeCountsOrphans() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ContentView& window = fixture.makeWindow(model);
        auto badgeOf = [&](int row) {
            return window.sidebar()->item(row)->data(SidebarBadgeDelegate::badgeRole).toInt();
        };
        QCOMPARE(badgeOf(2), 0);
        ModelSeeding(model).setOrphans(
            {Orphan{Url::fromPath("/tmp/a"), "com.a", 1, "gone"}, Orphan{Url::fromPath("/tmp/b"), "com.b", 1, "gone"}});
        QCOMPARE(badgeOf(2), 2);
        for (int row : {0, 1, 3, 4, 5})
            QCOMPARE(badgeOf(row), 0);
        // A bare number beside "Apps" would read as apps: its tooltip and spoken text say what
        // it counts, also once the sidebar shows symbols only.
        QListWidgetItem* apps = window.sidebar()->item(2);
        QCOMPARE(apps->toolTip(), QStringLiteral("2 leftovers without an app"));
        QCOMPARE(apps->data(Qt::AccessibleTextRole).toString(), QStringLiteral("Apps, 2 leftovers without an app"));
        window.resize(760, 480);
        window.show();
        DOVRANE_TRY_COMPARE(apps->toolTip(), QStringLiteral("Apps\n2 leftovers without an app"));
        ModelSeeding(model).setOrphans({});
        QCOMPARE(badgeOf(2), 0);
        QCOMPARE(apps->toolTip(), QStringLiteral("Apps"));
    }

    // The symbols are drawn in the tint in either look, so they never vanish into a dark
    // sidebar; the selected row's symbol takes the selection's text colour.
    void sidebarSymbolsFollowTheLook() {
        WindowFixture fixture;
        ContentView& window = fixture.makeWindow(fixture.makeModel());
        window.show();
        QVERIFY(dovrane::testing::waitForWindowExposed(&window));
        QListWidget* sidebar = window.sidebar();
        const auto symbolHasColour = [&](int row, const QColor& colour) {
            const QRect rect = sidebar->visualItemRect(sidebar->item(row));
            const QImage image = sidebar->viewport()->grab(QRect(rect.topLeft(), QSize(40, rect.height()))).toImage();
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixelColor(x, y).rgb() == colour.rgb())
                        return true;
            return false;
        };
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            QVERIFY(symbolHasColour(1, SemanticColors::tint(*sidebar)));
            QVERIFY(symbolHasColour(0, sidebar->palette().color(QPalette::HighlightedText)));
        }
        Appearance::shared().force(std::nullopt);
    }

    // The toolbar's symbols are drawn in the button's text colour of the look: in the dark look
    // a dark glyph on the dark button would all but vanish beside its light title.
    void toolbarSymbolsReadOnTheirButtonsInEitherLook() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ScanToolbar toolbar(model);
        toolbar.show();
        QVERIFY(dovrane::testing::waitForWindowExposed(&toolbar));
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            QCoreApplication::processEvents(); // the new palette reaches the buttons
            for (bool scanning : {false, true}) {
                ModelSeeding(model).setIsScanning(scanning);
                QToolButton* button = scanning ? toolbar.stopButton() : toolbar.scanButton();
                const QImage image = button->grab().toImage();
                const QColor face = image.pixelColor(image.width() - 3, image.height() / 2);
                // The symbol's square at the button's start, inside its frame.
                const QRect symbol(3, 3, button->iconSize().width() + 2, image.height() - 6);
                int inked = 0;
                for (int y = symbol.top(); y <= symbol.bottom(); ++y)
                    for (int x = symbol.left(); x <= symbol.right(); ++x)
                        inked += contrastRatio(image.pixelColor(x, y), face) >= 3;
                QVERIFY2(inked >= 12, qPrintable(QStringLiteral("%1 pixels in %2").arg(inked).arg(button->text())));
            }
        }
        ModelSeeding(model).setIsScanning(false);
        Appearance::shared().force(std::nullopt);
    }

    // Compact, the Apps badge keeps clear of the symbol and, on the selection, reads on its fill.
    void theCompactBadgeKeepsClearOfItsSymbolAndReadsWhenSelected() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ContentView& window = fixture.makeWindow(model);
        window.resize(760, 480);
        window.show();
        QVERIFY(dovrane::testing::waitForWindowExposed(&window));
        QVERIFY(window.sidebarCompact());
        QListWidget* sidebar = window.sidebar();
        const QModelIndex apps = sidebar->model()->index(2, 0);
        model.setSidebar(SidebarItem::apps);
        for (int count : {5, 12, 123}) {
            std::vector<Orphan> orphans;
            for (int i = 0; i < count; ++i)
                orphans.push_back(Orphan{Url::fromPath("/tmp/o" + std::to_string(i)), "com.o", 1, "gone"});
            ModelSeeding(model).setOrphans(orphans);
            QStyleOptionViewItem option;
            option.initFrom(sidebar);
            option.widget = sidebar;
            option.rect = sidebar->visualRect(apps);
            const auto places = SidebarBadgeDelegate::places(option, apps);
            QVERIFY2(!places.badge.intersects(places.symbol.adjusted(-1, -1, 1, 1)),
                     qPrintable(QString::number(count)));
            QVERIFY(option.rect.contains(places.badge) && option.rect.contains(places.symbol));
            for (Look look : {Look::light, Look::dark}) {
                Appearance::shared().force(look);
                QCoreApplication::processEvents();
                const QImage image = sidebar->viewport()->grab(places.badge).toImage();
                const QColor pill = image.pixelColor(3, image.height() / 2);
                double best = 1;
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x)
                        best = std::max(best, contrastRatio(image.pixelColor(x, y), pill));
                QVERIFY2(best >= 3, qPrintable(QStringLiteral("%1 at %2").arg(best).arg(count)));
            }
        }
        Appearance::shared().force(std::nullopt);
    }

    void onboardingReadsPermissionsBack() {
        WindowFixture fixture;
        fixture.notifier->available = true;
        fixture.loginItem->refuses = true;
        AppModel& model = fixture.makeModel();
        ModelSeeding(model).setHasFullDiskAccess(false);
        OnboardingView view(model);
        view.resize(view.sizeHint());
        QVERIFY(!view.grab().isNull());
        QCOMPARE(view.width(), 600);
        QVERIFY(!view.diskAccessRow()->granted());
        DOVRANE_TRY_VERIFY(view.notificationsRow()->granted());
        QVERIFY(!view.loginRow()->granted());
        QVERIFY(view.restartRow()->isHidden());

        // A registration that failed leaves "Turn On": the state is read back, not assumed.
        view.loginRow()->action()->click();
        QCOMPARE(fixture.loginItem->sets, 1);
        QVERIFY(!view.loginRow()->granted());
        fixture.loginItem->refuses = false;
        view.loginRow()->action()->click();
        QVERIFY(view.loginRow()->granted());

        ModelSeeding(model).setHasFullDiskAccess(true);
        ModelSeeding(model).setNeedsRestart(true);
        QVERIFY(view.diskAccessRow()->granted());
        QVERIFY(!view.restartRow()->isHidden());
    }

    void onlyDoneFinishesOnboarding() {
        WindowFixture fixture;
        AppModel& model = fixture.makeModel();
        ContentView& window = fixture.makeWindow(model);
        window.show();
        model.setSheet(ActiveSheet::onboarding());
        auto* view = qobject_cast<OnboardingView*>(window.sheetHost()->current());
        QVERIFY(view);
        QTest::keyClick(view, Qt::Key_Escape);
        QVERIFY(!model.sheet());
        QVERIFY(!SettingKeys::onboardingDone.stored(*fixture.settings));

        model.setSheet(ActiveSheet::onboarding());
        view = qobject_cast<OnboardingView*>(window.sheetHost()->current());
        QTest::keyClick(view, Qt::Key_Return); // Done is the default
        QVERIFY(!model.sheet());
        QCOMPARE(SettingKeys::onboardingDone.stored(*fixture.settings), std::optional(true));
    }
};

DOVRANE_MODEL_SUITE(BarTests)
#include "BarTests.moc"
