#include "Services/StoreRecords.h"

#include <DovraneKit/core/Saturating.h>

namespace dovrane {

Removal::Removal(Date date, QString title, std::vector<RemovedItem> items)
    : date_(date), title_(std::move(title)), items_(std::move(items)), uuid_(QUuid::createUuid()) {}

Removal::Removal(Date date, const Wording& title, std::vector<RemovedItem> items)
    : Removal(date, title.text(), std::move(items)) {
    if (!title.toJson().isEmpty())
        wording_ = title;
}

Removal::Removal(Date date, const Wording& title, std::vector<RemovedItem> items, QByteArray encodedItems)
    : Removal(date, title, std::move(items)) {
    encodedItems_ = std::move(encodedItems);
}

Removal::Removal(Date date, const Wording& title, std::vector<RemovedItem> items, const QUuid& uuid)
    : Removal(date, title, std::move(items)) {
    uuid_ = uuid;
}

std::int64_t Removal::size() const {
    std::int64_t total = 0;
    for (const RemovedItem& item : items_)
        total = saturatingAdd(total, item.size);
    return total;
}

void Removal::setDate(Date date) {
    date_ = date;
    changed_ = true;
}

void Removal::setTitle(QString title) {
    title_ = std::move(title);
    wording_.reset();
    changed_ = true;
}

void Removal::setItems(std::vector<RemovedItem> items) {
    items_ = std::move(items);
    encodedItems_.reset();
    changed_ = true;
    itemsChanged_ = true;
}

void Removal::setUndone(bool undone) {
    undone_ = undone;
    changed_ = true;
}

DailySize::DailySize(QDate day, std::int64_t used, std::map<std::string, std::int64_t> categories)
    : day_(day), used_(used), categories_(std::move(categories)) {}

void DailySize::setUsed(std::int64_t used) {
    used_ = used;
    changed_ = true;
}

void DailySize::setCategories(std::map<std::string, std::int64_t> categories) {
    categories_ = std::move(categories);
    changed_ = true;
}

} // namespace dovrane
