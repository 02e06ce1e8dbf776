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

} // namespace

RemovalJournal::RemovalJournal(QString connection, qint64 id, Date date, const Wording& title, QUuid uuid)
    : connection_(std::move(connection)), id_(id), date_(date), title_(title), uuid_(uuid) {}

RemovalJournal::~RemovalJournal() { closeStore(connection_); }

std::unique_ptr<RemovalJournal> RemovalJournal::begin(const std::string& storePath, Date date, const Wording& title) {
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
    const QUuid uuid = QUuid::createUuid();
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

bool RemovalJournal::add(const std::vector<RemovedItem>& taking) {
    return inTransaction(connection_, "record the items of a removal", [&](QSqlQuery& query) {
        query.prepare(QStringLiteral("INSERT INTO removal_moves (removal, item) VALUES (?, CAST(? AS TEXT))"));
        for (const RemovedItem& item : taking) {
            query.addBindValue(id_);
            query.addBindValue(QByteArray::fromStdString(item.toJson().dump()));
            if (!query.exec())
                return false;
        }
        return true;
    });
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
    Trasher::Journal hooks{batch, [&](const std::vector<RemovedItem>& taking) {
                               if (!journal || !journal->add(taking))
                                   return false;
                               if (reached)
                                   reached(Point::recorded);
                               return true;
                           }};
    moved.outcome = trasher.execute(plan, hooks);
    if (reached)
        reached(Point::moved);
    if (!journal)
        return moved;
    moved.uuid = journal->uuid_;
    // The journal's text of thousands of items is worked out here, not on the main thread.
    const QByteArray encoded =
        moved.outcome.removed.empty() ? QByteArray() : ModelContainer::encodeItems(moved.outcome.removed);
    moved.saved = journal->finish(moved.outcome.removed, encoded);
    checkpoint(journal->connection_);
    return moved;
}

RemovalJournal::Moved
RemovalJournal::journaled(const std::string& storePath, Date date, const Wording& title,
                          const std::function<std::vector<RemovedItem>(const Trasher::Journal&)>& work) {
    Moved moved{{}, false, date, {}};
    std::unique_ptr<RemovalJournal> journal;
    bool opened = false;
    const Trasher::Journal hooks{batch, [&](const std::vector<RemovedItem>& taking) {
                                     if (!opened) {
                                         opened = true;
                                         journal = begin(storePath, date, title);
                                     }
                                     return journal && journal->add(taking);
                                 }};
    moved.outcome.removed = work(hooks);
    if (!journal)
        return moved;
    moved.uuid = journal->uuid_;
    const QByteArray encoded =
        moved.outcome.removed.empty() ? QByteArray() : ModelContainer::encodeItems(moved.outcome.removed);
    moved.saved = journal->finish(moved.outcome.removed, encoded);
    checkpoint(journal->connection_);
    return moved;
}

std::optional<int> RemovalJournal::settle(const std::string& storePath) {
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
        std::vector<RemovedItem> taken;
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
                if (auto item = RemovedItem::fromJson(*json))
                    taken.push_back(std::move(*item));
            }
        }
        const std::vector<RemovedItem> kept = Trasher::settle(taken);
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
    if (!left.empty())
        checkpoint(name);
    closeStore(name);
    return written;
}

} // namespace dovrane
