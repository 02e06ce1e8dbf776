#pragma once
// The local database: the journal of removals and the daily disk-use records in one SQLite file
// (WAL journal), opened on the main thread and used only there. Inserts and changes wait for
// save(), which writes them in one transaction; a save that fails keeps them for the next.
// Fetches include what waits to be saved and read every row again, so that what another process
// wrote shows; a row keeps its object from fetch to fetch. A row that no longer decodes is
// skipped and left in the file as it is. A read that fails part-way is a failure, never fewer
// rows, and from then on nothing is written into the damaged file.

#include "Services/StoreRecords.h"

#include <DovraneKit/core/Date.h>
#include <DovraneKit/core/Expected.h>

#include <QDate>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dovrane {

// One record of a page of the journal: its row in the file (0 while it waits to be saved), the
// record as read, and its items in the Trash as counted by whoever read it.
struct JournalEntry {
    qint64 id = 0;
    std::shared_ptr<const Removal> record;
    int inTrash = 0;
    int backInPlace = 0; // out of the Trash and at their original place; counted only when none is in it
};

struct JournalPage {
    int total = 0;                     // every record, those waiting to be saved included
    std::vector<JournalEntry> entries; // newest first
};

class ModelContainer final : public QObject {
    Q_OBJECT

public:
    static constexpr int schemaVersion = 1;
    static constexpr int busyTimeoutMs = 5000;

    struct OpenFailure {
        // Why a store that is not damaged cannot be used, each with its own advice to the user.
        enum class Cause {
            other,
            newer,       // written by a newer version of Dovrane
            notWritable, // this user may not write it (another's, a read-only disk)
            readOnly,    // the user made it, a log file or its folder read-only
        };
        std::string message;
        // The file's pages failed the integrity check: the user's choice is to keep it aside.
        bool damaged = false;
        Cause cause = Cause::other;
    };

    // Opens or creates the database at path. Nothing in an existing file is changed when it
    // cannot be used (not a database, damaged, written by a newer version). A store or log file
    // that is not a regular file (a symbolic link, a named pipe, a socket), and a store whose
    // bytes do not begin as a database's, are not opened at all and count as damaged; one that
    // is read-only (readOnlyProblem) or cannot be written (another user's, on a read-only disk)
    // is not opened either. Another process opening the same store at the same moment, a new one
    // above all, is waited for up to busyTimeoutMs.
    static Expected<std::unique_ptr<ModelContainer>, OpenFailure> open(const std::string& path);
    // Why the store at path is read-only as the user left it: the owner's write bit is clear on
    // the store, a log file or its folder, owned by this user or by root. Root may write them
    // all the same, so the mode decides, not access(). Nothing when none is.
    static std::optional<std::string> readOnlyProblem(const std::string& path);
    // A new, empty database in a private folder of its own below `parent`, for a start whose own
    // store cannot be used: what it records lasts until it is closed, when the folder goes.
    static Expected<std::unique_ptr<ModelContainer>, OpenFailure> openTemporary(const std::string& parent);
    // The journal records a damaged store can still give, oldest first, as new records that
    // belong to no store: reading from both ends of the table, those before and after the
    // damage. The file is only read; one that open() refuses as no regular file is not read.
    static std::vector<std::shared_ptr<Removal>> readableRemovals(const std::string& path);
    // A removal's items as the journal stores them; any thread.
    static QByteArray encodeItems(const std::vector<RemovedItem>& items);
    // And back; nothing when the text does not decode.
    static std::optional<std::vector<RemovedItem>> decodeItems(const QByteArray& text);
    ~ModelContainer() override;

    // Closes every open store of the process, as their destructors would, so that each folds its
    // write-ahead log into the file and removes the log files, and a temporary one its folder:
    // for an end that runs no destructors (std::_Exit). On the main thread; the stores answer
    // nothing afterwards.
    static void closeAll();

    const std::string& path() const { return path_; }
    // Opened by openTemporary(): nothing it records outlasts the process.
    bool isTemporary() const { return !temporaryFolder_.empty(); }

