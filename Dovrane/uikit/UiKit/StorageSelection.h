#pragma once
// The category chosen on the Storage and Developer pages, shared by both and by whatever opens
// a page on a category. Main thread only; usable before any page exists.

#include <DovraneKit/scan/ScanModel.h>

#include <QObject>

#include <optional>

namespace dovrane {

class StorageSelection final : public QObject {
    Q_OBJECT
public:
    // Starts at caches.
    explicit StorageSelection(QObject* parent = nullptr) : QObject(parent) {}
    static StorageSelection& shared();

    std::optional<CategoryID> category() const { return category_; }
    // Notifies only when the value really changes.
    void setCategory(std::optional<CategoryID> category);

signals:
    void categoryChanged();

private:
    std::optional<CategoryID> category_ = CategoryID::caches;
};

} // namespace dovrane
