// The Overview page: its three states, a rescan over a shown scan, the header's lines, the safe
// list's order and its empty form, "Clean Up…" and "Show", and the blocks' lead edges.

#include "AppModel/ModelSeeding.h"
#include "Grid/GridProbes.h"
#include "OverviewPage/OverviewPage.h"
#include "PageFixture.h"
#include "QtWaits.h"
#include "Services/Translations.h"
#include "UiKit/PageKit.h"
#include "UiTestMain.h"
#include "support/Await.h"

#include <DovraneKit/scan/Growth.h>

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

namespace {

QString labelText(const QWidget& page, const char* name) {
    auto* label = page.findChild<QLabel*>(QLatin1String(name));
    return label && label->isVisibleTo(&page) ? label->text() : QString();
}

std::vector<CategoryID> safeRows(const QWidget& page) {
    std::vector<CategoryID> rows;
    for (SafeRow* row : page.findChildren<SafeRow*>())
        rows.push_back(row->category());
    return rows;
}

} // namespace

class OverviewPageTests : public QObject {
    Q_OBJECT

private slots:
    void showsNoScanThenTheFirstScanThenItsResult() {
        PageFixture fixture;
        OverviewPage page(fixture.context());
        showAsWindow(page);
        QCOMPARE(page.state(), OverviewPage::State::noScan);
        QVERIFY(visibleTexts(page).contains("No scan yet"));
        QVERIFY(
            visibleTexts(page).contains("Dovrane measures what fills your disk. It reads sizes, never file contents."));
        QVERIFY(rendersInBothLooks(page));

        QAbstractButton* scanNow = visibleButton(page, "Scan Now");
        QVERIFY(scanNow);
        // The view's one action, filled with the accent, and Return presses it.
        QVERIFY(qobject_cast<ProminentButton*>(scanNow));
        QVERIFY(static_cast<QPushButton*>(scanNow)->isDefault());
        scanNow->click();
        showAsWindow(page);
        QCOMPARE(page.state(), OverviewPage::State::scanning);
        QVERIFY(visibleTexts(page).contains("Measuring your disk"));
        QVERIFY(!visibleButton(page, "Scan Now"));
        fixture.base().scan.waitForCall(0);
        fixture.base().scan.report(0, CategoryID::apps, 5);
        runQueuedEvents();
        auto* progress = page.findChild<QProgressBar*>();
        QVERIFY(progress);
        QCOMPARE(progress->value(), progress->maximum() / 3);
        QVERIFY(rendersInBothLooks(page));

        fixture.base().scan.finish(0, fixture.scan());
        while (fixture.model.isScanning())
            runQueuedEvents();
        showAsWindow(page);
        QCOMPARE(page.state(), OverviewPage::State::scan);
        QCOMPARE(labelText(page, "free"), QStringLiteral("200 GB"));
        QCOMPARE(labelText(page, "total"), QStringLiteral("free of 500 GB"));
        QVERIFY(!page.findChild<QProgressBar*>());
        QVERIFY(rendersInBothLooks(page));
    }

    // A scan measured in English on a volume without a label reads in German after a switch.
    void aStoredVolumeNameIsShownInTheWindowsLanguage() {
        PageFixture fixture;
        ScanResult scan = fixture.scan();
        scan.volume = "This computer";
        ModelSeeding(fixture.model).setScan(scan);
        const auto english = qScopeGuard([] { Translations::install(); });
        ScopedEnv german("APP_LANG", "de");
        QVERIFY(Translations::install());
        OverviewPage page(fixture.context());
        showAsWindow(page);
        QCOMPARE(labelText(page, "measured"), QStringLiteral("Dieser Computer, gemessen vor 2 Stunden"));
    }

    void headerLinesFollowTheModel() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        OverviewPage page(fixture.context());
        showAsWindow(page);
        // Free equals available here, so there is no purgeable note; no growth yet, no week line.
        QCOMPARE(labelText(page, "measured"), QStringLiteral("Fixture, measured 2 hours ago"));
        QCOMPARE(labelText(page, "purgeable"), QString());
        QCOMPARE(labelText(page, "growth"), QString());

