#pragma once
// The items of one category as the table of its detail shows them: name, size, last use and
// rating, sorted by the column the header picks.

#include "UiKit/SortedTableModel.h"

#include <DovraneKit/scan/ScanModel.h>

#include <vector>

namespace dovrane {

class AppModel;

// The sort key of the Last Used column: never used sorts as the oldest.
Date lastUsedSort(const CleanupItem& item);

class CategoryItemsModel final : public SortedTableModel<CleanupItem> {
public:
    enum ColumnIndex { nameColumn, sizeColumn, lastUsedColumn, safetyColumn };
    // The rating the Safety column shows (Safety as int): a show-only item rated safe shows
    // review, while the column still sorts by the stored rating.
    static constexpr int shownSafetyRole = Qt::UserRole + 1;

    CategoryItemsModel(const AppModel& model, QObject* parent = nullptr);
    // The rows of a category; its id decides how sizes show (snapshots have none).
    void setCategory(CategoryID id, std::vector<CleanupItem> items);
    static Safety shownSafety(const CleanupItem& item);

private:
    std::vector<Column> columns(const AppModel& model);
    CategoryID category_ = CategoryID::other;
};

} // namespace dovrane
