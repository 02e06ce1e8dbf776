// The command palette over models in chosen states: what it lists and in which order, how the
// keys move and run, and what each kind of command does once the palette is gone.

#include "AppModel/ModelSeeding.h"
#include "ChromeFixture.h"
#include "ColourChecks.h"
#include "QtWaits.h"
#include "UiTestMain.h"

#include "CommandPalette/CommandPalette.h"
#include "ContentView/SheetHost.h"
#include "Theme/Theme.h"
#include "UiKit/Appearance.h"
#include "UiKit/StorageSelection.h"
#include "WindowBehavior/WindowEdge.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScopeGuard>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

QStringList ids(const std::vector<CommandPalette::Command>& commands) {
    QStringList list;
    for (const auto& command : commands)
        list << command.id;
    return list;
}

QString path(const InstalledApp& app) { return QString::fromStdString(app.id()); }

ScanResult scanWithSafeItem() {
    ScanResult scan = makeScan(Date{0}, 1'000'000'000, 400'000'000, {{CategoryID::caches, 100'000'000}});
    for (Category& category : scan.categories)
        if (category.id == CategoryID::caches)
            category.items.push_back(CleanupItem(Url::fromPath(Path::join(testFolder(), "cache")), std::nullopt,
                                                 100'000'000, 1, std::nullopt, "A cache.", "caches", Safety::safe,
                                                 CleanupAction::trash));
    return scan;
}

} // namespace

class CommandPaletteTests : public QObject {
    Q_OBJECT

    std::unique_ptr<ModelFixture> fixture;
    AppModel* model = nullptr;
    InstalledApp alpha = makeApp("Alpha");
    InstalledApp beta = makeApp("Beta");
    InstalledApp system = makeApp("Settings Helper", true);
    int settingsOpened = 0;

    std::unique_ptr<CommandPalette> palette() {
        return std::make_unique<CommandPalette>(*model, [this] { ++settingsOpened; });
    }
    void type(CommandPalette& palette, const QString& text) { palette.searchField()->setText(text); }

private slots:
    void init() {
        fixture = std::make_unique<ModelFixture>();
        model = &fixture->makeModel();
        ModelSeeding(*model).setApps({alpha, system, beta});
        ModelSeeding(*model).setUpdates({{alpha.id(), availableFor(alpha)}, {system.id(), availableFor(system)}});
        model->setSheet(ActiveSheet::palette());
        settingsOpened = 0;
        StorageSelection::shared().setCategory(CategoryID::caches);
    }
    void cleanup() { fixture.reset(); }

    void theSelectedRowWearsTheChosenAccent() {
        auto shown = palette();
        MemorySettings settings;
        ThemeStore themes(settings);
        themed(shown.get(), themes);
        shown->resize(560, 400);
        shown->show();
        const auto restore = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        const auto rowColour = [&](int row) {
            const QRect area = shown->list()->visualItemRect(shown->list()->item(row));
            return shown->list()->viewport()->grab().toImage().pixelColor(area.left() + 2, area.center().y());
        };
        const auto near = [](const QColor& one, const QColor& other) {
            return std::abs(one.red() - other.red()) <= 2 && std::abs(one.green() - other.green()) <= 2 &&
                   std::abs(one.blue() - other.blue()) <= 2;
        };
        // The first row only is filled with the accent, at least 3:1 against the list in either look.
        for (Look look : {Look::light, Look::dark})
            for (const char* theme : {"system", "violet"}) {
                Appearance::shared().force(look);
                themes.setThemeID(QString::fromLatin1(theme));
                QCoreApplication::processEvents();
                const QColor base = shown->list()->viewport()->palette().color(QPalette::Base);
                const QColor accent = shown->list()->palette().color(QPalette::Active, QPalette::Highlight);
                const QString where = QStringLiteral("%1 %2").arg(int(look)).arg(QLatin1String(theme));
                QVERIFY2(near(rowColour(0), accent), qPrintable(where));
                QVERIFY2(testing::contrastRatio(rowColour(0), base) >= 3.0, qPrintable(where));
                QVERIFY2(!near(rowColour(1), accent), qPrintable(where));
            }
    }

