// The keyboard alone: Tab visits every control of each view once before it comes round again,
// never lands on a hidden widget, scrolls what it lands on into view and shows where it is, in
// both looks; the Updates page is walked from top to bottom; the focus is the same ring on flat
// and filled buttons, tool buttons and the sidebar; and an app goes to the Trash with two of its
// leftovers from the Apps page to the notice without a click.

#include "AppModel/ModelSeeding.h"
#include "AppsPage/AppTables.h"
#include "ContentView/NoticeBar.h"
#include "ContentView/ScanToolbar.h"
#include "ContentView/SheetHost.h"
#include "QtWaits.h"
#include "SettingsView/SettingsView.h"
#include "Sheets/UninstallSheet.h"
#include "UiKit/Appearance.h"
#include "UiKit/FocusRing.h"
#include "UiKit/PageKit.h"
#include "UpdatesPage/UpdatesPage.h"
#include "ViewTour.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/scan/ScanModel.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QButtonGroup>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSet>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

QWidget* focused() { return QApplication::focusWidget(); }

// A key goes to the focused widget, or to the active window when nothing has the focus. False
// when there is neither.
[[nodiscard]] bool press(Qt::Key key) {
    QWidget* target = focused() ? focused() : QApplication::activeWindow();
    if (!target)
        return false;
    QTest::keyClick(target, key);
    QCoreApplication::processEvents();
    return true;
}

// An unchecked button of an exclusive group: Tab stops at the group's checked button only, the
// arrows move within the group, as everywhere on the desktop.
bool isOtherChoice(QWidget* widget) {
    auto* button = qobject_cast<QAbstractButton*>(widget);
    return button && button->group() && button->group()->exclusive() && !button->isChecked();
}

// Where a widget shows on its scroll area's viewport; empty when scrolled away.
QRect shownPart(QWidget* widget) {
    QRect shown = widget->rect();
    for (QWidget* above = widget->parentWidget(); above; above = above->parentWidget())
        if (auto* area = qobject_cast<QAbstractScrollArea*>(above)) {
            if (!area->viewport()->isAncestorOf(widget))
                continue;
            const QRect inViewport(widget->mapTo(area->viewport(), QPoint(0, 0)), widget->size());
            shown = inViewport.intersected(area->viewport()->rect());
            if (shown.isEmpty())
                return {};
        }
    return shown;
}

// How many pixels of a widget change markedly between two pictures of it.
int markedlyChanged(const QImage& one, const QImage& other) {
    const QImage a = one.convertToFormat(QImage::Format_RGB32), b = other.convertToFormat(QImage::Format_RGB32);
    int changed = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
        const auto* left = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* right = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < std::min(a.width(), b.width()); ++x)
            changed += std::abs(qRed(left[x]) - qRed(right[x])) + std::abs(qGreen(left[x]) - qGreen(right[x])) +
                           std::abs(qBlue(left[x]) - qBlue(right[x])) >
                       120;
    }
    return changed;
}

// Where a widget shows that it has the focus: an item view on its current row, any other widget
// on itself.
QRect focusArea(QWidget& widget) {
    auto* items = qobject_cast<QAbstractItemView*>(&widget);
    if (!items || !items->currentIndex().isValid())
        return widget.rect();
    return items->visualRect(items->currentIndex()).intersected(items->viewport()->rect());
}

// Whether the focused widget shows it: at least half an outline of its focus area changes
// markedly when it loses the focus (for a large area, half the outline of a 100 × 20 box, a
// ring round a row or a title). The focus comes back afterwards.
bool showsFocus(QWidget& widget, QString* measured) {
    QCoreApplication::processEvents();
    const QImage focused = widget.grab().toImage();
    widget.clearFocus();
    QCoreApplication::processEvents();
    const QImage unfocused = widget.grab().toImage();
    widget.setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    const QRect area = focusArea(widget);
    const int needed = std::min(area.width() + area.height(), 100 + 20);
    const int changed = markedlyChanged(focused, unfocused);
    *measured = QStringLiteral("%1 of %2 pixels").arg(changed).arg(needed);
    return changed >= needed;
}

// How many pixels of a widget's area change markedly when it takes the focus from elsewhere.
int pixelsTheFocusChanges(QWidget& widget, QWidget& elsewhere, const QRect& area) {
    elsewhere.setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    const QImage before = widget.grab(area).toImage();
    widget.setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    const QImage after = widget.grab(area).toImage();
    int changed = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const QColor a = before.pixelColor(x, y), b = after.pixelColor(x, y);
            changed +=
                std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) > 120;
        }
    return changed;
}

} // namespace

