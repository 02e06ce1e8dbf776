// The Apps page over a model with apps and orphans set by hand: the search, the two tables'
// states and picks, and every action reaching the model.

#include "AppModel/ModelSeeding.h"
#include "AppsPage/AppRecordExtras.h"
#include "AppsPage/AppTables.h"
#include "AppsPage/AppsPage.h"
#include "ColourChecks.h"
#include "Grid/GridProbes.h"
#include "PageTestSupport.h"
#include "QtWaits.h"
#include "Theme/Theme.h"
#include "UiKit/AppIcon.h"
#include "UiKit/PageKit.h"
#include "support/AppFixtures.h"
#include "support/Bundles.h"

#include <DovraneKit/apps/FlatpakApps.h>
#include <DovraneKit/system/FileSystem.h>

#include <QAbstractButton>
#include <QBuffer>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTableView>
#include <QTranslator>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

QStringList column(const QTableView& view, int column) {
    QStringList texts;
    for (int row = 0; row < view.model()->rowCount(); ++row)
        texts << view.model()->index(row, column).data().toString();
    return texts;
}

void clickHeader(QTableView& view, int column) {
    QHeaderView* header = view.horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
}

} // namespace

class AppsPageTests : public QObject {
    Q_OBJECT

    std::unique_ptr<PageFixture> f;

    // Safari (system), Zed, Notes Pro (never measured), Alpha (Homebrew), Other Thing.
    void fillApps() {
        std::vector<InstalledApp> apps = {f->app("Safari", AppSource::apple, 5'000'000, true), f->app("Zed"),
                                          f->app("Notes Pro", AppSource::appStore, 0),
                                          f->app("Alpha", AppSource::homebrew, 2'000'000),
                                          f->app("Other Thing", AppSource::unknown, 3'000'000)};
        apps[1].lastUsed = f->fixture.clock->now().adding(-86400);
        apps[4].version = std::string("?"); // the library's word for a version the app does not state
        ModelSeeding(f->model).setApps(apps);
        ModelSeeding(f->model).setAppsLoaded(true);
    }

    std::vector<Orphan> orphans() const {
        auto orphan = [&](const std::string& where, const std::string& id, std::int64_t size) {
            return Orphan(Url::fromPath(f->fixture / ("Library/" + where + "/" + id)), id, size,
                          "Named after " + id + " <b>");
        };
        return {orphan("Preferences", "com.gone.b", 10), orphan("Caches", "com.gone.d", 40),
                orphan("Application Support", "com.gone.a", 30), orphan("Caches", "com.gone.c", 20)};
    }

private slots:
    void init() { f = std::make_unique<PageFixture>(); }
    void cleanup() { f.reset(); }

    void searchMatchesPartOfTheNameInAnyCaseAndNothingElse() {
        fillApps();
        AppsPage page(f->model);
        InstalledTable* table = page.installedTable();
        QCOMPARE(int(table->rows().size()), 5);

        page.searchField()->setText(QStringLiteral("SAF"));
        QCOMPARE(column(*table->view(), InstalledTable::name), QStringList{"Safari"});
        // An identifier or a version is not searched; no match leaves an empty table without
        // the empty-state view, and the footer still counts every app.
        for (const QString& search : {QStringLiteral("com.example"), QStringLiteral("1.0"), QStringLiteral("xyz")}) {
            page.searchField()->setText(search);
            QCOMPARE(table->view()->model()->rowCount(), 0);
            QVERIFY(!table->emptyState()->isVisibleTo(table));
            QCOMPARE(table->footer()->summary(), QStringLiteral("5 apps"));
        }
        // Kept as typed: a leading space is part of the text.
        page.searchField()->setText(QStringLiteral(" thing"));
        QCOMPARE(column(*table->view(), InstalledTable::name), QStringList{"Other Thing"});
    }

    void loadingShowsTheSpinnerThenTheAppsOrNoAppsFound() {
        AppsPage empty(f->model);
        render(empty, Look::light);
        QVERIFY(f->model.isLoadingApps());
        QVERIFY(empty.findChild<QProgressBar*>()->isVisible());
        QVERIFY(!empty.installedTable()->emptyState()->isVisible());
        DOVRANE_TRY_VERIFY_WITHIN(!f->model.isLoadingApps(), 20000);
        QVERIFY(!empty.findChild<QProgressBar*>()->isVisible());
        QVERIFY(empty.installedTable()->emptyState()->isVisible());
        QCOMPARE(empty.installedTable()->emptyState()->title(), QStringLiteral("No apps found"));
        // It says where the apps would have been found.
        QVERIFY(empty.installedTable()->emptyState()->description().contains(QStringLiteral("~/.local/bin")));

        PageFixture other;
        makeAppBundle(other.fixture / "Applications/Editor.app", "com.example.editor", "Editor");
        AppsPage page(other.model);
        page.show();
        DOVRANE_TRY_VERIFY_WITHIN(other.model.appsLoaded() && !other.model.isLoadingApps(), 20000);
        QCOMPARE(column(*page.installedTable()->view(), InstalledTable::name), QStringList{"Editor"});
        QVERIFY(!page.installedTable()->emptyState()->isVisible());
    }

