// A category's detail: the table's order and its Last Used sort, a selection cleared by another
// category and pruned when its items go, the footer's actions per category and in demo mode,
// "Select Safe Items" and "Move to Trash…", the context menu, the three confirmations, and
// "Choose Project Folders…".

#include "AppModel/ModelSeeding.h"
#include "ColourChecks.h"
#include "PageFixture.h"
#include "QtWaits.h"
#include "Services/Admin.h"
#include "Services/SettingKeys.h"
#include "Services/Translations.h"
#include "StoragePage/CategoryDetail.h"
#include "Theme/Theme.h"
#include "UiKit/ConfirmationDialog.h"
#include "UiKit/Desktop.h"
#include "UiKit/PageKit.h"
#include "UiTestMain.h"
#include "WindowBehavior/WindowEdge.h"
#include "support/Await.h"
#include "support/FakePkexec.h"
#include "support/FakeRunner.h"

#include <DovraneKit/scan/Explanations.h>
#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/FreedesktopTrash.h>

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

Category categoryOf(const ScanResult& scan, CategoryID id) {
    const Category* found = scan.category(id);
    return found ? *found : Category(id);
}

// The names in the table's order.
QStringList shownNames(const CategoryDetail& detail) {
    QStringList names;
    for (int row = 0; row < detail.items()->rowCount(); ++row)
        names << detail.items()->index(row, CategoryItemsModel::nameColumn).data().toString();
    return names;
}

QString cell(const CategoryDetail& detail, int row, int column, int role = Qt::DisplayRole) {
    return detail.items()->index(row, column).data(role).toString();
}

// The footer's visible buttons by text, with whether each is enabled.
QMap<QString, bool> footerButtons(const CategoryDetail& detail) {
    QMap<QString, bool> buttons;
    for (QPushButton* button : detail.footerBar()->findChildren<QPushButton*>())
        if (button->isVisibleTo(detail.footerBar()))
            buttons.insert(button->text(), button->isEnabled());
    return buttons;
}

ConfirmationDialog* openConfirmation(const CategoryDetail& detail) {
    QApplication::processEvents();
    for (ConfirmationDialog* box : detail.findChildren<ConfirmationDialog*>())
        if (box->isVisible())
            return box;
    return nullptr;
}

std::set<std::string> ids(std::initializer_list<std::string> paths) { return std::set<std::string>(paths); }

} // namespace

class CategoryDetailTests : public QObject {
    Q_OBJECT

private slots:
    // The window's own catalogue, as the application installs it: "Delete 1 snapshot?".
    void initTestCase() { QVERIFY(Translations::install()); }

