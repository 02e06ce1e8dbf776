#pragma once
// The Cleaned Up page: the journal of everything moved to the Trash, newest first, one row per
// record, with Put Back for what can still come back. However long the journal, the page holds
// a row widget only for the records in and near the view, reads them a page at a time on the
// model's pool and counts their items in the Trash there too; the count of records comes from
// the database. A change of the database reads the pages in view again and changes the rows
// that differ. It writes nothing itself.

#include "Services/ModelContainer.h"

#include <QUuid>
#include <QWidget>

#include <cstdint>
#include <map>
#include <set>
#include <vector>

class QAbstractScrollArea;

namespace dovrane {

class AppModel;
class ContentUnavailableView;
class JournalView;
class RemovalRow;
class StyledLabel;

class CleanedPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int pageSize = 50;

    explicit CleanedPage(AppModel& model, QWidget* parent = nullptr);
    ~CleanedPage() override;

    // The rows in the order shown: those of the records in and near the view.
    std::vector<RemovalRow*> rows() const;
    ContentUnavailableView* emptyState() const { return empty_; }
    StyledLabel* header() const { return header_; }
    QAbstractScrollArea* list() const;
    // While the list has the focus: the row of the record the keyboard is on (moved by the arrows,
    // Page Up and Down, Home and End), and the ring that marks it.
    RemovalRow* keyboardRow() const;
    const QWidget* keyboardRing() const;
    // The records of the journal as last read; -1 until the first read has come back.
    int total() const { return total_; }
    // Every row in view shows its record as last read, with its items in the Trash counted.
    bool isSettled() const;
    // Reads the records in view again, the Trash included.
    void reload();

private:
    friend class JournalView;
    struct Page {
        std::uint64_t generation = 0;
        std::vector<JournalEntry> entries;
        bool counted = false;   // the entries carry counts, maybe those of the read before
        bool recounted = false; // counted for this read
    };

    // Places the rows for the records in view, and reads the pages they need.
    void place();
    void read(int page);
    void pageRead(int page, std::uint64_t generation, std::optional<JournalPage> read);
    void pageCounted(int page, std::uint64_t generation, std::vector<JournalEntry> counted);
    const JournalEntry* entryAt(int index, bool* counted) const;
    void putBack(const JournalEntry& entry);

    AppModel& model_;
    StyledLabel* header_;
    JournalView* view_;
    ContentUnavailableView* empty_;
    int total_ = -1;
    // Each read is tagged with the generation it was asked in; a change of the database starts
    // a new one, and what an older one reads only fills a gap.
    std::uint64_t generation_ = 1;
    std::map<int, Page> pages_;
    std::set<int> reading_;    // pages with a read on its way, of any generation
    std::set<int> unreadable_; // pages whose read in this generation failed
    std::set<QUuid> puttingBack_;
    bool reloadQueued_ = false;
};

} // namespace dovrane
