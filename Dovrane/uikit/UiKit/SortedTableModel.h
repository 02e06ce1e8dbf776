#pragma once
// The base of the pages' tables: rows kept in the model's order and shown sorted inside the
// model by the chosen column's key comparator, with a stable sort, so rows with equal keys
// keep the model's order in either direction. (A proxy model's sort is not stable.)

#include <DovraneKit/core/NameOrder.h>

#include <QAbstractTableModel>

#include <algorithm>
#include <compare>
#include <functional>
#include <numeric>
#include <vector>

namespace dovrane {

namespace SortKeys {

// Three-way comparison of two values of the key.
template <typename Row, typename Key> std::function<int(const Row&, const Row&)> byValue(Key key) {
    return [key](const Row& a, const Row& b) {
        const auto order = std::invoke(key, a) <=> std::invoke(key, b);
        return order < 0 ? -1 : order > 0 ? 1 : 0;
    };
}

// Texts in the Finder's order of names (case-insensitive, numbers by value); key gives UTF-8.
template <typename Row, typename Key> std::function<int(const Row&, const Row&)> byName(Key key) {
    return [key, order = NameOrder()](const Row& a, const Row& b) {
        return order.compare(std::invoke(key, a), std::invoke(key, b));
    };
}

// Rows of one rank by name in the Finder's order, then by path; both give UTF-8 (the path as bytes).
template <typename Row, typename Name, typename Path>
std::function<int(const Row&, const Row&)> byNameThenPath(Name name, Path path) {
    return [name, path, order = NameOrder()](const Row& a, const Row& b) {
        return order.tieBreak(std::invoke(name, a), std::invoke(path, a), std::invoke(name, b), std::invoke(path, b));
    };
}

} // namespace SortKeys

template <typename Row> class SortedTableModel : public QAbstractTableModel {
public:
    struct Column {
        QString title;
        std::function<int(const Row&, const Row&)> compare; // negative, zero or positive
        std::function<QVariant(const Row&, int role)> data;
    };

    SortedTableModel(std::vector<Column> columns, int sortColumn, Qt::SortOrder order, QObject* parent = nullptr)
        : QAbstractTableModel(parent), columns_(std::move(columns)), sortColumn_(sortColumn), sortOrder_(order) {}

    // The rows in the model's order; they are shown sorted by the current column and direction.
    void setRows(std::vector<Row> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        shown_.resize(rows_.size());
        std::iota(shown_.begin(), shown_.end(), std::size_t(0));
        sortShown();
        endResetModel();
    }

    // Orders rows that the chosen column finds equal, the same way in either direction, so rows
    // of one size keep their places from one listing to the next whatever order they came in.
    void setTieBreak(std::function<int(const Row&, const Row&)> tieBreak) { tieBreak_ = std::move(tieBreak); }

    const std::vector<Row>& rows() const { return rows_; }
    // The row shown at a table row.
    const Row& row(int shownRow) const { return rows_[shown_[std::size_t(shownRow)]]; }
    // Its index in rows(): what a selection keeps of a row, whatever the order on show.
    std::size_t rowIndex(int shownRow) const { return shown_[std::size_t(shownRow)]; }
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(rows_.size()); }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(columns_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
            return {};
        const Column& column = columns_[std::size_t(index.column())];
        return column.data ? column.data(row(index.row()), role) : QVariant();
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
            return {};
        if (role == Qt::DisplayRole)
            return columns_[std::size_t(section)].title;
        // A click on another column's header sorts it ascending first; the header would
        // otherwise keep the direction of the column before.
        if (role == Qt::InitialSortOrderRole)
            return int(Qt::AscendingOrder);
        return {};
    }

    // Header clicks land here. Selections follow their rows.
    void sort(int column, Qt::SortOrder order) override {
        if (column < 0 || column >= columnCount() || !columns_[std::size_t(column)].compare)
            return;
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList before = persistentIndexList();
        std::vector<std::size_t> sources;
        for (const QModelIndex& index : before)
            sources.push_back(shown_[std::size_t(index.row())]);
        sortColumn_ = column;
        sortOrder_ = order;
        // Every sort starts again from the model's order, so ties always keep it.
        std::iota(shown_.begin(), shown_.end(), std::size_t(0));
        sortShown();
        std::vector<int> position(rows_.size());
        for (std::size_t shownRow = 0; shownRow < shown_.size(); ++shownRow)
            position[shown_[shownRow]] = int(shownRow);
        QModelIndexList after;
        for (std::size_t i = 0; i < sources.size(); ++i)
            after << index(position[sources[i]], before[int(i)].column());
        changePersistentIndexList(before, after);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

private:
    void sortShown() {
        if (sortColumn_ < 0 || sortColumn_ >= columnCount())
            return;
        const auto& compare = columns_[std::size_t(sortColumn_)].compare;
        if (!compare)
            return;
        const bool ascending = sortOrder_ == Qt::AscendingOrder;
        std::stable_sort(shown_.begin(), shown_.end(), [&](std::size_t a, std::size_t b) {
            const int order = compare(rows_[a], rows_[b]);
            if (order != 0 || !tieBreak_)
                return ascending ? order < 0 : order > 0;
            return tieBreak_(rows_[a], rows_[b]) < 0;
        });
    }

    std::vector<Column> columns_;
    std::function<int(const Row&, const Row&)> tieBreak_;
    std::vector<Row> rows_;
    std::vector<std::size_t> shown_;
    int sortColumn_;
    Qt::SortOrder sortOrder_;
};

} // namespace dovrane
