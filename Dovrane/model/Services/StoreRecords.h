#pragma once
// The two kinds of record the database keeps: one move to the Trash (the journal) and one day's
// disk use. Records are shared objects known by their identity, not by their fields: two
// removals with equal fields are two entries of the journal. Changes made through the setters
// are written by the container's next save.

#include "Services/Wording.h"

#include <DovraneKit/apps/AppRecords.h>
#include <DovraneKit/core/Date.h>
#include <DovraneKit/trash/RemovedItem.h>

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dovrane {

class ModelContainer;

class Removal {
public:
    // A new record, not yet inserted: not undone, with a fresh identifier.
    Removal(Date date, QString title, std::vector<RemovedItem> items);
    // The title is kept with its wording, so that a later start words it in its own language.
    Removal(Date date, const Wording& title, std::vector<RemovedItem> items);
    // With the items already encoded as the store writes them (ModelContainer::encodeItems, on
    // any thread): the save of thousands of items then does not encode them on the main thread.
    Removal(Date date, const Wording& title, std::vector<RemovedItem> items, QByteArray encodedItems);
    // The record that a move's own journal (RemovalJournal) could not finish, under its identifier,
    // so that the record it left under way is not settled into a second one.
    Removal(Date date, const Wording& title, std::vector<RemovedItem> items, const QUuid& uuid);

    Date date() const { return date_; }
    // In the current language when the record knows its wording, else as it was stored.
    QString title() const { return wording_ ? wording_->text() : title_; }
    const std::optional<Wording>& wording() const { return wording_; }
    const std::vector<RemovedItem>& items() const { return items_; }
    bool undone() const { return undone_; }
    const QUuid& uuid() const { return uuid_; }
    // The sum of the items' sizes, held at the largest count rather than overflowing.
    std::int64_t size() const;

    void setDate(Date date);
    void setTitle(QString title);
    void setItems(std::vector<RemovedItem> items);
    void setUndone(bool undone);

private:
    friend class ModelContainer;
    Removal() = default;

    Date date_;
    QString title_; // as worded when recorded: what a store without wordings shows
    std::optional<Wording> wording_;
    std::vector<RemovedItem> items_;
    std::optional<QByteArray> encodedItems_; // until the next save writes them
    bool undone_ = false;
    QUuid uuid_;
    bool changed_ = false;
    bool itemsChanged_ = false; // the items are written only then: a long list costs its time
};

class DailySize {
public:
    // day: the calendar date the record stands for.
    DailySize(QDate day, std::int64_t used, std::map<std::string, std::int64_t> categories = {});

    QDate day() const { return day_; }
    std::int64_t used() const { return used_; }
    // Bytes per category, keyed by the category's case name ("caches").
    const std::map<std::string, std::int64_t>& categories() const { return categories_; }

    void setUsed(std::int64_t used);
    void setCategories(std::map<std::string, std::int64_t> categories);

private:
    friend class ModelContainer;
    DailySize() = default;

    QDate day_;
    std::int64_t used_ = 0;
    std::map<std::string, std::int64_t> categories_;
    bool changed_ = false;
};

} // namespace dovrane
