// The Storage and Developer pages: first visits, a choice carried from one page to the other and
// a choice foreign to a page left alone, a list deselection, a category the scan lacks, a size
// not disclosed, the categories a Linux home leaves out, the no-scan state before and after "Scan Now", and the
// detail's layout area.

#include "AppModel/ModelSeeding.h"
#include "Grid/GridProbes.h"
#include "PageFixture.h"
#include "StorageGraphics/StorageRing.h"
#include "StoragePage/CategoryBrowser.h"
#include "StoragePage/CategoryDetail.h"
#include "StoragePage/CategoryRow.h"
#include "StoragePage/StoragePage.h"
#include "UiKit/PageKit.h"
#include "UiTestMain.h"
#include "support/Await.h"

#include <DovraneKit/system/FileSystem.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QLayout>
#include <QListView>
#include <QTest>
#include <QTranslator>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// Chooses a category in the browser's list as a click would.
void choose(CategoryBrowser& browser, CategoryID id) {
    QListView* list = browser.list();
    for (int row = 0; row < list->model()->rowCount(); ++row)
        if (list->indexWidget(list->model()->index(row, 0)) == browser.row(id)) {
            list->selectionModel()->select(list->model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
            return;
        }
    QFAIL("no such row");
}

// The category the list shows as chosen; none when no row is.
std::optional<CategoryID> listed(const CategoryBrowser& browser) {
    const QModelIndexList chosen = browser.list()->selectionModel()->selectedIndexes();
    if (chosen.size() != 1)
        return std::nullopt;
    for (CategoryID id : browser.all())
        if (browser.list()->indexWidget(chosen.first()) == browser.row(id))
            return id;
    return std::nullopt;
}

} // namespace

class StoragePageTests : public QObject {
    Q_OBJECT

private slots:
    void firstVisitsShowEachPagesOwnCategory() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        StoragePage storage(fixture.context());
        showAsWindow(storage);
        QCOMPARE(storage.browser()->current(), CategoryID::caches);
        QCOMPARE(listed(*storage.browser()), std::optional(CategoryID::caches));
        QCOMPARE(storage.browser()->detail()->category().id, CategoryID::caches);
        QCOMPARE(storage.browser()->all().size(), std::size_t(16));
        QVERIFY(rendersInBothLooks(storage));