    void aSystemAppCannotBeRemovedFromAnyPlace() {
        fillApps();
        AppsPage page(f->model);
        InstalledTable* table = page.installedTable();
        const std::string safari = f->model.apps()[0].id();
        table->view()->selectRow(0); // Safari is the largest
        QCOMPARE(table->picked(), safari);
        QVERIFY(visibleTexts(*table).contains("Part of macOS, cannot be removed"));
        QVERIFY(!table->removeButton()->isEnabled());

        std::unique_ptr<QMenu> menu = table->menuFor({safari});
        QVERIFY(menu);
        QCOMPARE(menu->actions().size(), 2);
        QCOMPARE(menu->actions()[0]->text(), QStringLiteral("Remove Safari…"));
        QVERIFY(!menu->actions()[0]->isEnabled());
        menu->actions()[1]->trigger(); // Show in Files: without a file manager, its folder opens
        QCOMPARE(f->opened.size(), std::size_t(1));
        QCOMPARE(f->opened[0].toLocalFile(), QString::fromStdString(f->fixture / "Applications"));
        QVERIFY(!table->menuFor({"/nowhere"}));

        // The double-click reaches the model, which ignores a system app.
        table->primaryAction(0);
        QCoreApplication::processEvents();
        QVERIFY(!f->model.sheet());

        // A Flatpak app is Flatpak's to remove, and the note says so instead.
        InstalledApp flatpak = f->app("Builder", AppSource::unknown, 9'000'000, true);
        flatpak.path = Url::fromPath("/var/lib/flatpak/app/org.gnome.Builder/x86_64/stable/active/files");
        ModelSeeding(f->model).setApps({flatpak});
        table->view()->selectRow(0);
        QVERIFY(visibleTexts(*table).contains("Installed with Flatpak, remove it there"));
        QVERIFY(!visibleTexts(*table).contains("Part of macOS, cannot be removed"));
        QCOMPARE(column(*table->view(), InstalledTable::source), QStringList{"Flatpak"});
        QVERIFY(!table->removeButton()->isEnabled());
    }

    void aPickHiddenBySearchStaysSelectedAndIsRemovedWithTheKey() {
        fillApps();
        InstalledApp tom = f->app("Tom & Jerry", AppSource::sparkle, 100);
        makeAppBundle(tom.path.path(), tom.bundleID, tom.name);
        auto apps = f->model.apps();
        apps.push_back(tom);
        ModelSeeding(f->model).setApps(apps);

        AppsPage page(f->model);
        page.resize(1100, 720);
        page.show();
        QVERIFY(dovrane::testing::waitForWindowActive(&page));
        InstalledTable* table = page.installedTable();
        const int tomRow = int(column(*table->view(), InstalledTable::name).indexOf("Tom & Jerry"));
        table->view()->selectRow(tomRow);
        QCOMPARE(table->menuFor({tom.id()})->actions()[0]->text(), QStringLiteral("Remove Tom && Jerry…"));

        page.searchField()->setText(QStringLiteral("alpha"));
        QCOMPARE(table->selected()->id(), tom.id());
        QVERIFY(table->removeButton()->isEnabled());
        table->view()->setFocus();
        QTest::keyClick(table->view(), Qt::Key_Backspace, Qt::ControlModifier);
        DOVRANE_TRY_VERIFY_WITHIN(f->model.sheet() && f->model.sheet()->uninstallRequest(), 20000);
        QCOMPARE(f->model.sheet()->uninstallRequest()->app.id(), tom.id());

        // The app is gone from the model: the pick names nothing any more.
        apps.pop_back();
        ModelSeeding(f->model).setApps(apps);
        QVERIFY(!table->selected());
        QVERIFY(!table->removeButton()->isEnabled());
    }

