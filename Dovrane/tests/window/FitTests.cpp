// Every view with the demo data, in English and German, light and dark, at the main window's
// default, smallest and a wide size: no text cut or on top of another, no empty box on show, no
// category or section title cut short, every sheet inside the part of the window it covers. The
// checker itself is tried first on views built to fail it.

#include "App/DovraneApp.h"
#include "AppModel/ModelSeeding.h"
#include "AppsPage/AppsPage.h"
#include "CommandPalette/CommandPalette.h"
#include "ContentView/ContentView.h"
#include "ContentView/SheetHost.h"
#include "FitCheck.h"
#include "MenuBarView/MenuBarView.h"
#include "QtWaits.h"
#include "Services/StoreRecords.h"
#include "Services/Translations.h"
#include "SettingsView/SettingsView.h"
#include "Snapshot/Capture.h"
#include "StorageGraphics/StorageLegend.h"
#include "StoragePage/CategoryBrowser.h"
#include "StoragePage/CategoryDetail.h"
#include "StoragePage/CategoryRow.h"
#include "Theme/Theme.h"
#include "UiKit/Appearance.h"
#include "UiKit/Fonts.h"
#include "UiKit/Labels.h"
#include "UiKit/PageKit.h"
#include "UiKit/StorageSelection.h"
#include "UiKit/TableViews.h"
#include "UpdatesPage/UpdatesPage.h"
#include "WindowBehavior/WindowPlacement.h"
#include "WindowFixture.h"
#include "support/ModelTestMain.h"

#include <DovraneKit/scan/Explanations.h>

#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <algorithm>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

// Lets layouts, resizes and the sheets' opening run their course.
void settle() {
    for (int pass = 0; pass < 4; ++pass) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

QWidget* visibleSheet() {
    for (QWidget* window : Snapshot::windowList())
        if (Snapshot::isSheet(window))
            return window;
    return nullptr;
}

struct WindowSize {
    const char* name;
    QSize size;
};
constexpr WindowSize windowSizes[] = {{"default", {1100, 720}}, {"smallest", {760, 480}}, {"wide", {1400, 720}}};

// A window of its own around one widget, laid out at the given size.
class Frame {
public:
    explicit Frame(QSize size) {
        window_.resize(size);
        layout_ = new QVBoxLayout(&window_);
    }
    template <typename Widget> Widget* add(Widget* widget) {
        layout_->addWidget(widget);
        return widget;
    }
    QWidget& show() {
        window_.show();
        settle();
        return window_;
    }

private:
    QWidget window_;
    QVBoxLayout* layout_;
};

// The main window over the demo data, in the given language, shown; the catalogue of the
// language of the run comes back when it goes.
struct DemoWindow {
    struct CatalogueBack {
        ~CatalogueBack() { Translations::install(); }
    } back; // first, so it goes last, once APP_LANG is back
    ScopedEnv languageSwitch;
    struct CatalogueOfTheLanguage {
        CatalogueOfTheLanguage() { Translations::install(); }
    } catalogue;
    WindowFixture fixture;
    ScopedEnv seed{"APP_SEED", "1"};
    DovraneApp app{{"Dovrane"}, fixture.container(), fixture.services()};

    explicit DemoWindow(const std::string& language) : languageSwitch("APP_LANG", language) { app.showMainWindow(); }
};

// Every category title of a browser's list as the category names it, never cut short, and
// every section title with the height its wrapped lines need.
QStringList wholeTitles(const QString& page, const CategoryBrowser& browser) {
    QStringList faults;
    for (CategoryID id : browser.all()) {
        const CategoryRow* row = browser.row(id);
        if (!row || !row->isVisible())
            continue;
        const QString whole = QString::fromStdString(Explanations::title(id));
        const auto labels = row->findChildren<QLabel*>();
        if (std::none_of(labels.begin(), labels.end(),
                         [&whole](const QLabel* label) { return label->text() == whole; }))
            faults << page + QStringLiteral(": category title not shown whole: \"%1\"").arg(whole);
    }
    const QListView* list = browser.list();
    const QAbstractItemModel* model = list->model();
    for (int at = 0; at < model->rowCount(); ++at) {
        const QModelIndex index = model->index(at, 0);
        if (list->isRowHidden(at) || list->indexWidget(index))
            continue;
        const QRect cell = list->visualRect(index);
        const QFontMetrics metrics(index.data(Qt::FontRole).value<QFont>());
        const QString text = index.data().toString();
        const int needed = metrics.boundingRect(cell.adjusted(4, 0, -4, 0), Qt::TextWordWrap, text).height();
        if (needed > cell.height())
            faults << page + QStringLiteral(": section title needs %1 px height, has %2: \"%3\"")
                                 .arg(needed)
                                 .arg(cell.height())
                                 .arg(text);
    }
    return faults;
}

} // namespace