    void insert(std::shared_ptr<Removal> removal);
    void insert(std::shared_ptr<DailySize> record);
    // Every daily record dated before cutoff goes at the next save.
    void deleteDailySizes(QDate cutoff);

    // Absent when the database cannot be read.
    std::optional<std::vector<std::shared_ptr<Removal>>> removals();
    // Any thread: `limit` records from position `offset` of the journal, newest first (records of
    // one date in the order written), through a read-only connection of the call's own, so that
    // a long journal is read a page at a time away from the main thread. `waiting` are the
    // records not saved yet (waitingRemovals()), placed among the rows by their dates. Absent
    // when the file cannot be read.
    static std::optional<JournalPage> readJournal(const std::string& path, int offset, int limit,
                                                  const std::vector<std::shared_ptr<const Removal>>& waiting);
    // Copies of the records inserted and not saved yet, for readJournal.
    std::vector<std::shared_ptr<const Removal>> waitingRemovals() const;
    // The object of a saved row whose changes wait for the next save, else nothing: what the
    // row says until then.
    std::shared_ptr<const Removal> unsaved(qint64 id) const;
    // The container's object for a record read elsewhere (readJournal), so that its changes are
    // saved: the row's object when one was fetched, else a copy of `read`, which is the row's
    // object from then on. For id 0, the waiting record with read's identifier, or nothing.
    std::shared_ptr<Removal> adopt(qint64 id, const Removal& read);
    // The journal's rows, counted in the file, and the records waiting to be saved; a row that no
    // longer decodes counts, as the file keeps it.
    std::optional<int> removalCount();
    // Sorted by day, oldest first, one record a date: of rows that name the same date (an older
    // store's, written in other time zones) the one written last.
    std::optional<std::vector<std::shared_ptr<DailySize>>> dailySizes();
    std::optional<std::vector<std::shared_ptr<DailySize>>> dailySizes(QDate day);

    // Records were written into the file over another connection (RemovalJournal): announced as
    // a change, so that the journal is read again.
    void noteWrittenElsewhere();

    bool hasChanges() const;
    // A read found the file damaged; saving is refused from then on.
    bool isDamaged() const { return damaged_; }
    // False when the write failed; the changes then wait for the next save.
    bool save();

signals:
    // Records were inserted, deleted or saved.
    void changed();

private:
    template <class Record> struct Table {
        std::map<qint64, std::shared_ptr<Record>> saved; // by row id, each row one object
        std::vector<std::shared_ptr<Record>> inserted;   // waiting for the next save
    };

    ModelContainer(std::string path, QString connectionName);
    // Fills record from a row of "SELECT id, date, title, items, undone, uuid FROM removals";
    // false when the row does not decode.
    static bool readRemovalRow(const QSqlQuery& query, Removal& record);
    static std::optional<JournalPage> readJournalPage(QSqlDatabase& database, int offset, int limit,
                                                      const std::vector<std::shared_ptr<const Removal>>& waiting);
    // The integrity check's findings; nothing when the file is sound.
    static std::optional<std::string> damageFound(QSqlQuery& query);
    // Marks the store damaged when the results ended on a failure; true then.
    bool endedOnFailure(const QSqlQuery& query);
    std::optional<std::vector<std::shared_ptr<DailySize>>> fetchDailySizes(std::optional<QDate> day);
    // The error's text when a statement fails.
    std::optional<std::string> writeChanges(std::vector<std::pair<std::shared_ptr<Removal>, qint64>>& newRemovals,
                                            std::vector<std::pair<std::shared_ptr<DailySize>, qint64>>& newDailySizes);

    std::string path_;
    QString connectionName_;
    Table<Removal> removals_;
    Table<DailySize> dailySizes_;
    std::optional<QDate> dailyCutoff_;
    bool damaged_ = false;
    std::string temporaryFolder_; // removed when closed
};

} // namespace dovrane