    void largestFirstThenLastUsedWithTheOrderKeptAcrossCategories() {
        PageFixture fixture;
        const ScanResult scan = fixture.scan();
        CategoryDetail detail(fixture.context(), std::nullopt);
        detail.setCategory(categoryOf(scan, CategoryID::caches));
        showAsWindow(detail);
        QCOMPARE(shownNames(detail), (QStringList{"pip", "browser", "system"}));
        QCOMPARE(cell(detail, 0, CategoryItemsModel::sizeColumn), QStringLiteral("3 GB"));
        QCOMPARE(cell(detail, 0, CategoryItemsModel::lastUsedColumn), QStringLiteral("2 days ago"));
        QCOMPARE(cell(detail, 1, CategoryItemsModel::lastUsedColumn), QStringLiteral("–"));
        QCOMPARE(cell(detail, 0, CategoryItemsModel::nameColumn, Qt::ToolTipRole),
                 Texts::tooltip("Reason of pip.\n" + QString::fromStdString(fixture.base() / "caches/pip")));
        QVERIFY(rendersInBothLooks(detail));

        // A header click sorts by Last Used, oldest first: never used counts as the oldest.
        detail.table()->horizontalHeader()->setSortIndicator(CategoryItemsModel::lastUsedColumn, Qt::AscendingOrder);
        QCOMPARE(shownNames(detail), (QStringList{"browser", "system", "pip"}));
        detail.table()->horizontalHeader()->setSortIndicator(CategoryItemsModel::lastUsedColumn, Qt::DescendingOrder);
        QCOMPARE(shownNames(detail), (QStringList{"pip", "system", "browser"}));

        // Safety sorts by the stored rating: the show-only item rated safe shows review but
        // sorts with the safe ones.
        detail.table()->horizontalHeader()->setSortIndicator(CategoryItemsModel::safetyColumn, Qt::AscendingOrder);
        QCOMPARE(shownNames(detail), (QStringList{"pip", "system", "browser"}));
        QCOMPARE(cell(detail, 1, CategoryItemsModel::safetyColumn), QStringLiteral("Review"));
        QCOMPARE(cell(detail, 0, CategoryItemsModel::safetyColumn), QStringLiteral("Safe"));

        detail.table()->horizontalHeader()->setSortIndicator(CategoryItemsModel::lastUsedColumn, Qt::AscendingOrder);
        detail.setPicked(ids({fixture.base() / "caches/pip"}));
        QCOMPARE(detail.summary(), QStringLiteral("1 selected, 3 GB"));
        QCOMPARE(detail.table()->selectionModel()->selectedRows().size(), qsizetype(1));
        detail.setCategory(categoryOf(scan, CategoryID::simulators));
        QVERIFY(detail.picked().empty());
        QVERIFY(detail.table()->selectionModel()->selectedRows().isEmpty());
        QCOMPARE(detail.summary(), QStringLiteral("2 items"));
        QCOMPARE(detail.items()->sortColumn(), int(CategoryItemsModel::lastUsedColumn));
        QCOMPARE(shownNames(detail), (QStringList{"iPhone 6", "iPhone 8"})); // never used, both: by name

        // A last use ahead of the clock (a scan made before it was set back) reads as now.
        detail.setCategory(
            Category(CategoryID::logs, std::nullopt,
                     {item("/tmp/logs/ahead", 7, Safety::safe, CleanupAction::trash, fixtureNow.adding(3 * 3600))}));
        QCOMPARE(cell(detail, 0, CategoryItemsModel::lastUsedColumn), QStringLiteral("now"));

        // Items of one size come by name, whatever order a scan listed them in.
        for (const bool reversed : {false, true}) {
            std::vector<CleanupItem> equal = {item("/tmp/logs/zeta", 7, Safety::safe, CleanupAction::trash),
                                              item("/tmp/logs/Beta", 7, Safety::safe, CleanupAction::trash),
                                              item("/tmp/logs/alpha", 7, Safety::safe, CleanupAction::trash)};
            if (reversed)
                std::reverse(equal.begin(), equal.end());
            detail.setCategory(Category(CategoryID::logs, std::nullopt, std::move(equal)));
            detail.table()->horizontalHeader()->setSortIndicator(CategoryItemsModel::sizeColumn, Qt::DescendingOrder);
            QCOMPARE(shownNames(detail), (QStringList{"alpha", "Beta", "zeta"}));
        }

        // A name is data: one line, and no markup in its tooltip.
        detail.setCategory(Category(CategoryID::logs, std::nullopt,
                                    {item("/tmp/logs/two\nlines<b>", 1, Safety::safe, CleanupAction::trash)}));
        QCOMPARE(cell(detail, 0, CategoryItemsModel::nameColumn), QStringLiteral("two lines<b>"));
        QVERIFY(cell(detail, 0, CategoryItemsModel::nameColumn, Qt::ToolTipRole).contains("lines&lt;b&gt;"));
    }

    void aSelectedRowAndItsSafetyBadgeTakeTheSelectionsColours() {
        PageFixture fixture;
        CategoryDetail detail(fixture.context(), std::nullopt);
        detail.setCategory(categoryOf(fixture.scan(), CategoryID::caches));
        MemorySettings settings;
        ThemeStore themes(settings);
        themed(&detail, themes);
        showAsWindow(detail);
        const auto restore = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        // A white and a near-black text on the accent, in both looks.
        for (const QString& theme : {QStringLiteral("seagreen"), QStringLiteral("yellow")})
            for (Look look : {Look::light, Look::dark}) {
                themes.setThemeID(theme);
                Appearance::shared().force(look);
                detail.table()->selectRow(0);
                QCOMPARE(strayPixelsInRow(*detail.table(), 0), 0);
            }
    }

    void rowSelectionIsKeyedByIdAndSnapshotsHaveNoSize() {
        PageFixture fixture;
        CategoryDetail detail(fixture.context(), std::nullopt);
        detail.setCategory(categoryOf(fixture.scan(), CategoryID::snapshots));
        showAsWindow(detail);
        QCOMPARE(cell(detail, 0, CategoryItemsModel::sizeColumn), QStringLiteral("–"));
        QCOMPARE(footerButtons(detail), (QMap<QString, bool>{{"Delete Snapshots…", false}}));

        detail.table()->selectAll();
        QCOMPARE(detail.picked(), ids({"2024-04-30-101010", "2024-05-01-070000"}));
        QCOMPARE(detail.summary(), QStringLiteral("2 selected, Zero KB"));
        QCOMPARE(footerButtons(detail), (QMap<QString, bool>{{"Delete Snapshots…", true}}));
        detail.findChild<QPushButton*>("deleteSnapshots")->click();
        ConfirmationDialog* box = openConfirmation(detail);
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Delete 2 snapshots?"));
        QVERIFY(detail.confirmSnapshots());
        box->cancelButton()->click();
        QApplication::processEvents();
        QVERIFY(!detail.confirmSnapshots());
    }

