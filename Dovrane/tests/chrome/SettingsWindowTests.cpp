// The Settings window: the tab bound to the model, the General and Scan pages writing their
// settings (and nothing merely by opening), the login toggle showing what the system reports,
// and the folder lists working on what is stored.

#include "AppModel/ModelSeeding.h"
#include "ChromeFixture.h"
#include "ColourChecks.h"
#include "QtWaits.h"
#include "UiTestMain.h"

#include "Services/SettingKeys.h"
#include "Services/Translations.h"
#include "SettingsView/SettingsView.h"
#include "Theme/Theme.h"
#include "UiKit/Appearance.h"
#include "UiKit/Desktop.h"
#include "UiKit/FolderList.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

QStringList labelTexts(const QWidget& widget) {
    QStringList texts;
    for (const QLabel* label : widget.findChildren<QLabel*>())
        if (label->isVisibleTo(&widget))
            texts << label->text();
    return texts;
}

} // namespace

class SettingsWindowTests : public QObject {
    Q_OBJECT

    std::unique_ptr<ModelFixture> fixture;
    std::shared_ptr<FakeLoginItem> login;
    std::unique_ptr<ThemeStore> themes;
    AppModel* model = nullptr;

    Settings& settings() { return *fixture->settings; }
    std::unique_ptr<SettingsView> window() { return std::make_unique<SettingsView>(*model, *themes); }
    std::unique_ptr<FolderList> list(const Setting<QStringList>& setting = SettingKeys::scanProjects) {
        return std::make_unique<FolderList>(settings(), setting, "No project folders yet",
                                            QString::fromStdString(fixture->home()));
    }

private slots:
    void init() {
        fixture = std::make_unique<ModelFixture>();
        login = std::make_shared<FakeLoginItem>();
        Services services = fixture->services();
        services.loginItem = login;
        model = &fixture->makeModel(std::move(services));
        themes = std::make_unique<ThemeStore>(settings());
    }
    void cleanup() {
        themes.reset();
        fixture.reset();
    }