    void itOpensAsAFramelessPanelOverItsWindow() {
        QWidget window;
        CommandPalette shown(*model, {}, &window);
        QVERIFY(shown.isWindow());
        QCOMPARE(shown.parentWidget(), &window);
        QVERIFY(shown.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(shown.windowType(), Qt::Dialog);
    }

    void emptyQueryListsPagesActionsAndUpdatesOnly() {
        auto shown = palette();
        const QStringList expected = {"page.overview",        "page.storage", "page.apps", "page.updates",
                                      "page.developer",       "page.cleaned", "scan",      "updates.check",
                                      "updates.all",          "diagnostics",  "settings",  "setup",
                                      "update." + path(alpha)};
        QCOMPARE(ids(shown->results()), expected);
        QCOMPARE(shown->list()->count(), expected.size());
        QVERIFY(!shown->emptyText()->isVisibleTo(shown.get()));
    }

    void actionsFollowTheModel() {
        auto shown = palette();
        ModelSeeding(*model).setScan(scanWithSafeItem());
        QVERIFY(ids(shown->commands()).contains("clean"));
        ModelSeeding(*model).setIsScanning(true);
        QVERIFY(!ids(shown->commands()).contains("scan"));
        ModelSeeding(*model).setUpdates({});
        const QStringList table = ids(shown->commands());
        QVERIFY(!table.contains("updates.all"));
        QVERIFY(!table.contains("update." + path(alpha)));
        // System apps never get a command; others always a remove command.
        QVERIFY(table.contains("remove." + path(beta)));
        QVERIFY(!table.contains("remove." + path(system)));
        QCOMPARE(shown->list()->count(), shown->results().size());
    }

    void aQueryOfSpacesListsTheTableInOrderUpToForty() {
        std::vector<InstalledApp> many;
        for (int i = 0; i < 30; ++i)
            many.push_back(makeApp("App" + std::to_string(i)));
        ModelSeeding(*model).setApps(many);
        auto shown = palette();
        type(*shown, "  ");
        const QStringList table = ids(shown->commands());
        QVERIFY(table.size() > 40);
        QCOMPARE(ids(shown->results()), table.mid(0, 40));
        QVERIFY(ids(shown->results()).contains("category.caches"));
        QCOMPARE(shown->list()->count(), 40);
        // This home has no Library folder: Xcode, empty here, is not offered.
        QVERIFY(!table.contains("category.xcode"));
        QVERIFY(table.contains("category.docker"));
    }

    void equalScoresKeepTableOrder() {
        auto shown = palette();
        type(*shown, "upd");
        // Begins-with matches first, in table order (page, action, app), then word matches.
        QCOMPARE(ids(shown->results()),
                 QStringList({"page.updates", "updates.all", "update." + path(alpha), "updates.check"}));
        type(*shown, "remove");
        QCOMPARE(ids(shown->results()), QStringList({"remove." + path(alpha), "remove." + path(beta)}));
    }

    void arrowsClampAndTypingResetsTheSelection() {
        auto shown = palette();
        shown->show();
        const int last = int(shown->results().size()) - 1;
        QTest::keyClick(shown->searchField(), Qt::Key_Up);
        QCOMPARE(shown->selected(), 0);
        for (int i = 0; i < last + 3; ++i)
            QTest::keyClick(shown->searchField(), Qt::Key_Down);
        QCOMPARE(shown->selected(), last);
        QTest::keyClicks(shown->searchField(), "s");
        QCOMPARE(shown->selected(), 0);
        // The arrows are the list's, not the field's cursor's.
        QCOMPARE(shown->searchField()->cursorPosition(), 1);
        QTest::keyClick(shown->searchField(), Qt::Key_Down);
        QCOMPARE(shown->searchField()->cursorPosition(), 1);
        QCOMPARE(shown->selected(), 1);
        // The keys stay in the field, so the field tells a screen reader what Return would run.
        QCOMPARE(shown->searchField()->accessibleDescription(), shown->results()[1].title);
    }

    void withNothingMatchingKeysDoNothing() {
        auto shown = palette();
        shown->show();
        type(*shown, "zzzzqq");
        QVERIFY(shown->emptyText()->isVisible());
        QCOMPARE(shown->searchField()->accessibleDescription(), QString());
        QTest::keyClick(shown->searchField(), Qt::Key_Down);
        QCOMPARE(shown->selected(), 0);
        QTest::keyClick(shown->searchField(), Qt::Key_Return);
        QVERIFY(model->sheet().has_value()); // still open
    }

    void returnClosesFirstAndRunsOnceLater() {
        auto shown = palette();
        shown->show();
        model->setSidebar(SidebarItem::overview);
        ChangeLog log(*model);
        type(*shown, "Apps");
        QCOMPARE(shown->results().front().id, QString("page.apps"));
        QTest::keyClick(shown->searchField(), Qt::Key_Return);
        QTest::keyClick(shown->searchField(), Qt::Key_Return);
        QVERIFY(!model->sheet().has_value());
        // The command waits for the sheet to be gone.
        QCOMPARE(model->sidebar(), std::optional<SidebarItem>(SidebarItem::overview));
        DOVRANE_TRY_COMPARE(model->sidebar(), std::optional<SidebarItem>(SidebarItem::apps));
        drainMainQueue();
        QCOMPARE(log.count(AppModel::Field::sidebar), 1);
        QCOMPARE(log.count(AppModel::Field::sheet), 1);
    }

    void aClickRunsItsOwnRow() {
        auto shown = palette();
        shown->show();
        QCOMPARE(shown->selected(), 0);
        QWidget* row = shown->list()->itemWidget(shown->list()->item(1));
        QTest::mouseClick(row, Qt::LeftButton);
        QTest::mouseClick(row, Qt::LeftButton);
        DOVRANE_TRY_COMPARE(model->sidebar(), std::optional<SidebarItem>(SidebarItem::storage));
    }

    void categoryCommandsSelectTheCategoryAndItsPage_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("category");
        QTest::addColumn<int>("page");
        QTest::newRow("docker") << "category.docker" << int(CategoryID::docker) << int(SidebarItem::developer);
        QTest::newRow("projects") << "category.projects" << int(CategoryID::projects) << int(SidebarItem::developer);
        QTest::newRow("trash") << "category.trash" << int(CategoryID::trash) << int(SidebarItem::storage);
    }
    void categoryCommandsSelectTheCategoryAndItsPage() {
        QFETCH(QString, id);
        QFETCH(int, category);
        QFETCH(int, page);
        auto shown = palette();
        for (const auto& command : shown->commands())
            if (command.id == id)
                command.run();
        QCOMPARE(StorageSelection::shared().category(), std::optional<CategoryID>(CategoryID(category)));
        QCOMPARE(model->sidebar(), std::optional<SidebarItem>(SidebarItem(page)));
    }