        ScanResult purgeable = fixture.scan();
        purgeable.free += 1;
        ModelSeeding(fixture.model).setScan(purgeable);
        ModelSeeding(fixture.model).setWeekGrowth(Growth{2'000'000'000, CategoryID::caches, 1'500'000'000, 7});
        showAsWindow(page);
        QCOMPARE(labelText(page, "purgeable"),
                 QStringLiteral("Includes 1 byte that macOS frees on its own when it needs the space."));
        QCOMPARE(labelText(page, "growth"),
                 QStringLiteral("This week: ") + QString::fromStdString(fixture.model.weekGrowth()->sentence()));
    }

    void aRescanShowsItsLabelOverTheLastResult() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        OverviewPage page(fixture.context());
        showAsWindow(page);
        const std::vector<CategoryID> before = safeRows(page);

        fixture.model.startScan();
        fixture.base().scan.waitForCall(0);
        fixture.base().scan.report(0, CategoryID::caches, 1);
        runQueuedEvents();
        showAsWindow(page);
        QCOMPARE(page.state(), OverviewPage::State::scan);
        QCOMPARE(labelText(page, "measured"), QStringLiteral("Measuring %1…").arg(fixture.model.scanLabel()));
        QVERIFY(!fixture.model.scanLabel().isEmpty());
        QCOMPARE(safeRows(page), before);
        QCOMPARE(labelText(page, "free"), QStringLiteral("200 GB"));
        fixture.model.cancelScan();
    }

    void safeListIsOrderedBySafeSizeWithTiesInCategoryOrder() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        OverviewPage page(fixture.context());
        showAsWindow(page);
        // caches 3 GB, projects 2.5 GB, logs and installers 2 GB each; messages has items but
        // nothing safe to move.
        QCOMPARE(safeRows(page), (std::vector<CategoryID>{CategoryID::caches, CategoryID::projects, CategoryID::logs,
                                                          CategoryID::installers}));
        auto* card = page.findChild<Card*>("safeCard");
        QVERIFY(card);
        // Dividers stand between rows only.
        QCOMPARE(card->findChildren<Divider*>().size(), qsizetype(3));
        QCOMPARE(labelText(page, "safeTotal"), QStringLiteral("9.5 GB"));
        QVERIFY(!page.findChild<QLabel*>("nothing"));

        ScanResult one = fixture.scan();
        for (Category& category : one.categories)
            if (category.id != CategoryID::logs)
                std::erase_if(category.items, [](const CleanupItem& item) { return item.safety == Safety::safe; });
        ModelSeeding(fixture.model).setScan(one);
        showAsWindow(page);
        QCOMPARE(safeRows(page), std::vector<CategoryID>{CategoryID::logs});
        card = page.findChild<Card*>("safeCard");
        QCOMPARE(card->findChildren<Divider*>().size(), qsizetype(0));
    }

    void anEmptySafeListShowsTheNoteAndTheTotalOnly() {
        PageFixture fixture;
        ScanResult scan = fixture.scan();
        for (Category& category : scan.categories)
            std::erase_if(category.items, [](const CleanupItem& item) { return item.action == CleanupAction::trash; });
        ModelSeeding(fixture.model).setScan(scan);
        OverviewPage page(fixture.context());
        showAsWindow(page);
        QVERIFY(safeRows(page).empty());
        QVERIFY(!page.findChild<Card*>("safeCard"));
        QVERIFY(!visibleButton(page, QStringLiteral("Clean Up…")));
        QCOMPARE(labelText(page, "nothing"),
                 QStringLiteral("Nothing right now. Caches, logs and old installers show up here when they pile up."));
        QCOMPARE(labelText(page, "safeTotal"), QStringLiteral("Zero KB"));
    }

    void cleanUpAsksForTheSafeItemsThroughTheAction() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        {
            OverviewPage page(fixture.context());
            showAsWindow(page);
            QAbstractButton* cleanUp = visibleButton(page, QStringLiteral("Clean Up…"));
            QVERIFY(cleanUp);
            QCOMPARE(cleanUp->toolTip(), QStringLiteral("Review and move the safe items to the Trash (Ctrl-Return)"));
            // The window's action owns Ctrl+Return: the page binds no key of its own.
            QVERIFY(page.cleanUpAction()->shortcut().isEmpty());
            cleanUp->click();
            const auto& sheet = fixture.model.sheet();
            DOVRANE_TRY_VERIFY(sheet && sheet->cleanupRequest()); // planned off the main thread
            QCOMPARE(sheet->cleanupRequest()->title, QStringLiteral("Safe items"));
            QCOMPARE(sheet->cleanupRequest()->items, fixture.model.safeItems());
        }

        QAction windowAction;
        QSignalSpy triggered(&windowAction, &QAction::triggered);
        PageContext context = fixture.context();
        context.cleanUpSafeItems = &windowAction;
        OverviewPage page(context);
        showAsWindow(page);
        visibleButton(page, QStringLiteral("Clean Up…"))->click();
        QCOMPARE(triggered.count(), 1);
    }

    void showOpensThePageOfTheCategory() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        OverviewPage page(fixture.context());
        showAsWindow(page);
        // The page is chosen before the category, so the page opens on it.
        QStringList events;
        connect(&fixture.model, &AppModel::changed, &page, [&](AppModel::Field field) {
            if (field == AppModel::Field::sidebar)
                events << "sidebar";
        });
        connect(&fixture.selection, &StorageSelection::categoryChanged, &page, [&] { events << "category"; });

        for (SafeRow* row : page.findChildren<SafeRow*>()) {
            if (row->category() != CategoryID::projects)
                continue;
            visibleButton(*row, "Show")->click();
        }
        QCOMPARE(fixture.model.sidebar(), std::optional(SidebarItem::developer));
        QCOMPARE(fixture.selection.category(), std::optional(CategoryID::projects));
        QCOMPARE(events, (QStringList{"sidebar", "category"}));

        for (SafeRow* row : page.findChildren<SafeRow*>())
            if (row->category() == CategoryID::caches)
                row->showCategory();
        QCOMPARE(fixture.model.sidebar(), std::optional(SidebarItem::storage));
        QCOMPARE(fixture.selection.category(), std::optional(CategoryID::caches));
    }

    void blocksLineUpAtTheLeadInset() {
        PageFixture fixture;
        ModelSeeding(fixture.model).setScan(fixture.scan());
        OverviewPage page(fixture.context());
        showAsWindow(page);
        const auto& probes = GridProbes::shared().probes();
        QVERIFY(probes.contains("area:overview"));
        const GridProbes::Probe area = probes.value("area:overview");
        QCOMPARE(area.inset, 20.0);
        for (const char* name : {"probe:header", "probe:bar", "probe:safe"}) {
            QVERIFY2(probes.contains(name), name);
            const GridProbes::Probe probe = probes.value(name);
            QCOMPARE(probe.area, QStringLiteral("overview"));
            QCOMPARE(probe.edge, std::optional<QString>("lead"));
            QCOMPARE(probe.x, area.x + area.inset);
        }
        QVERIFY(probes.value("probe:header").y < probes.value("probe:bar").y);
        QVERIFY(probes.value("probe:bar").y < probes.value("probe:safe").y);
    }
};

DOVRANE_UI_TEST_MAIN(OverviewPageTests, [] { setenv("APP_GRID", "1", 1); })
#include "OverviewPageTests.moc"