class FitTests : public QObject {
    Q_OBJECT

private slots:
    void fittingTextsPass() {
        Frame frame({400, 200});
        frame.add(new QLabel(QStringLiteral("Short")));
        auto* wrapped = frame.add(new QLabel(QStringLiteral("A longer sentence that wraps onto a second line here.")));
        wrapped->setWordWrap(true);
        auto* elided = frame.add(new QLabel(QStringLiteral("Local Time Machine snap…")));
        elided->setToolTip(QStringLiteral("Local Time Machine snapshots"));
        elided->setMaximumWidth(40);
        frame.add(new QPushButton(QStringLiteral("Clean Up…")));
        QCOMPARE(misfits(&frame.show()), QStringList());
    }

    void textsCutShortAreNamed() {
        Frame frame({400, 200});
        auto* line = frame.add(new QLabel(QStringLiteral("Local Time Machine snapshots")));
        line->setObjectName(QStringLiteral("line"));
        line->setMaximumWidth(60);
        // "…" without a tooltip holding the whole text is no deliberate cut.
        auto* dots = frame.add(new QLabel(QStringLiteral("Installer und Papie…")));
        dots->setObjectName(QStringLiteral("dots"));
        dots->setMaximumWidth(30);
        auto* wrapped = frame.add(new QLabel(QStringLiteral("Without Full Disk Access, Mail, Messages and the Trash "
                                                            "stay unmeasured. Dovrane reads sizes, never contents.")));
        wrapped->setObjectName(QStringLiteral("wrapped"));
        wrapped->setWordWrap(true);
        wrapped->setFixedHeight(wrapped->fontMetrics().height());
        auto* button = frame.add(new QPushButton(QStringLiteral("Move to Trash")));
        button->setObjectName(QStringLiteral("button"));
        button->setMaximumWidth(30);
        const QStringList faults = misfits(&frame.show());
        QCOMPARE(faults.size(), 4);
        QVERIFY(faults[0].startsWith(QStringLiteral("line: line needs")));
        QVERIFY(faults[0].endsWith(QStringLiteral("\"Local Time Machine snapshots\"")));
        QVERIFY(faults[1].startsWith(QStringLiteral("dots: line needs")));
        QVERIFY(faults[2].startsWith(QStringLiteral("wrapped: wrapped text needs")));
        QVERIFY(faults[3].startsWith(QStringLiteral("button: button needs")));
    }

    // A button sized to its bare title has no room for the style's margins around it.
    void aButtonTitleWiderThanTheStylesContentsIsNamed() {
        class BareButton final : public QPushButton {
        public:
            using QPushButton::QPushButton;
            QSize sizeHint() const override { return fontMetrics().size(Qt::TextShowMnemonic, text()); }
            QSize minimumSizeHint() const override { return sizeHint(); }
        };
        QWidget window;
        auto* row = new QHBoxLayout(&window);
        auto* bare = new BareButton(QStringLiteral("Release notes"));
        bare->setObjectName(QStringLiteral("bare"));
        bare->setFlat(true);
        row->addWidget(bare);
        row->addWidget(new QPushButton(QStringLiteral("Release notes")));
        row->addStretch(1);
        window.resize(400, 60);
        window.show();
        settle();
        const QStringList faults = misfits(&window);
        QCOMPARE(faults.size(), 1);
        QVERIFY2(faults[0].startsWith(QStringLiteral("bare: title needs")), qPrintable(faults[0]));
    }

