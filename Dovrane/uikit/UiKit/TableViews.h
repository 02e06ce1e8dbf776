#pragma once
// The set-up the pages' tables share: whole rows picked, read-only cells on one line each, no
// grid, alternating rows, Tab leaving the table, headers starting where their cells do, columns
// kept within their widths, and the sort indicator of a model that sorts itself
// (SortedTableModel); and the picked rows, by their ids or their positions, kept in step with
// the selection.

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
// the header shows it and passes clicks on. A cell too narrow for its text ends it in "…" and
// shows the whole text as its tooltip, before the cell's own tooltip.
QTableView* make(QAbstractItemModel* model, std::vector<ColumnWidth> widths, int sortColumn, Qt::SortOrder order,
                 QAbstractItemView::SelectionMode selection, QWidget* parent);

// The whole text of a cell that its column shows cut short; empty when it shows it whole.
QString cutText(const QAbstractItemView& view, const QModelIndex& index);
// Where the pointer rests on a cell cut short, the view shows its whole text as the tooltip,
// before the cell's own; the tables made here do so already.
void tipCutCells(QAbstractItemView& view);

// Selects the whole rows shown at the table rows that `picks` answers true for, and no others:
// one range per run of neighbouring rows, since what the view asks of a selection grows with its
// number of ranges.
template <typename Row, typename Picks>
void selectShownRows(QTableView& view, const SortedTableModel<Row>& model, Picks picks) {
    QItemSelection selection;
    const int rows = model.rowCount(), lastColumn = model.columnCount() - 1;
    for (int shownRow = 0; shownRow < rows; ++shownRow) {
        if (!picks(shownRow))
            continue;
        const int first = shownRow;
        while (shownRow + 1 < rows && picks(shownRow + 1))
            ++shownRow;
        selection.append(QItemSelectionRange(model.index(first, 0), model.index(shownRow, lastColumn)));
    }
    view.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

// The ids of the rows selected in view, a table over model. Whole rows are picked, so each
// range of the selection is a run of rows.
template <typename Row> std::set<std::string> selectedIds(const QTableView& view, const SortedTableModel<Row>& model) {
    std::set<std::string> ids;
    for (const QItemSelectionRange& range : view.selectionModel()->selection())
        for (int shownRow = range.top(); shownRow <= range.bottom(); ++shownRow)
            ids.insert(model.row(shownRow).id());
    return ids;
}

// Selects the whole rows whose ids are in ids, and no others.
template <typename Row>
void selectIds(QTableView& view, const SortedTableModel<Row>& model, const std::set<std::string>& ids) {
    // No row's id is worked out for nothing.
    if (ids.empty()) {
        view.selectionModel()->clearSelection();
        return;
    }
    selectShownRows(view, model, [&](int shownRow) { return ids.count(model.row(shownRow).id()) > 0; });
}

// The rows selected in view, by their index in the model's rows(): a table of many thousand
// rows is picked by position, not by ids worked out of every row.
template <typename Row> std::vector<bool> selectedRows(const QTableView& view, const SortedTableModel<Row>& model) {
    std::vector<bool> picked(model.rows().size(), false);
    for (const QItemSelectionRange& range : view.selectionModel()->selection())
        for (int shownRow = range.top(); shownRow <= range.bottom(); ++shownRow)
            picked[model.rowIndex(shownRow)] = true;
    return picked;
}

// Selects the rows that `picked` marks by their index in the model's rows(), and no others.
template <typename Row>
void selectRows(QTableView& view, const SortedTableModel<Row>& model, const std::vector<bool>& picked) {
    selectShownRows(view, model, [&](int shownRow) {
        const std::size_t index = model.rowIndex(shownRow);
        return index < picked.size() && picked[index];
    });
}

} // namespace TableViews

} // namespace dovrane