    void footerActionsFitTheCategory() {
        PageFixture fixture;
        const ScanResult scan = fixture.scan();
        CategoryDetail detail(fixture.context(), std::nullopt);
        showAsWindow(detail);
        auto show = [&](const Category& category) {
            detail.setCategory(category);
            return footerButtons(detail);
        };

        QCOMPARE(show(categoryOf(scan, CategoryID::trash)), (QMap<QString, bool>{{"Empty Trash…", true}}));
        QCOMPARE(show(Category(CategoryID::trash)), (QMap<QString, bool>{{"Empty Trash…", false}}));
        QVERIFY(detail.findChild<ContentUnavailableView*>("nothingHere")->isVisibleTo(&detail));
        QCOMPARE(show(categoryOf(scan, CategoryID::simulators)), (QMap<QString, bool>{{"Remove Unavailable…", true}}));
        Category available = categoryOf(scan, CategoryID::simulators);
        std::erase_if(available.items, [](const CleanupItem& item) { return item.source == "simulators.unavailable"; });
        QCOMPARE(show(available), (QMap<QString, bool>{{"Remove Unavailable…", false}}));
        QCOMPARE(show(categoryOf(scan, CategoryID::projects)),
                 (QMap<QString, bool>{{"Choose Project Folders…", true}}));
        SettingKeys::scanProjects.set(*fixture.base().settings, {"/work"});
        detail.setCategory(Category(CategoryID::apps));
        QCOMPARE(show(categoryOf(scan, CategoryID::projects)),
                 (QMap<QString, bool>{{"Select Safe Items", true}, {"Move to Trash…", false}}));
        QVERIFY(!detail.findChild<ContentUnavailableView*>("nothingHere")->isVisibleTo(&detail));
        // Nothing rated safe to pick: "Select Safe Items" has nothing to do.
        QCOMPARE(show(categoryOf(scan, CategoryID::xcode)),
                 (QMap<QString, bool>{{"Select Safe Items", false}, {"Move to Trash…", false}}));

        // Only show-only items: the first one's reason, no button; no items: nothing at all.
        QVERIFY(show(categoryOf(scan, CategoryID::messages)).isEmpty());
        auto* onlyShown = detail.findChild<QLabel*>("onlyShown");
        QVERIFY(onlyShown->isVisibleTo(&detail));
        QCOMPARE(onlyShown->text(), QStringLiteral("Reason of Attachments."));
        QVERIFY(show(Category(CategoryID::mailDownloads)).isEmpty());
        QVERIFY(!onlyShown->isVisibleTo(&detail));

        // Demo data: the outright deletions are off, everything else stays.
        ModelSeeding(fixture.model).setIsDemo(true);
        QCOMPARE(show(categoryOf(scan, CategoryID::trash)), (QMap<QString, bool>{{"Empty Trash…", false}}));
        QCOMPARE(show(categoryOf(scan, CategoryID::simulators)), (QMap<QString, bool>{{"Remove Unavailable…", false}}));
        detail.setCategory(categoryOf(scan, CategoryID::snapshots));
        detail.table()->selectAll();
        QCOMPARE(footerButtons(detail), (QMap<QString, bool>{{"Delete Snapshots…", false}}));
        QCOMPARE(show(categoryOf(scan, CategoryID::caches)),
                 (QMap<QString, bool>{{"Select Safe Items", true}, {"Move to Trash…", false}}));
        SettingKeys::scanProjects.remove(*fixture.base().settings);
        QCOMPARE(show(categoryOf(scan, CategoryID::projects)),
                 (QMap<QString, bool>{{"Choose Project Folders…", true}}));
    }