    // Fusion's own push button leaves 3 px between title and frame, which a title seems to touch.
    void aButtonTitleTouchingItsFrameIsNamed() {
        class TightButton final : public QPushButton {
        public:
            using QPushButton::QPushButton;
            QSize sizeHint() const override {
                QStyleOptionButton option;
                initStyleOption(&option);
                const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
                return fontMetrics().size(Qt::TextShowMnemonic, text()) + QSize(2 * (frame + 3), 2 * frame + 8);
            }
            QSize minimumSizeHint() const override { return sizeHint(); }
        };
        QWidget window;
        auto* row = new QHBoxLayout(&window);
        auto* tight = new TightButton(QStringLiteral("In den Papierkorb legen"));
        tight->setObjectName(QStringLiteral("tight"));
        row->addWidget(tight);
        row->addWidget(new QPushButton(QStringLiteral("In den Papierkorb legen")));
        row->addStretch(1);
        window.resize(500, 60);
        window.show();
        settle();
        const QStringList faults = misfits(&window);
        QCOMPARE(faults.size(), 1);
        QVERIFY2(faults[0].startsWith(QStringLiteral("tight: title leaves")), qPrintable(faults[0]));
    }

    // A sheet taller than the room it may cover, or one whose button its own edge cuts off.
    void sheetsPastTheirRoomAreNamed() {
        QDialog sheet;
        sheet.setObjectName(QStringLiteral("sheet"));
        auto* column = new QVBoxLayout(&sheet);
        auto* done = new QPushButton(QStringLiteral("Done"));
        column->addWidget(done);
        sheet.setGeometry(100, 100, 300, 200);
        sheet.show();
        settle();
        QCOMPARE(sheetMisfits(&sheet, QRect(50, 50, 400, 300)), QStringList());
        QCOMPARE(sheetMisfits(&sheet, QRect(50, 50, 400, 240)).size(), 1);
        const QString tall = sheetMisfits(&sheet, QRect(50, 50, 400, 240)).first();
        QVERIFY2(tall.startsWith(QStringLiteral("sheet: ")) &&
                     tall.endsWith(QStringLiteral("reaches past 400x240 at (50, 50)")),
                 qPrintable(tall));

        // A layout squeezed below its minimum pushes its last button past the edge.
        done->setFixedHeight(80);
        column->removeWidget(done);
        done->setGeometry(20, 160, 100, 80);
        QCOMPARE(sheetMisfits(&sheet, QRect(50, 50, 400, 300)),
                 QStringList(QStringLiteral("QPushButton: cut off by the sheet's edge: \"Done\"")));
    }

    void aPageWiderThanItsWindowIsNamed() {
        Frame frame({300, 200});
        auto* area = frame.add(new QScrollArea);
        area->setObjectName(QStringLiteral("page"));
        area->setWidgetResizable(true);
        area->setWidget(
            new QLabel(QStringLiteral("Updates konnten nicht geprüft werden, und das ist ein langer Titel")));
        const QStringList faults = misfits(&frame.show());
        QCOMPARE(faults.size(), 1);
        QVERIFY2(faults[0].startsWith(QStringLiteral("page: content needs")), qPrintable(faults[0]));
        area->widget()->setMaximumWidth(200);
        qobject_cast<QLabel*>(area->widget())->setWordWrap(true);
        settle();
        QCOMPARE(misfits(area), QStringList());
    }

    void overlapsAndEmptyBoxesAreNamed() {
        QWidget window;
        window.resize(300, 200);
        auto* title = new QLabel(QStringLiteral("Snapshots"), &window);
        title->setObjectName(QStringLiteral("title"));
        title->setGeometry(0, 0, 120, 30);
        auto* size = new QLabel(QStringLiteral("not disclosed"), &window);
        size->setObjectName(QStringLiteral("size"));
        size->setGeometry(100, 0, 120, 30);
        // A box whose only row is hidden, yet shown itself.
        auto* hint = new QWidget(&window);
        hint->setObjectName(QStringLiteral("hint"));
        hint->setGeometry(0, 100, 300, 60);
        auto* row = new QLabel(QStringLiteral("Some folders are hidden"), hint);
        (new QHBoxLayout(hint))->addWidget(row);
        row->hide();
        window.show();
        settle();
        const QStringList faults = misfits(&window);
        QCOMPARE(faults, (QStringList{QStringLiteral("title overlaps size: \"Snapshots\" / \"not disclosed\""),
                                      QStringLiteral("hint: visible with nothing to show: \"\"")}));

        // Hidden, neither counts.
        size->hide();
        hint->hide();
        QCOMPARE(misfits(&window), QStringList());
    }

