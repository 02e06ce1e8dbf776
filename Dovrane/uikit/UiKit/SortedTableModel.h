#pragma once
// The base of the pages' tables: rows kept in the model's order and shown sorted inside the
// model by the chosen column, with a stable sort, so rows with equal keys keep one order in
// either direction: the tie-break's, then the model's. (A proxy model's sort is not stable.)
// A column sorts by a key worked out once per row and set of rows, the first time the column
// sorts them: a name's key is its place in the Finder's order as bytes, so no sort compares
// names again.

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

// Rows of one rank by name in the Finder's order, then by path; both give UTF-8 (the path as
// bytes).
template <typename Row, typename Name, typename Path>
std::function<SortKey(const Row&)> byNameThenPath(Name name, Path path) {
    return [name, path, order = NameOrder()](const Row& row) {
        return SortKey{0, order.tieKey(std::invoke(name, row), std::invoke(path, row))};
    };
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
        ties_.clear();
        tied_.clear();
        shown_.resize(rows_.size());
        std::iota(shown_.begin(), shown_.end(), std::size_t(0));
        sortShown();
        endResetModel();
    }

    // Orders rows that the chosen column finds equal, the same way in either direction, so rows
    // of one size keep their places from one listing to the next whatever order they came in.
    // Keyed only for the rows that tie, once per set of rows.
    void setTieBreak(std::function<SortKey(const Row&)> tieBreak) { tieBreak_ = std::move(tieBreak); }

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
        if (!tieBreak_)
            return;
        // Each run of rows the column finds equal, by the tie-break.
        for (auto run = shown_.begin(); run != shown_.end();) {
            const auto end =
                std::find_if(run + 1, shown_.end(), [&](std::size_t row) { return keys[row] != keys[*run]; });
            if (end - run > 1) {
                for (auto row = run; row != end; ++row)
                    tieKeyOf(*row);
                std::stable_sort(run, end, [&](std::size_t a, std::size_t b) { return ties_[a] < ties_[b]; });
            }
            run = end;
        }
    }

    const SortKey& tieKeyOf(std::size_t row) {
        if (tied_.size() != rows_.size()) {
            ties_.assign(rows_.size(), {});
            tied_.assign(rows_.size(), false);
        }
        if (!tied_[row]) {
            ties_[row] = tieBreak_(rows_[row]);
            tied_[row] = true;
        }
        return ties_[row];
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
    std::function<SortKey(const Row&)> tieBreak_;
    // The tie-break's keys of the rows that have tied so far, and which those are.
    std::vector<SortKey> ties_;
    std::vector<bool> tied_;
    std::vector<std::size_t> shown_;
    int sortColumn_;
    Qt::SortOrder sortOrder_;
};

} // namespace dovrane