    // The rest of the disk is never broken down into items: it explains itself instead of
    // saying that nothing was found beside its size.
    void theRestShowsWhatItIsNotThatItIsEmpty() {
        PageFixture fixture;
        const ScanResult scan = fixture.scan();
        CategoryDetail detail(fixture.context(), std::nullopt);
        showAsWindow(detail);
        const Category rest = categoryOf(scan, CategoryID::other);
        QVERIFY(rest.items.empty() && rest.size > 0);
        detail.setCategory(rest);
        auto* nothingHere = detail.findChild<ContentUnavailableView*>("nothingHere");
        auto* notBrokenDown = detail.findChild<ContentUnavailableView*>("notBrokenDown");
        QVERIFY(!nothingHere->isVisibleTo(&detail));
        QVERIFY(notBrokenDown->isVisibleTo(&detail));
        QCOMPARE(notBrokenDown->description(), QString::fromStdString(Explanations::text(CategoryID::other)));
        QVERIFY(footerButtons(detail).isEmpty());

        // Another empty category says it is empty again.
        detail.setCategory(Category(CategoryID::logs));
        QVERIFY(nothingHere->isVisibleTo(&detail));
        QVERIFY(!notBrokenDown->isVisibleTo(&detail));
    }

    void safeItemsGoToTheTrashAndTheirPickGoesWithThem() {
        PageFixture fixture;
        for (const char* name : {"caches/pip/wheel", "caches/browser/cache", "caches/system/data"})
            writeFile(fixture.base() / name, "x");
        ModelSeeding(fixture.model).setScan(fixture.scan());
        CategoryDetail detail(fixture.context(), std::nullopt);
        detail.setCategory(categoryOf(*fixture.model.scan(), CategoryID::caches));
        showAsWindow(detail);

        detail.setPicked(ids({fixture.base() / "caches/browser"}));
        detail.findChild<QPushButton*>("selectSafeItems")->click();
        // The show-only item rated safe is not picked; the pick is replaced, not extended.
        QCOMPARE(detail.picked(), ids({fixture.base() / "caches/pip"}));
        QVERIFY(detail.findChild<QPushButton*>("moveToTrash")->isEnabled());
        detail.findChild<QPushButton*>("moveToTrash")->click();
        const auto& sheet = fixture.model.sheet();
        DOVRANE_TRY_VERIFY(sheet && sheet->cleanupRequest()); // planned off the main thread
        const CleanupRequest request = *sheet->cleanupRequest();
        QCOMPARE(request.title, QString::fromStdString(Explanations::title(CategoryID::caches)));
        QCOMPARE(request.items.size(), std::size_t(1));
        QCOMPARE(request.items.front().name, std::string("pip"));

        // The model drops the moved item from the scan; the pane hears of it through the page.
        connect(&fixture.model, &AppModel::changed, &detail, [&](AppModel::Field field) {
            if (field == AppModel::Field::scan)
                detail.setCategory(categoryOf(*fixture.model.scan(), CategoryID::caches));
        });
        await(fixture.model.perform(request));
        QVERIFY(!Fs::exists(fixture.base() / "caches/pip"));
        QVERIFY(detail.picked().empty());
        QCOMPARE(detail.summary(), QStringLiteral("2 items"));
        QVERIFY(!detail.findChild<QPushButton*>("moveToTrash")->isEnabled());
        // What is left is for review or only shown: no safe item to select.
        QVERIFY(!detail.findChild<QPushButton*>("selectSafeItems")->isEnabled());

        // A rescan without a picked snapshot leaves nothing to delete.
        detail.setCategory(categoryOf(*fixture.model.scan(), CategoryID::snapshots));
        detail.setPicked(ids({"2024-04-30-101010"}));
        QVERIFY(detail.findChild<QPushButton*>("deleteSnapshots")->isEnabled());
        Category rescanned = categoryOf(*fixture.model.scan(), CategoryID::snapshots);
        rescanned.items.erase(rescanned.items.begin());
        detail.setCategory(rescanned);
        QVERIFY(detail.picked().empty());
        QVERIFY(!detail.findChild<QPushButton*>("deleteSnapshots")->isEnabled());
    }

