#include "UiTestMain.h"

#include "Services/Translations.h"
#include "StorageGraphics/SafetyBadge.h"
#include "StorageGraphics/StorageBar.h"
#include "StorageGraphics/StorageLegend.h"
#include "StorageGraphics/StorageRing.h"
#include "UiKit/SemanticColors.h"
#include "support/TestSupport.h"

#include <DovraneKit/scan/Explanations.h>

#include <QLabel>
#include <QScopeGuard>

using namespace dovrane;

namespace {

constexpr std::int64_t GB = 1'000'000'000;

ScanResult scanOf(std::int64_t total, std::int64_t free, std::vector<Category> categories) {
    ScanResult scan;
    scan.total = total;
    scan.free = free;
    scan.available = free;
    scan.categories = std::move(categories);
    return scan;
}

Category sized(CategoryID id, std::int64_t size, bool estimate = false) { return Category(id, size, {}, estimate); }

QStringList accessibleNames(const QWidget& widget) {
    QStringList names;
    for (auto* child : widget.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child->isVisibleTo(&widget))
            names << child->accessibleName();
    return names;
}

} // namespace

class StorageGraphicsTests : public QObject {
    Q_OBJECT
private slots:
    void groupsHoldEveryCategoryButSnapshotsOnce() {
        for (CategoryID id : allCategoryIDs) {
            int holders = 0;
            for (StorageGroup group : StorageGroups::all) {
                const auto& members = StorageGroups::categories(group);
                holders += int(std::count(members.begin(), members.end(), id));
            }
            QCOMPARE(holders, id == CategoryID::snapshots ? 0 : 1);
            QCOMPARE(StorageGroups::of(id).has_value(), id != CategoryID::snapshots);
        }
        QCOMPARE(StorageGroups::of(CategoryID::logs), std::optional(StorageGroup::caches));
        QCOMPARE(StorageGroups::of(CategoryID::projects), std::optional(StorageGroup::developer));
        QCOMPARE(StorageGroups::of(CategoryID::trash), std::optional(StorageGroup::junk));
        QCOMPARE(StorageGroups::title(StorageGroup::other), QStringLiteral("System and the rest"));
        // Only "other" follows the look; the missing high-contrast shades fall back.
        const Color other = StorageGroups::color(StorageGroup::other);
        QCOMPARE(other.resolved(Look::light), QColor(0xA1, 0xA1, 0xA8));
        QCOMPARE(other.resolved(Look::highContrastDark), QColor(0x6E, 0x6E, 0x76));
        QCOMPARE(StorageGroups::color(StorageGroup::apps).resolved(Look::dark), QColor(0x00, 0x72, 0xB2));
        // Snapshots belong to no group: the secondary grey, opaque as the window shows it.
        const QColor grey = StorageGroups::categoryColor(CategoryID::snapshots);
        QVERIFY(grey.alpha() == 255 && grey.red() == grey.green() && grey.green() == grey.blue());
        QVERIFY(SemanticColors::contrastRatio(grey, SemanticColors::of(SemanticColor::secondaryWindowBackground)) >=
                SemanticColors::graphicContrast);
    }