    void setupOpensItsSheetAfterThePaletteIsGone() {
        auto shown = palette();
        shown->show();
        type(*shown, "Setup");
        QTest::keyClick(shown->searchField(), Qt::Key_Return);
        DOVRANE_TRY_VERIFY(model->sheet().has_value());
        QCOMPARE(model->sheet()->id(), QString("onboarding"));
        // The palette's own late closing leaves the sheet its command opened.
        shown->reject();
        drainMainQueue();
        QVERIFY(model->sheet().has_value());
    }

    // Under the main window's sheet host: the palette's closing never clears the sheet that
    // its command opens a moment later, and a removal waits for the Apps page.
    void inTheSheetHostTheCommandsSheetStays() {
        SheetHost::setPaletteMaker([this](AppModel& hosted, QWidget* window) -> QDialog* {
            return new CommandPalette(
                hosted, [this] { ++settingsOpened; }, window);
        });
        QWidget window;
        window.show();
        SheetHost host(*model, &window);
        auto* shown = qobject_cast<CommandPalette*>(host.current());
        QVERIFY(shown);
        shown->searchField()->setText("Setup");
        QTest::keyClick(shown->searchField(), Qt::Key_Return);
        QVERIFY(!model->sheet());
        DOVRANE_TRY_VERIFY(model->sheet().has_value());
        drainMainQueue();
        QCOMPARE(model->sheet()->id(), QString("onboarding"));
        QVERIFY(host.current() && !qobject_cast<CommandPalette*>(host.current()));
        SheetHost::setPaletteMaker({});
    }

