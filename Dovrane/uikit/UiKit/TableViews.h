#pragma once
// The set-up the pages' tables share: whole rows picked, read-only cells on one line each, no
// grid, alternating rows, Tab leaving the table, headers starting where their cells do, columns
// kept within their widths, and the sort indicator of a model that sorts itself
// (SortedTableModel).

#include <QAbstractItemView>

#include <vector>

class QAbstractItemModel;
class QTableView;

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

} // namespace TableViews

} // namespace dovrane