    void groupSizeLeavesOutEstimatesButTheTooltipNamesThem() {
        const ScanResult scan = scanOf(100 * GB, 10 * GB,
                                       {sized(CategoryID::xcode, 2 * GB, true), sized(CategoryID::docker, 3 * GB),
                                        sized(CategoryID::projects, 0)});
        QCOMPARE(StorageGroups::size(StorageGroup::developer, scan), 3 * GB);
        const QStringList lines = StorageGroups::help(StorageGroup::developer, scan, false).split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("Developer, 3 GB"));
        QVERIFY(lines[1].startsWith(QString::fromStdString(Explanations::title(CategoryID::xcode)) + ": 2 GB. "));
        QVERIFY(lines[2].startsWith(QString::fromStdString(Explanations::title(CategoryID::docker)) + ": 3 GB. "));
        // A group the scan does not hold: zero, and the title line with its trailing break.
        QCOMPARE(StorageGroups::size(StorageGroup::backups, scan), 0);
        QCOMPARE(StorageGroups::help(StorageGroup::backups, scan, false), QStringLiteral("Device backups, Zero KB\n"));
    }

    void theTooltipSpeaksOfALinuxHomesFolders() {
        const ScanResult scan = scanOf(100 * GB, 10 * GB, {sized(CategoryID::personal, 2 * GB)});
        const QString mac = StorageGroups::help(StorageGroup::personal, scan, false);
        const QString linux = StorageGroups::help(StorageGroup::personal, scan, true);
        QVERIFY2(mac.contains(QStringLiteral("Movies")) && mac.contains(QStringLiteral("iCloud Drive")),
                 qPrintable(mac));
        QVERIFY2(linux.contains(QStringLiteral("Videos")), qPrintable(linux));
        QVERIFY2(!linux.contains(QStringLiteral("Movies")) && !linux.contains(QStringLiteral("iCloud")),
                 qPrintable(linux));
    }

    void barSegmentsAtAFixedWidth() {
        // 0.01 % of the disk in 600 points would be 0.0594 points: drawn 2 wide.
        const ScanResult scan =
            scanOf(10000 * GB, 4000 * GB, {sized(CategoryID::apps, 5000 * GB), sized(CategoryID::personal, 1 * GB)});
        const auto bar = StorageBar::layout(scan, 600, 24);
        QCOMPARE(int(bar.segments.size()), 2);
        QCOMPARE(bar.segments[0].group, StorageGroup::apps);
        QCOMPARE(bar.segments[0].rect, QRectF(0, 0, 600 * 0.5 * 0.99, 24));
        QCOMPARE(bar.segments[1].rect, QRectF(297 + 2, 0, 2, 24));
        QCOMPARE(bar.free, QRectF(303, 0, 297, 24));
    }

    void barWithoutATotalOrOverfullHasNoBadGeometry() {
        const ScanResult noTotal = scanOf(0, 0, {sized(CategoryID::apps, 5 * GB), sized(CategoryID::caches, 1)});
        const auto tiny = StorageBar::layout(noTotal, 600, 12);
        QCOMPARE(int(tiny.segments.size()), 2);
        for (const auto& segment : tiny.segments)
            QCOMPARE(segment.rect.width(), 2.0);
        QCOMPARE(tiny.free, QRectF(8, 0, 592, 12));

        // Categories reporting more than the disk holds: the free part gets no width at all.
        const ScanResult overfull =
            scanOf(10 * GB, 0, {sized(CategoryID::apps, 9 * GB), sized(CategoryID::personal, 9 * GB)});
        const auto full = StorageBar::layout(overfull, 100, 24);
        QVERIFY(full.free.isEmpty());
        for (const auto& segment : full.segments)
            QVERIFY(segment.rect.width() > 0 && std::isfinite(segment.rect.x()));

        // Nothing measured: only the free part.
        const auto empty = StorageBar::layout(scanOf(10 * GB, 10 * GB, {}), 100, 24);
        QVERIFY(empty.segments.empty());
        QCOMPARE(empty.free, QRectF(0, 0, 100, 24));
    }

    void barPartsCarryTooltipsAndNames() {
        const ScanResult scan =
            scanOf(100 * GB, 40 * GB, {sized(CategoryID::apps, 20 * GB), sized(CategoryID::trash, 5 * GB)});
        StorageBar bar(scan, 24);
        bar.resize(600, 24);
        bar.show(); // resize events reach shown widgets only
        QCOMPARE(accessibleNames(bar), (QStringList{"Apps, 20 GB", "Installers and Trash, 5 GB", "Free: 40 GB"}));
        const auto parts = bar.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(parts.back()->toolTip().contains("Free: 40 GB"));
        QVERIFY(parts.front()->toolTip().contains("Apps, 20 GB"));
        QCOMPARE(parts.front()->geometry(), QRect(0, 0, 119, 24));

        // Overfull: the free part is gone rather than squeezed to a negative width.
        bar.setScan(scanOf(10 * GB, 0, {sized(CategoryID::apps, 9 * GB), sized(CategoryID::personal, 9 * GB)}));
        bar.resize(100, 24);
        QVERIFY(!accessibleNames(bar).contains("Free: Zero KB"));
    }

    void legendNamesTheSizedGroupsInColumnsOfAtLeast200() {
        const ScanResult scan = scanOf(100 * GB, 40 * GB,
                                       {sized(CategoryID::apps, 20 * GB), sized(CategoryID::caches, 1 * GB),
                                        sized(CategoryID::messages, 0), sized(CategoryID::other, 3 * GB)});
        StorageLegend legend(scan);
        QCOMPARE(int(legend.cells().size()), 3);
        QCOMPARE(StorageLegend::columns(199), 1);
        QCOMPARE(StorageLegend::columns(412), 2);
        QCOMPARE(StorageLegend::columns(411), 1);
        legend.resize(412, legend.heightForWidth(412));
        legend.show();
        QCOMPARE(legend.cells()[1]->geometry().x(), 212);
        QCOMPARE(legend.cells()[2]->geometry().y(), legend.cells()[0]->height() + 8);
        QStringList titles;
        for (QWidget* cell : legend.cells())
            titles << cell->findChildren<QLabel*>().first()->text();
        QCOMPARE(titles, (QStringList{"Apps", "Caches and logs", "System and the rest"}));
        QVERIFY(legend.cells()[0]->toolTip().contains("Apps, 20 GB"));
    }

    // A Linux home leaves Logs and Messages out of its lists while they hold nothing: a title
    // that names them would name what the page does not show.
    void aLinuxHomeNamesOnlyTheMembersItShows() {
        ScanResult scan = scanOf(
            100 * GB, 40 * GB,
            {sized(CategoryID::caches, 1 * GB), sized(CategoryID::logs, 0), sized(CategoryID::mailDownloads, 2 * GB)});
        const auto legendTitles = [](const ScanResult& of, bool linuxHome) {
            StorageLegend legend(of);
            legend.setLinuxHome(linuxHome);
            QStringList titles;
            for (QWidget* cell : legend.cells())
                titles << cell->findChildren<QLabel*>().first()->text();
            return titles;
        };
        QCOMPARE(legendTitles(scan, true), (QStringList{"Caches", "Mail attachments"}));
        QCOMPARE(legendTitles(scan, false), (QStringList{"Caches and logs", "Mail and Messages"}));
        StorageBar bar(scan, 24);
        bar.setLinuxHome(true);
        QVERIFY2(accessibleNames(bar).contains("Caches, 1 GB"), qPrintable(accessibleNames(bar).join('|')));
        QVERIFY(StorageGroups::help(StorageGroup::caches, scan, true).startsWith("Caches, 1 GB\n"));
        QCOMPARE(StorageRing::rowsToShow(scan, std::nullopt, true)[0].title, QStringLiteral("Caches"));

        // Logs that hold something come back, and the title names them again.
        scan.categories[1] = sized(CategoryID::logs, 1000);
        QCOMPARE(legendTitles(scan, true).first(), QStringLiteral("Caches and logs"));

        const auto english = qScopeGuard([] { Translations::install(); });
        testing::ScopedEnv german("APP_LANG", "de");
        QVERIFY(Translations::install());
        scan.categories[1] = sized(CategoryID::logs, 0);
        QCOMPARE(legendTitles(scan, true), (QStringList{"Caches", "Mail-Anhänge"}));
        QCOMPARE(legendTitles(scan, false).first(), QStringLiteral("Caches und Protokolle"));
    }

    void ringRowsOfGroupsAndOfListedCategories() {
        const ScanResult scan = scanOf(100 * GB, 40 * GB,
                                       {sized(CategoryID::apps, 20 * GB), sized(CategoryID::snapshots, 2 * GB),
                                        sized(CategoryID::xcode, 0), sized(CategoryID::simulators, 1 * GB),
                                        sized(CategoryID::docker, 2 * GB), sized(CategoryID::projects, 3 * GB)});
        const auto groups = StorageRing::rowsToShow(scan, std::nullopt);
        QCOMPARE(int(groups.size()), 2);
        QCOMPARE(groups[0].title, QStringLiteral("Apps"));
        QCOMPARE(groups[1].size, 6 * GB);

        const std::vector<CategoryID> developer{CategoryID::xcode, CategoryID::simulators, CategoryID::docker,
                                                CategoryID::packageCaches, CategoryID::projects};
        const auto rows = StorageRing::rowsToShow(scan, developer);
        QCOMPARE(int(rows.size()), 3);
        // Positions count in the given list, sized or not.
        QCOMPARE(rows[0].shade, 1);
        QCOMPARE(rows[1].shade, 2);
        QCOMPARE(rows[2].shade, 4);
        const auto pair = StorageRing::rowsToShow(scan, std::vector{CategoryID::simulators, CategoryID::docker});
        QCOMPARE(pair[0].shade, 0);
        QCOMPARE(pair[1].shade, 1);
        // The first shade is the group's own colour where it reads on the window.
        QCOMPARE(pair[0].color(Look::dark), StorageGroups::color(StorageGroup::developer).resolved(Look::dark));

        const auto snapshots = StorageRing::rowsToShow(scan, std::vector{CategoryID::snapshots});
        QCOMPARE(int(snapshots.size()), 1);
        QVERIFY(!snapshots[0].group);
        const QColor grey = snapshots[0].color(Look::dark);
        QVERIFY(grey.alpha() == 255 && grey.red() == grey.green() && grey.green() == grey.blue());
    }

    // Every sector of either ring stands out from the window at 3:1 or more, as the parts of a
    // graphic must, in both looks: the Developer page's five shades of one green as well, each
    // apart from its neighbour. Measured on the drawn ring.
    void everySectorReachesTheGraphicContrastInBothLooks() {
        std::vector<Category> categories;
        for (CategoryID id : allCategoryIDs)
            categories.push_back(sized(id, 10 * GB));
        const ScanResult scan = scanOf(1000 * GB, 400 * GB, categories);
        const std::vector<CategoryID> developer{CategoryID::xcode, CategoryID::simulators, CategoryID::docker,
                                                CategoryID::packageCaches, CategoryID::projects};
        const auto restore = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        QStringList faults;
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            const QColor window = SemanticColors::of(SemanticColor::windowBackground, look);
            for (const auto& listed :
                 {std::optional<std::vector<CategoryID>>(developer), std::optional<std::vector<CategoryID>>()}) {
                StorageRing ring(scan, listed);
                ring.resize(168, 168);
                QPalette palette = ring.palette();
                palette.setColor(QPalette::Window, window);
                ring.setPalette(palette);
                const QImage image = ring.grab().toImage();
                const auto rows = ring.rowsToShow();
                QVERIFY(rows.size() >= 5);
                // Each sector's middle, halfway between the ring's edges, clockwise from twelve.
                const double middle = 84 * (1 + StorageRing::innerRatio) / 2;
                QColor previous;
                for (std::size_t at = 0; at < rows.size(); ++at) {
                    const double angle = (double(at) + 0.5) / double(rows.size()) * 2 * M_PI;
                    const QColor drawn =
                        image.pixelColor(int(84 + middle * std::sin(angle)), int(84 - middle * std::cos(angle)));
                    const QString where =
                        QStringLiteral("look %1, %2: %3").arg(int(look)).arg(rows[at].title, drawn.name());
                    if (SemanticColors::contrastRatio(drawn, window) < SemanticColors::graphicContrast)
                        faults << where + QStringLiteral(" against ") + window.name();
                    if (listed && at > 0 && SemanticColors::contrastRatio(drawn, previous) < 1.1)
                        faults << where + QStringLiteral(" beside ") + previous.name();
                    previous = drawn;
                }
            }
        }
        // Every group's colour as bars, legends and dots draw it, too; a colour that reaches the
        // figure already is drawn as it is.
        for (Look look : {Look::light, Look::dark})
            for (StorageGroup group : StorageGroups::all)
                for (SemanticColor background :
                     {SemanticColor::windowBackground, SemanticColor::secondaryWindowBackground})
                    if (const QColor shown = StorageGroups::shown(group, look);
                        SemanticColors::contrastRatio(shown, SemanticColors::of(background, look)) <
                        SemanticColors::graphicContrast)
                        faults << QStringLiteral("%1 in look %2: %3")
                                      .arg(StorageGroups::rawValue(group))
                                      .arg(int(look))
                                      .arg(shown.name());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        QCOMPARE(StorageGroups::shown(StorageGroup::developer, Look::dark), QColor(0x00, 0x9E, 0x73));
        QVERIFY(StorageGroups::shown(StorageGroup::messages, Look::light).red() < 0xF0);
    }

    void emptyRingShowsZeroInTotal() {
        const ScanResult scan = scanOf(100 * GB, 40 * GB, {sized(CategoryID::xcode, 0)});
        StorageRing ring(scan, std::vector{CategoryID::xcode, CategoryID::docker});
        QVERIFY(ring.rowsToShow().empty());
        QCOMPARE(ring.totalText(), QStringLiteral("Zero KB"));
        QCOMPARE(ring.accessibleName(), QStringLiteral("Zero KB, in total"));
        StorageRing groups(scanOf(100 * GB, 40 * GB, {sized(CategoryID::apps, 20 * GB)}), std::nullopt);
        QCOMPARE(groups.accessibleName(), QStringLiteral("20 GB, used"));
        QVERIFY(groups.accessibleDescription().contains("Apps, 20 GB"));
    }

    void safetyBadgesDifferInSymbolAndTooltipNotColour() {
        QCOMPARE(SafetyBadge::color(Safety::review), SafetyBadge::color(Safety::keep));
        QVERIFY(SafetyBadge::symbol(Safety::review) != SafetyBadge::symbol(Safety::keep));
        QVERIFY(SafetyBadge::tooltip(Safety::review) != SafetyBadge::tooltip(Safety::keep));
        Appearance::shared().force(Look::dark);
        QCOMPARE(SafetyBadge::color(Safety::safe), QColor(0x5F, 0xD3, 0xA3));
        Appearance::shared().force(Look::light);
        QCOMPARE(SafetyBadge::color(Safety::safe), QColor(0x0F, 0x7A, 0x55));
        SafetyBadge badge(Safety::keep);
        QCOMPARE(badge.accessibleName(), QStringLiteral("Keep"));
        QCOMPARE(badge.toolTip(), QStringLiteral("Dovrane only shows it. Manage it in the app that owns it."));
        Appearance::shared().force(std::nullopt);
    }

    void seeThroughSectorsAreEvenToTheirEdges() {
        // Two halves: the second, left one is drawn see-through.
        const ScanResult scan =
            scanOf(100 * GB, 40 * GB, {sized(CategoryID::simulators, 10 * GB), sized(CategoryID::docker, 10 * GB)});
        StorageRing ring(scan, std::vector{CategoryID::simulators, CategoryID::docker});
        QVERIFY(ring.rowsToShow().at(1).shade > 0);
        ring.resize(168, 168);
        const QImage image = ring.grab().toImage();
        const int centre = 84;
        const int inner = int(84 * StorageRing::innerRatio);
        // Along nine o'clock, from just inside the inner edge to just inside the outer one.
        const QRgb middle = image.pixel(centre - (inner + 84) / 2, centre);
        for (int radius = inner + 2; radius <= 84 - 2; ++radius)
            QCOMPARE(QColor(image.pixel(centre - radius, centre)), QColor(middle));
    }

    void legendColumnsHoldTheWidestCellOnOneLineWhileTheWidthAllows() {
        std::vector<Category> categories;
        for (CategoryID id : allCategoryIDs)
            categories.push_back(sized(id, 210 * GB / 16));
        StorageLegend legend(scanOf(2000 * GB, 400 * GB, categories));
        legend.show();
        const auto titleLines = [&legend] {
            int most = 0;
            for (QWidget* cell : legend.cells()) {
                const QLabel* title = cell->findChildren<QLabel*>().first();
                most = std::max(most, title->height() / title->fontMetrics().lineSpacing());
            }
            return most;
        };
        // Wide (the Overview of a 1400 px window) and at its narrowest for two columns: whole titles.
        for (int width : {1129, 900, 2 * 200 + 12 + 120}) {
            legend.resize(width, legend.heightForWidth(width));
            QCoreApplication::processEvents();
            QVERIFY2(legend.columnsFor(width) <= StorageLegend::columns(width), qPrintable(QString::number(width)));
            QCOMPARE(titleLines(), 1);
            for (QWidget* cell : legend.cells())
                QVERIFY(cell->width() >= StorageLegend::minimumColumn);
        }
        // Narrower than its widest cell, the one column still holds every title by wrapping.
        legend.resize(150, legend.heightForWidth(150));
        QCoreApplication::processEvents();
        QCOMPARE(legend.columnsFor(150), 1);
        QVERIFY(titleLines() >= 2);
    }

    void everyGraphicRendersInLightAndDark() {
        const ScanResult scan = scanOf(
            100 * GB, 40 * GB,
            {sized(CategoryID::apps, 20 * GB), sized(CategoryID::caches, 9 * GB), sized(CategoryID::other, 30 * GB)});
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            StorageBar bar(scan, 24);
            StorageLegend legend(scan);
            StorageRing ring(scan, std::nullopt);
            SafetyBadge badge(Safety::safe);
            bar.resize(600, 24);
            legend.resize(600, legend.heightForWidth(600));
            ring.resize(168, 168);
            for (QWidget* widget : std::initializer_list<QWidget*>{&bar, &legend, &ring, &badge}) {
                const QImage image = widget->grab().toImage();
                QVERIFY(!image.isNull());
                QCOMPARE(image.size(), widget->size());
            }
            // The bar's first pixel column is the apps colour as this look shows it, inside the rounding.
            const QImage barImage = bar.grab().toImage();
            QCOMPARE(QColor(barImage.pixel(10, 12)), StorageGroups::shown(StorageGroup::apps, look));
        }
        Appearance::shared().force(std::nullopt);
    }
};

DOVRANE_UI_TEST_MAIN(StorageGraphicsTests)
#include "StorageGraphicsTests.moc"