    void columnsShowAndSortByTheirKeys() {
        fillApps();
        AppsPage page(f->model);
        QTableView& view = *page.installedTable()->view();
        page.resize(1100, 720);
        page.show();
        QCOMPARE(column(view, InstalledTable::name),
                 (QStringList{"Safari", "Other Thing", "Alpha", "Zed", "Notes Pro"}));
        QCOMPARE(column(view, InstalledTable::size).last(), QStringLiteral("…"));
        QCOMPARE(column(view, InstalledTable::lastUsed), (QStringList{"–", "–", "–", "yesterday", "–"}));
        // An unknown version shows the same sign as an unknown last use.
        QCOMPARE(column(view, InstalledTable::version), (QStringList{"1.0", "–", "1.0", "1.0", "1.0"}));

        clickHeader(view, InstalledTable::source);
        QCOMPARE(column(view, InstalledTable::source),
                 (QStringList{"macOS", "App Store", "Homebrew", "Sparkle", "Other"}));
        clickHeader(view, InstalledTable::source);
        QCOMPARE(column(view, InstalledTable::source),
                 (QStringList{"Other", "Sparkle", "Homebrew", "App Store", "macOS"}));

        // Never used sorts as the oldest; equal keys go by name.
        clickHeader(view, InstalledTable::lastUsed);
        QCOMPARE(column(view, InstalledTable::name),
                 (QStringList{"Alpha", "Notes Pro", "Other Thing", "Safari", "Zed"}));
        clickHeader(view, InstalledTable::size);
        QCOMPARE(column(view, InstalledTable::name).first(), QStringLiteral("Notes Pro"));
    }

