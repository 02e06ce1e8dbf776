#include "QtWaits.h"
#include "UiTestMain.h"

#include "ColourChecks.h"

#include "StorageGraphics/SafetyBadge.h"
#include "UiKit/ControlStyle.h"
#include "UiKit/Desktop.h"
#include "UiKit/DetailHeader.h"
#include "UiKit/FolderList.h"
#include "UiKit/Fonts.h"
#include "UiKit/Labels.h"
#include "UiKit/PageKit.h"
#include "UiKit/SemanticColors.h"
#include "UiKit/SortedTableModel.h"
#include "UiKit/StorageSelection.h"
#include "UiKit/Symbols.h"
#include "UiKit/TableViews.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFontInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QStyleOptionSlider>
#include <QTextDocument>
#include <QToolTip>
#include <QTranslator>

#include <array>
#include <limits>
#include <vector>

using namespace dovrane;

namespace {

struct Entry {
    std::string name;
    qint64 size;
    int model; // position in the model's order
    std::string id() const { return name; }
};

using EntryModel = SortedTableModel<Entry>;

EntryModel makeModel() {
    std::vector<EntryModel::Column> columns = {
        {"Name", SortKeys::byName<Entry>(&Entry::name),
         [](const Entry& e, int role) {
             return role == Qt::DisplayRole ? QVariant(QString::fromStdString(e.name)) : QVariant();
         }},
        {"Size", SortKeys::byValue<Entry>(&Entry::size), [](const Entry& e, int) { return QVariant(e.size); }},
    };
    return EntryModel(std::move(columns), 1, Qt::DescendingOrder);
}

QList<int> shownOrder(const EntryModel& model) {
    QList<int> order;
    for (int row = 0; row < model.rowCount(); ++row)
        order << model.row(row).model;
    return order;
}

} // namespace

class UiKitTests : public QObject {
    Q_OBJECT
private slots:
    void prominentButtonsAreFilledWithTheAccentItFollows() {
        QWidget window;
        auto* button = new ProminentButton(QStringLiteral("Clean Up\u2026"), &window);
        button->resize(button->sizeHint());
        QPalette palette = window.palette();
        palette.setColor(QPalette::Highlight, QColor(0x2E, 0x8B, 0x72));
        window.setPalette(palette);
        // Filled: most of the button is the accent itself.
        const auto filledWith = [button](const QColor& accent) {
            const QImage image = button->grab().toImage();
            int matching = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    matching += QColor(image.pixel(x, y)) == accent;
            return matching > image.width() * image.height() / 2;
        };
        QVERIFY(filledWith(QColor(0x2E, 0x8B, 0x72)));
        palette.setColor(QPalette::Highlight, QColor(0xF5, 0xB8, 0x00));
        window.setPalette(palette);
        QVERIFY(filledWith(QColor(0xF5, 0xB8, 0x00)));
    }

