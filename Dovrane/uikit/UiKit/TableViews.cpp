#include "UiKit/TableViews.h"

#include "UiKit/Labels.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QTableView>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <utility>

namespace dovrane::TableViews {

namespace {

// Rows measured for a column's width; past them a long table costs no more to lay out.
constexpr int measuredRows = 1000;

// How the view's delegates are asked what a cell needs.
QStyleOptionViewItem cellOption(const QAbstractItemView& view) {
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.font = view.font();
    option.widget = &view;
    option.features = QStyleOptionViewItem::HasDisplay;
    return option;
}

QAbstractItemDelegate* delegateOf(const QAbstractItemView& view, const QModelIndex& index) {
    QAbstractItemDelegate* delegate = view.itemDelegateForIndex(index);
    return delegate ? delegate : view.itemDelegate();
}

// Shows the whole text of a cell cut short when the pointer rests on it; the cell's own
// tooltip, if any, follows it.
class CutCellTips final : public QObject {
public:
    explicit CutCellTips(QAbstractItemView* view) : QObject(view), view_(view), viewport_(view->viewport()) {
        view->viewport()->installEventFilter(this);
    }

protected:
    // The viewport has events of its own while the view is taken apart: none is asked of the view.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip || watched != viewport_)
            return false;
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = view_->indexAt(help->pos());
        const QString whole = cutText(*view_, index);
        if (whole.isEmpty())
            return false;
        QString tip = Texts::tooltip(whole);
        if (const QString own = index.data(Qt::ToolTipRole).toString(); !own.isEmpty())
            tip += Qt::mightBeRichText(own) ? own : Texts::tooltip(own);
        QToolTip::showText(help->globalPos(), tip, view_->viewport(), view_->visualRect(index));
        return true;
    }

private:
    QAbstractItemView* view_;
    const QObject* viewport_;
};

// Columns with an ideal width start at it, and grow to what their header and their longest cell
// need in the language on show; a resize by the user stays within their bounds, the upper one
// raised to that need. The others share the space left.
class ColumnFitter final : public QObject {
public:
    ColumnFitter(QTableView* view, std::vector<ColumnWidth> widths)
        : QObject(view), view_(view), widths_(std::move(widths)), needed_(widths_.size(), 0) {
        QHeaderView* header = view_->horizontalHeader();
        for (int column = 0; column < int(widths_.size()); ++column) {
            const ColumnWidth width = widths_[std::size_t(column)];
            if (width.ideal == 0) {
                header->setSectionResizeMode(column, QHeaderView::Stretch);
                continue;
            }
            header->setSectionResizeMode(column, QHeaderView::Interactive);
            header->resizeSection(column, width.ideal);
        }
        connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int size) { bound(column, size); });
        QAbstractItemModel* model = view_->model();
        connect(model, &QAbstractItemModel::modelReset, this, &ColumnFitter::schedule);
        // A sort brings other rows to the top, never another text: measuring a thousand cells
        // again would hold every sort of a long table.
        connect(model, &QAbstractItemModel::layoutChanged, this,
                [this](const QList<QPersistentModelIndex>&, QAbstractItemModel::LayoutChangeHint hint) {
                    if (hint != QAbstractItemModel::VerticalSortHint)
                        schedule();
                });
        connect(model, &QAbstractItemModel::rowsInserted, this, &ColumnFitter::schedule);
        connect(model, &QAbstractItemModel::dataChanged, this, &ColumnFitter::schedule);
        connect(model, &QAbstractItemModel::headerDataChanged, this, &ColumnFitter::schedule);
        fit();
    }

    // What a column's header and its longest cell need, in the view's font and style.
    int needed(int column) const {
        QHeaderView* header = view_->horizontalHeader();
        int width = header->sectionSizeHint(column);
        const QStyleOptionViewItem option = cellOption(*view_);
        const QAbstractItemModel* model = view_->model();
        QAbstractItemDelegate* delegate = view_->itemDelegateForColumn(column);
        if (!delegate)
            delegate = view_->itemDelegate();
        const int rows = std::min(model->rowCount(), measuredRows);
        for (int row = 0; row < rows; ++row)
            width = std::max(width, delegate->sizeHint(option, model->index(row, column)).width());
        return width;
    }

private:
    void schedule() {
        if (std::exchange(pending_, true))
            return;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            fit();
        });
    }

    void fit() {
        QHeaderView* header = view_->horizontalHeader();
        for (int column = 0; column < int(widths_.size()); ++column) {
            if (widths_[std::size_t(column)].ideal == 0)
                continue;
            needed_[std::size_t(column)] = needed(column);
            if (header->sectionSize(column) < needed_[std::size_t(column)])
                header->resizeSection(column, needed_[std::size_t(column)]);
        }
    }

    void bound(int column, int size) {
        if (column >= int(widths_.size()) || widths_[std::size_t(column)].ideal == 0)
            return;
        const ColumnWidth width = widths_[std::size_t(column)];
        const int upper = std::max(width.maximum, needed_[std::size_t(column)]);
        if (const int bounded = std::clamp(size, width.minimum, upper); bounded != size)
            view_->horizontalHeader()->resizeSection(column, bounded);
    }

    QTableView* view_;
    std::vector<ColumnWidth> widths_;
    std::vector<int> needed_;
    bool pending_ = false;
};

} // namespace

QString cutText(const QAbstractItemView& view, const QModelIndex& index) {
    if (!index.isValid())
        return {};
    const int has = view.visualRect(index).width();
    if (has <= 0 || delegateOf(view, index)->sizeHint(cellOption(view), index).width() <= has)
        return {};
    return index.data(Qt::DisplayRole).toString();
}

void tipCutCells(QAbstractItemView& view) { new CutCellTips(&view); }

QTableView* make(QAbstractItemModel* model, std::vector<ColumnWidth> widths, int sortColumn, Qt::SortOrder order,
                 QAbstractItemView::SelectionMode selection, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(selection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setTabKeyNavigation(false); // Tab leaves the table; the arrows move within it
    view->setShowGrid(false);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    QHeaderView* header = view->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    // A highlighted section asks the selection about every row at each paint of the header,
    // which holds the window for seconds once thousands of rows are picked.
    header->setHighlightSections(false);
    // The indicator must show the model's order before sorting is switched on, which sorts by it.
    header->setSortIndicator(sortColumn, order);
    view->setSortingEnabled(true);
    // Measured with the sort indicator on show.
    new ColumnFitter(view, std::move(widths));
    tipCutCells(*view);
    return view;
}

} // namespace dovrane::TableViews