    void selectedRowsAreDrawnInTheSelectionsColoursOnly() {
        fillApps();
        ModelSeeding(f->model).setOrphans(orphans());
        AppsPage page(f->model);
        MemorySettings settings;
        ThemeStore themes(settings);
        themes.setThemeID(QStringLiteral("teal")); // a light accent, with near-black text on it
        themed(&page, themes);
        page.resize(1100, 720);
        page.show();
        const auto restore = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            page.setTab(AppsPage::Tab::installed);
            QTableView* apps = page.installedTable()->view();
            apps->selectRow(0); // Safari, with its "macOS" badge; the app icon is left out
            QCOMPARE(apps->palette().color(QPalette::HighlightedText), QColor(0x16, 0x16, 0x1C));
            QCOMPARE(strayPixelsInRow(*apps, 0, 6 + 20 + 4), 0);
            page.setTab(AppsPage::Tab::orphans);
            QTableView* leftovers = page.orphanTable()->view();
            leftovers->selectRow(1);
            QCOMPARE(strayPixelsInRow(*leftovers, 1), 0);
        }
    }

    void pickedOrphansGoToTheModelInItsOrderAndLeaveWithTheirRows() {
        ModelSeeding(f->model).setOrphans(orphans());
        AppsPage page(f->model);
        QCOMPARE(page.tabButton(AppsPage::Tab::orphans)->text(), QStringLiteral("Leftovers without an app (4)"));
        page.setTab(AppsPage::Tab::orphans);
        OrphanTable* table = page.orphanTable();
        QVERIFY(!page.installedTable());
        QCOMPARE(table->footer()->summary(), QStringLiteral("4 leftovers"));
        QVERIFY(!table->trashButton()->isEnabled());
        QCOMPARE(column(*table->view(), OrphanTable::where),
                 (QStringList{"Caches", "Application Support", "Caches", "Preferences"}));
        QCOMPARE(table->view()->model()->index(0, 0).data(Qt::ToolTipRole).toString(),
                 Texts::tooltip(QStringLiteral("Named after com.gone.d <b>")));

        clickHeader(*table->view(), OrphanTable::identifier); // a, b, c, d
        auto* selection = table->view()->selectionModel();
        for (int row : {0, 2, 3})
            selection->select(table->view()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(table->footer()->summary(), QStringLiteral("3 selected"));
        QVERIFY(table->trashButton()->isEnabled());
        table->trashButton()->click();
        DOVRANE_TRY_VERIFY(f->model.sheet() && f->model.sheet()->cleanupRequest()); // planned off the main thread
        std::vector<std::string> handed;
        for (const CleanupItem& item : f->model.sheet()->cleanupRequest()->items)
            handed.push_back(Path::lastComponent(item.url.path()));
        QCOMPARE(handed, (std::vector<std::string>{"com.gone.d", "com.gone.a", "com.gone.c"}));

        // Two of the picked moved to the Trash: their picks go with them.
        ModelSeeding(f->model).setOrphans({orphans()[0], orphans()[3]});
        QCOMPARE(table->picked(), std::set<std::string>{orphans()[3].id()});
        QCOMPARE(table->footer()->summary(), QStringLiteral("1 selected"));
        QCOMPARE(page.tabButton(AppsPage::Tab::orphans)->text(), QStringLiteral("Leftovers without an app (2)"));
        ModelSeeding(f->model).setOrphans({orphans()[0]});
        QVERIFY(table->picked().empty());
        QCOMPARE(table->footer()->summary(), QStringLiteral("1 leftovers"));
        QVERIFY(!table->trashButton()->isEnabled());

        // No orphans: the empty state shows, loading or not.
        ModelSeeding(f->model).setIsLoadingApps(true);
        ModelSeeding(f->model).setOrphans({});
        QVERIFY(table->emptyState()->isVisibleTo(table));
        QCOMPARE(table->emptyState()->title(), QStringLiteral("No leftovers"));
        QCOMPARE(page.tabButton(AppsPage::Tab::orphans)->text(), QStringLiteral("Leftovers without an app (0)"));
    }

    void whereNamesALinuxFolderByItsPlaceInTheHomeAndALibraryFolderInTheWindowsLanguage() {
        auto at = [&](const std::string& relative) {
            return Orphan(Url::fromPath(f->fixture / relative), "com.gone.x", 1, "Named after com.gone.x");
        };
        ModelSeeding(f->model).setOrphans({at(".config/com.gone.x"), at(".local/share/com.gone.x"),
                                           at(".var/app/com.gone.x"), at("Library/Preferences/com.gone.x.plist")});
        AppsPage page(f->model);
        page.setTab(AppsPage::Tab::orphans);
        QStringList where = column(*page.orphanTable()->view(), OrphanTable::where);
        where.sort();
        QCOMPARE(where, (QStringList{"Preferences", "~/.config", "~/.local/share", "~/.var/app"}));

        const Url homeUrl = Url::fromPath(f->fixture.home());
        QCOMPARE(holdingFolder(Url::fromPath("/opt/data/com.gone.x"), homeUrl), QStringLiteral("/opt/data"));
        QCOMPARE(holdingFolder(Url::fromPath("/Library/LaunchDaemons/com.gone.x.plist"), homeUrl),
                 QStringLiteral("LaunchDaemons"));
        QTranslator catalogue;
        QVERIFY(catalogue.load(QStringLiteral(":/i18n/dovrane_de.qm")));
        QCoreApplication::installTranslator(&catalogue);
        const QString german = holdingFolder(Url::fromPath(f->fixture / "Library/Preferences/x.plist"), homeUrl);
        const QString linux = holdingFolder(Url::fromPath(f->fixture / ".config/x"), homeUrl);
        QCoreApplication::removeTranslator(&catalogue);
        QCOMPARE(german, QStringLiteral("Einstellungen"));
        QCOMPARE(linux, QStringLiteral("~/.config"));
    }

    void switchingTabsStartsTheTableAfresh() {
        fillApps();
        AppsPage page(f->model);
        page.searchField()->setText(QStringLiteral("e"));
        page.installedTable()->view()->selectRow(0);
        clickHeader(*page.installedTable()->view(), InstalledTable::name);
        QVERIFY(page.installedTable()->picked());

        page.tabButton(AppsPage::Tab::orphans)->click();
        QCOMPARE(page.tab(), AppsPage::Tab::orphans);
        page.tabButton(AppsPage::Tab::installed)->click();
        InstalledTable* table = page.installedTable();
        QVERIFY(!table->picked());
        QCOMPARE(table->table().sortColumn(), int(InstalledTable::size));
        QCOMPARE(table->table().sortOrder(), Qt::DescendingOrder);
        QCOMPARE(page.search(), QStringLiteral("e"));
        QCOMPARE(int(table->rows().size()), 3);
    }

    void ctrlKInTheSearchFieldReachesTheWindowAndTheFieldLeavesWithThePage() {
        QWidget window;
        auto* page = new AppsPage(f->model, nullptr, &window);
        QPointer<QLineEdit> field = page->searchField();
        field->setParent(&window); // where the window's toolbar puts it
        field->setText(QStringLiteral("abc"));
        field->setCursorPosition(0);
        QShortcut palette(QKeySequence(Qt::CTRL | Qt::Key_K), &window);
        QSignalSpy opened(&palette, &QShortcut::activated);
        window.show();
        QVERIFY(dovrane::testing::waitForWindowActive(&window));
        field->setFocus();
        QTest::keyClick(field, Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(field->text(), QStringLiteral("abc"));
        delete page;
        QVERIFY(!field);
    }

    // On a Linux home an AppImage shows the icon it carries and a Flatpak app the one its
    // installation exports; an AppImage whose icon is damaged shows the generic app icon.
    void linuxAppsShowTheirOwnIcons() {
        if (!mksquashfs() || !flatpakProgram())
            QSKIP("mksquashfs (squashfs-tools) or flatpak is not installed, so no Linux app can be built");
        const auto png = [](QColor colour) {
            QImage image(64, 64, QImage::Format_ARGB32);
            image.fill(colour);
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            return bytes.toStdString();
        };
        ModelFixture fixture;
        const TempDir noSystemData, work;
        ScopedEnv systemData("XDG_DATA_DIRS", noSystemData.path());
        ScopedEnv noSystemInstallation("FLATPAK_SYSTEM_DIR", noSystemData / "flatpak");
        const std::string entry = "[Desktop Entry]\nType=Application\nName=Carrier\nExec=carrier\nIcon=carrier\n";
        QVERIFY(writeAppImage(fixture / "Applications/Carrier-1.0-x86_64.AppImage",
                              {{"carrier.desktop", entry}, {"carrier.png", png(Qt::magenta)}}));
        QVERIFY(writeAppImage(fixture / "Applications/Damaged-1.0-x86_64.AppImage",
                              {{"damaged.desktop", "[Desktop Entry]\nType=Application\nName=Damaged\n"},
                               {".DirIcon", png(Qt::cyan).substr(0, 60)}}));
        QVERIFY(installFlatpak(work.path(), "org.example.Exported",
                               {{"share/icons/hicolor/48x48/apps/org.example.Exported.png", png(Qt::darkGreen)}}));
        Services services = fixture.services();
        services.listFlatpaks = [] { return FlatpakApps::list(); };
        AppModel& model = fixture.makeModel(std::move(services));

        AppsPage page(model);
        render(page, Look::light);
        DOVRANE_TRY_VERIFY(!model.isLoadingApps());
        QTableView& view = *page.installedTable()->view();
        const QStringList names = column(view, InstalledTable::name);
        QCOMPARE(QSet<QString>(names.begin(), names.end()), (QSet<QString>{"Carrier", "Damaged", "Exported"}));
        const QImage shown = render(page, Look::light);
        const auto iconColour = [&](const QString& name) {
            const QRect cell = view.visualRect(view.model()->index(int(names.indexOf(name)), InstalledTable::name));
            return QColor(shown.pixel(view.viewport()->mapTo(&page, QPoint(cell.x() + 6 + 10, cell.center().y() + 1))));
        };
        QCOMPARE(iconColour("Carrier"), QColor(Qt::magenta));
        QCOMPARE(iconColour("Exported"), QColor(Qt::darkGreen));
        // The generic icon, drawn the same way over the row's own background.
        QImage generic(20, 20, QImage::Format_ARGB32);
        const QRect damagedCell =
            view.visualRect(view.model()->index(int(names.indexOf("Damaged")), InstalledTable::name));
        generic.fill(shown.pixel(view.viewport()->mapTo(&page, QPoint(damagedCell.x() + 2, damagedCell.center().y()))));
        {
            QPainter painter(&generic);
            AppIcons::draw(painter, QRectF(0, 0, 20, 20), fixture / "Applications/Damaged-1.0-x86_64.AppImage");
        }
        const QColor expected(generic.pixel(10, 10)), damaged = iconColour("Damaged");
        QVERIFY2(std::abs(damaged.red() - expected.red()) + std::abs(damaged.green() - expected.green()) +
                         std::abs(damaged.blue() - expected.blue()) <=
                     12,
                 qPrintable(damaged.name() + " is not the generic icon's " + expected.name()));
        QVERIFY(damaged != QColor(Qt::cyan));
    }

    void rendersInBothLooksWithItsTextsAndLayoutArea() {
        fillApps();
        ModelSeeding(f->model).setOrphans(orphans());
        for (Look look : {Look::light, Look::dark}) {
            AppsPage page(f->model);
            const QImage image = render(page, look);
            QCOMPARE(image.size(), QSize(1100, 720));
            const QStringList texts = visibleTexts(page);
            QVERIFY(texts.contains("Installed"));
            QVERIFY(texts.contains("Leftovers without an app (4)"));
            QVERIFY(
                texts.contains("Drag an app onto this window or onto Dovrane's icon to remove it with its leftovers."));
            QVERIFY(texts.contains("5 apps"));
            QVERIFY(texts.contains("Remove…"));
            const auto area = GridProbes::shared().probes().value(GridProbes::key(GridProbes::Kind::area, "apps"));
            QCOMPARE(area.inset, 20.0);
            QCOMPARE(area.width, double(page.width()));
            QCOMPARE(area.height, double(page.header()->height()));
        }
    }
};

DOVRANE_UI_TEST_MAIN(AppsPageTests, recordLayoutProbes)
#include "AppsPageTests.moc"
