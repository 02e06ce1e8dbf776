#include "FitCheck.h"

#include "UiKit/TableViews.h"

#include <QAbstractButton>
#include <QAbstractItemDelegate>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>

#include <algorithm>

namespace dovrane::testing {

namespace {

// Rounding in font metrics and layouts may take one pixel.
constexpr int slack = 1;
// The least room between a push button's title and its frame on either side, below which a
// title seems to touch it.
constexpr int titleMargin = 6;

const QChar ellipsis(0x2026);

QString nameOf(const QWidget* widget) {
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// The widget and up to three of its parents, innermost last.
QString pathOf(const QWidget* widget) {
    QStringList names;
    for (const QWidget* at = widget; at && names.size() < 4 && !at->isWindow(); at = at->parentWidget())
        names.prepend(nameOf(at));
    return names.join(QLatin1Char('/'));
}

QString shownText(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    return {};
}

// Cut short on purpose: the text ends in "…" and the tooltip holds what was cut.
bool deliberatelyElided(const QWidget* widget, const QString& text) {
    if (!text.endsWith(ellipsis) || widget->toolTip().isEmpty())
        return false;
    const QString kept = text.chopped(1).trimmed();
    return widget->toolTip().contains(kept) && widget->toolTip().size() > kept.size();
}

QString labelFault(const QLabel* label) {
    const QString text = label->text();
    if (text.isEmpty() || deliberatelyElided(label, text))
        return {};
    if (label->wordWrap()) {
        // QLabel's own measure of the text on show, past any override.
        const int needed = label->QLabel::heightForWidth(label->width());
        if (needed > label->height() + slack)
            return QStringLiteral("wrapped text needs %1 px height, has %2").arg(needed).arg(label->height());
        // A word longer than a line, which no wrapping breaks.
        const int room = label->contentsRect().width() - 2 * label->margin();
        if (label->textFormat() == Qt::PlainText || !Qt::mightBeRichText(text)) {
            const int widest =
                label->fontMetrics().boundingRect(QRect(0, 0, room, 1 << 20), Qt::TextWordWrap, text).width();
            if (widest > room + slack)
                return QStringLiteral("wrapped text needs %1 px width, has %2").arg(widest).arg(room);
        }
        return {};
    }
    // QLabel's own measure, past any override that lets a label shrink.
    const QSize needed = label->QLabel::sizeHint();
    if (needed.width() > label->width() + slack)
        return QStringLiteral("line needs %1 px width, has %2").arg(needed.width()).arg(label->width());
    if (needed.height() > label->height() + slack)
        return QStringLiteral("line needs %1 px height, has %2").arg(needed.height()).arg(label->height());
    return {};
}

QString buttonFault(const QAbstractButton* button) {
    const QString text = button->text();
    if (text.isEmpty() || deliberatelyElided(button, text))
        return {};
    if (const auto* tool = qobject_cast<const QToolButton*>(button);
        tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
        return {};
    const QSize needed = button->sizeHint();
    if (needed.width() > button->width() + slack)
        return QStringLiteral("button needs %1 px width, has %2").arg(needed.width()).arg(button->width());
    // A push button draws its title in the style's contents rectangle: the title must fit there,
    // whatever the button's own size hint claims.
    if (const auto* push = qobject_cast<const QPushButton*>(button)) {
        QStyleOptionButton option;
        option.initFrom(push);
        option.text = text;
        option.icon = push->icon();
        option.iconSize = push->iconSize();
        if (push->isFlat())
            option.features |= QStyleOptionButton::Flat;
        if (push->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
        if (push->menu())
            option.features |= QStyleOptionButton::HasMenu;
        const int room = push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push).width();
        int title = push->fontMetrics().size(Qt::TextShowMnemonic, text).width();
        if (!push->icon().isNull())
            title += push->iconSize().width() + 4;
        if (title > room + slack)
            return QStringLiteral("title needs %1 px width, the style's contents have %2").arg(title).arg(room);
        if (!push->isFlat() && title + 2 * titleMargin > room + slack)
            return QStringLiteral("title leaves %1 px of the style's contents beside it, needs %2")
                .arg(room - title)
                .arg(2 * titleMargin);
    }
    return {};
}

QString withoutSpaces(QString text) {
    text.removeIf([](QChar c) { return c.isSpace(); });
    return text;
}

// The tooltip the view shows where the pointer rests on the cell, as plain text without its
// spaces and line breaks, since a long text wraps there; empty when it shows none.
QString tooltipOver(const QAbstractItemView* view, const QModelIndex& index) {
    QWidget* viewport = view->viewport();
    const QPoint at = view->visualRect(index).center();
    QHelpEvent event(QEvent::ToolTip, at, viewport->mapToGlobal(at));
    QCoreApplication::sendEvent(viewport, &event);
    const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
    // hideText() lets the tip linger a moment, where the next cell would find it.
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("QTipLabel"))
            window->hide();
    return withoutSpaces(QTextDocumentFragment::fromHtml(shown).toPlainText());
}

// A stretched column takes the space the others leave, so a long name may be cut there: a cell
// on show that its column cuts short shows its whole text as the tooltip. Its cut is Qt's own
// elision, which ends in "…".
QStringList stretchedCellFaults(const QAbstractItemView* table, int column, const QString& title) {
    QStringList faults;
    const QAbstractItemModel* model = table->model();
    const int first = std::max(0, table->indexAt(QPoint(1, 1)).row());
    for (int row = first; row < std::min(model->rowCount(), first + 60); ++row) {
        const QModelIndex index = model->index(row, column);
        if (!table->viewport()->rect().contains(table->visualRect(index)))
            break;
        const QString whole = TableViews::cutText(*table, index);
        if (whole.isEmpty())
            continue;
        if (!tooltipOver(table, index).contains(withoutSpaces(whole)))
            faults << QStringLiteral("cell of \"%1\" cut short without its whole text as tooltip: \"%2\"")
                          .arg(title, whole);
    }
    return faults;
}

// A table's headers and the cells of its columns of their own width cut short, and columns pushed
// out of sight behind a horizontal scroll bar.
QStringList tableFaults(const QTableView* table) {
    QStringList faults;
    const QHeaderView* header = table->horizontalHeader();
    const QAbstractItemModel* model = table->model();
    if (!model)
        return faults;
    if (table->horizontalScrollBar()->isVisible() && table->horizontalScrollBar()->maximum() > 0)
        faults << QStringLiteral("columns need %1 px more width than the table has")
                      .arg(table->horizontalScrollBar()->maximum());
    QStyleOptionViewItem option;
    option.initFrom(table);
    option.font = table->font();
    option.widget = table;
    option.features = QStyleOptionViewItem::HasDisplay;
    for (int column = 0; column < model->columnCount(); ++column) {
        if (header->isSectionHidden(column))
            continue;
        const int has = header->sectionSize(column);
        const QString title = model->headerData(column, Qt::Horizontal).toString();
        if (header->sectionSizeHint(column) > has + slack)
            faults << QStringLiteral("header needs %1 px width, has %2: \"%3\"")
                          .arg(header->sectionSizeHint(column))
                          .arg(has)
                          .arg(title);
        if (header->sectionResizeMode(column) == QHeaderView::Stretch) {
            faults << stretchedCellFaults(table, column, title);
            continue;
        }
        const QAbstractItemDelegate* delegate = table->itemDelegateForColumn(column);
        if (!delegate)
            delegate = table->itemDelegate();
        for (int row = 0; row < std::min(model->rowCount(), 200); ++row) {
            const QModelIndex index = model->index(row, column);
            const int needed = delegate->sizeHint(option, index).width();
            if (needed > has + slack) {
                faults << QStringLiteral("cell of \"%1\" needs %2 px width, has %3: \"%4\"")
                              .arg(title)
                              .arg(needed)
                              .arg(has)
                              .arg(index.data().toString());
                break;
            }
        }
    }
    return faults;
}

// A row widget of a list or table reaching past the visible area, where its end is cut.
QStringList rowWidgetFaults(const QAbstractItemView* view) {
    QStringList faults;
    const QWidget* viewport = view->viewport();
    for (const QObject* child : viewport->children())
        if (const auto* row = qobject_cast<const QWidget*>(child); row && row->isVisible() && !row->isWindow()) {
            const int past = row->geometry().right() + 1 - viewport->width();
            if (past > slack)
                faults << QStringLiteral("row %1 reaches %2 px past the visible area").arg(nameOf(row)).arg(past);
        }
    return faults;
}

bool hasText(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return !label->text().isEmpty();
    return qobject_cast<const QAbstractButton*>(widget) && !shownText(widget).isEmpty();
}

// A box laid out for children of which none shows, yet taking space of its own.
bool showsNothing(const QWidget* widget) {
    if (widget->width() <= 0 || widget->height() <= 0)
        return false;
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text().isEmpty() && label->pixmap().isNull() && !label->movie();
    const QLayout* layout = widget->layout();
    if (!layout || layout->count() == 0 || qobject_cast<const QAbstractScrollArea*>(widget))
        return false;
    bool anyWidget = false;
    for (int i = 0; i < layout->count(); ++i)
        if (layout->itemAt(i)->widget())
            anyWidget = true;
    if (!anyWidget)
        return false;
    for (const QObject* child : widget->children())
        if (const auto* childWidget = qobject_cast<const QWidget*>(child);
            childWidget && !childWidget->isWindow() && childWidget->isVisible())
            return false;
    return true;
}

void check(const QWidget* widget, QStringList& faults) {
    if (!widget->isVisible())
        return;
    QString fault;
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        fault = labelFault(label);
    else if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        fault = buttonFault(button);
    if (fault.isEmpty() && showsNothing(widget))
        fault = QStringLiteral("visible with nothing to show");
    if (!fault.isEmpty())
        faults << QStringLiteral("%1: %2: \"%3\"").arg(pathOf(widget), fault, shownText(widget));
    if (const auto* table = qobject_cast<const QTableView*>(widget))
        for (const QString& tableFault : tableFaults(table))
            faults << pathOf(widget) + QStringLiteral(": ") + tableFault;
    if (const auto* view = qobject_cast<const QAbstractItemView*>(widget))
        for (const QString& rowFault : rowWidgetFaults(view))
            faults << pathOf(widget) + QStringLiteral(": ") + rowFault;
    // A list of several columns: a cell cut short shows its whole text as its tooltip.
    if (const auto* tree = qobject_cast<const QTreeView*>(widget); tree && tree->model())
        for (int column = 0; column < tree->model()->columnCount(); ++column)
            for (const QString& cellFault :
                 stretchedCellFaults(tree, column, tree->model()->headerData(column, Qt::Horizontal).toString()))
                faults << pathOf(widget) + QStringLiteral(": ") + cellFault;
    // A page wider than its window: what stands at its right edge is out of sight.
    if (const auto* area = qobject_cast<const QScrollArea*>(widget);
        area && area->horizontalScrollBar()->isVisible() && area->horizontalScrollBar()->maximum() > slack)
        faults << pathOf(widget) + QStringLiteral(": content needs %1 px more width than the page has")
                                       .arg(area->horizontalScrollBar()->maximum());

    // Sibling texts on top of each other.
    QList<const QWidget*> texts;
    for (const QObject* child : widget->children())
        if (const auto* childWidget = qobject_cast<const QWidget*>(child);
            childWidget && !childWidget->isWindow() && childWidget->isVisible() && hasText(childWidget))
            texts << childWidget;
    for (qsizetype i = 0; i < texts.size(); ++i)
        for (qsizetype j = i + 1; j < texts.size(); ++j) {
            const QRect shared = texts[i]->geometry().intersected(texts[j]->geometry());
            if (shared.width() > slack && shared.height() > slack)
                faults << QStringLiteral("%1 overlaps %2: \"%3\" / \"%4\"")
                              .arg(pathOf(texts[i]), pathOf(texts[j]), shownText(texts[i]), shownText(texts[j]));
        }

    for (const QObject* child : widget->children())
        if (const auto* childWidget = qobject_cast<const QWidget*>(child); childWidget && !childWidget->isWindow())
            check(childWidget, faults);
}

} // namespace

QStringList misfits(const QWidget* root) {
    QStringList faults;
    check(root, faults);
    return faults;
}

QStringList sheetMisfits(const QWidget* sheet, const QRect& area) {
    QStringList faults;
    const QRect frame = sheet->frameGeometry();
    if (!area.contains(frame))
        faults << QStringLiteral("%1: %2x%3 at (%4, %5) reaches past %6x%7 at (%8, %9)")
                      .arg(nameOf(sheet))
                      .arg(frame.width())
                      .arg(frame.height())
                      .arg(frame.x())
                      .arg(frame.y())
                      .arg(area.width())
                      .arg(area.height())
                      .arg(area.x())
                      .arg(area.y());
    for (const QAbstractButton* button : sheet->findChildren<QAbstractButton*>()) {
        if (!button->isVisible())
            continue;
        // A button in a scrolled list is scrolled to; the sheet's own must be on show.
        bool scrolled = false;
        for (const QWidget* at = button->parentWidget(); at && at != sheet; at = at->parentWidget())
            scrolled |= qobject_cast<const QAbstractScrollArea*>(at) != nullptr;
        if (!scrolled && !sheet->rect().contains(QRect(button->mapTo(sheet, QPoint(0, 0)), button->size())))
            faults << QStringLiteral("%1: cut off by the sheet's edge: \"%2\"").arg(pathOf(button), button->text());
    }
    return faults;
}

} // namespace dovrane::testing