    void tabSymbolsReadOnTheTabBarInBothLooks() {
        auto shown = window();
        const auto restore = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look); // after the window exists: the symbols follow the look
            const QColor bar = shown->tabs()->tabBar()->palette().color(QPalette::Window);
            for (SettingsTab tab : allSettingsTabs) {
                const QIcon icon = shown->tabs()->tabIcon(int(tab));
                const QImage image = icon.pixmap(shown->tabs()->tabBar()->iconSize()).toImage();
                // The symbol's own colour: its most opaque pixel.
                QColor ink;
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x)
                        if (const QColor pixel = image.pixelColor(x, y); pixel.alpha() > ink.alpha())
                            ink = pixel;
                ink.setAlpha(255);
                QVERIFY2(testing::contrastRatio(ink, bar) >= 4.5,
                         qPrintable(QStringLiteral("tab %1: %2 on %3").arg(int(tab)).arg(ink.name(), bar.name())));
            }
        }
    }

    void openingWritesNothing() {
        SettingKeys::scanInstallerAge.set(settings(), 500);
        login->on = true;
        auto shown = window();
        for (SettingsTab tab : allSettingsTabs) {
            shown->tabs()->setCurrentIndex(int(tab));
            render(*shown, Look::light);
        }
        model->setSettingsTab(SettingsTab::general);
        QCOMPARE(login->changes, 0);
        auto* scan = static_cast<ScanSettingsView*>(shown->page(SettingsTab::scan));
        QCOMPARE(scan->installerAge()->value(), 365);
        QCOMPARE(SettingKeys::scanInstallerAge.stored(settings()), std::optional<qint64>(500));
        for (const QString& key :
             {SettingKeys::menuBarEnabled.key(), SettingKeys::reportWeekly.key(), SettingKeys::scanProjectAge.key(),
              SettingKeys::scanProjects.key(), SettingKeys::scanExcluded.key()})
            QVERIFY2(!fixture->settings->contains(key), qPrintable(key));
    }

    void theTabFollowsTheModelBothWays() {
        model->setSettingsTab(SettingsTab::scan);
        auto shown = window();
        QCOMPARE(shown->tabs()->currentIndex(), 1);
        QCOMPARE(shown->tabs()->tabText(0), QString("General"));
        shown->tabs()->setCurrentIndex(2);
        QCOMPARE(model->settingsTab(), SettingsTab::appearance);
        model->setSettingsTab(SettingsTab::general);
        QCOMPARE(shown->tabs()->currentIndex(), 0);
    }

    // The tab bar has the focus as the window opens, so Ctrl+Tab works before any click; no
    // field does.
    void openingFocusesTheTabBar() {
        auto shown = window();
        shown->show();
        QApplication::setActiveWindow(shown.get());
        DOVRANE_TRY_COMPARE(QApplication::focusWidget(), shown->tabs()->tabBar());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(model->settingsTab(), SettingsTab::scan);
    }

    // Escape and Ctrl+W close the window, wherever the focus is in it.
    void escapeAndCtrlWCloseTheWindow() {
        auto shown = window();
        const auto* scan = static_cast<ScanSettingsView*>(shown->page(SettingsTab::scan));
        for (const auto& [key, modifiers] :
             {std::pair(Qt::Key_Escape, Qt::NoModifier), std::pair(Qt::Key_W, Qt::ControlModifier)}) {
            for (bool inField : {false, true}) {
                shown->tabs()->setCurrentIndex(int(inField ? SettingsTab::scan : SettingsTab::general));
                shown->show();
                QApplication::setActiveWindow(shown.get());
                QWidget* target = inField ? static_cast<QWidget*>(scan->installerAge()) : shown->tabs()->tabBar();
                target->setFocus();
                DOVRANE_TRY_COMPARE(QApplication::focusWidget(), target);
                QTest::keyClick(target, key, modifiers);
                DOVRANE_TRY_VERIFY(!shown->isVisible());
            }
        }
    }

    void generalTogglesWriteTheirKeys() {
        auto shown = window();
        auto* general = static_cast<GeneralSettings*>(shown->page(SettingsTab::general));
        // On by default, also with a test store in use.
        QVERIFY(general->menuBar()->isChecked());
        QVERIFY(general->weekly()->isChecked());
        general->menuBar()->click();
        general->weekly()->click();
        QCOMPARE(SettingKeys::menuBarEnabled.stored(settings()), std::optional<bool>(false));
        QCOMPARE(SettingKeys::reportWeekly.stored(settings()), std::optional<bool>(false));
        QTest::mouseClick(general->showSetup(), Qt::LeftButton);
        QCOMPARE(model->sheet()->id(), QString("onboarding"));
    }

    void theLoginToggleShowsWhatTheSystemReports() {
        auto shown = window();
        auto* general = static_cast<GeneralSettings*>(shown->page(SettingsTab::general));
        QVERIFY(!general->login()->isChecked());
        general->login()->click();
        QVERIFY(login->on);
        QVERIFY(general->login()->isChecked());
        login->refuses = true;
        general->login()->click();
        QCOMPARE(login->changes, 2);
        QVERIFY(login->on);
        QVERIFY(general->login()->isChecked()); // the removal failed, so it stays on
    }

    void fullDiskAccessRow() {
        int opened = 0;
        Desktop::setOpener([&opened](const QUrl&) { return ++opened, true; });
        ModelSeeding(*model).setHasFullDiskAccess(false);
        auto shown = window();
        auto* general = static_cast<GeneralSettings*>(shown->page(SettingsTab::general));
        QVERIFY(general->openAccessSettings()->isVisibleTo(general));
        QVERIFY(!general->accessOn()->isVisibleTo(general));
        // Linux has no such pane: the open check refuses the address.
        QTest::mouseClick(general->openAccessSettings(), Qt::LeftButton);
        QCOMPARE(opened, 0);
        ModelSeeding(*model).setHasFullDiskAccess(true);
        QVERIFY(general->accessOn()->isVisibleTo(general));
        QVERIFY(!general->openAccessSettings()->isVisibleTo(general));
        Desktop::setOpener({});
    }

    void steppersStayInTheirRanges() {
        auto shown = window();
        auto* scan = static_cast<ScanSettingsView*>(shown->page(SettingsTab::scan));
        QCOMPARE(scan->installerAge()->value(), 14);
        QCOMPARE(scan->installerAge()->text(), QString("Older than 14 days"));
        QCOMPARE(scan->projectAge()->value(), 30);
        scan->installerAge()->setValue(0);
        QCOMPARE(SettingKeys::scanInstallerAge.stored(settings()), std::optional<qint64>(1));
        scan->installerAge()->stepUp();
        QCOMPARE(SettingKeys::scanInstallerAge.stored(settings()), std::optional<qint64>(2));
        scan->projectAge()->setValue(3);
        QCOMPARE(SettingKeys::scanProjectAge.stored(settings()), std::optional<qint64>(7));
        scan->projectAge()->setValue(999);
        QCOMPARE(SettingKeys::scanProjectAge.stored(settings()), std::optional<qint64>(365));
        QCOMPARE(scan->projectAge()->text(), QString("Unchanged for 365 days"));
    }

    void theWindowFitsTheTabOnShow() {
        auto shown = window();
        model->setSettingsTab(SettingsTab::general);
        shown->show();
        QCoreApplication::processEvents();
        const int general = shown->height();
        model->setSettingsTab(SettingsTab::scan);
        DOVRANE_TRY_VERIFY(shown->height() != general);
        const int scan = shown->height();
        model->setSettingsTab(SettingsTab::general);
        DOVRANE_TRY_COMPARE(shown->height(), general);
        // The same tab is as tall in either look.
        Appearance::shared().force(Look::dark);
        model->setSettingsTab(SettingsTab::scan);
        DOVRANE_TRY_COMPARE(shown->height(), scan);
        Appearance::shared().force(std::nullopt);
    }

    // A tab shown for the first time gives the window its height at once: a window that first
    // takes a wrong height and then the right one jumps on screen, and each step is a size the
    // window system has to be told.
    void aTabShownFirstResizesTheWindowOnce() {
        SettingKeys::scanProjects.set(settings(), {"/srv/a", "/srv/b"});
        auto shown = window();
        model->setSettingsTab(SettingsTab::general);
        shown->show();
        QTest::qWait(50);
        QList<int> heights;
        struct Heights : QObject {
            QList<int>& seen;
            explicit Heights(QList<int>& list) : seen(list) {}
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Resize)
                    seen << static_cast<QResizeEvent*>(event)->size().height();
                return false;
            }
        } watch(heights);
        shown->installEventFilter(&watch);
        model->setSettingsTab(SettingsTab::scan);
        QTest::qWait(100);
        QCOMPARE(heights.size(), 1);
        QCOMPARE(heights.front(), shown->height());
    }

    void germanStepperTextsTakeTheirOwnCase() {
        const auto english = qScopeGuard([] { Translations::install(); });
        ScopedEnv german("APP_LANG", "de");
        QVERIFY(Translations::install());
        auto shown = window();
        auto* scan = static_cast<ScanSettingsView*>(shown->page(SettingsTab::scan));
        // "älter als" takes the nominative, "seit" the dative.
        QCOMPARE(scan->installerAge()->text(), QString("\u00c4lter als 14 Tage"));
        QCOMPARE(scan->projectAge()->text(), QString("Unver\u00e4ndert seit 30 Tagen"));
        // Each step takes the form of its number: one day is singular.
        scan->installerAge()->setValue(1);
        QCOMPARE(scan->installerAge()->text(), QString("\u00c4lter als 1 Tag"));
        QCOMPARE(scan->installerAge()->accessibleName(), QString("\u00c4lter als 1 Tag"));
        scan->installerAge()->stepUp();
        QCOMPARE(scan->installerAge()->text(), QString("\u00c4lter als 2 Tage"));
        scan->projectAge()->stepDown();
        QCOMPARE(scan->projectAge()->text(), QString("Unver\u00e4ndert seit 29 Tagen"));
        QCOMPARE(scan->projectAge()->value(), 29);
        // Typed in, the words change as the number does, and the digits stay as typed.
        shown->show();
        model->setSettingsTab(SettingsTab::scan);
        scan->installerAge()->setFocus();
        scan->installerAge()->selectAll();
        QTest::keyClicks(scan->installerAge(), "120");
        QCOMPARE(scan->installerAge()->value(), 120);
        QCOMPARE(scan->installerAge()->text(), QString("\u00c4lter als 120 Tage"));
        QCOMPARE(SettingKeys::scanInstallerAge.get(settings()), 120);
    }

    void folderListsAddSortedWithoutDuplicatesAndRemoveInOrder() {
        auto folders = list();
        folders->add({"/srv/b", "/srv/B", "/srv/a"});
        folders->add({"/srv/a", "/srv/c"});
        QCOMPARE(SettingKeys::scanProjects.stored(settings()),
                 std::optional<QStringList>({"/srv/B", "/srv/a", "/srv/b", "/srv/c"}));
        SettingKeys::scanProjects.set(settings(), {"/z", "/a", "/m", "/a"});
        folders->reload();
        folders->remove("/a");
        QCOMPARE(SettingKeys::scanProjects.stored(settings()), std::optional<QStringList>({"/z", "/m"}));
        QCOMPARE(folders->folders(), QStringList({"/z", "/m"}));
    }

    void folderListsSortByCodePointBeyondTheBasicPlane() {
        // UTF-16 code units would put U+1F600 (a surrogate pair) before U+FF01 and U+E000.
        const QString emoji = QString::fromUtf8("/\xF0\x9F\x98\x80");   // U+1F600
        const QString fullwidth = QString::fromUtf8("/\xEF\xBC\x81");   // U+FF01
        const QString privateUse = QString::fromUtf8("/\xEE\x80\x80");  // U+E000
        const QString lastBmp = QString::fromUtf8("/\xEF\xBF\xBD");     // U+FFFD
        const QString linearB = QString::fromUtf8("/\xF0\x90\x80\x80"); // U+10000
        for (const Setting<QStringList>& setting : {SettingKeys::scanProjects, SettingKeys::scanExcluded}) {
            auto folders = list(setting);
            folders->add({emoji, "/z", fullwidth, linearB});
            folders->add({privateUse, emoji, lastBmp});
            const QStringList expected{"/z", privateUse, fullwidth, lastBmp, linearB, emoji};
            QCOMPARE(setting.stored(settings()), std::optional<QStringList>(expected));
            QCOMPARE(folders->folders(), expected);
        }
    }

    void aFolderListNeverWritesAStaleCopy() {
        SettingKeys::scanProjects.set(settings(), {"/one"});
        auto folders = list();
        // The Storage page adds a folder while the list shows.
        SettingKeys::scanProjects.set(settings(), {"/one", "/two"});
        folders->remove("/one");
        QCOMPARE(SettingKeys::scanProjects.stored(settings()), std::optional<QStringList>(QStringList{"/two"}));
        SettingKeys::scanProjects.set(settings(), {"/two", "/three"});
        folders->add({"/four"});
        QCOMPARE(SettingKeys::scanProjects.stored(settings()), std::optional<QStringList>({"/four", "/three", "/two"}));
    }

    void folderListRowsAndEmptyText() {
        const QString home = QString::fromStdString(fixture->home());
        for (bool storedEmpty : {false, true}) {
            if (storedEmpty)
                SettingKeys::scanProjects.set(settings(), {});
            auto folders = list();
            QCOMPARE(labelTexts(*folders), QStringList({"No project folders yet"}));
        }
        SettingKeys::scanProjects.set(settings(), {home + "/code"});
        auto folders = list();
        folders->show();
        drainMainQueue();
        QVERIFY(!labelTexts(*folders).contains("No project folders yet"));
        auto buttons = folders->findChildren<QToolButton*>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.front()->accessibleName(), QString("Remove ~/code"));
        QVERIFY(buttons.front()->text().isEmpty());
        QTest::mouseClick(buttons.front(), Qt::LeftButton);
        QCOMPARE(SettingKeys::scanProjects.stored(settings()), std::optional<QStringList>(QStringList()));
        drainMainQueue();
        QCOMPARE(labelTexts(*folders), QStringList({"No project folders yet"}));
    }

    void aLongStoredListShowsItsFirstRowsAndCountsTheRest() {
        QStringList stored;
        for (int i = 0; i < 2000; ++i)
            stored.append(QStringLiteral("/srv/%1").arg(i, 4, 10, QLatin1Char('0')));
        SettingKeys::scanExcluded.set(settings(), stored);
        auto folders = list(SettingKeys::scanExcluded);
        folders->show();
        drainMainQueue();
        const auto buttons = folders->findChildren<QToolButton*>();
        QCOMPARE(buttons.size(), FolderList::maximumRows);
        QCOMPARE(buttons.back()->accessibleName(), QString("Remove /srv/0499"));
        QVERIFY(labelTexts(*folders).contains("1,500 more folders are not shown here."));
        // Nothing beyond the rows is lost: the whole list stays stored and edits keep it.
        QCOMPARE(folders->folders(), stored);
        folders->remove("/srv/0000");
        stored.removeFirst();
        QCOMPARE(SettingKeys::scanExcluded.stored(settings()), std::optional<QStringList>(stored));
        drainMainQueue();
        QVERIFY(labelTexts(*folders).contains("1,499 more folders are not shown here."));
    }

    void addFolderAsksThePicker() {
        auto folders = list(SettingKeys::scanExcluded);
        folders->show();
        auto* add = folders->findChild<QPushButton*>();
        QCOMPARE(add->text(), QString("Add Folder…"));
        folders->setPicker([](QWidget*) { return std::nullopt; });
        add->click();
        QVERIFY(!fixture->settings->contains(SettingKeys::scanExcluded.key()));
        folders->setPicker([](QWidget*) { return QStringList({"/x", "/w"}); });
        add->click();
        QCOMPARE(SettingKeys::scanExcluded.stored(settings()), std::optional<QStringList>({"/w", "/x"}));
    }

    void theHomeFolderIsShownAsTilde() {
        QCOMPARE(FolderList::abbreviated("/home/ada", "/home/ada"), QString("~"));
        QCOMPARE(FolderList::abbreviated("/home/ada/code", "/home/ada"), QString("~/code"));
        QCOMPARE(FolderList::abbreviated("/home/ada2/code", "/home/ada"), QString("/home/ada2/code"));
        QCOMPARE(FolderList::abbreviated("/srv/code", "/home/ada"), QString("/srv/code"));
    }

    // Opened anew, the window is centred on the main window; on show, it stays where it is.
    void opensCentredOnTheMainWindow() {
        QWidget mainWindow;
        mainWindow.setGeometry(60, 40, 700, 520);
        mainWindow.show();
        auto settingsWindow = window();
        settingsWindow->bringForward(&mainWindow);
        QVERIFY(settingsWindow->isVisible());
        QCOMPARE(settingsWindow->frameGeometry().center(), mainWindow.frameGeometry().center());
        settingsWindow->move(5, 5);
        settingsWindow->bringForward(&mainWindow);
        QCOMPARE(settingsWindow->pos(), QPoint(5, 5));
        settingsWindow->close();
        mainWindow.move(90, 60);
        settingsWindow->bringForward(&mainWindow);
        QCOMPARE(settingsWindow->frameGeometry().center(), mainWindow.frameGeometry().center());
        // No main window on show: the middle of the screen.
        settingsWindow->close();
        mainWindow.hide();
        settingsWindow->bringForward(&mainWindow);
        QCOMPARE(settingsWindow->frameGeometry().center(), settingsWindow->screen()->availableGeometry().center());
    }

    // The window is as tall as the page on show, so no empty band lies under a short page.
    void theWindowFitsThePageOnShow() {
        auto shown = window();
        shown->bringForward();
        QMap<SettingsTab, int> heights;
        for (SettingsTab tab : allSettingsTabs) {
            model->setSettingsTab(tab);
            drainMainQueue();
            QWidget* page = shown->tabs()->currentWidget();
            const int pageBottom = page->mapTo(shown.get(), QPoint(0, page->height())).y();
            QVERIFY2(
                shown->height() - pageBottom <= 4,
                qPrintable(QString("%1 px below the page of tab %2").arg(shown->height() - pageBottom).arg(int(tab))));
            heights[tab] = shown->height();
        }
        QVERIFY(heights[SettingsTab::scan] > heights[SettingsTab::general]);
        QVERIFY(heights[SettingsTab::general] > heights[SettingsTab::appearance]);
    }

    void rendersEveryTabInLightAndDark() {
        auto shown = window();
        for (Look look : {Look::light, Look::dark})
            for (SettingsTab tab : allSettingsTabs) {
                shown->tabs()->setCurrentIndex(int(tab));
                const QImage image = render(*shown, look);
                QVERIFY(!image.isNull());
                QCOMPARE(shown->tabs()->widget(int(tab))->width(), SettingsView::width);
                QVERIFY(shown->tabs()->widget(int(tab))->height() <= SettingsView::maxHeight);
            }
        const QStringList general = labelTexts(*shown->page(SettingsTab::general));
        QVERIFY(general.contains("Dovrane reads sizes and names, never file contents. Nothing leaves this computer "
                                 "except update checks."));
        const QStringList scan = labelTexts(*shown->page(SettingsTab::scan));
        QVERIFY(scan.contains("No excluded folders"));
        QVERIFY(scan.contains("Dovrane never lists anything inside these folders."));
    }
};

DOVRANE_UI_TEST_MAIN(SettingsWindowTests)
#include "SettingsWindowTests.moc"
