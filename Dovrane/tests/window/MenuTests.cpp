// The menus: enabled states that follow the model at once, the page keys, and Ctrl+K reaching
// the command palette from inside a text field.

#include "App/Menus.h"
#include "AppModel/ModelSeeding.h"
#include "ContentView/ScanToolbar.h"
#include "ContentView/SheetHost.h"
#include "QtWaits.h"
#include "Updater/Updater.h"
#include "WindowFixture.h"
#include "support/ModelTestMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTest>
#include <QTranslator>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

struct MenuWindow {
    WindowFixture fixture;
    AppModel& model = fixture.makeModel();
    ContentView& window = fixture.makeWindow(model);
    Updater updater{[](const QString&) { return std::nullopt; }, {}, true};
    int quits = 0;
    int settingsOpened = 0;
    Menus menus{window,
                model,
                updater,
                *window.sidebar(),
                *window.toolbar(),
                {[this] { ++settingsOpened; }, [this] { ++quits; }}};

    void showActive() {
        window.show();
        window.activateWindow();
        QVERIFY(dovrane::testing::waitForWindowActive(&window));
    }
};

// A title as the menu shows it: without the marker of its underlined letter.
QString shown(const QAction* action) {
    QString text = action->text();
    return text.replace(QLatin1String("&&"), QLatin1String("\x01"))
        .remove(QLatin1Char('&'))
        .replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

// The underlined letter of a title, upper case; empty without one.
QString letter(const QAction* action) {
    const QKeySequence mnemonic = QKeySequence::mnemonic(action->text());
    return mnemonic.isEmpty() ? QString() : QKeySequence(mnemonic[0].key()).toString().toUpper();
}

// Every title of the bar and every item of each menu has a letter, none twice among the titles
// or in one menu; the page items read as the sidebar does.
void checkLetters(QMenuBar& bar) {
    QSet<QString> titles;
    for (QAction* top : bar.actions()) {
        const QString title = letter(top);
        QVERIFY2(!title.isEmpty(), qPrintable(shown(top) + " has no letter"));
        QVERIFY2(!titles.contains(title), qPrintable(shown(top) + ": " + title + " comes twice in the bar"));
        titles << title;
        QSet<QString> items;
        for (QAction* item : top->menu()->actions()) {
            if (item->isSeparator())
                continue;
            const QString key = letter(item);
            const QString what = shown(top) + " → " + shown(item);
            QVERIFY2(!key.isEmpty(), qPrintable(what + " has no letter"));
            QVERIFY2(!items.contains(key), qPrintable(what + ": " + key + " comes twice in its menu"));
            items << key;
        }
    }
}

ScanResult scanWithSafeItems(WindowFixture& fixture, bool safe) {
    ScanResult scan = makeScan(fixture.clock->now(), 1'000'000, 400'000, {{CategoryID::caches, 3000}});
    for (Category& category : scan.categories)
        if (category.id == CategoryID::caches)
            category.items = {fileItem(fixture, "Library/Caches/a", 3000, safe ? Safety::safe : Safety::review)};
    return scan;
}

} // namespace

class MenuTests : public QObject {
    Q_OBJECT

private slots:
    void enabledStatesFollowTheModel() {
        MenuWindow w;
        QVERIFY(w.menus.scanAgain->isEnabled());
        QVERIFY(!w.menus.stopScan->isEnabled());
        QVERIFY(!w.menus.cleanUpSafeItems->isEnabled()); // no scan
        QVERIFY(!w.menus.checkForUpdates->isEnabled());  // no self-updater

        ModelSeeding(w.model).setIsScanning(true);
        QVERIFY(!w.menus.scanAgain->isEnabled());
        QVERIFY(w.menus.stopScan->isEnabled());
        ModelSeeding(w.model).setIsScanning(false);
        ModelSeeding(w.model).setIsDemo(true);
        QVERIFY(!w.menus.scanAgain->isEnabled());
        QVERIFY(!w.menus.stopScan->isEnabled());

        ModelSeeding(w.model).setScan(scanWithSafeItems(w.fixture, false));
        QVERIFY(!w.menus.cleanUpSafeItems->isEnabled());
        ModelSeeding(w.model).setScan(scanWithSafeItems(w.fixture, true));
        QVERIFY(w.menus.cleanUpSafeItems->isEnabled());

        // Ctrl+Return, also the keypad's Enter, and nowhere else.
        QCOMPARE(w.menus.cleanUpSafeItems->shortcuts().size(), 2);
        w.menus.cleanUpSafeItems->trigger();
        QVERIFY(w.model.sheet() && w.model.sheet()->cleanupRequest());
        QCOMPARE(w.model.sheet()->cleanupRequest()->title, QStringLiteral("Safe items"));
        QCOMPARE(w.model.sheet()->cleanupRequest()->items.size(), std::size_t(1));
    }

    void menusAreInTheirOrder() {
        MenuWindow w;
        QStringList titles;
        for (QAction* menu : w.window.menuBar()->actions())
            titles << shown(menu);
        QCOMPARE(titles, QStringList({"Dovrane", "Disk", "View", "Help"}));
        QCOMPARE(w.menus.settings->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
        QCOMPARE(w.menus.quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        w.menus.quit->trigger();
        QCOMPARE(w.quits, 1);
        w.menus.showSidebar->trigger();
        QVERIFY(w.window.sidebar()->isHidden());
        w.menus.showToolbar->trigger();
        QVERIFY(w.window.toolbar()->isHidden());

        QStringList help;
        for (QAction* item : w.window.menuBar()->actions().last()->menu()->actions())
            help << shown(item);
        QCOMPARE(help, QStringList({"Setup and Permissions…", "Open File Access Settings…", QString(),
                                    "Copy Diagnostics", "Email Support"}));
    }

    void fileAccessSettingsOpenOnTheGeneralTab() {
        MenuWindow w;
        w.model.setSettingsTab(SettingsTab::appearance);
        w.menus.openFileAccessSettings->trigger();
        QCOMPARE(w.model.settingsTab(), SettingsTab::general);
        QCOMPARE(w.settingsOpened, 1);
        QVERIFY(!w.model.sheet());
    }

    void germanMenusComeFromTheCatalogue() {
        QTranslator german;
        QVERIFY(german.load(QStringLiteral(":/i18n/dovrane_de.qm")));
        QCoreApplication::installTranslator(&german);
        {
            MenuWindow w;
            QCOMPARE(shown(w.window.menuBar()->actions().at(1)), QStringLiteral("Festplatte"));
            QCOMPARE(shown(w.menus.cleanUpSafeItems), QStringLiteral("Gefahrlose Objekte aufräumen…"));
            QCOMPARE(shown(w.menus.openFileAccessSettings), QStringLiteral("Einstellungen für Dateizugriff öffnen…"));
            QCOMPARE(w.window.scanToolbar()->scanButton()->toolTip(),
                     QStringLiteral("Die Festplatte neu messen (Strg-R)"));
        }
        QCoreApplication::removeTranslator(&german);
    }

    // Each title and item has its underlined letter, in English and in German, and the page
    // items keep the sidebar's titles and their Ctrl+digit.
    void everyTitleAndItemHasALetterOfItsOwn() {
        {
            MenuWindow w;
            checkLetters(*w.window.menuBar());
            for (SidebarItem item : allSidebarItems) {
                QCOMPARE(shown(w.menus.pages.at(item)), title(item));
                QCOMPARE(w.menus.pages.at(item)->shortcut(),
                         QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_0 + shortcut(item).digitValue())));
            }
        }
        QTranslator german;
        QVERIFY(german.load(QStringLiteral(":/i18n/dovrane_de.qm")));
        QCoreApplication::installTranslator(&german);
        {
            MenuWindow w;
            checkLetters(*w.window.menuBar());
            QCOMPARE(shown(w.menus.pages.at(SidebarItem::overview)), QStringLiteral("Übersicht"));
            for (SidebarItem item : allSidebarItems)
                QCOMPARE(shown(w.menus.pages.at(item)), title(item));
        }
        QCoreApplication::removeTranslator(&german);
    }

    // F10 opens the first menu from wherever the focus is; Alt with a title's letter opens that
    // menu; Alt alone puts the bar under the keyboard, and Down then opens the first menu.
    void theKeyboardOpensTheMenus() {
        MenuWindow w;
        auto* field = new QLineEdit;
        w.window.setPageControl(field);
        w.showActive();
        QMenuBar* bar = w.window.menuBar();
        const auto closeAll = [&w] {
            while (QWidget* open = QApplication::activePopupWidget())
                QTest::keyClick(open, Qt::Key_Escape);
            w.window.activateWindow();
            QVERIFY(dovrane::testing::waitForWindowActive(&w.window));
        };
        for (QWidget* focus : {static_cast<QWidget*>(field), static_cast<QWidget*>(w.window.sidebar())}) {
            focus->setFocus();
            QTest::keyClick(focus, Qt::Key_F10);
            DOVRANE_TRY_COMPARE(QApplication::activePopupWidget(), bar->actions().first()->menu());
            closeAll();
        }
        for (QAction* top : bar->actions()) {
            field->setFocus();
            QTest::keyClick(field, QKeySequence::mnemonic(top->text())[0].key(), Qt::AltModifier);
            DOVRANE_TRY_COMPARE(QApplication::activePopupWidget(), top->menu());
            closeAll();
        }
        field->setFocus();
        const QRect first = bar->actionGeometry(bar->actions().first());
        const QImage before = bar->grab(first).toImage();
        QTest::keyPress(field, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(field, Qt::Key_Alt);
        QCOMPARE(bar->activeAction(), bar->actions().first());
        // The chosen title shows it has the keyboard.
        const QImage chosen = bar->grab(first).toImage();
        int marked = 0;
        for (int y = 0; y < chosen.height(); ++y)
            for (int x = 0; x < chosen.width(); ++x)
                marked += chosen.pixel(x, y) != before.pixel(x, y);
        QVERIFY2(marked >= first.width() + first.height(), qPrintable(QString::number(marked)));
        QTest::keyClick(bar, Qt::Key_Down);
        DOVRANE_TRY_COMPARE(QApplication::activePopupWidget(), bar->actions().first()->menu());
        closeAll();
    }

    void ctrlDigitsSelectThePages() {
        MenuWindow w;
        w.showActive();
        for (SidebarItem item : allSidebarItems) {
            QTest::keyClick(&w.window, Qt::Key(Qt::Key_0 + shortcut(item).digitValue()), Qt::ControlModifier);
            QCOMPARE(w.model.sidebar(), std::optional(item));
            QCOMPARE(w.window.sidebar()->currentItem()->text(), title(item));
            QCOMPARE(w.window.page()->objectName(), "page-" + rawValue(item));
        }
    }

    void ctrlKReachesThePaletteFromATextField() {
        QPointer<QDialog> palette;
        SheetHost::setPaletteMaker([&palette](AppModel&, QWidget* parent) { return palette = new QDialog(parent); });
        MenuWindow w;
        auto* field = new QLineEdit(QStringLiteral("keep this text"));
        w.window.setPageControl(field);
        w.showActive();
        field->setFocus();
        field->setCursorPosition(0);
        QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
        QVERIFY(w.model.sheet());
        QCOMPARE(w.model.sheet()->id(), QStringLiteral("palette"));
        QCOMPARE(w.window.sheetHost()->current(), palette.data());
        QCOMPARE(field->text(), QStringLiteral("keep this text")); // not deleted to the end of the line
        SheetHost::setPaletteMaker({});
    }

    // A sheet blocks the window and its menu bar; Ctrl+Q still quits, once, from any sheet.
    void ctrlQQuitsWithASheetOpen() {
        QPointer<QDialog> palette;
        SheetHost::setPaletteMaker([&palette](AppModel&, QWidget* parent) {
            palette = new QDialog(parent);
            new QLineEdit(palette);
            return palette.data();
        });
        MenuWindow w;
        QuitKeyFilter keys(*w.menus.quit, nullptr);
        qApp->installEventFilter(&keys);
        w.showActive();
        for (const ActiveSheet& sheet : {ActiveSheet::onboarding(), ActiveSheet::palette()}) {
            const int before = w.quits;
            w.model.setSheet(sheet);
            QDialog* dialog = w.window.sheetHost()->current();
            QVERIFY(dialog);
            QVERIFY(dovrane::testing::waitForWindowActive(dialog));
            QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : dialog;
            QTest::keyClick(focus, Qt::Key_Q, Qt::ControlModifier);
            QCOMPARE(w.quits, before + 1);
            w.model.setSheet(std::nullopt);
        }
        // Without a sheet the menu's own shortcut answers, and the key does not quit twice.
        DOVRANE_TRY_VERIFY(!w.window.sheetHost()->current());
        w.window.activateWindow();
        QVERIFY(dovrane::testing::waitForWindowActive(&w.window));
        const int before = w.quits;
        QTest::keyClick(&w.window, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(w.quits, before + 1);
        qApp->removeEventFilter(&keys);
        SheetHost::setPaletteMaker({});
    }
};

DOVRANE_MODEL_SUITE(MenuTests)
#include "MenuTests.moc"