    // As tall as what it lists, up to its tallest; "Nothing matches" keeps a little room.
    void theHeightFollowsTheResults() {
        auto shown = palette();
        shown->show();
        const int above = shown->list()->mapTo(shown.get(), QPoint(0, 0)).y();
        const auto rowsHeight = [&shown] {
            int total = 0;
            for (int row = 0; row < shown->list()->count(); ++row)
                total += shown->list()->sizeHintForRow(row);
            return total;
        };
        type(*shown, "Settings");
        QCOMPARE(shown->results().size(), std::size_t(1));
        QCOMPARE(shown->height(), above + rowsHeight() + CommandPalette::listPadding);
        QVERIFY(shown->height() < 120);
        type(*shown, "zzqx");
        QCOMPARE(shown->height(), above + CommandPalette::emptyHeight + CommandPalette::listPadding);
        QVERIFY(shown->emptyText()->isVisible());
        type(*shown, " ");
        QVERIFY(rowsHeight() > CommandPalette::maxHeight);
        QCOMPARE(shown->height(), CommandPalette::maxHeight);
        QCOMPARE(shown->list()->mapTo(shown.get(), QPoint(0, 0)).y(), above);
    }

    // The field keeps its height with no, one or many results, the list is as tall as its rows
    // (no empty band under the last), and the last row ends clear of the palette's edge, also
    // scrolled to the end.
    void theFieldKeepsItsHeightAndNoRowMeetsTheEdge() {
        std::vector<InstalledApp> many;
        for (int i = 0; i < 40; ++i)
            many.push_back(makeApp("App" + std::to_string(i)));
        ModelSeeding(*model).setApps(many);
        auto shown = palette();
        shown->show();
        QLineEdit* field = shown->searchField();
        const int fieldHeight = field->sizeHint().height();
        const int fieldTop = field->mapTo(shown.get(), QPoint(0, 0)).y();
        for (const char* query : {"", "sto", "Settings", "zzqx", "App1", " "}) {
            type(*shown, QString::fromLatin1(query));
            QCoreApplication::processEvents();
            const QString what = QStringLiteral("\"%1\", %2 results").arg(query).arg(shown->list()->count());
            QVERIFY2(field->height() == fieldHeight, qPrintable(what));
            QVERIFY2(field->mapTo(shown.get(), QPoint(0, 0)).y() == fieldTop, qPrintable(what));
            QListWidget* list = shown->list();
            if (list->count() == 0)
                continue;
            list->scrollToBottom();
            QCoreApplication::processEvents();
            const QRect last = list->visualItemRect(list->item(list->count() - 1));
            QVERIFY2(last.bottom() < list->viewport()->height(), qPrintable(what + ": the last row is cut"));
            const int bottom = list->viewport()->mapTo(shown.get(), last.bottomLeft()).y();
            QVERIFY2(bottom < shown->height() - CommandPalette::listPadding, qPrintable(what));
            if (shown->height() < CommandPalette::maxHeight)
                QVERIFY2(bottom == shown->height() - CommandPalette::listPadding - 1, qPrintable(what + ": a band"));
        }
    }