    // A footer action pressed from the keyboard keeps the focus, also when the press changes
    // nothing; one that turns off with what it did hands the focus on within the pane, never to
    // the widget after it.
    void theFocusStaysInThePaneThroughItsFooterActions() {
        PageFixture fixture;
        for (const char* name : {"caches/pip/wheel", "caches/browser/cache", "caches/system/data"})
            writeFile(fixture.base() / name, "x");
        ModelSeeding(fixture.model).setScan(fixture.scan());
        QWidget window;
        auto* column = new QVBoxLayout(&window);
        auto* detail = new CategoryDetail(fixture.context(), std::nullopt, &window);
        column->addWidget(detail);
        column->addWidget(new QPushButton(QStringLiteral("After"), &window));
        detail->setCategory(categoryOf(*fixture.model.scan(), CategoryID::caches));
        showAsWindow(window);
        QApplication::setActiveWindow(&window);
        QVERIFY(waitForWindowActive(&window));

        auto* selectSafe = detail->findChild<QPushButton*>("selectSafeItems");
        auto* moveToTrash = detail->findChild<QPushButton*>("moveToTrash");
        selectSafe->setFocus(Qt::TabFocusReason);
        for (int press = 0; press < 2; ++press) {
            QTest::keyClick(selectSafe, Qt::Key_Space);
            QCOMPARE(QApplication::focusWidget(), selectSafe);
        }
        moveToTrash->setFocus(Qt::TabFocusReason);
        QTest::keyClick(moveToTrash, Qt::Key_Space);
        const auto& sheet = fixture.model.sheet();
        DOVRANE_TRY_VERIFY(sheet && sheet->cleanupRequest());
        QCOMPARE(QApplication::focusWidget(), moveToTrash);
        connect(&fixture.model, &AppModel::changed, detail, [&](AppModel::Field field) {
            if (field == AppModel::Field::scan)
                detail->setCategory(categoryOf(*fixture.model.scan(), CategoryID::caches));
        });
        await(fixture.model.perform(*sheet->cleanupRequest()));
        // Nothing safe is left to pick or move: the table has the focus, on a row that shows it.
        QVERIFY(!moveToTrash->isEnabled() && !selectSafe->isEnabled());
        QCOMPARE(QApplication::focusWidget(), detail->table());
        QVERIFY(detail->table()->currentIndex().isValid());
    }

    void thousandsOfSafeItemsArePickedAsRunsOfRowsAndAllGoToTheCleanup() {
        PageFixture fixture;
        std::vector<CleanupItem> items;
        // Largest first: the table shows them in this order, every hundredth one for review.
        for (int index = 0; index < 3000; ++index)
            items.push_back(item(fixture.base() / ("cache/item-" + std::to_string(index)), 10'000 - index,
                                 index % 100 == 99 ? Safety::review : Safety::safe, CleanupAction::trash));
        CategoryDetail detail(fixture.context(), std::nullopt);
        detail.setCategory(Category(CategoryID::caches, std::nullopt, items));
        showAsWindow(detail);

        detail.findChild<QPushButton*>("selectSafeItems")->click();
        QCOMPARE(detail.picked().size(), std::size_t(2970));
        QItemSelectionModel& selection = *detail.table()->selectionModel();
        QCOMPARE(selection.selectedRows().size(), 2970);
        QCOMPARE(selection.selection().size(), 30); // one range per run of neighbouring safe rows
        QVERIFY(!selection.isRowSelected(99));
        QCOMPARE(detail.summary(), QStringLiteral("2,970 selected, 25.2 MB"));

        // The pick follows its rows when the table is sorted the other way round.
        detail.table()->sortByColumn(CategoryItemsModel::sizeColumn, Qt::AscendingOrder);
        QCOMPARE(selection.selectedRows().size(), 2970);
        QVERIFY(!selection.isRowSelected(0)); // the last item, for review
        QVERIFY(selection.isRowSelected(1));
        QVERIFY(!selection.isRowSelected(2900));

        detail.findChild<QPushButton*>("moveToTrash")->click();
        DOVRANE_TRY_VERIFY(fixture.model.sheet());
        const CleanupRequest* request = fixture.model.sheet()->cleanupRequest();
        QVERIFY(request);
        QCOMPARE(request->items.size(), std::size_t(2970));
        QCOMPARE(request->plan.entries.size(), std::size_t(2970));
        QVERIFY(std::all_of(request->items.begin(), request->items.end(),
                            [](const CleanupItem& picked) { return picked.safety == Safety::safe; }));
    }

    // Counts are grouped as the window's language groups them, the selected ones as the listed.
    void countsAreGroupedAsTheLanguageGroupsThem() {
        PageFixture fixture;
        std::vector<CleanupItem> items;
        for (int index = 0; index < 1200; ++index)
            items.push_back(item(fixture.base() / ("cache/item-" + std::to_string(index)), 1000, Safety::safe,
                                 CleanupAction::trash));
        const auto english = qScopeGuard([] { Translations::install(); });
        ScopedEnv german("APP_LANG", "de");
        QVERIFY(Translations::install());
        CategoryDetail detail(fixture.context(), std::nullopt);
        detail.setCategory(Category(CategoryID::caches, std::nullopt, items));
        QCOMPARE(detail.summary(), QStringLiteral("1.200 Objekte"));
        detail.findChild<QPushButton*>("selectSafeItems")->click();
        QCOMPARE(detail.summary(), QStringLiteral("1.200 ausgewählt, 1,2 MB"));
    }

