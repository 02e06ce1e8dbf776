#include "UiKit/TableViews.h"

#include <QHeaderView>
#include <QTableView>

#include <algorithm>

namespace dovrane::TableViews {

namespace {

// Columns with an ideal width start at it and keep a resize by the user within their bounds;
// the others share the space left.
void setWidths(QHeaderView* header, std::vector<ColumnWidth> widths) {
    for (int column = 0; column < int(widths.size()); ++column) {
        const ColumnWidth width = widths[std::size_t(column)];
        if (width.ideal == 0) {
            header->setSectionResizeMode(column, QHeaderView::Stretch);
            continue;
        }
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, width.ideal);
    }
    QObject::connect(header, &QHeaderView::sectionResized, header,
                     [header, widths = std::move(widths)](int column, int, int size) {
                         if (column >= int(widths.size()) || widths[std::size_t(column)].ideal == 0)
                             return;
                         const ColumnWidth width = widths[std::size_t(column)];
                         if (const int bounded = std::clamp(size, width.minimum, width.maximum); bounded != size)
                             header->resizeSection(column, bounded);
                     });
}

} // namespace

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
    setWidths(header, std::move(widths));
    // The indicator must show the model's order before sorting is switched on, which sorts by it.
    header->setSortIndicator(sortColumn, order);
    view->setSortingEnabled(true);
    return view;
}

} // namespace dovrane::TableViews
