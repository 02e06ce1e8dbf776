#pragma once
// The base of the pages' tables: rows kept in the model's order and shown sorted inside the
// model by the chosen column, with a stable sort, so rows with equal keys keep the model's order
// in either direction. (A proxy model's sort is not stable.) A column sorts by a key worked out
// once per row and set of rows, the first time the column sorts them: a name's key is its place
// in the Finder's order as bytes, so no sort compares names again.

#include <DovraneKit/core/Date.h>
#include <DovraneKit/core/NameOrder.h>

#include <QAbstractTableModel>

#include <algorithm>
#include <bit>
#include <compare>
#include <cstdint>
#include <functional>
#include <numeric>
#include <string>
#include <type_traits>
#include <vector>

namespace dovrane {

// A row's place in a column's order: by number, then by bytes (unsigned).
struct SortKey {
    std::int64_t number = 0;
    std::string bytes;
    auto operator<=>(const SortKey&) const = default;
};

namespace SortKeys {

// Numbers and enumerations by their value.
template <typename Value> SortKey of(Value value) {
    static_assert(std::is_integral_v<Value> || std::is_enum_v<Value>, "a number, an enumeration or a date");
    return {std::int64_t(value), {}};
}

// By time: the seconds' bits, turned so that they order as the seconds do.
inline SortKey of(Date date) {
    const double seconds = date.secondsSinceReference == 0 ? 0.0 : date.secondsSinceReference; // -0 is 0
    const auto bits = std::bit_cast<std::uint64_t>(seconds);
    const std::uint64_t ordered = bits >> 63 ? ~bits : bits | (std::uint64_t(1) << 63);
    return {std::int64_t(ordered ^ (std::uint64_t(1) << 63)), {}};
}

// Values of the key in their own order: numbers, enumerations, dates.
template <typename Row, typename Key> std::function<SortKey(const Row&)> byValue(Key key) {
    return [key](const Row& row) { return of(std::invoke(key, row)); };
}

// Texts in the Finder's order of names (case-insensitive, numbers by value); key gives UTF-8.
template <typename Row, typename Key> std::function<SortKey(const Row&)> byName(Key key) {
    return [key, order = NameOrder()](const Row& row) { return SortKey{0, order.key(std::invoke(key, row))}; };
}

} // namespace SortKeys

template <typename Row> class SortedTableModel : public QAbstractTableModel {
public:
    struct Column {
        QString title;
        std::function<SortKey(const Row&)> sortKey; // none: the column does not sort
        std::function<QVariant(const Row&, int role)> data;
    };

    SortedTableModel(std::vector<Column> columns, int sortColumn, Qt::SortOrder order, QObject* parent = nullptr)
        : QAbstractTableModel(parent), columns_(std::move(columns)), keys_(columns_.size()), sortColumn_(sortColumn),
          sortOrder_(order) {}

    // The rows in the model's order; they are shown sorted by the current column and direction.
    void setRows(std::vector<Row> rows) {
        beginResetModel();
        rows_ = std::move(rows);
        keys_.assign(columns_.size(), {});
        shown_.resize(rows_.size());
        std::iota(shown_.begin(), shown_.end(), std::size_t(0));
        sortShown();
        endResetModel();
    }

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
        if (column < 0 || column >= columnCount() || !columns_[std::size_t(column)].sortKey)
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
        if (sortColumn_ < 0 || sortColumn_ >= columnCount() || !columns_[std::size_t(sortColumn_)].sortKey)
            return;
        const std::vector<SortKey>& keys = keysOf(std::size_t(sortColumn_));
        if (sortOrder_ == Qt::AscendingOrder)
            std::stable_sort(shown_.begin(), shown_.end(),
                             [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
        else
            std::stable_sort(shown_.begin(), shown_.end(),
                             [&](std::size_t a, std::size_t b) { return keys[b] < keys[a]; });
    }

    const std::vector<SortKey>& keysOf(std::size_t column) {
        std::vector<SortKey>& keys = keys_[column];
        if (keys.size() != rows_.size()) {
            keys.clear();
            keys.reserve(rows_.size());
            for (const Row& row : rows_)
                keys.push_back(columns_[column].sortKey(row));
        }
        return keys;
    }

    std::vector<Column> columns_;
    std::vector<Row> rows_;
    // By column: one key per row of rows_, for the columns that have sorted them.
    std::vector<std::vector<SortKey>> keys_;
    std::vector<std::size_t> shown_;
    int sortColumn_;
    Qt::SortOrder sortOrder_;
};

} // namespace dovrane