    // An edge that stands out from the list it closes, where no window manager frames it.
    void itsEdgeStandsOutInBothLooks() {
        const auto back = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        auto shown = palette();
        shown->show();
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            QCoreApplication::processEvents();
            const QImage image = shown->grab().toImage();
            const QPoint edge(image.width() / 2, image.height() - 1), inside(image.width() / 2, image.height() - 3);
            QVERIFY2(testing::contrastRatio(image.pixelColor(edge), image.pixelColor(inside)) >= 1.8,
                     qPrintable(image.pixelColor(edge).name() + " " + image.pixelColor(inside).name()));
        }
    }

    // Over its window it keeps its top as it shrinks, and casts a shadow on the page around it.
    void overItsWindowItKeepsItsTopAndCastsAShadow() {
        SheetHost::setPaletteMaker([this](AppModel& hosted, QWidget* window) -> QDialog* {
            return new CommandPalette(
                hosted, [this] { ++settingsOpened; }, window);
        });
        const auto unset = qScopeGuard([] { SheetHost::setPaletteMaker({}); });
        QWidget window;
        window.resize(1100, 720);
        window.show();
        SheetHost host(*model, &window);
        auto* shown = qobject_cast<CommandPalette*>(host.current());
        QVERIFY(shown);
        DOVRANE_TRY_VERIFY(shown->isVisible());
        type(*shown, " ");
        QCoreApplication::processEvents();
        const int top = shown->geometry().top();
        QCOMPARE(shown->height(), CommandPalette::maxHeight);
        type(*shown, "Settings");
        QCoreApplication::processEvents();
        QVERIFY(shown->height() < CommandPalette::maxHeight);
        QCOMPARE(shown->geometry().top(), top);

        const auto* edge = shown->findChild<WindowEdge*>();
        QVERIFY(edge && edge->shadow());
        DOVRANE_TRY_VERIFY(edge->shadow()->isVisible());
        const QRect under(window.mapFromGlobal(shown->geometry().topLeft()), shown->size());
        QVERIFY(edge->shadow()->geometry().contains(under));
        const QImage page = window.grab().toImage();
        const QColor near = page.pixelColor(under.center().x(), under.bottom() + 3);
        const QColor far = page.pixelColor(under.center().x(), under.bottom() + WindowEdge::shadowReach + 20);
        QVERIFY2(near.lightness() + 4 < far.lightness(),
                 qPrintable(QStringLiteral("%1 / %2").arg(near.name(), far.name())));
        model->setSheet(std::nullopt);
        DOVRANE_TRY_VERIFY(!edge || !edge->shadow() || !edge->shadow()->isVisible());
    }

    void settingsUsesTheOpener() {
        auto shown = palette();
        shown->show();
        type(*shown, "Settings");
        QCOMPARE(shown->results().front().id, QString("settings"));
        QTest::keyClick(shown->searchField(), Qt::Key_Return);
        DOVRANE_TRY_COMPARE(settingsOpened, 1);
    }

    void rendersInLightAndDark() {
        for (Look look : {Look::light, Look::dark}) {
            auto shown = palette();
            const QImage image = render(*shown, look);
            QCOMPARE(image.width(), CommandPalette::width);
            QVERIFY(image.height() <= CommandPalette::maxHeight);

            QCOMPARE(shown->searchField()->placeholderText(), QString("Search pages, actions and apps"));
            auto* first = shown->list()->itemWidget(shown->list()->item(0));
            QCOMPARE(first->accessibleName(), QString("Overview"));
            QVERIFY(first->geometry().bottom() <
                    shown->list()->itemWidget(shown->list()->item(1))->geometry().top() + 1);
        }
    }
};

DOVRANE_UI_TEST_MAIN(CommandPaletteTests)
#include "CommandPaletteTests.moc"