    // Each title stands on one line while the header has the room, also after a long title:
    // measured by its advance alone, "Alte Installer" got a pixel less than its wrap needs.
    void eachTitleStandsOnOneLineWhileItHasTheRoom() {
        PageFixture fixture;
        const auto english = qScopeGuard([] { Translations::install(); });
        for (const char* language : {"en", "de"}) {
            ScopedEnv chosen("APP_LANG", language);
            QVERIFY(Translations::install());
            CategoryDetail detail(fixture.context(), std::nullopt);
            showAsWindow(detail);
            auto* title = detail.findChild<QLabel*>("title");
            for (CategoryID id : allCategoryIDs) {
                detail.setCategory(Category(CategoryID::snapshots));
                detail.setCategory(Category(id));
                QApplication::processEvents();
                const QString what = QString(language) + ": " + title->text();
                QVERIFY2(title->height() == title->heightForWidth(QWIDGETSIZE_MAX), qPrintable(what));
                QVERIFY2(title->heightForWidth(title->width()) == title->height(), qPrintable(what));
            }
        }
    }

    // The pick is kept by row, not by path: it follows its items through a re-sort, and a rescan
    // of the same category keeps the items that are still there, found by their URL.
    void aPickFollowsItsItemsThroughASortAndARescan() {
        PageFixture fixture;
        const std::string base = fixture.base() / "cache/";
        const auto trashable = [&](const std::string& name, std::int64_t size) {
            return item(base + name, size, Safety::safe, CleanupAction::trash);
        };
        CategoryDetail detail(fixture.context(), std::nullopt);
        detail.setCategory(
            Category(CategoryID::caches, std::nullopt,
                     {trashable("a", 4000), trashable("b", 3000), trashable("c", 2000), trashable("d", 1000)}));
        showAsWindow(detail);
        // Picked by the user on the rows shown largest first: b and d.
        QItemSelectionModel& selection = *detail.table()->selectionModel();
        for (int row : {1, 3})
            selection.select(detail.items()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        detail.table()->sortByColumn(CategoryItemsModel::sizeColumn, Qt::AscendingOrder);
        QCOMPARE(shownNames(detail), (QStringList{"d", "c", "b", "a"}));
        QVERIFY(selection.isRowSelected(0) && selection.isRowSelected(2));
        QCOMPARE(detail.pickedItems(), (std::vector<CleanupItem>{trashable("b", 3000), trashable("d", 1000)}));
        QCOMPARE(detail.summary(), QStringLiteral("2 selected, 4 KB"));

        // A rescan: b is gone, d grew, e is new; only d stays picked, with its new size.
        detail.setCategory(Category(CategoryID::caches, std::nullopt,
                                    {trashable("e", 500), trashable("d", 6000), trashable("a", 4000)}));
        QCOMPARE(detail.pickedItems(), std::vector<CleanupItem>{trashable("d", 6000)});
        QCOMPARE(detail.summary(), QStringLiteral("1 selected, 6 KB"));
        QCOMPARE(selection.selectedRows().size(), 1);
        QCOMPARE(detail.items()->row(selection.selectedRows().front().row()).name, std::string("d"));
    }

    void moveToTrashAnswersCtrlBackspaceOnlyWhileShown() {
        PageFixture fixture;
        CategoryDetail detail(fixture.context(), std::nullopt);
        detail.setCategory(categoryOf(fixture.scan(), CategoryID::logs));
        showAsWindow(detail);
        detail.activateWindow();
        QVERIFY(dovrane::testing::waitForWindowActive(&detail));
        detail.table()->setFocus();
        detail.table()->selectAll();
        QTest::keyClick(detail.table(), Qt::Key_Backspace, Qt::ControlModifier);
        DOVRANE_TRY_VERIFY(fixture.model.sheet() && fixture.model.sheet()->cleanupRequest());
        QCOMPARE(fixture.model.sheet()->cleanupRequest()->items.front().name, std::string("app.log"));

        fixture.model.setSheet(std::nullopt);
        detail.setCategory(categoryOf(fixture.scan(), CategoryID::installers));
        QTest::keyClick(detail.table(), Qt::Key_Backspace, Qt::ControlModifier); // nothing picked
        QVERIFY(!fixture.model.sheet());
    }

    void contextMenuActsOnTheClickedRowsOrOnNothing() {
        PageFixture fixture;
        std::vector<QUrl> opened;
        Desktop::setOpener([&opened](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        CategoryDetail detail(fixture.context(), std::nullopt);
        detail.setCategory(categoryOf(fixture.scan(), CategoryID::caches));
        showAsWindow(detail);
        QTableView* table = detail.table();
        const QPoint below(10, table->viewport()->height() - 5);
        QVERIFY(!table->indexAt(below).isValid());

        auto menu = detail.contextMenu(below);
        QCOMPARE(menu->actions().size(), qsizetype(2));
        QCOMPARE(menu->actions()[0]->text(), QStringLiteral("Move to Trash…"));
        QVERIFY(!menu->actions()[0]->isEnabled());
        QVERIFY(menu->actions()[1]->isEnabled());
        menu->actions()[1]->trigger();
        QVERIFY(opened.empty());

        // A row outside the pick: that row alone; a picked row: the whole pick.
        const QPoint third = table->visualRect(detail.items()->index(2, 0)).center();
        menu = detail.contextMenu(third);
        QVERIFY(!menu->actions()[0]->isEnabled()); // "system" is show-only
        detail.setPicked(ids({fixture.base() / "caches/pip", fixture.base() / "caches/system"}));
        menu = detail.contextMenu(third);
        QVERIFY(menu->actions()[0]->isEnabled());
        menu->actions()[1]->trigger(); // no file manager on the test's bus: their folder, once
        QCOMPARE(opened.size(), std::size_t(1));
        QCOMPARE(opened.front().toLocalFile(), QString::fromStdString(fixture.base() / "caches"));
        menu->actions()[0]->trigger();
        DOVRANE_TRY_VERIFY(fixture.model.sheet());
        QCOMPARE(fixture.model.sheet()->cleanupRequest()->items.size(), std::size_t(1));

        // Snapshots have no file to show.
        opened.clear();
        detail.setCategory(categoryOf(fixture.scan(), CategoryID::snapshots));
        menu = detail.contextMenu(table->visualRect(detail.items()->index(0, 0)).center());
        menu->actions()[1]->trigger();
        QVERIFY(opened.empty());
        Desktop::setOpener({});
    }

    void eachDeletionRunsOnceAfterItsConfirmation() {
        TempDir tools;
        FakePkexec pkexec(tools.path());
        pkexec.setPretending(true);
        auto runner = std::make_shared<FakeRunner>();
        PageFixture fixture([&](ModelFixture&, Services& services) {
            services.systemPaths = pkexec.paths();
            services.makeRunner = [runner](double) -> std::shared_ptr<const CommandRunner> { return runner; };
        });
        const ScanResult scan = fixture.scan();
        const std::string trash = FreedesktopTrash::homeTrash(fixture.base().home());
        writeFile(trash + "/files/old.zip", "old");
        writeFile(trash + "/info/old.zip.trashinfo", "[Trash Info]\n");

        CategoryDetail detail(fixture.context(), std::nullopt);
        detail.setCategory(categoryOf(scan, CategoryID::trash));
        showAsWindow(detail);
        auto* emptyTrash = detail.findChild<QPushButton*>("emptyTrash");

        // Cancel acts on nothing.
        emptyTrash->click();
        ConfirmationDialog* box = openConfirmation(detail);
        QVERIFY(box);
        QCOMPARE(box->windowTitle(), QStringLiteral("Empty the Trash?"));
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        // It looks like the app's sheets: the title once, the message at a readable width, no
        // icons on its buttons, the edge of a window over another, and Cancel for a slipped Return.
        QVERIFY(dovrane::testing::waitForWindowExposed(box));
        QStringList titles;
        StyledLabel* message = nullptr;
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (!label->isVisibleTo(box))
                continue;
            titles << label->text();
            if (label->text().startsWith(QStringLiteral("Dovrane deletes everything")))
                message = qobject_cast<StyledLabel*>(label);
        }
        QCOMPARE(titles.count(QStringLiteral("Empty the Trash?")), 1);
        QVERIFY(message);
        QVERIFY2(message->width() >= 360, qPrintable(QString::number(message->width())));
        QVERIFY(message->height() <= 4 * message->fontMetrics().lineSpacing());
        for (QPushButton* button : box->findChildren<QPushButton*>())
            QVERIFY2(button->icon().isNull(), qPrintable(button->text()));
        QVERIFY(box->findChild<WindowEdge*>());
        QVERIFY(box->cancelButton()->isDefault());
        QVERIFY(detail.confirmTrash());
        box->cancelButton()->click();
        QApplication::processEvents();
        QVERIFY(!detail.confirmTrash());
        QVERIFY(Fs::exists(trash + "/files/old.zip"));

        // The button stays off until the model's operation has ended, and meanwhile the pane
        // says that the Trash is being emptied, where the last action's notice no longer stands.
        auto* emptying = detail.findChild<QWidget*>("emptying");
        QVERIFY(emptying && !emptying->isVisibleTo(&detail));
        fixture.model.setNotice(QStringLiteral("3 items moved to the Trash."));
        // Held behind an administrator run at a gate, the emptying is seen while it runs.
        const std::string gate = tools / "gate";
        QCOMPARE(mkfifo(gate.c_str(), 0600), 0);
        pkexec.setPretending(false);
        const QFuture<bool> waiting = Admin::run("read x < '" + gate + "'", {}, pkexec.paths());
        emptyTrash->setFocus(Qt::TabFocusReason);
        emptyTrash->click();
        box = openConfirmation(detail);
        QCOMPARE(box->actionButton()->text(), QStringLiteral("Empty Trash"));
        box->actionButton()->click();
        QVERIFY(!emptyTrash->isEnabled());
        // The focus waits in the table, on a row that shows it, and returns when the button does.
        QCOMPARE(detail.focusWidget(), detail.table());
        QVERIFY(detail.table()->currentIndex().isValid());
        QVERIFY(emptying->isVisibleTo(&detail));
        QVERIFY(visibleTexts(detail).contains(QStringLiteral("Emptying the Trash…")));
        QVERIFY(!fixture.model.notice());
        const int writer = open(gate.c_str(), O_WRONLY);
        QVERIFY(writer >= 0 && Fs::writeAll(writer, "go\n"));
        close(writer);
        pkexec.setPretending(true);
        while (!emptyTrash->isEnabled())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCOMPARE(detail.focusWidget(), emptyTrash);
        QVERIFY(!emptying->isVisibleTo(&detail));
        QVERIFY(fixture.model.notice());
        QVERIFY(!Fs::exists(trash + "/files/old.zip"));
        fixture.model.cancelScan();

        // Another pane built meanwhile would not offer a second run either.
        detail.setCategory(categoryOf(scan, CategoryID::simulators));
        detail.findChild<QPushButton*>("removeUnavailable")->click();
        box = openConfirmation(detail);
        QCOMPARE(box->windowTitle(), QStringLiteral("Remove unavailable simulators?"));
        box->actionButton()->click();
        CategoryDetail second(fixture.context(), std::nullopt);
        second.setCategory(categoryOf(scan, CategoryID::simulators));
        QVERIFY(!second.findChild<QPushButton*>("removeUnavailable")->isEnabled());
        while (!second.findChild<QPushButton*>("removeUnavailable")->isEnabled())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCOMPARE(runner->calls(),
                 (std::vector<FakeRunner::Call>{{"/usr/bin/xcrun", {"simctl", "delete", "unavailable"}}}));
        fixture.model.cancelScan();

        detail.setCategory(categoryOf(scan, CategoryID::snapshots));
        detail.setPicked(ids({"2024-05-01-070000"}));
        detail.findChild<QPushButton*>("deleteSnapshots")->click();
        box = openConfirmation(detail);
        QCOMPARE(box->windowTitle(), QStringLiteral("Delete 1 snapshot?"));
        box->actionButton()->click();
        while (!detail.findChild<QPushButton*>("deleteSnapshots")->isEnabled())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCOMPARE(pkexec.calls().size(), std::size_t(2)); // after the gate's
        QVERIFY(pkexec.calls()[1].back().find("'2024-05-01-070000'") != std::string::npos);
        QVERIFY(pkexec.calls()[1].back().find("2024-04-30-101010") == std::string::npos);
        fixture.model.cancelScan();
    }

    void chooseProjectFoldersStoresThemSortedAndScans() {
        PageFixture fixture;
        CategoryDetail detail(fixture.context(), std::nullopt);
        detail.setCategory(categoryOf(fixture.scan(), CategoryID::projects));
        showAsWindow(detail);
        auto* choose = detail.findChild<QPushButton*>("chooseProjectFolders");

        choose->click();
        QCOMPARE(fixture.pickerCalls, 1);
        QVERIFY(!fixture.base().settings->contains(SettingKeys::scanProjects.key()));
        QVERIFY(!fixture.model.isScanning());

        fixture.pickerAnswer = QStringList{"/home/u/Work", "/home/u/Code"};
        choose->click();
        QCOMPARE(SettingKeys::scanProjects.stored(*fixture.base().settings),
                 std::optional(QStringList{"/home/u/Code", "/home/u/Work"}));
        QVERIFY(fixture.model.isScanning());
        fixture.model.cancelScan();
        QCOMPARE(footerButtons(detail), (QMap<QString, bool>{{"Select Safe Items", true}, {"Move to Trash…", false}}));
    }
};

DOVRANE_UI_TEST_MAIN(CategoryDetailTests)
#include "CategoryDetailTests.moc"