        DeveloperPage developer(fixture.context());
        showAsWindow(developer);
        QCOMPARE(developer.browser()->current(), CategoryID::xcode);
        QCOMPARE(listed(*developer.browser()), std::optional(CategoryID::xcode));
        QCOMPARE(developer.browser()->all(),
                 (std::vector<CategoryID>{CategoryID::xcode, CategoryID::simulators, CategoryID::docker,
                                          CategoryID::packageCaches, CategoryID::projects}));
        // Caches is not the Developer page's: it stays chosen for the Storage page.
        QCOMPARE(fixture.selection.category(), std::optional(CategoryID::caches));
        QVERIFY(rendersInBothLooks(developer));
        // One sector per developer category with a size (docker is missing, package caches empty).
        QCOMPARE(developer.browser()->ring()->rowsToShow().size(), std::size_t(3));
        QCOMPARE(developer.browser()->ring()->captionText(), QStringLiteral("in total"));
        QCOMPARE(storage.browser()->ring()->captionText(), QStringLiteral("used"));
    }

    void aChoiceCarriesOverOnlyWhereThePageListsIt() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        {
            DeveloperPage developer(fixture.context());
            showAsWindow(developer);
            choose(*developer.browser(), CategoryID::simulators);
            QCOMPARE(developer.browser()->detail()->category().id, CategoryID::simulators);
        }
        {
            StoragePage storage(fixture.context());
            showAsWindow(storage);
            QCOMPARE(storage.browser()->current(), CategoryID::simulators);
            choose(*storage.browser(), CategoryID::trash);
        }
        DeveloperPage developer(fixture.context());
        showAsWindow(developer);
        QCOMPARE(developer.browser()->current(), CategoryID::xcode);
        QCOMPARE(developer.browser()->detail()->category().id, CategoryID::xcode);
        QCOMPARE(fixture.selection.category(), std::optional(CategoryID::trash));
        StoragePage storage(fixture.context());
        QCOMPARE(storage.browser()->current(), CategoryID::trash);

        // Both pages stand while the choice changes (the palette, "Show"): each follows it
        // where it lists the category, and the Developer page never writes it back.
        fixture.selection.setCategory(CategoryID::docker);
        QCOMPARE(developer.browser()->detail()->category().id, CategoryID::docker);
        QCOMPARE(storage.browser()->detail()->category().id, CategoryID::docker);
        fixture.selection.setCategory(CategoryID::logs);
        QCOMPARE(developer.browser()->detail()->category().id, CategoryID::xcode);
        QCOMPARE(storage.browser()->detail()->category().id, CategoryID::logs);
        QCOMPARE(fixture.selection.category(), std::optional(CategoryID::logs));
    }

    void theChosenRowTakesTheSelectionsTextColour() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        StoragePage storage(fixture.context());
        showAsWindow(storage);
        choose(*storage.browser(), CategoryID::trash);
        const auto colourOf = [&](CategoryID id) {
            return storage.browser()->row(id)->findChild<QLabel*>()->palette().color(QPalette::WindowText);
        };
        const QColor onSelection =
            storage.browser()->row(CategoryID::trash)->palette().color(QPalette::HighlightedText);
        QCOMPARE(colourOf(CategoryID::trash), onSelection);
        QVERIFY(storage.browser()->row(CategoryID::trash)->isSelected());
        QVERIFY(colourOf(CategoryID::logs) != onSelection);

        // The next choice hands the colour on.
        choose(*storage.browser(), CategoryID::logs);
        QCOMPARE(colourOf(CategoryID::logs), onSelection);
        QVERIFY(colourOf(CategoryID::trash) != onSelection);
        QVERIFY(!storage.browser()->row(CategoryID::trash)->isSelected());
    }

    void aClearedListChoiceShowsTheFallback() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        fixture.selection.setCategory(CategoryID::logs);
        StoragePage storage(fixture.context());
        showAsWindow(storage);
        storage.browser()->list()->selectionModel()->clearSelection();
        QVERIFY(!fixture.selection.category());
        QCOMPARE(storage.browser()->current(), CategoryID::caches);
        QCOMPARE(listed(*storage.browser()), std::optional(CategoryID::caches));
        QCOMPARE(storage.browser()->detail()->category().id, CategoryID::caches);
    }

    // The list gives way before the detail: down to 216 wide as the page narrows. Where the
    // detail leaves room, it is at least 300 wide and as wide as its rows need on one line.
    void theCategoryListNarrowsBeforeTheDetailDoes() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        StoragePage storage(fixture.context());
        showAsWindow(storage);
        CategoryBrowser& browser = *storage.browser();
        const auto* list = browser.findChild<QWidget*>("categorySidebar");
        QVERIFY(list);
        const auto at = [&](int width) {
            storage.resize(width, 600);
            QCoreApplication::processEvents();
            browser.layout()->activate();
            return std::pair{list->width(), browser.detail()->width()};
        };
        const auto [wideList, wideDetail] = at(1100);
        QVERIFY(wideList >= 300 && wideDetail >= 499);
        for (CategoryID id : browser.all())
            if (const CategoryRow* row = browser.row(id); row && row->isVisible())
                QVERIFY2(row->fitsOneLine(row->width()), qPrintable(row->title()));
        const auto [middleList, middleDetail] = at(780);
        QVERIFY(middleList > 216 && middleList < 300);
        QVERIFY(middleDetail >= 495);                    // the page less the list and the divider
        const auto [narrowList, narrowDetail] = at(703); // a 760 px window with its sidebar compact
        QCOMPARE(narrowList, 216);
        QVERIFY(narrowDetail >= 480);
        QCOMPARE(at(1100).first, wideList);
    }

    // At the narrowest list a title too long for one line beside its size wraps, the size a line
    // below, and the list gives the row the height of both; it grows back to one line.
    void aLongTitleWrapsInANarrowList() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        StoragePage storage(fixture.context());
        showAsWindow(storage);
        CategoryBrowser& browser = *storage.browser();
        const auto rowAt = [&](int width) {
            storage.resize(width, 600);
            QCoreApplication::processEvents();
            browser.layout()->activate();
            QCoreApplication::processEvents();
            return browser.row(CategoryID::snapshots);
        };
        const CategoryRow* row = rowAt(703);
        QVERIFY(row && row->isVisible());
        QVERIFY(!row->fitsOneLine(row->width()));
        const auto* title = row->findChild<QLabel*>(QStringLiteral("title"));
        QCOMPARE(title->text(), row->title());
        QVERIFY(title->height() >= title->heightForWidth(title->width()));
        const int line = browser.row(CategoryID::caches)->height();
        QVERIFY2(row->height() >= 2 * line - 8, qPrintable(QString::number(row->height())));
        QCOMPARE(browser.list()->visualRect(
                     browser.list()->model()->index(browser.list()->indexAt(row->geometry().center()).row(), 0)),
                 row->geometry());

        row = rowAt(1100);
        QVERIFY(row->fitsOneLine(row->width()));
        QCOMPARE(row->height(), line);
    }

    void aMissingCategoryIsListedEmptyAndAHiddenSizeIsNotDisclosed() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        fixture.selection.setCategory(CategoryID::docker);
        DeveloperPage developer(fixture.context());
        showAsWindow(developer);
        CategoryBrowser& browser = *developer.browser();
        QCOMPARE(browser.row(CategoryID::docker)->sizeText(), QStringLiteral("Zero KB"));
        QCOMPARE(browser.detail()->category(), Category(CategoryID::docker));
        QVERIFY(browser.detail()->findChild<ContentUnavailableView*>("nothingHere")->isVisibleTo(&browser));

        StoragePage storage(fixture.context());
        showAsWindow(storage);
        QCOMPARE(storage.browser()->row(CategoryID::snapshots)->sizeText(), QStringLiteral("not disclosed"));
        QCOMPARE(storage.browser()->row(CategoryID::caches)->sizeText(), QStringLiteral("4.5 GB"));
        // The rows draw themselves; their list items tell assistive technology the same.
        QStringList heard;
        QAccessibleInterface* list =
            QAccessible::queryAccessibleInterface(storage.browser()->findChild<QListView*>("categories"));
        for (int i = 0; i < list->childCount(); ++i)
            if (list->child(i)->role() == QAccessible::ListItem)
                heard << list->child(i)->text(QAccessible::Name) + ": " +
                             list->child(i)->text(QAccessible::Description);
        QVERIFY2(heard.contains("Caches: 4.5 GB"), qPrintable(heard.join(", ")));
        QVERIFY2(heard.contains("Local Time Machine snapshots: not disclosed"), qPrintable(heard.join(", ")));
        choose(*storage.browser(), CategoryID::snapshots);
        QCOMPARE(storage.browser()->detail()->findChild<QLabel*>("size")->text(),
                 QStringLiteral("Size not disclosed by macOS"));
        QCOMPARE(storage.browser()->detail()->findChild<QLabel*>("note")->text(),
                 QStringLiteral("Local snapshots are kept by the system."));
    }

    void aLinuxHomeLeavesOutTheMacOnlyCategoriesWhileTheyHoldNothing() {
        PageFixture fixture; // a home without a Library folder
        // Xcode, Logs and Mail hold nothing; Messages and Simulators hold items.
        ScanResult scan = fixture.scan();
        for (Category& category : scan.categories)
            if (category.id == CategoryID::xcode || category.id == CategoryID::logs)
                category = Category(category.id);
        ModelSeeding(fixture.model).setScan(scan);
        QVERIFY(fixture.model.isLinuxHome());
        auto hidden = [](const CategoryBrowser& browser, CategoryID id) {
            const QListView* list = browser.list();
            for (int row = 0; row < list->model()->rowCount(); ++row)
                if (list->indexWidget(list->model()->index(row, 0)) == browser.row(id))
                    return list->isRowHidden(row);
            return false;
        };

        DeveloperPage developer(fixture.context());
        showAsWindow(developer);
        QVERIFY(hidden(*developer.browser(), CategoryID::xcode));
        QVERIFY(!hidden(*developer.browser(), CategoryID::docker));
        // Xcode is the page's own choice; left out, the first listed category stands in for it.
        QCOMPARE(developer.browser()->current(), CategoryID::simulators);
        QCOMPARE(listed(*developer.browser()), std::optional(CategoryID::simulators));

        StoragePage storage(fixture.context());
        showAsWindow(storage);
        QVERIFY(hidden(*storage.browser(), CategoryID::mailDownloads));
        QVERIFY(hidden(*storage.browser(), CategoryID::logs)); // no Linux folder feeds it either
        QVERIFY(hidden(*storage.browser(), CategoryID::iosBackups));
        QVERIFY(!hidden(*storage.browser(), CategoryID::messages));  // it holds something
        QVERIFY(!hidden(*storage.browser(), CategoryID::snapshots)); // not disclosed is something
        QVERIFY(!hidden(*storage.browser(), CategoryID::caches));

        // Something found in a Mac-style folder brings the category back.
        for (Category& category : scan.categories)
            if (category.id == CategoryID::xcode)
                category = Category(CategoryID::xcode, std::nullopt,
                                    {item(fixture.base() / "Library/Developer/Xcode/DerivedData/x", 4096, Safety::safe,
                                          CleanupAction::trash)});
        ModelSeeding(fixture.model).setScan(scan);
        QVERIFY(!hidden(*developer.browser(), CategoryID::xcode));

        // A home laid out like a Mac's lists all sixteen, empty or not; so does the demo.
        PageFixture mac;
        QVERIFY(Fs::makeDirectories(mac.base() / "Library"));
        AppModel& macModel = mac.base().makeModel();
        QVERIFY(!macModel.isLinuxHome());
        ModelSeeding(macModel).setScan(makeScan(fixtureNow, 100, 50));
        for (CategoryID id : allCategoryIDs)
            QVERIFY(macModel.showsCategory(id));
        ModelSeeding(fixture.model).setScan(makeScan(fixtureNow, 100, 50));
        QVERIFY(!fixture.model.showsCategory(CategoryID::simulators));
        ModelSeeding(fixture.model).setIsDemo(true);
        for (CategoryID id : allCategoryIDs)
            QVERIFY(fixture.model.showsCategory(id));
    }

    void aPageOpensOnACategoryWithItemsWhileItsOwnIsEmpty() {
        PageFixture fixture; // a Linux home: Xcode and Simulators are left out while empty
        ScanResult scan = fixture.scan();
        for (Category& category : scan.categories)
            if (category.id == CategoryID::xcode || category.id == CategoryID::simulators ||
                category.id == CategoryID::caches)
                category = Category(category.id);
        ModelSeeding(fixture.model).setScan(scan);
        // Docker and Package Caches are listed with nothing in them; Projects holds a folder.
        QVERIFY(fixture.model.showsCategory(CategoryID::docker));

        DeveloperPage developer(fixture.context());
        showAsWindow(developer);
        QCOMPARE(developer.browser()->current(), CategoryID::projects);
        QCOMPARE(listed(*developer.browser()), std::optional(CategoryID::projects));
        // A cleared choice on the Storage page, whose own Caches holds nothing.
        fixture.context().selection.setCategory(std::nullopt);
        StoragePage storage(fixture.context());
        showAsWindow(storage);
        QCOMPARE(storage.browser()->current(), CategoryID::logs);

        // A choice of the user's stands, empty or not; nothing anywhere falls back as before.
        fixture.context().selection.setCategory(CategoryID::docker);
        QCOMPARE(developer.browser()->current(), CategoryID::docker);
        fixture.context().selection.setCategory(std::nullopt);
        ScanResult empty = scan;
        for (Category& category : empty.categories)
            category = Category(category.id);
        ModelSeeding(fixture.model).setScan(empty);
        QCOMPARE(developer.browser()->current(), CategoryID::docker);
        QCOMPARE(storage.browser()->current(), CategoryID::caches);
    }

    void withoutAScanTheBrowserInvitesToScanThenWaitsForTheResult() {
        PageFixture fixture;
        StoragePage storage(fixture.context());
        showAsWindow(storage);
        CategoryBrowser& browser = *storage.browser();
        QVERIFY(browser.showsEmptyState());
        QCOMPARE(browser.emptyState()->title(), QStringLiteral("No scan yet"));
        QCOMPARE(browser.emptyState()->description(), QStringLiteral("Scan the disk to see what fills it."));
        QVERIFY(rendersInBothLooks(storage));

        QAbstractButton* scanNow = visibleButton(browser, "Scan Now");
        QVERIFY(scanNow);
        scanNow->click();
        fixture.base().scan.waitForCall(0);
        fixture.base().scan.report(0, CategoryID::apps, 1);
        runQueuedEvents();
        QVERIFY(browser.showsEmptyState());
        QCOMPARE(browser.emptyState()->description(), QStringLiteral("Measuring %1…").arg(fixture.model.scanLabel()));
        QVERIFY(!visibleButton(browser, "Scan Now"));

        fixture.base().scan.finish(0, fixture.scan());
        while (fixture.model.isScanning())
            runQueuedEvents();
        QVERIFY(!browser.showsEmptyState());
        QCOMPARE(browser.detail()->category().id, CategoryID::caches);
        QCOMPARE(browser.detail()->items()->rows().size(), std::size_t(3));
    }

    void germanComesFromTheOneCatalogue() {
        ScopedEnv german("APP_LANG", "de");
        QTranslator catalogue;
        QVERIFY(catalogue.load(QStringLiteral(":/i18n/dovrane_de.qm")));
        QCoreApplication::installTranslator(&catalogue);
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        DeveloperPage developer(fixture.context());
        showAsWindow(developer);
        QCoreApplication::removeTranslator(&catalogue);
        QCOMPARE(developer.windowTitle(), QStringLiteral("Entwickler"));
        QCOMPARE(developer.browser()->list()->model()->index(0, 0).data().toString(),
                 QStringLiteral("Entwicklerwerkzeuge"));
        QVERIFY(visibleButton(developer, QStringLiteral("In den Papierkorb legen…")));
        QCOMPARE(developer.browser()->detail()->items()->headerData(CategoryItemsModel::lastUsedColumn, Qt::Horizontal,
                                                                    Qt::DisplayRole),
                 QVariant(QStringLiteral("Zuletzt benutzt")));
    }

    void theDetailHeaderIsALayoutArea() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        StoragePage storage(fixture.context());
        showAsWindow(storage);
        const auto& probes = GridProbes::shared().probes();
        QVERIFY(probes.contains("area:category"));
        const GridProbes::Probe area = probes.value("area:category");
        QCOMPARE(area.inset, 20.0);
        const auto* list = storage.browser()->findChild<QWidget*>("categorySidebar");
        QCOMPARE(area.x, list->width() + 1.0); // beside the list and its divider
        QVERIFY(area.width > 0 && area.height > 0);
    }
};

DOVRANE_UI_TEST_MAIN(StoragePageTests, [] { setenv("APP_GRID", "1", 1); })
#include "StoragePageTests.moc"
