#include "Services/RemovalJournal.h"

#include "Services/ModelContainer.h"
#include "Services/RemovalOwner.h"

#include <DovraneKit/formats/JsonReading.h>
#include <DovraneKit/system/FileSystem.h>
#include <nlohmann/json.hpp>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>
#include <cstdio>

namespace dovrane {

namespace {

// The key, beside the item's own, under which an entry notes the info file that is to claim its
// Trash name.
constexpr const char* infoKey = "info";

QString newConnection() {
    static std::atomic<int> serial = 0;
    return QStringLiteral("dovrane-removal-%1").arg(++serial);
}

// Opens the store over a connection of the calling thread's own.
bool openStore(const QString& name, const std::string& path) {
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    database.setDatabaseName(QFile::decodeName(QByteArray::fromStdString(path)));
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(ModelContainer::busyTimeoutMs));
    if (!database.open())
        return false;
    // Each commit of a batch waits for the disk; a checkpoint on top of it, every few batches,
    // would write the growing tables into the file and wait again. The move checkpoints once, at
    // its end (checkpoint()).
    QSqlQuery(database).exec(QStringLiteral("PRAGMA wal_autocheckpoint = 0"));
    // A batch counts as recorded only once its commit is on the disk.
    return QSqlQuery(database).exec(QStringLiteral("PRAGMA synchronous = FULL"));
}

// What the log holds goes into the file here, on the pool, rather than at the next save of the
// main thread's connection. A reader that holds on stops it early, and the next one goes on.
void checkpoint(const QString& name) {
    QSqlQuery(QSqlDatabase::database(name, false)).exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
}

void closeStore(const QString& name) {
    {
        QSqlDatabase database = QSqlDatabase::database(name, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Runs `writes` in one transaction; false, with nothing written, when any of it failed.
template <class Writes> bool inTransaction(const QString& name, const char* what, Writes writes) {
    QSqlDatabase database = QSqlDatabase::database(name, false);
    QSqlQuery query(database);
    if (!database.transaction()) {
        std::fprintf(stderr, "Could not %s: %s\n", what, database.lastError().text().toUtf8().constData());
        return false;
    }
    if (writes(query) && database.commit())
        return true;
    const QString error = query.lastError().isValid() ? query.lastError().text() : database.lastError().text();
    std::fprintf(stderr, "Could not %s: %s\n", what, error.toUtf8().constData());
    database.rollback();
    return false;
}

QVariant wordingOf(const Wording& title) {
    const QString json = title.toJson();
    return json.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(json);
}

// The finished record among the journal's rows, as the container writes one; the container may
// have saved it already under the same identifier (finish failed, a later save did not).
bool insertRecord(QSqlQuery& query, double date, const QString& title, const QVariant& wording, const QString& uuid,
                  const QByteArray& encodedItems) {
    query.prepare(QStringLiteral("INSERT INTO removals (date, title, items, undone, uuid, title_wording) "
                                 "SELECT ?, ?, CAST(? AS TEXT), 0, ?, ? "
                                 "WHERE NOT EXISTS (SELECT 1 FROM removals WHERE uuid = ?)"));
    query.addBindValue(date);
    query.addBindValue(title);
    query.addBindValue(encodedItems);
    query.addBindValue(uuid);
    query.addBindValue(wording);
    query.addBindValue(uuid);
    return query.exec();
}

bool dropUnderWay(QSqlQuery& query, qint64 id) {
    query.prepare(QStringLiteral("DELETE FROM removal_moves WHERE removal = ?"));
    query.addBindValue(id);
    if (!query.exec())
        return false;
    query.prepare(QStringLiteral("DELETE FROM removals_under_way WHERE id = ?"));
    query.addBindValue(id);
    return query.exec();
}

bool dropPutBack(QSqlQuery& query, qint64 id) {
    query.prepare(QStringLiteral("DELETE FROM put_backs_under_way WHERE id = ?"));
    query.addBindValue(id);
    return query.exec();
}

bool markPutBack(QSqlQuery& query, const QString& record) {
    query.prepare(QStringLiteral("UPDATE removals SET undone = 1 WHERE uuid = ?"));
    query.addBindValue(record);
    return query.exec();
}

// The Put Backs that processes no longer running left under way: their records' items that came
// back leave no info file, and a record of which all came back is marked put back. The number of
// records marked; nothing when the store could not be read or written.
std::optional<int> settlePutBacks(const QString& name, const std::string& storePath, const Trasher& trasher) {
    std::vector<std::pair<qint64, QString>> left;
    {
        QSqlQuery query(QSqlDatabase::database(name, false));
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT id, removal, owner FROM put_backs_under_way ORDER BY id")))
            return std::nullopt;
        while (query.next())
            if (!RemovalOwner::mayRun(storePath, query.value(2).toString().toStdString()))
                left.emplace_back(query.value(0).toLongLong(), query.value(1).toString());
        if (query.lastError().isValid())
            return std::nullopt;
    }
    std::optional<int> marked = 0;
    for (const auto& underWay : left) {
        const qint64 id = underWay.first;
        const QString& record = underWay.second;
        std::optional<std::vector<RemovedItem>> items;
        {
            QSqlQuery query(QSqlDatabase::database(name, false));
            query.setForwardOnly(true);
            query.prepare(QStringLiteral("SELECT CAST(items AS BLOB) FROM removals WHERE uuid = ? AND undone = 0"));
            query.addBindValue(record);
            if (!query.exec()) {
                marked.reset();
                continue;
            }
            if (query.next())
                items = ModelContainer::decodeItems(query.value(0).toByteArray());
        }
        const bool allBack = items && !items->empty() && trasher.settlePutBack(*items);
        const bool settled = inTransaction(name, "settle the record of a Put Back", [&](QSqlQuery& query) {
            if (allBack && !markPutBack(query, record))
                return false;
            return dropPutBack(query, id);
        });
        if (!settled)
            marked.reset();
        else if (marked && allBack)
            ++*marked;
    }
    return marked;
}

} // namespace

RemovalJournal::RemovalJournal(QString connection, qint64 id, Date date, const Wording& title, QUuid uuid)
    : connection_(std::move(connection)), id_(id), date_(date), title_(title), uuid_(uuid) {}

RemovalJournal::~RemovalJournal() { closeStore(connection_); }

std::unique_ptr<RemovalJournal> RemovalJournal::begin(const std::string& storePath, Date date, const Wording& title,
                                                      QUuid uuid) {
    // Without its lock, nobody could tell this process's record from one a dead process left.
    const std::string owner = RemovalOwner::mark(storePath);
    if (owner.empty()) {
        std::fprintf(stderr, "Could not lock %s: it is not this user's file, or cannot be made\n",
                     RemovalOwner::lockPath(storePath).c_str());
        return nullptr;
    }
    const QString name = newConnection();
    if (!openStore(name, storePath)) {
        closeStore(name);
        return nullptr;
    }
    qint64 id = 0;
    const bool begun = inTransaction(name, "start the record of a removal", [&](QSqlQuery& query) {
        query.prepare(QStringLiteral("INSERT INTO removals_under_way (date, title, title_wording, uuid, owner) "
                                     "VALUES (?, ?, ?, ?, ?)"));
        query.addBindValue(date.secondsSinceReference);
        query.addBindValue(title.text());
        query.addBindValue(wordingOf(title));
        query.addBindValue(uuid.toString(QUuid::WithoutBraces));
        query.addBindValue(QString::fromStdString(owner));
        if (!query.exec())
            return false;
        id = query.lastInsertId().toLongLong();
        return true;
    });
    if (!begun) {
        closeStore(name);
        return nullptr;
    }
    return std::unique_ptr<RemovalJournal>(new RemovalJournal(name, id, date, title, uuid));
}

bool RemovalJournal::add(const std::vector<Trasher::Taking>& taking) {
    return inTransaction(connection_, "record the items of a removal", [&](QSqlQuery& query) {
        query.prepare(QStringLiteral("INSERT INTO removal_moves (removal, item) VALUES (?, CAST(? AS TEXT))"));
        for (const Trasher::Taking& each : taking) {
            nlohmann::json item = each.item.toJson();
            item[infoKey] = each.info.text();
            query.addBindValue(id_);
            query.addBindValue(QByteArray::fromStdString(item.dump()));
            if (!query.exec())
                return false;
        }
        return true;
    });
}

void RemovalJournal::conclude(Moved& moved) {
    moved.uuid = uuid_;
    // The journal's text of thousands of items is worked out here, not on the main thread.
    const QByteArray encoded =
        moved.outcome.removed.empty() ? QByteArray() : ModelContainer::encodeItems(moved.outcome.removed);
    moved.saved = finish(moved.outcome.removed, encoded);
    checkpoint(connection_);
}

bool RemovalJournal::finish(const std::vector<RemovedItem>& removed, const QByteArray& encodedItems) {
    return inTransaction(connection_, "save the record of a removal", [&](QSqlQuery& query) {
        if (!removed.empty() && !insertRecord(query, date_.secondsSinceReference, title_.text(), wordingOf(title_),
                                              uuid_.toString(QUuid::WithoutBraces), encodedItems))
            return false;
        return dropUnderWay(query, id_);
    });
}

RemovalJournal::Moved RemovalJournal::move(const Trasher& trasher, const TrashPlan& plan, const std::string& storePath,
                                           Date date, const Wording& title, const std::function<void(Point)>& reached) {
    Moved moved{{}, false, date, {}};
    std::unique_ptr<RemovalJournal> journal = plan.entries.empty() ? nullptr : begin(storePath, date, title);
    Trasher::Journal hooks{batch,
                           [&](const std::vector<Trasher::Taking>& taking) {
                               if (!journal || !journal->add(taking))
                                   return false;
                               if (reached)
                                   reached(Point::recorded);
                               return true;
                           },
                           journal ? journal->uuid_.toString(QUuid::WithoutBraces).toStdString() : std::string()};
    moved.outcome = trasher.execute(plan, hooks);
    if (reached)
        reached(Point::moved);
    if (!journal)
        return moved;
    journal->conclude(moved);
    return moved;
}

RemovalJournal::Moved
RemovalJournal::journaled(const std::string& storePath, Date date, const Wording& title,
                          const std::function<std::vector<RemovedItem>(const Trasher::Journal&)>& work) {
    Moved moved{{}, false, date, {}};
    std::unique_ptr<RemovalJournal> journal;
    bool opened = false;
    // The identifier is chosen now: the move's own info files bear it before the record is begun.
    const QUuid uuid = QUuid::createUuid();
    const Trasher::Journal hooks{batch,
                                 [&](const std::vector<Trasher::Taking>& taking) {
                                     if (!opened) {
                                         opened = true;
                                         journal = begin(storePath, date, title, uuid);
                                     }
                                     return journal && journal->add(taking);
                                 },
                                 uuid.toString(QUuid::WithoutBraces).toStdString()};
    moved.outcome.removed = work(hooks);
    if (!journal)
        return moved;
    journal->conclude(moved);
    return moved;
}

std::optional<int> RemovalJournal::settle(const std::string& storePath, const Trasher& trasher) {
    if (!Fs::exists(storePath))
        return 0;
    const QString name = newConnection();
    if (!openStore(name, storePath)) {
        closeStore(name);
        return std::nullopt;
    }
    struct UnderWay {
        qint64 id;
        double date;
        QString title;
        QVariant wording;
        QString uuid;
    };
    std::vector<UnderWay> left;
    bool read = false;
    {
        QSqlQuery query(QSqlDatabase::database(name, false));
        query.setForwardOnly(true);
        if (query.exec(QStringLiteral(
                "SELECT id, date, title, title_wording, uuid, owner FROM removals_under_way ORDER BY id"))) {
            while (query.next())
                if (!RemovalOwner::mayRun(storePath, query.value(5).toString().toStdString()))
                    left.push_back({query.value(0).toLongLong(), query.value(1).toDouble(), query.value(2).toString(),
                                    query.value(3), query.value(4).toString()});
            read = !query.lastError().isValid();
        }
    }
    std::optional<int> written = read ? std::optional(0) : std::nullopt;
    for (const UnderWay& record : left) {
        std::vector<Trasher::Taking> taken;
        {
            QSqlQuery query(QSqlDatabase::database(name, false));
            query.setForwardOnly(true);
            query.prepare(QStringLiteral("SELECT CAST(item AS BLOB) FROM removal_moves WHERE removal = ? ORDER BY id"));
            query.addBindValue(record.id);
            if (!query.exec()) {
                written.reset();
                continue;
            }
            while (query.next()) {
                const QByteArray text = query.value(0).toByteArray();
                const auto json = Json::read(std::string_view(text.constData(), std::size_t(text.size())));
                if (!json)
                    continue;
                auto item = RemovedItem::fromJson(*json);
                if (!item)
                    continue;
                // An entry of a Dovrane that did not yet note the info file claims no name.
                const auto info = json->contains(infoKey) && (*json)[infoKey].is_string()
                                      ? FolderDescent::Identity::File::fromText((*json)[infoKey].get<std::string>())
                                      : std::nullopt;
                taken.push_back({std::move(*item), info.value_or(FolderDescent::Identity::File{})});
            }
        }
        // The move's own info files bear its identifier; a text of another form names none.
        const std::string mark = QUuid::fromString(record.uuid).isNull() ? std::string() : record.uuid.toStdString();
        const std::vector<RemovedItem> kept = trasher.settle(taken, mark);
        bool inserted = false;
        const bool settled = inTransaction(name, "settle the record of a removal", [&](QSqlQuery& query) {
            if (!kept.empty()) {
                if (!insertRecord(query, record.date, record.title, record.wording, record.uuid,
                                  ModelContainer::encodeItems(kept)))
                    return false;
                inserted = query.numRowsAffected() > 0;
            }
            return dropUnderWay(query, record.id);
        });
        if (!settled)
            written.reset();
        else if (written && inserted)
            ++*written;
    }
    const std::optional<int> marked = settlePutBacks(name, storePath, trasher);
    if (!marked)
        written.reset();
    else if (written)
        *written += *marked;
    if (!left.empty() || marked.value_or(0) > 0)
        checkpoint(name);
    closeStore(name);
    return written;
}

PutBackTally RemovalJournal::putBack(const Trasher& trasher, const QUuid& uuid, const std::vector<RemovedItem>& items,
                                     const std::string& storePath, const std::function<void(Point)>& reached) {
    const QString name = newConnection();
    const QString record = uuid.toString(QUuid::WithoutBraces);
    std::optional<qint64> id;
    // Owned as a move is, so that a start tells a Put Back under way from one a dead process left.
    const std::string owner = storePath.empty() ? std::string() : RemovalOwner::mark(storePath);
    const bool opened = !owner.empty() && openStore(name, storePath);
    if (opened)
        inTransaction(name, "start the record of a Put Back", [&](QSqlQuery& query) {
            query.prepare(QStringLiteral("INSERT INTO put_backs_under_way (removal, owner) VALUES (?, ?)"));
            query.addBindValue(record);
            query.addBindValue(QString::fromStdString(owner));
            if (!query.exec())
                return false;
            id = query.lastInsertId().toLongLong();
            return true;
        });
    const std::function<void()> returned = reached ? [&reached] { reached(Point::returned); } : std::function<void()>();
    PutBackTally tally;
    Trasher::OwnTrashes trashes;
    for (const RemovedItem& item : items) {
        const Trasher::PutBackResult result = trasher.putBack(item, returned, &trashes);
        using Kind = Trasher::PutBackResult::Kind;
        if (result.kind == Kind::restored)
            ++tally.restored;
        else if (result.kind == Kind::originalTaken)
            ++tally.taken;
        // Out of the Trash and the item itself at its place: an earlier Put Back's, cut short
        // before it marked the record, or the file manager's.
        else if (result.kind == Kind::goneFromTrash && Trasher::isBackInPlace(item))
            ++tally.alreadyBack;
        // Out of the Trash with something else at its place: nothing to report.
        else if (result.kind != Kind::goneFromTrash || !Fs::exists(item.originalPath.path()))
            tally.failures.push_back(result);
        // Still in the Trash, whatever its info file says now: the record stays open for it.
        if (result.kind != Kind::restored && Trasher::isStillInTrash(item))
            tally.leftInTrash = true;
    }
    if (reached)
        reached(Point::tried);
    if (id)
        inTransaction(name, "end the record of a Put Back", [&](QSqlQuery& query) {
            if (tally.complete() && !markPutBack(query, record))
                return false;
            return dropPutBack(query, *id);
        });
    if (!owner.empty()) // a connection was made for it, opened or not
        closeStore(name);
    return tally;
}

} // namespace dovrane
