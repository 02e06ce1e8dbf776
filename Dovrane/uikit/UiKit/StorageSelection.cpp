#include "UiKit/StorageSelection.h"

namespace dovrane {

StorageSelection& StorageSelection::shared() {
    static StorageSelection* selection = new StorageSelection;
    return *selection;
}

void StorageSelection::setCategory(std::optional<CategoryID> category) {
    if (category == category_)
        return;
    category_ = category;
    emit categoryChanged();
}

} // namespace dovrane