    void checkBoxFramesStandOutFromTheirFieldInBothLooks() {
        const auto restore = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            for (bool checked : {false, true}) {
                QCheckBox box(QStringLiteral("Open at login"));
                box.setChecked(checked);
                box.resize(box.sizeHint());
                QStyleOptionButton option;
                option.initFrom(&box);
                const QRect indicator = box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
                const QImage image = box.grab().toImage();
                const QColor field = box.palette().color(QPalette::Base);
                // The frame's left edge, halfway down, where no check mark reaches.
                const QColor frame = image.pixelColor(indicator.left(), indicator.center().y());
                QVERIFY2(testing::contrastRatio(frame, field) >= 3.0,
                         qPrintable(QStringLiteral("%1 on %2 in the %3 look")
                                        .arg(frame.name(), field.name(), look == Look::dark ? "dark" : "light")));
            }
        }
    }

    // A scroll bar's handle stands out from its track at 3:1 in either look, across and down.
    void scrollBarHandlesStandOutFromTheirTrackInBothLooks() {
        struct Bar : QScrollBar {
            using QScrollBar::initStyleOption;
            using QScrollBar::QScrollBar;
        };
        const auto restore = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        for (Look look : {Look::light, Look::dark})
            for (Qt::Orientation orientation : {Qt::Vertical, Qt::Horizontal}) {
                Appearance::shared().force(look);
                Bar bar(orientation);
                bar.setRange(0, 100);
                bar.setPageStep(25);
                const int thickness = orientation == Qt::Vertical ? bar.sizeHint().width() : bar.sizeHint().height();
                bar.resize(orientation == Qt::Vertical ? QSize(thickness, 240) : QSize(240, thickness));
                QStyleOptionSlider option;
                bar.initStyleOption(&option);
                const QRect slider =
                    bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, &bar);
                const QRect groove =
                    bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, &bar);
                const QImage image = bar.grab().toImage();
                const QColor handle = image.pixelColor(slider.center());
                // The track beyond the handle, the bar's value being at its start.
                const QPoint beyond = orientation == Qt::Vertical ? QPoint(groove.center().x(), groove.bottom() - 4)
                                                                  : QPoint(groove.right() - 4, groove.center().y());
                const QColor track = image.pixelColor(beyond);
                QVERIFY2(testing::contrastRatio(handle, track) >= 3.0,
                         qPrintable(QStringLiteral("%1 on %2 in the %3 look")
                                        .arg(handle.name(), track.name(), look == Look::dark ? "dark" : "light")));
            }
    }

    // A disabled symbol is drawn in the colour of disabled text, so in the dark look it stays as
    // readable as the title beside it.
    void disabledIconsWearTheDisabledTextColour() {
        ControlStyle style;
        for (Look look : {Look::light, Look::dark}) {
            const QPalette palette = SemanticColors::palette(look);
            const QPixmap shape =
                Symbols::pixmap(QStringLiteral("arrow.clockwise"), 16, palette.color(QPalette::ButtonText), 2);
            QStyleOption option;
            option.palette = palette;
            const QPixmap disabled = style.generatedIconPixmap(QIcon::Disabled, shape, &option);
            QCOMPARE(disabled.devicePixelRatio(), 2.0);
            const QImage image = disabled.toImage().convertToFormat(QImage::Format_ARGB32);
            const QColor ink = palette.color(QPalette::Disabled, QPalette::ButtonText);
            int drawn = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (const QColor pixel = image.pixelColor(x, y); pixel.alpha() == 255) {
                        QCOMPARE(pixel.rgb(), ink.rgb());
                        ++drawn;
                    }
            QVERIFY(drawn > 20);
            // The other modes are the style's own.
            QCOMPARE(style.generatedIconPixmap(QIcon::Normal, shape, &option).toImage(),
                     QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
                         .generatedIconPixmap(QIcon::Normal, shape, &option)
                         .toImage());
        }
    }

    // Footer buttons keep their titles whole: a narrow footer wraps them under each other.
    void footerButtonsWrapRatherThanShrink() {
        FooterBar footer;
        auto* first = new QPushButton(QStringLiteral("Select Safe Items"));
        auto* second = new QPushButton(QStringLiteral("Move to Trash\u2026"));
        footer.addAction(first);
        footer.addAction(second);
        footer.setSummary(QStringLiteral("3 items"));
        footer.resize(900, footer.heightForWidth(900));
        footer.show();
        QCoreApplication::processEvents();
        QCOMPARE(first->y(), second->y());
        footer.resize(first->sizeHint().width() + 60, footer.heightForWidth(first->sizeHint().width() + 60));
        QCoreApplication::processEvents();
        QVERIFY(second->y() > first->y());
        QCOMPARE(first->width(), first->sizeHint().width());
        QCOMPARE(second->width(), second->sizeHint().width());
    }

    void everySymbolResolvesWithAdwaitaAlone() {
        QIcon::setThemeName("Adwaita");
        QCOMPARE(Symbols::allNames().size(), 37);
        for (const QString& name : Symbols::allNames()) {
            const QString themed = Symbols::themeIconName(name);
            QVERIFY2(themed.isEmpty() || QIcon::hasThemeIcon(themed), qPrintable(name));
            for (QColor color : {SemanticColors::of(SemanticColor::label, Look::light),
                                 SemanticColors::of(SemanticColor::label, Look::dark)}) {
                const QImage image = Symbols::pixmap(name, 24, color, 2).toImage();
                QCOMPARE(image.size(), QSize(48, 48));
                // Something is drawn, and only in the colour asked for.
                int drawn = 0;
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x)
                        if (const QColor pixel = image.pixelColor(x, y); pixel.alpha() > 200) {
                            QCOMPARE(pixel.rgb(), color.rgb());
                            ++drawn;
                        }
                QVERIFY2(drawn > 20, qPrintable(name));
            }
        }
        QVERIFY(Symbols::icon("no.such.symbol").isNull());
        QVERIFY(Symbols::pixmap("no.such.symbol", 16, Qt::black).isNull());
    }

    void fontRolesUseThePlatformFamilyAtTheirPixelSizes() {
        QCOMPARE(Fonts::family(), QStringLiteral("DejaVu Sans")); // offscreen has no interface font
        QCOMPARE(QFontInfo(Fonts::font(FontRole::body)).family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(Fonts::font(FontRole::largeTitle).pixelSize(), 26);
        QCOMPARE(Fonts::font(FontRole::caption).pixelSize(), 10);
        QCOMPARE(Fonts::font(FontRole::headline).weight(), QFont::DemiBold);
        const QFont digits = Fonts::monospacedDigits(Fonts::font(FontRole::body));
        const QFontMetricsF metrics(digits);
        QCOMPARE(metrics.horizontalAdvance("1111"), metrics.horizontalAdvance("8888"));
        QCOMPARE(digits.pixelSize(), 13);
    }

    void tablesSortStablyInsideTheModel() {
        EntryModel model = makeModel();
        model.setRows({{"b", 5, 0}, {"Version 10", 7, 1}, {"a", 5, 2}, {"version 9", 1, 3}, {"B", 5, 4}});
        QCOMPARE(shownOrder(model), (QList<int>{1, 0, 2, 4, 3})); // size, largest first; ties in model order
        model.sort(1, Qt::AscendingOrder);
        QCOMPARE(shownOrder(model), (QList<int>{3, 0, 2, 4, 1}));
        // Names in the Finder's order: case-insensitive, numbers by value; "b" and "B" tie.
        model.sort(0, Qt::AscendingOrder);
        QCOMPARE(shownOrder(model), (QList<int>{2, 0, 4, 3, 1}));
        model.sort(0, Qt::DescendingOrder);
        QCOMPARE(shownOrder(model), (QList<int>{1, 3, 0, 4, 2}));
        QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Size"));
        QCOMPARE(model.data(model.index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("Version 10"));
    }

    // A column keys each row once per set of rows, however often it sorts them; names are never
    // compared again at a sort.
    void aColumnKeysEachRowOncePerSetOfRows() {
        int keyed = 0;
        std::vector<EntryModel::Column> columns = {
            {"Name",
             [&keyed, byName = SortKeys::byName<Entry>(&Entry::name)](const Entry& e) {
                 ++keyed;
                 return byName(e);
             },
             {}},
            {"Size", SortKeys::byValue<Entry>(&Entry::size), {}},
        };
        EntryModel model(std::move(columns), 1, Qt::DescendingOrder);
        model.setRows({{"b", 5, 0}, {"Version 10", 7, 1}, {"a", 5, 2}, {"version 9", 1, 3}, {"B", 5, 4}});
        QCOMPARE(keyed, 0); // sorted by size: no name keyed
        model.sort(0, Qt::AscendingOrder);
        model.sort(0, Qt::DescendingOrder);
        model.sort(1, Qt::AscendingOrder);
        model.sort(0, Qt::AscendingOrder);
        QCOMPARE(keyed, 5);
        QCOMPARE(shownOrder(model), (QList<int>{2, 0, 4, 3, 1}));
        // New rows are keyed afresh, once, as they arrive sorted by name.
        model.setRows({{"Version 2", 1, 0}, {"version 1", 2, 1}, {"a", 3, 2}});
        model.sort(0, Qt::DescendingOrder);
        QCOMPARE(keyed, 8);
        QCOMPARE(shownOrder(model), (QList<int>{0, 1, 2}));
    }

    // Keys of values order as the values do, dates across the start of their reference too.
    void keysOfValuesOrderAsTheValues() {
        const std::vector<std::int64_t> numbers = {std::numeric_limits<std::int64_t>::min(), -2, -1, 0, 1,
                                                   std::numeric_limits<std::int64_t>::max()};
        for (std::size_t i = 0; i + 1 < numbers.size(); ++i)
            QVERIFY(SortKeys::of(numbers[i]) < SortKeys::of(numbers[i + 1]));
        const std::vector<double> seconds = {-std::numeric_limits<double>::infinity(),
                                             Date::distantPast().secondsSinceReference,
                                             -1.5,
                                             -std::numeric_limits<double>::denorm_min(),
                                             0.0,
                                             std::numeric_limits<double>::denorm_min(),
                                             0.25,
                                             1.0,
                                             7e8,
                                             1e300};
        for (std::size_t i = 0; i + 1 < seconds.size(); ++i)
            QVERIFY2(SortKeys::of(Date{seconds[i]}) < SortKeys::of(Date{seconds[i + 1]}),
                     qPrintable(QStringLiteral("%1 before %2").arg(seconds[i]).arg(seconds[i + 1])));
        QVERIFY(SortKeys::of(Date{-0.0}) == SortKeys::of(Date{0.0}));
    }

    // Between the panes one hairline in the separator colour, and nothing drawn over the page
    // beside it: every column of the handle is of one colour.
    void aSplitterHandleIsAHairlineWithoutGripDots() {
        const auto back = qScopeGuard([] { Appearance::shared().force(std::nullopt); });
        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            QSplitter split(Qt::Horizontal);
            split.addWidget(new QWidget);
            split.addWidget(new QWidget);
            split.resize(400, 240);
            split.show();
            QCoreApplication::processEvents();
            const QImage handle = split.handle(1)->grab().toImage();
            QVERIFY(handle.width() >= 1 && handle.height() > 100);
            bool hairline = false;
            for (int x = 0; x < handle.width(); ++x) {
                const QColor top = handle.pixelColor(x, 0);
                for (int y = 1; y < handle.height(); ++y)
                    QVERIFY2(handle.pixelColor(x, y) == top,
                             qPrintable(QStringLiteral("column %1, row %2").arg(x).arg(y)));
                const QColor window = split.palette().color(QPalette::Window);
                hairline |= std::abs(top.red() - window.red()) + std::abs(top.green() - window.green()) +
                                std::abs(top.blue() - window.blue()) >=
                            12;
            }
            QVERIFY(hairline);
        }
    }

    void aTieBreakOrdersEqualRowsOneWayInEitherDirection() {
        EntryModel model = makeModel();
        model.setTieBreak(
            SortKeys::byNameThenPath<Entry>(&Entry::name, [](const Entry& e) { return std::to_string(e.model); }));
        model.setRows({{"b", 5, 0}, {"Version 10", 7, 1}, {"a", 5, 2}, {"version 9", 1, 3}, {"B", 5, 4}});
        // "a" first; "b" and "B" tie on the name too and go by their paths.
        QCOMPARE(shownOrder(model), (QList<int>{1, 2, 0, 4, 3}));
        model.sort(1, Qt::AscendingOrder);
        QCOMPARE(shownOrder(model), (QList<int>{3, 2, 0, 4, 1}));
        // The same rows listed in another order show in the same order.
        model.setRows({{"B", 5, 4}, {"a", 5, 2}, {"version 9", 1, 3}, {"b", 5, 0}, {"Version 10", 7, 1}});
        QCOMPARE(shownOrder(model), (QList<int>{3, 2, 0, 4, 1}));
        // Only rows that tie are keyed by the tie-break, each once per set of rows; a name that
        // begins another comes first whatever the paths say.
        int tied = 0;
        model.setTieBreak([&tied, byName = SortKeys::byNameThenPath<Entry>(&Entry::name, [](const Entry& e) {
                                      return std::to_string(e.model);
                                  })](const Entry& e) {
            ++tied;
            return byName(e);
        });
        model.setRows({{"ab", 2, 1}, {"a", 2, 9}, {"A", 2, 5}, {"z", 1, 0}});
        QCOMPARE(shownOrder(model), (QList<int>{0, 5, 9, 1})); // sorted by size, ascending
        QCOMPARE(tied, 3);
        model.sort(1, Qt::DescendingOrder);
        QCOMPARE(shownOrder(model), (QList<int>{5, 9, 1, 0}));
        QCOMPARE(tied, 3);
    }

    void aSelectionFollowsItsRowThroughASort() {
        EntryModel model = makeModel();
        model.setRows({{"a", 1, 0}, {"b", 2, 1}, {"c", 3, 2}});
        QItemSelectionModel selection(&model);
        selection.select(model.index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(model.row(0).name, std::string("c"));
        model.sort(0, Qt::AscendingOrder);
        const QModelIndexList rows = selection.selectedRows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(model.row(rows.first().row()).name, std::string("c"));
    }

    void aColumnGrowsToWhatItsHeaderAndLongestCellNeed() {
        EntryModel model = makeModel();
        model.setRows({{"a", 1, 0}});
        std::unique_ptr<QTableView> view(TableViews::make(&model, {{40, 60, 80}, {}}, model.sortColumn(),
                                                          model.sortOrder(), QAbstractItemView::ExtendedSelection,
                                                          nullptr));
        QHeaderView* header = view->horizontalHeader();
        QCOMPARE(header->sectionSize(0), std::max(60, header->sectionSizeHint(0)));

        // Rows arriving later with a longer text widen the column past its upper bound, whole.
        const std::string longName = "vor 17 Sekunden, und noch etwas länger";
        model.setRows({{"a", 1, 0}, {longName, 2, 1}});
        const QModelIndex longCell = model.index(0, 0);
        QCOMPARE(longCell.data().toString(), QString::fromStdString(longName));
        QStyleOptionViewItem option;
        option.initFrom(view.get());
        option.font = view->font();
        option.widget = view.get();
        const int needed = view->itemDelegate()->sizeHint(option, longCell).width();
        QVERIFY(needed > 80);
        DOVRANE_TRY_COMPARE(header->sectionSize(0), needed);
        // The user may narrow it to its lower bound, and widen it only as far as its text needs.
        header->resizeSection(0, 500);
        QCOMPARE(header->sectionSize(0), needed);
        header->resizeSection(0, 10);
        QCOMPARE(header->sectionSize(0), 40);
    }

    void tablesKeepTheirColumnsWithinBoundsAndThePicksInStepWithTheSelection() {
        EntryModel model = makeModel();
        model.setRows({{"a", 1, 0}, {"b", 2, 1}, {"c", 3, 2}});
        std::unique_ptr<QTableView> view(TableViews::make(&model, {{}, {40, 60, 80}}, model.sortColumn(),
                                                          model.sortOrder(), QAbstractItemView::ExtendedSelection,
                                                          nullptr));
        QHeaderView* header = view->horizontalHeader();
        QCOMPARE(header->sectionResizeMode(0), QHeaderView::Stretch);
        QCOMPARE(header->sectionSize(1), 60);
        header->resizeSection(1, 200);
        QCOMPARE(header->sectionSize(1), 80);
        header->resizeSection(1, 10);
        QCOMPARE(header->sectionSize(1), 40);
        QCOMPARE(header->sortIndicatorSection(), 1);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(shownOrder(model), (QList<int>{2, 1, 0})); // switching sorting on kept the model's order

        TableViews::selectIds(*view, model, {"a", "c", "gone"});
        QCOMPARE(view->selectionModel()->selectedRows().size(), 2);
        header->setSortIndicator(0, Qt::AscendingOrder);
        QCOMPARE(TableViews::selectedIds(*view, model), (std::set<std::string>{"a", "c"}));
        TableViews::selectIds(*view, model, {});
        QVERIFY(TableViews::selectedIds(*view, model).empty());
    }

    // Largest first points down, smallest first up, as the desktop's file managers show it: the
    // arrow's widest pixel row is its top when the order descends.
    void theSortArrowPointsDownWhenTheLargestComesFirst() {
        EntryModel model = makeModel();
        model.setRows({{"a", 1, 0}, {"b", 2, 1}});
        std::unique_ptr<QTableView> view(TableViews::make(&model, {{}, {80, 120, 160}}, model.sortColumn(),
                                                          model.sortOrder(), QAbstractItemView::SingleSelection,
                                                          nullptr));
        view->resize(400, 200);
        view->show();
        QHeaderView* header = view->horizontalHeader();
        // The rows of the arrow, top to bottom, as the number of pixels the arrow adds to each.
        const auto arrowRows = [header](Qt::SortOrder order) {
            header->setSortIndicator(1, order);
            header->setSortIndicatorShown(true);
            const QImage with = header->grab().toImage();
            header->setSortIndicatorShown(false);
            const QImage without = header->grab().toImage();
            header->setSortIndicatorShown(true);
            std::vector<int> rows;
            for (int y = 0; y < with.height(); ++y) {
                int changed = 0;
                for (int x = header->sectionViewportPosition(1); x < with.width(); ++x)
                    changed += with.pixel(x, y) != without.pixel(x, y);
                if (changed > 0)
                    rows.push_back(changed);
            }
            return rows;
        };
        const std::vector<int> down = arrowRows(Qt::DescendingOrder);
        QVERIFY(down.size() >= 3);
        QVERIFY2(down.front() > down.back(), "largest first: the arrow narrows downwards");
        const std::vector<int> up = arrowRows(Qt::AscendingOrder);
        QVERIFY(up.size() >= 3);
        QVERIFY2(up.front() < up.back(), "smallest first: the arrow narrows upwards");
    }

    // The one label that cuts a name: whole with no tooltip where it fits, else ending in "…"
    // with the whole name as its tooltip on one line; a new name is measured again.
    void anElidedLabelCutsWithAnEllipsisAndShowsTheWholeNameAsItsTooltip() {
        const QString name = QStringLiteral("Mail Merge Pro Extended Edition");
        ElidedLabel label(name, Fonts::font(FontRole::headline));
        label.show();
        label.resize(label.sizeHint());
        QCOMPARE(label.text(), name);
        QVERIFY(label.toolTip().isEmpty());
        QVERIFY(label.minimumSizeHint().width() < label.sizeHint().width() / 3);

        label.resize(label.sizeHint().width() / 2, label.height());
        QVERIFY2(label.text().endsWith(QChar(0x2026)), qPrintable(label.text()));
        QVERIFY(name.startsWith(label.text().chopped(1)));
        QVERIFY(label.fontMetrics().horizontalAdvance(label.text()) <= label.width());
        QTextDocument tip;
        tip.setHtml(label.toolTip());
        QCOMPARE(tip.toPlainText(), name);
        QVERIFY(label.toolTip().contains(QStringLiteral("white-space:nowrap"))); // not broken in two

        label.setFullText(QStringLiteral("Tiny"));
        QCOMPARE(label.text(), QStringLiteral("Tiny"));
        QVERIFY(label.toolTip().isEmpty());
        // A long text wraps in its tooltip.
        QVERIFY(Texts::tooltip(QString(200, QLatin1Char('a'))).contains(QStringLiteral("<br>")));
    }

    // Long names without a space, a long path and a sentence: the tooltip shows every character,
    // in lines of a readable width, on the screen; a path breaks only after a "/" where its
    // folders' names allow.
    void longNamesWrapInTheirTooltipsAndStayOnTheScreen() {
        const QString word = QStringLiteral("CacheOfAnApp0123");
        QString path;
        while (path.size() < 300)
            path += QStringLiteral("/folder-") + QString::number(path.size());
        const QStringList texts = {word.repeated(13).left(200), word.repeated(63).left(1000), path,
                                   QStringLiteral("Cache of an app. ").repeated(12) + QChar('\n') + path};
        const QFontMetrics metrics(QToolTip::font());
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        for (const QString& text : texts) {
            const QString tip = Texts::tooltip(text);
            QTextDocument shown;
            shown.setHtml(tip);
            QString whole = shown.toPlainText();
            whole.remove(QChar::LineSeparator).remove(QLatin1Char('\n'));
            QCOMPARE(whole.remove(QLatin1Char(' ')), QString(text).remove(QLatin1Char(' ')).remove(QLatin1Char('\n')));
            if (text == path) {
                const QStringList lines = tip.section(QLatin1Char('>'), 1, -1).chopped(4).split(QStringLiteral("<br>"));
                QVERIFY(lines.size() >= 2);
                for (const QString& line : lines.mid(0, lines.size() - 1))
                    QVERIFY2(line.endsWith(QLatin1Char('/')), qPrintable(line));
            }

            QToolTip::showText(screen.center(), tip);
            QLabel* label = nullptr;
            for (QWidget* top : QApplication::topLevelWidgets())
                if (top->inherits("QTipLabel") && top->isVisible())
                    label = qobject_cast<QLabel*>(top);
            QVERIFY(label);
            const QString what = text.left(40) + QStringLiteral("…: ") + QString::number(label->width());
            QVERIFY2(screen.contains(label->geometry()), qPrintable(what));
            QVERIFY2(label->width() <= metrics.averageCharWidth() * 80, qPrintable(what));
            QVERIFY2(label->height() >= 3 * metrics.lineSpacing(), qPrintable(what));
            QToolTip::hideText();
        }
    }

    void detailHeadersShowWhatTheyAreGivenWhereTheirStylePutsIt() {
        // A sheet's texts stay whole before the first layout, and the size stands under the title.
        DetailHeader sheet(DetailHeader::Style::sheet,
                           {.title = "This goes to the Trash", .size = "258718 files, 79.3 GB"});
        auto* title = sheet.findChild<QLabel*>("title");
        auto* size = sheet.findChild<QLabel*>("size");
        QCOMPARE(size->text(), QStringLiteral("258718 files, 79.3 GB"));
        QCOMPARE(sheet.findChildren<LineLimitedLabel*>().first()->isHidden(), true); // no explanation
        QVERIFY(sheet.findChildren<SafetyBadge*>().isEmpty());
        sheet.resize(520, sheet.heightForWidth(520));
        sheet.layout()->activate();
        QCOMPARE(size->x(), title->x());
        QVERIFY(size->y() >= title->geometry().bottom());

        // A pane's size ends the title's row; a new rating replaces the badge, an empty size hides.
        DetailHeader pane(DetailHeader::Style::pane, {});
        pane.setTitle("Caches");
        pane.setSize("24.1 GB");
        pane.setExplanation("Temporary copies apps keep to load faster.");
        pane.setSafety(Safety::safe);
        pane.setSafety(Safety::review);
        QCOMPARE(pane.findChildren<SafetyBadge*>().size(), qsizetype(1));
        QCOMPARE(pane.findChild<SafetyBadge*>()->safety(), Safety::review);
        pane.resize(600, pane.heightForWidth(600));
        pane.layout()->activate();
        auto* paneTitle = pane.findChild<QLabel*>("title");
        auto* paneSize = pane.findChild<QLabel*>("size");
        QCOMPARE(paneSize->geometry().bottom(), paneTitle->geometry().bottom());
        QVERIFY(paneSize->x() > paneTitle->geometry().right());
        pane.setSize(QString());
        QVERIFY(paneSize->isHidden());
    }

    void aPaneHeaderTooNarrowForTitleAndSizeWrapsTheTitleAndPutsTheSizeUnderIt() {
        const QString title = QStringLiteral("Lokale Time-Machine-Schnappschüsse");
        const QString size = QStringLiteral("Größe von macOS nicht angegeben");
        DetailHeader pane(DetailHeader::Style::pane, {.title = title, .size = size});
        pane.setSafety(Safety::review);
        auto* paneTitle = pane.findChild<QLabel*>("title");
        auto* paneSize = pane.findChild<QLabel*>("size");
        auto* badge = pane.findChild<SafetyBadge*>();
        pane.show();
        for (int width : {560, 420, 300}) {
            pane.resize(width, pane.heightForWidth(width));
            pane.layout()->activate();
            QCOMPARE(paneTitle->text(), title);
            QVERIFY2(paneTitle->height() >= paneTitle->heightForWidth(paneTitle->width()),
                     qPrintable(QString::number(width)));
            QVERIFY(paneTitle->geometry().right() < badge->parentWidget()->geometry().left());
            // The size under the title, whole while the header holds it.
            QCOMPARE(paneSize->x(), paneTitle->x());
            QVERIFY(paneSize->y() > paneTitle->geometry().bottom());
            QVERIFY(paneSize->geometry().bottom() < pane.height());
            if (width >= 420)
                QCOMPARE(paneSize->text(), size);
        }
        // Wide enough for both, they share a row again.
        pane.resize(1000, pane.heightForWidth(1000));
        pane.layout()->activate();
        QCOMPARE(paneSize->geometry().bottom(), paneTitle->geometry().bottom());
        QCOMPARE(paneSize->geometry().right(), pane.contentsRect().right() - 20);
    }

    void onlyWebAndMailLinksOpen() {
        QList<QUrl> opened;
        Desktop::setOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        QVERIFY(Desktop::open(QUrl("https://example.org/notes")));
        QVERIFY(Desktop::open(QUrl("HTTP://example.org")));
        QVERIFY(Desktop::open(QUrl("mailto:help@example.org")));
        for (const char* refused : {"file:///etc/passwd", "javascript:alert(1)", "x-apple.systempreferences:com.apple",
                                    "smb://server/share", "https:", "mailto:", "", "/tmp/file"})
            QVERIFY2(!Desktop::open(QUrl(refused)), refused);
        QCOMPARE(opened.size(), 3);

        // Without a session bus, revealing opens the folder that holds the item, every byte kept.
        opened.clear();
        Desktop::reveal("/tmp/folder \xff/item.txt");
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().toEncoded(), QByteArray("file:///tmp/folder%20%FF"));
    }

    void pageKitPieces() {
        bool pressed = false;
        ContentUnavailableView empty("No scan yet", "internaldrive", "Scan the disk to see what fills it.");
        QCOMPARE(empty.title(), QStringLiteral("No scan yet"));
        QVERIFY(empty.actionButton()->isHidden());
        empty.setAction("Scan Now", [&] { pressed = true; });
        QVERIFY(!empty.actionButton()->isHidden());
        empty.actionButton()->click();
        QVERIFY(pressed);
        empty.setAction(QString(), {});
        QVERIFY(empty.actionButton()->isHidden());
        // A prominent action takes the place of the plain one, in the same spot, and can change
        // its own view's action while its click is answered.
        int presses = 0;
        empty.setAction(
            "Scan Now",
            [&] {
                ++presses;
                empty.setAction("Scan Again", [&] { presses += 10; });
            },
            ContentUnavailableView::ButtonStyle::prominent);
        QPushButton* prominent = empty.actionButton();
        QVERIFY(qobject_cast<ProminentButton*>(prominent));
        QCOMPARE(empty.layout()->indexOf(prominent), 5);
        prominent->click();
        QCOMPARE(presses, 1);
        QVERIFY(!qobject_cast<ProminentButton*>(empty.actionButton()));
        QCOMPARE(empty.actionButton()->text(), QStringLiteral("Scan Again"));
        empty.actionButton()->click();
        QCOMPARE(presses, 11);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(empty.findChildren<QPushButton*>().size(), qsizetype(1));

        FooterBar footer;
        footer.setSummary("<b>3</b> apps & more");
        QCOMPARE(footer.findChildren<QLabel*>().first()->textFormat(), Qt::PlainText);
        QCOMPARE(footer.layout()->contentsMargins(), QMargins(20, 12, 20, 12));

        QCOMPARE(Texts::withoutMnemonics("Tom & Jerry"), QStringLiteral("Tom && Jerry"));
        QVERIFY(!Texts::tooltip("<img src=x>").contains("<img"));

        for (Look look : {Look::light, Look::dark}) {
            Appearance::shared().force(look);
            Card card;
            card.resize(100, 60);
            const QImage image = card.grab().toImage();
            QCOMPARE(QColor(image.pixel(50, 30)), SemanticColors::of(SemanticColor::secondaryWindowBackground, look));
        }
        Appearance::shared().force(std::nullopt);
    }

    void storageSelectionStartsAtCachesAndNotifiesOnChange() {
        StorageSelection selection;
        QCOMPARE(selection.category(), std::optional(CategoryID::caches));
        QSignalSpy spy(&selection, &StorageSelection::categoryChanged);
        selection.setCategory(CategoryID::caches);
        selection.setCategory(CategoryID::projects);
        selection.setCategory(std::nullopt);
        selection.setCategory(std::nullopt);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(StorageSelection::shared().category(), std::optional(CategoryID::caches));
    }

    void folderPickerTakesSeveralFoldersOnlyFromTheHomeFolder() {
        const auto picker = FolderList::makePicker();
        QCOMPARE(picker->directory().absolutePath(), QDir::home().absolutePath());
        QCOMPARE(picker->fileMode(), QFileDialog::Directory);
        QVERIFY(picker->testOption(QFileDialog::ShowDirsOnly));
        const auto views = picker->findChildren<QAbstractItemView*>(QStringLiteral("listView"));
        QVERIFY(!views.isEmpty());
        QCOMPARE(views.first()->selectionMode(), QAbstractItemView::ExtendedSelection);
    }

    void theGermanCatalogueIsBuiltIn() {
        QTranslator german;
        QVERIFY(german.load(QStringLiteral(":/i18n/dovrane_de.qm")));
        QCOMPARE(german.translate("dovrane::StorageBar", "Free: %1"), QStringLiteral("Frei: %1"));
        QCOMPARE(german.translate("StorageGroup", "Your files"), QStringLiteral("Deine Dateien"));
        // The texts that speak of the computer Dovrane runs on, not of a Mac.
        const std::vector<std::array<const char*, 3>> linuxTexts = {
            {"StorageGroup", "System and the rest", "System und Rest"},
            {"dovrane::AppModel", "This week on your computer", "Diese Woche auf deinem Computer"},
            {"dovrane::OnboardingView", "You can change all of this later in Dovrane's Settings.",
             "Du kannst all das später in den Einstellungen von Dovrane ändern."},
            {"dovrane::OnboardingView", "File Access", "Dateizugriff"},
            {"SettingsView", "File Access", "Dateizugriff"},
            {"dovrane::OnboardingView", "Dovrane reads what your user account can read. There is nothing to switch on.",
             "Dovrane liest, was dein Benutzerkonto lesen darf. Einschalten musst du nichts."},
            {"dovrane::InstalledTable", "Installed with Flatpak, remove it there",
             "Mit Flatpak installiert, dort entfernen"},
            {"dovrane::InstalledTable", "Show in Files", "Im Dateimanager zeigen"},
            {"dovrane::CategoryDetail", "Show in Files", "Im Dateimanager zeigen"},
            {"dovrane::CategoryDetail", "Dovrane found nothing in this category on this computer.",
             "Dovrane hat in dieser Kategorie auf diesem Computer nichts gefunden."},
            {"dovrane::AppsPage",
             "Drag an app onto this window or onto Dovrane's icon to remove it with its leftovers.",
             "Ziehe eine App auf dieses Fenster oder auf das Symbol von Dovrane, um sie mit ihren Resten zu "
             "entfernen."},
            {"SeedData", "Dovrane empties the Trash after you confirm. This cannot be undone.",
             "Dovrane leert den Papierkorb nach deiner Bestätigung. Das lässt sich nicht rückgängig machen."},
            {"dovrane::CategoryDetail",
             "Dovrane deletes everything in the Trash. This cannot be undone, and Cleaned Up can no longer put those "
             "items back.",
             "Dovrane löscht alles im Papierkorb. Das lässt sich nicht rückgängig machen, und unter „Aufgeräumt“ "
             "lassen sich diese Objekte dann nicht mehr zurücklegen."},
            {"SettingsView",
             "Dovrane reads sizes and names, never file contents. Nothing leaves this computer except update checks.",
             "Dovrane liest Größen und Namen, niemals Dateiinhalte. Außer Update-Prüfungen verlässt nichts diesen "
             "Computer."},
            {"dovrane::DBusNotifier", "Open", "Öffnen"},
            {"dovrane::OnboardingView",
             "Dovrane shows what fills your computer, explains every item in one sentence, and only ever moves things "
             "to the Trash.",
             "Dovrane zeigt, was deinen Computer füllt, erklärt jedes Objekt in einem Satz und legt Dinge immer nur in "
             "den Papierkorb."},
            {"dovrane::Menus", "Open File &Access Settings…", "Einstellungen für &Dateizugriff öffnen…"},
        };
        for (const auto& [context, english, expected] : linuxTexts)
            QCOMPARE(german.translate(context, english), QString::fromUtf8(expected));
    }
};

DOVRANE_UI_TEST_MAIN(UiKitTests)
#include "UiKitTests.moc"
