#pragma once
// The set-up the pages' tables share: whole rows picked, read-only cells on one line each, no
// grid, alternating rows, Tab leaving the table, headers starting where their cells do, columns
// kept within their widths, and the sort indicator of a model that sorts itself
// (SortedTableModel); and the picked rows, by their ids, kept in step with the selection.

#include "UiKit/SortedTableModel.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QTableView>

#include <set>
#include <string>
#include <vector>

namespace dovrane {

// Minimum, ideal and maximum width of a column; a column with none set takes the space left.
struct ColumnWidth {
    int minimum = 0, ideal = 0, maximum = 0;
};

namespace TableViews {

// A table over model, one width per column. The model is sorted by sortColumn in order already;
// the header shows it and passes clicks on.
QTableView* make(QAbstractItemModel* model, std::vector<ColumnWidth> widths, int sortColumn, Qt::SortOrder order,
                 QAbstractItemView::SelectionMode selection, QWidget* parent);

// The ids of the rows selected in view, a table over model.
template <typename Row> std::set<std::string> selectedIds(const QTableView& view, const SortedTableModel<Row>& model) {
    std::set<std::string> ids;
    for (const QModelIndex& index : view.selectionModel()->selectedRows())
        ids.insert(model.row(index.row()).id());
    return ids;
}

// Selects the whole rows whose ids are in ids, and no others.
template <typename Row>
void selectIds(QTableView& view, const SortedTableModel<Row>& model, const std::set<std::string>& ids) {
    QItemSelection selection;
    for (int shownRow = 0; shownRow < model.rowCount(); ++shownRow)
        if (ids.count(model.row(shownRow).id()))
            selection.select(model.index(shownRow, 0), model.index(shownRow, model.columnCount() - 1));
    view.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

} // namespace TableViews

} // namespace dovrane