class TabOrderTests : public QObject {
    Q_OBJECT

private slots:
    // Forwards and backwards, in the smallest main window, so the pages scroll: Shift+Tab from
    // the toolbar enters a page at its last control, far below the fold. Every stop shows the
    // focus, forwards in the light look, backwards in the dark.
    void tabVisitsEveryControlOnceAndShowsIt_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<Look>("look");
        QTest::newRow("Tab, light") << Qt::Key_Tab << Look::light;
        QTest::newRow("Shift+Tab, dark") << Qt::Key_Backtab << Look::dark;
    }

    void tabVisitsEveryControlOnceAndShowsIt() {
        QFETCH(Qt::Key, key);
        QFETCH(Look, look);
        WindowFixture fixture;
        ViewTour tour(fixture);
        const auto back = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        Appearance::shared().force(look);
        tour.window.resize(tour.window.minimumSize());
        tour.forEachView([&](const QString& view, QWidget& root) {
            QList<QWidget*> expected;
            for (QWidget* widget : root.findChildren<QWidget*>())
                if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisible() && widget->isEnabled() &&
                    widget->window() == &root && !widget->focusProxy() && !isOtherChoice(widget))
                    expected << widget;
            QVERIFY2(!expected.isEmpty(), qPrintable(view));

            expected.front()->setFocus(Qt::TabFocusReason);
            QCoreApplication::processEvents();
            QWidget* start = focused();
            QVERIFY2(start, qPrintable(view));
            QList<QWidget*> visited{start};
            for (int step = 0; step <= expected.size(); ++step) {
                QVERIFY(press(key));
                QWidget* now = focused();
                QVERIFY2(now, qPrintable(view + ": Tab lost the focus"));
                const QString what = view + ": " + now->metaObject()->className() + " " + now->objectName();
                QVERIFY2(now->isVisible(), qPrintable(what + " is hidden"));
                QVERIFY2(!shownPart(now).isEmpty(), qPrintable(what + " is scrolled out of view"));
                // With one stop in the view the focus is never anywhere else.
                QString measured;
                QVERIFY2(expected.size() == 1 || showsFocus(*now, &measured),
                         qPrintable(what + " shows no focus: " + measured));
                if (now == start)
                    break;
                QVERIFY2(!visited.contains(now), qPrintable(what + " comes twice in one round"));
                visited << now;
            }
            QCOMPARE(focused(), start);
            for (QWidget* widget : expected)
                QVERIFY2(visited.contains(widget),
                         qPrintable(view + ": Tab never reaches " + widget->metaObject()->className() + " " +
                                    widget->objectName() + " " +
                                    QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name)));
        });
    }

    // A sheet opens with the keyboard on a control that shows it: onboarding on "Done", the
    // cleanup sheet on what moves, the uninstall sheet on its first leftover, the palette on its
    // field; and the Settings window on its tabs, in either look.
    void sheetsOpenWithTheirFocusShown() {
        WindowFixture fixture;
        ViewTour tour(fixture);
        const auto back = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        const std::vector<std::pair<QString, std::function<void()>>> sheets = {
            {QStringLiteral("onboarding"), [&] { tour.model.setSheet(ActiveSheet::onboarding()); }},
            {QStringLiteral("cleanup"),
             [&] { tour.model.requestCleanup(tour.model.scan()->safeItems(true), "Safe items"); }},
            {QStringLiteral("uninstall"), [&] { (void)tour.model.requestUninstall(tour.model.apps().front()); }},
            {QStringLiteral("palette"), [&] { tour.model.setSheet(ActiveSheet::palette()); }},
        };
        // A text field shows its focus by its caret, any other control by its ring.
        const auto opensShowingItsFocus = [](QWidget& window, const QString& name) {
            DOVRANE_TRY_VERIFY2(focused() && focused()->window() == &window, qPrintable(name));
            if (auto* field = qobject_cast<QLineEdit*>(focused())) {
                QVERIFY2(field->isEnabled() && !field->isReadOnly(), qPrintable(name));
                return;
            }
            QString measured;
            QVERIFY2(showsFocus(*focused(), &measured), qPrintable(name + ": " + measured));
        };
        ThemeStore themes(*fixture.settings);
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            for (const auto& [name, open] : sheets) {
                open();
                QWidget* sheet = tour.awaitSheet();
                QVERIFY2(sheet, qPrintable(name));
                opensShowingItsFocus(*sheet, name);
                if (QTest::currentTestFailed())
                    return;
                tour.model.setSheet(std::nullopt);
                DOVRANE_TRY_VERIFY(!tour.window.sheetHost()->current());
            }
            SettingsView settings(tour.model, themes);
            activate(settings);
            opensShowingItsFocus(settings, QStringLiteral("settings"));
            if (QTest::currentTestFailed())
                return;
        }
    }

    // A ring two pixels wide: at least one perimeter's worth of pixels changes, on a flat
    // "Show", on the accent-filled "Clean Up…" and on the chosen sidebar row, light and dark.
    void theFocusIsSeenOnFlatAndFilledButtonsAndTheSidebar() {
        WindowFixture fixture;
        ViewTour tour(fixture);
        const auto back = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        tour.model.setSidebar(SidebarItem::overview);
        QCoreApplication::processEvents();
        auto* sidebar = tour.window.findChild<QListWidget*>(QStringLiteral("sidebar"));
        QVERIFY(sidebar);
        QList<QWidget*> buttons;
        for (QPushButton* button : tour.window.findChildren<QPushButton*>(QStringLiteral("show")))
            if (button->isVisible())
                buttons << button;
        QVERIFY(buttons.size() >= 2);
        buttons = buttons.mid(0, 2);
        for (ProminentButton* button : tour.window.findChildren<ProminentButton*>())
            if (button->isVisible())
                buttons << button;
        QCOMPARE(buttons.size(), qsizetype(3));
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            QCoreApplication::processEvents();
            for (QWidget* button : buttons) {
                const QString what = QStringLiteral("%1 in the %2 look")
                                         .arg(qobject_cast<QPushButton*>(button)->text(),
                                              look == Look::light ? QStringLiteral("light") : QStringLiteral("dark"));
                const int perimeter = 2 * (button->width() + button->height());
                QVERIFY2(pixelsTheFocusChanges(*button, *sidebar, button->rect()) >= perimeter, qPrintable(what));
            }
            // The row with the room round it, where the ring of a chosen row stands.
            const QRect row = sidebar->visualItemRect(sidebar->currentItem()).adjusted(-4, -4, 4, 4);
            QVERIFY(sidebar->currentItem()->isSelected());
            QVERIFY2(pixelsTheFocusChanges(*sidebar, *buttons.front(), row.translated(sidebar->viewport()->pos())) >=
                         2 * (row.width() + row.height()),
                     look == Look::light ? "sidebar, light" : "sidebar, dark");
        }

        // The ring reaches past its row: moving to another row leaves none of it behind on the
        // screen, which shows what the list draws afresh.
        sidebar->setFocus(Qt::TabFocusReason);
        tour.model.setSidebar(SidebarItem::storage);
        QCoreApplication::processEvents();
        QTest::qWait(50);
        const QRect rows = sidebar->visualItemRect(sidebar->item(0))
                               .united(sidebar->visualItemRect(sidebar->item(1)))
                               .adjusted(-4, -4, 4, 4)
                               .intersected(sidebar->viewport()->rect());
        const QImage fresh = sidebar->viewport()->grab(rows).toImage().convertToFormat(QImage::Format_RGB32);
        const QPoint at = sidebar->viewport()->mapTo(&tour.window, rows.topLeft());
        const QImage onScreen = tour.window.screen()
                                    ->grabWindow(tour.window.winId(), at.x(), at.y(), rows.width(), rows.height())
                                    .toImage()
                                    .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(onScreen.size(), fresh.size());
        QVERIFY(onScreen == fresh);
    }

    // On the Updates page Tab goes down the page: the header's buttons, each card from the top,
    // then the groups at the bottom.
    void theUpdatesPageIsWalkedFromTopToBottom() {
        WindowFixture fixture;
        ViewTour tour(fixture);
        ModelSeeding(tour.model).setIsDemo(false);
        tour.model.setSidebar(SidebarItem::updates);
        activate(tour.window);
        auto* page = tour.window.findChild<UpdatesPage*>();
        QVERIFY(page);
        QVERIFY(page->cards().size() >= 2);
        QWidget* content = page->updateAll()->parentWidget();
        page->checkNow()->setFocus(Qt::TabFocusReason);
        QList<QWidget*> walked{page->checkNow()};
        while (true) {
            QVERIFY(press(Qt::Key_Tab));
            if (!focused() || !content->isAncestorOf(focused()))
                break;
            walked << focused();
            QVERIFY(walked.size() < 100);
        }
        QVERIFY(walked.contains(page->unsupportedToggle()));
        QCOMPARE(walked.back(), page->unsupportedToggle());
        for (qsizetype at = 1; at < walked.size(); ++at) {
            const QRect before(walked[at - 1]->mapTo(content, QPoint(0, 0)), walked[at - 1]->size());
            const QRect after(walked[at]->mapTo(content, QPoint(0, 0)), walked[at]->size());
            // Below, or beside on the same line further right.
            const bool down =
                after.top() >= before.bottom() ||
                (after.top() < before.bottom() && before.top() < after.bottom() && after.left() > before.left());
            QVERIFY2(down, qPrintable(QStringLiteral("%1 \"%2\" comes after \"%3\" above it")
                                          .arg(at)
                                          .arg(walked[at]->accessibleName(), walked[at - 1]->accessibleName())));
        }
    }

    // What the focus adds to the toolbar's Scan Again, the Updates page's disclosures and a
    // bordered button is the one ring, two pixels wide, in either look.
    void toolButtonsWearTheRingOfEveryButton() {
        WindowFixture fixture;
        ViewTour tour(fixture);
        ModelSeeding(tour.model).setIsDemo(false);
        tour.model.setSidebar(SidebarItem::updates);
        activate(tour.window);
        const auto back = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        auto* page = tour.window.findChild<UpdatesPage*>();
        QVERIFY(page);
        const QList<QWidget*> buttons = {tour.window.scanToolbar()->scanButton(), page->currentToggle(),
                                         page->unsupportedToggle(), page->checkNow()};
        auto* sidebar = tour.window.findChild<QListWidget*>(QStringLiteral("sidebar"));
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            for (QWidget* button : buttons) {
                const QString what = qobject_cast<QAbstractButton*>(button)->text() +
                                     (look == Look::light ? QStringLiteral(", light") : QStringLiteral(", dark"));
                QVERIFY2(button->isVisible() && button->isEnabled(), qPrintable(what));
                sidebar->setFocus(Qt::TabFocusReason);
                QCoreApplication::processEvents();
                const QImage unfocused = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
                QImage ringed = unfocused;
                {
                    QPainter painter(&ringed);
                    FocusRing::paint(painter, QRectF(ringed.rect()), 4);
                }
                button->setFocus(Qt::TabFocusReason);
                QCoreApplication::processEvents();
                const QImage focused = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
                QCOMPARE(focused.size(), ringed.size());
                QVERIFY2(markedlyChanged(focused, unfocused) > 0, qPrintable(what + ": no ring"));
                QVERIFY2(markedlyChanged(focused, ringed) == 0, qPrintable(what + ": another mark than the ring"));
            }
        }
    }

    void anAppLeavesWithTwoLeftoversByKeyboardAlone() {
        WindowFixture fixture;
        ViewTour tour(fixture);
        tour.model.setSidebar(SidebarItem::apps);
        activate(tour.window);
        auto* table = tour.window.findChild<InstalledTable*>();
        QVERIFY(table);
        QAbstractItemView* rows = table->view();
        rows->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        QCOMPARE(focused(), rows);
        // The largest app first; Down until one that is not part of the system is picked.
        QPushButton* remove = nullptr;
        for (int row = 0; row < rows->model()->rowCount() && !(remove && remove->isEnabled()); ++row) {
            QVERIFY(press(Qt::Key_Down));
            remove = table->removeButton();
        }
        QVERIFY(remove && remove->isEnabled());
        while (focused() != remove) {
            QVERIFY(press(Qt::Key_Tab));
            QVERIFY(focused() != rows);
        }
        QVERIFY(press(Qt::Key_Space));
        auto* sheet = qobject_cast<UninstallSheet*>(tour.awaitSheet());
        QVERIFY(sheet);
        const std::vector<Leftover> leftovers = sheet->request().leftovers;
        QVERIFY(leftovers.size() >= 2);

        // Tab reaches each leftover; Space ticks the first two and unticks the rest.
        for (std::size_t i = 0; i < leftovers.size(); ++i) {
            while (focused() != sheet->toggles()[i])
                QVERIFY(press(Qt::Key_Tab));
            if (sheet->isChecked(leftovers[i]) != (i < 2))
                QVERIFY(press(Qt::Key_Space));
            QCOMPARE(sheet->isChecked(leftovers[i]), i < 2);
        }
        const std::int64_t total = sheet->request().app.size + leftovers[0].size + leftovers[1].size;
        QCOMPARE(sheet->total(), total);
        const Url app = sheet->request().app.path;
        QVERIFY(press(Qt::Key_Return));
        DOVRANE_TRY_VERIFY(tour.model.notice().has_value());
        QVERIFY2(tour.model.notice()->startsWith(QString::fromStdString(bytes(total)) + " moved to the Trash"),
                 qPrintable(*tour.model.notice()));
        QVERIFY(std::none_of(tour.model.apps().begin(), tour.model.apps().end(),
                             [&](const InstalledApp& left) { return left.path == app; }));
    }
};

DOVRANE_MODEL_SUITE(TabOrderTests)
#include "TabOrderTests.moc"