    // The legend at every width its grid can take, where the window's two sizes show only two:
    // a title too long for its column, in either language, wraps and its row grows to hold it.
    void theLegendFitsEveryTitleAtEveryWidth() {
        const auto languageBack = qScopeGuard([] { Translations::install(); });
        ScanResult scan;
        scan.total = 2'000'000'000'000;
        for (CategoryID id : allCategoryIDs)
            scan.categories.emplace_back(id, std::int64_t(210'200'000'000) / 16);
        QStringList faults;
        for (const char* language : {"en", "de"}) {
            ScopedEnv languageSwitch("APP_LANG", language);
            Translations::install();
            StorageLegend legend(scan);
            legend.show();
            for (int width = 200; width <= 660; width += 3) {
                legend.resize(width, legend.heightForWidth(width));
                settle();
                for (const QString& fault : misfits(&legend))
                    faults << QStringLiteral("%1 at %2 px: %3").arg(QLatin1String(language)).arg(width).arg(fault);
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 10).join(QLatin1Char('\n'))));
    }

    // A header of a long German title and two buttons: the title wraps beside the buttons at
    // every size, and no part of the page runs past the window.
    void theUpdatesPageFitsWhenEveryCheckFailed_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << "en";
        QTest::newRow("de") << "de";
    }
    void theUpdatesPageFitsWhenEveryCheckFailed() {
        QFETCH(QString, language);
        DemoWindow shown(language.toStdString());
        DovraneApp& app = shown.app;
        AppModel& model = app.model();
        DOVRANE_TRY_VERIFY(model.isDemo());
        std::map<std::string, UpdateCheck> failed;
        for (const InstalledApp& installed : model.apps())
            failed.emplace(installed.id(), UpdateCheck::failed("The feed is unreachable."));
        ModelSeeding(model).setUpdates(std::move(failed));
        model.setSidebar(SidebarItem::updates);

        QStringList faults;
        for (const WindowSize& windowSize : windowSizes) {
            app.window().resize(windowSize.size);
            settle();
            for (const QString& fault : misfits(&app.window()))
                faults << QString::fromLatin1(windowSize.name) + QStringLiteral(": ") + fault;
            const auto pages = app.window().findChildren<UpdatesPage*>();
            QCOMPARE(pages.size(), qsizetype(1));
            const QWidget* title = pages.front()->title();
            QVERIFY(title->isVisible());
            QCOMPARE(qobject_cast<const QLabel*>(title)->text(),
                     language == "de" ? QStringLiteral("Updates konnten nicht geprüft werden")
                                      : QStringLiteral("Could not check for updates"));
        }
        if (!faults.isEmpty())
            QFAIL(qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // With a selection, in German, the window at its default size or wider: each category's
    // footer keeps its summary on one line beside its buttons.
    void aSelectionsFooterStaysOnOneRow() {
        const auto restore = qScopeGuard([] { StorageSelection::shared().setCategory(CategoryID::caches); });
        DemoWindow shown("de");
        DovraneApp& app = shown.app;
        AppModel& model = app.model();
        DOVRANE_TRY_VERIFY(model.isDemo());
        QStringList faults;
        int selections = 0;
        for (const QSize size : {QSize(1100, 720), QSize(1400, 720)})
            for (SidebarItem page : {SidebarItem::storage, SidebarItem::developer}) {
                app.window().resize(size);
                model.setSidebar(page);
                settle();
                for (CategoryBrowser* browser : app.window().findChildren<CategoryBrowser*>()) {
                    if (!browser->isVisible())
                        continue;
                    for (CategoryID id : browser->all()) {
                        StorageSelection::shared().setCategory(id);
                        settle();
                        auto* select = browser->detail()->findChild<QPushButton*>(QStringLiteral("selectSafeItems"));
                        if (!select || !select->isVisible())
                            continue;
                        select->click();
                        settle();
                        ++selections;
                        const FooterBar* footer = browser->detail()->footerBar();
                        const QLabel* summary = footer->summaryLabel();
                        const QString where =
                            QStringLiteral("%1x%2 %3: \"%4\"")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(QString::fromStdString(std::string(rawValue(id))), summary->text());
                        if (summary->heightForWidth(summary->width()) > summary->fontMetrics().height() * 3 / 2)
                            faults << where + QStringLiteral(" wraps");
                        if (select->mapTo(footer, QPoint()).y() > summary->geometry().bottom())
                            faults << where + QStringLiteral(" has its buttons under it");
                    }
                }
            }
        QVERIFY(selections >= 4);
        if (!faults.isEmpty())
            QFAIL(qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // A stretched column that cuts a cell short: a table of our own shows the whole text where the
    // pointer rests, a bare one is named.
    void aCellCutShortWithoutItsWholeTextAsTooltipIsNamed() {
        QStandardItemModel model(1, 2);
        model.setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Size")});
        model.setItem(0, 0, new QStandardItem(QStringLiteral("Mail Merge Pro Extended Edition for every office")));
        model.setItem(0, 1, new QStandardItem(QStringLiteral("2 MB")));
        Frame frame({240, 200});
        auto* ours = frame.add(TableViews::make(&model, {{}, {60, 60, 80}}, 1, Qt::DescendingOrder,
                                                QAbstractItemView::SingleSelection, nullptr));
        ours->setObjectName(QStringLiteral("ours"));
        auto* bare = frame.add(new QTableView);
        bare->setObjectName(QStringLiteral("bare"));
        bare->setModel(&model);
        bare->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
        bare->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
        bare->horizontalHeader()->resizeSection(1, 80);
        const QStringList faults = misfits(&frame.show());
        QCOMPARE(faults.size(), 1);
        QVERIFY2(faults[0].startsWith(QStringLiteral("bare: cell of \"Name\" cut short")), qPrintable(faults[0]));
        // The cut itself ends in "…", as Qt elides.
        QCOMPARE(ours->textElideMode(), Qt::ElideRight);
        QVERIFY(!TableViews::cutText(*ours, model.index(0, 0)).isEmpty());
        QVERIFY(TableViews::cutText(*ours, model.index(0, 1)).isEmpty());
    }

    // Names longer than any room for them: on every page, in the sheets and in the palette, at
    // every size, each is cut with "…" and shows the whole name as its tooltip.
    void longNamesAreCutWithAnEllipsisAndShownWholeAsTooltip_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("look");
        QTest::newRow("en-light") << "en" << int(Look::light);
        QTest::newRow("de-dark") << "de" << int(Look::dark);
    }
    void longNamesAreCutWithAnEllipsisAndShownWholeAsTooltip() {
        QFETCH(QString, language);
        QFETCH(int, look);
        Appearance::shared().force(Look(look));
        const auto restore = qScopeGuard([] {
            Appearance::shared().force(std::nullopt);
            StorageSelection::shared().setCategory(CategoryID::caches);
        });
        DemoWindow shown(language.toStdString());
        DovraneApp& app = shown.app;
        SheetHost::setPaletteMaker([&app](AppModel& model, QWidget* window) -> QDialog* {
            return new CommandPalette(
                model, [&app] { app.openSettings(); }, window);
        });
        AppModel& model = app.model();
        DOVRANE_TRY_VERIFY(model.isDemo());

        const std::string longer = " Mail Merge Pro Extended Edition with Every Add-On Installed for Teams, Schools, "
                                   "Offices and Everyone Else";
        std::vector<InstalledApp> apps = model.apps();
        for (InstalledApp& each : apps) {
            each.name += longer;
            // Leftovers are named and explained by it: one word longer than any line.
            each.bundleID += ".mailmergeproextendededitionwitheveryaddoninstalledforteamsschoolsandoffices";
        }
        ModelSeeding seeding(model);
        seeding.setApps(apps);
        ScanResult scan = *model.scan();
        for (Category& category : scan.categories)
            for (CleanupItem& item : category.items)
                item.name += longer;
        seeding.setScan(scan);
        shown.fixture.container().insert(std::make_shared<Removal>(
            shown.fixture.clock->now(), QString::fromStdString("Mail Merge Pro" + longer),
            std::vector<RemovedItem>{{Url::fromPath(shown.fixture / "gone"), Url::fromPath(shown.fixture / "t"), 1}}));

        QStringList faults;
        int cut = 0;
        const auto inspect = [&faults, &cut](const QString& view, const QWidget* root) {
            settle();
            for (const QString& fault : misfits(root))
                faults << view + QStringLiteral(": ") + fault;
            for (const QLabel* label : root->findChildren<QLabel*>())
                cut += label->isVisible() && label->text().endsWith(QChar(0x2026)) &&
                       label->toolTip().contains(QStringLiteral("Everyone Else"));
        };
        for (const WindowSize& windowSize : windowSizes) {
            app.window().resize(windowSize.size);
            const QString at = QString::fromLatin1(windowSize.name) + QLatin1Char(' ');
            for (SidebarItem item : {SidebarItem::overview, SidebarItem::storage, SidebarItem::apps,
                                     SidebarItem::updates, SidebarItem::developer, SidebarItem::cleaned}) {
                model.setSidebar(item);
                inspect(at + rawValue(item), &app.window());
            }
            model.setSidebar(SidebarItem::overview);
            model.requestCleanup(model.scan()->safeItems(true), QStringLiteral("Safe items"));
            DOVRANE_TRY_VERIFY(visibleSheet());
            inspect(at + QStringLiteral("sheet cleanup"), visibleSheet());
            model.setSheet(std::nullopt);
            DOVRANE_TRY_VERIFY(!visibleSheet());
            (void)model.requestUninstall(model.apps().front());
            DOVRANE_TRY_VERIFY(visibleSheet());
            inspect(at + QStringLiteral("sheet uninstall"), visibleSheet());
            model.setSheet(std::nullopt);
            DOVRANE_TRY_VERIFY(!visibleSheet());
            model.setSheet(ActiveSheet::palette());
            DOVRANE_TRY_VERIFY(visibleSheet());
            visibleSheet()->findChild<QLineEdit*>()->setText(QStringLiteral("Mail Merge"));
            inspect(at + QStringLiteral("sheet palette"), visibleSheet());
            model.setSheet(std::nullopt);
            DOVRANE_TRY_VERIFY(!visibleSheet());
        }
        if (!faults.isEmpty())
            QFAIL(qPrintable(faults.join(QLatin1Char('\n'))));
        // The names were cut: cards, lists, rows, leftovers and palette titles.
        QVERIFY2(cut >= 10, qPrintable(QString::number(cut)));
    }

    // A wrapped text with a word longer than its line: the word is cut, unseen, where the label
    // ends. The kit's line-limited label cuts it with "…" and shows the whole text as its tooltip.
    void aWordLongerThanItsLineIsNamed() {
        const QString text =
            QStringLiteral("Holds the app's identifier, com.example.mailmergeproextendededitionforteamsandschools");
        Frame frame({260, 200});
        auto* wrapped = frame.add(new QLabel(text));
        wrapped->setObjectName(QStringLiteral("wrapped"));
        wrapped->setWordWrap(true);
        wrapped->setMaximumWidth(200);
        auto* limited = frame.add(new LineLimitedLabel(text, 2, Fonts::font(FontRole::body)));
        limited->setMaximumWidth(200);
        const QStringList faults = misfits(&frame.show());
        QCOMPARE(faults.size(), 1);
        QVERIFY2(faults[0].startsWith(QStringLiteral("wrapped: wrapped text needs")), qPrintable(faults[0]));
        QVERIFY2(limited->text().contains(QChar(0x2026)), qPrintable(limited->text()));
        QVERIFY(limited->text().startsWith(QStringLiteral("Holds the app's identifier,")));
        QVERIFY(!limited->toolTip().isEmpty());
        QVERIFY(limited->fontMetrics()
                    .boundingRect(QRect(0, 0, limited->width(), 1000), Qt::TextWordWrap, limited->text())
                    .width() <= limited->width());
    }

    void everyViewFits_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("look");
        QTest::newRow("en-light") << "en" << int(Look::light);
        QTest::newRow("en-dark") << "en" << int(Look::dark);
        QTest::newRow("de-light") << "de" << int(Look::light);
        QTest::newRow("de-dark") << "de" << int(Look::dark);
    }
    void everyViewFits() {
        QFETCH(QString, language);
        QFETCH(int, look);
        // Declared first so it runs last, once APP_LANG is back: the catalogue of that language.
        const auto languageBack = qScopeGuard([] { Translations::install(); });
        ScopedEnv languageSwitch("APP_LANG", language.toStdString());
        Translations::install();
        Appearance::shared().force(Look(look));
        const auto restore = qScopeGuard([] {
            Appearance::shared().force(std::nullopt);
            StorageSelection::shared().setCategory(CategoryID::caches);
        });

        WindowFixture fixture;
        ScopedEnv seed("APP_SEED", "1");
        DovraneApp app({"Dovrane"}, fixture.container(), fixture.services());
        SheetHost::setPaletteMaker([&app](AppModel& model, QWidget* window) -> QDialog* {
            return new CommandPalette(
                model, [&app] { app.openSettings(); }, window);
        });
        SettingsView settings(app.model(), ThemeStore::shared());
        themed(&settings);
        app.setSettingsOpener([&settings] { settings.bringForward(); });
        app.showMainWindow();
        AppModel& model = app.model();
        DOVRANE_TRY_VERIFY(model.isDemo());

        QStringList faults;
        const auto inspect = [&faults](const QString& view, const QWidget* root) {
            settle();
            for (const QString& fault : misfits(root))
                faults << view + QStringLiteral(": ") + fault;
            // A footer's buttons stay on one row at every size.
            for (const FooterBar* footer : root->findChildren<FooterBar*>()) {
                if (!footer->isVisible())
                    continue;
                QList<int> rows;
                for (const QPushButton* button : footer->findChildren<QPushButton*>())
                    if (button->isVisible() && !rows.contains(button->mapTo(footer, QPoint()).y()))
                        rows << button->mapTo(footer, QPoint()).y();
                if (rows.size() > 1)
                    faults << view + QStringLiteral(": footer buttons on %1 rows").arg(rows.size());
            }
        };

        for (const WindowSize& windowSize : windowSizes) {
            app.window().resize(windowSize.size);
            const QString at = QString::fromLatin1(windowSize.name) + QLatin1Char(' ');
            for (SidebarItem item : allSidebarItems) {
                model.setSidebar(item);
                settle();
                const QString page = at + rawValue(item);
                inspect(page, &app.window());
                // The Apps page's other tab, with its own segment label and hint.
                for (AppsPage* apps : app.window().findChildren<AppsPage*>())
                    if (apps->isVisible()) {
                        apps->setTab(AppsPage::Tab::orphans);
                        inspect(page + QStringLiteral("/orphans"), &app.window());
                        apps->setTab(AppsPage::Tab::installed);
                    }
                const auto browsers = app.window().findChildren<CategoryBrowser*>();
                for (CategoryBrowser* browser : browsers)
                    for (CategoryID id : browser->isVisible() ? browser->all() : std::vector<CategoryID>{}) {
                        StorageSelection::shared().setCategory(id);
                        inspect(page + QLatin1Char('/') + QString::fromStdString(std::string(rawValue(id))),
                                &app.window());
                    }
                for (CategoryBrowser* browser : browsers)
                    if (browser->isVisible())
                        faults << wholeTitles(page, *browser);
            }

            model.setSidebar(SidebarItem::overview);
            const std::pair<const char*, std::function<void()>> sheets[] = {
                {"onboarding", [&] { model.setSheet(ActiveSheet::onboarding()); }},
                {"cleanup", [&] { model.requestCleanup(model.scan()->safeItems(true), QStringLiteral("Safe items")); }},
                {"uninstall", [&] { (void)model.requestUninstall(model.apps().front()); }},
                {"palette", [&] { model.setSheet(ActiveSheet::palette()); }},
            };
            for (const auto& [name, open] : sheets) {
                open();
                DOVRANE_TRY_VERIFY2(visibleSheet(), name);
                inspect(at + QStringLiteral("sheet ") + QLatin1String(name), visibleSheet());
                // Below the menu bar and toolbar, inside the window, its buttons on show.
                for (const QString& fault : sheetMisfits(visibleSheet(), WindowPlacement::sheetArea(&app.window())))
                    faults << at + QStringLiteral("sheet ") + QLatin1String(name) + QStringLiteral(": ") + fault;
                model.setSheet(std::nullopt);
                DOVRANE_TRY_VERIFY(!visibleSheet());
            }
        }

        app.openSettings();
        for (SettingsTab tab : allSettingsTabs) {
            model.setSettingsTab(tab);
            inspect(QStringLiteral("settings ") + rawValue(tab), &settings);
        }
        settings.close();

        QWidget panel;
        (new QVBoxLayout(&panel))->addWidget(new MenuBarView(model, {}, &panel));
        themed(&panel);
        panel.resize(panel.sizeHint());
        panel.show();
        inspect(QStringLiteral("menu bar panel"), &panel);

        if (!faults.isEmpty())
            QFAIL(qPrintable(faults.join(QLatin1Char('\n'))));
    }
};

DOVRANE_MODEL_SUITE(FitTests)
#include "FitTests.moc"
