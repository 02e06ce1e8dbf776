#include "Services/ModelContainer.h"

#include "Background/LocalCalendar.h"

#include <DovraneKit/formats/JsonReading.h>
#include <DovraneKit/system/FileSystem.h>
#include <nlohmann/json.hpp>

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

namespace dovrane {

namespace {

using nlohmann::json;

QString qPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string describe(const QSqlError& error) {
    QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return text.toStdString();
}

// The library's rule for byte counts: never negative, at most 2^62, so that sums stay far from
// overflowing.
bool isSize(std::int64_t value) { return value >= 0 && value <= (std::int64_t(1) << 62); }

// The text of the array of the items' objects, one object at a time: the bytes a JSON array
// of them would dump to, without holding every object at once.
std::string itemsJson(const std::vector<RemovedItem>& items) {
    std::string list = "[";
    for (const RemovedItem& item : items) {
        if (list.size() > 1)
            list += ',';
        list += item.toJson().dump();
    }
    list += ']';
    return list;
}

// Item by item: a record of a hundred thousand items never stands as one document.
std::optional<std::vector<RemovedItem>> itemsFromJson(std::string_view text) {
    std::vector<RemovedItem> items;
    const bool read = Json::readEach(text, [&items](json&& element) {
        auto item = RemovedItem::fromJson(element);
        if (item)
            items.push_back(std::move(*item));
        return bool(item);
    });
    if (!read)
        return std::nullopt;
    items.shrink_to_fit();
    return items;
}

std::string categoriesJson(const std::map<std::string, std::int64_t>& categories) {
    json object = json::object();
    for (const auto& [name, size] : categories)
        object[name] = size;
    return object.dump();
}

std::optional<std::map<std::string, std::int64_t>> categoriesFromJson(const QString& text) {
    const auto object = Json::read(text.toStdString());
    if (!object || !object->is_object())
        return std::nullopt;
    std::map<std::string, std::int64_t> categories;
    for (const auto& [name, size] : object->items()) {
        if (!size.is_number_integer() || (size.is_number_unsigned() && size.get<std::uint64_t>() > INT64_MAX))
            return std::nullopt;
        if (!isSize(size.get<std::int64_t>()))
            return std::nullopt;
        categories[name] = size.get<std::int64_t>();
    }
    return categories;
}

QVariant text(const std::string& utf8) { return QVariant(QString::fromStdString(utf8)); }

// Runs one statement; the error text when it fails.
std::optional<std::string> run(QSqlQuery& query, const QString& statement) {
    if (query.exec(statement))
        return std::nullopt;
    return describe(query.lastError());
}

const char* const createRemovals =
    "CREATE TABLE IF NOT EXISTS removals (id INTEGER PRIMARY KEY, date REAL NOT NULL, title TEXT NOT NULL, "
    "items TEXT NOT NULL, undone INTEGER NOT NULL, uuid TEXT NOT NULL)";
const char* const createDailySizes =
    "CREATE TABLE IF NOT EXISTS daily_sizes (id INTEGER PRIMARY KEY, day REAL NOT NULL, used INTEGER NOT NULL, "
    "categories TEXT NOT NULL)";
const char* const indexDailySizes = "CREATE INDEX IF NOT EXISTS daily_sizes_day ON daily_sizes (day)";
// One record per day, so that two processes cannot each add one; a store from before it keeps
// the latest record of a day.
const char* const dropDuplicateDays =
    "DELETE FROM daily_sizes WHERE id NOT IN (SELECT MAX(id) FROM daily_sizes GROUP BY day)";
const char* const indexNewestFirst = "CREATE INDEX IF NOT EXISTS removals_newest ON removals (date DESC, id)";
// A removal while it runs: its record and the items of each batch, written before they move,
// until the finished record takes its place in removals (RemovalJournal). Tables of their own,
// which an older Dovrane keeps without knowing them.
const char* const createUnderWay =
    "CREATE TABLE IF NOT EXISTS removals_under_way (id INTEGER PRIMARY KEY, date REAL NOT NULL, title TEXT NOT NULL, "
    "title_wording TEXT, uuid TEXT NOT NULL, owner TEXT NOT NULL)";
const char* const createMoves = "CREATE TABLE IF NOT EXISTS removal_moves (id INTEGER PRIMARY KEY, "
                                "removal INTEGER NOT NULL, item TEXT NOT NULL)";
const char* const indexMoves = "CREATE INDEX IF NOT EXISTS removal_moves_of ON removal_moves (removal)";
// A Put Back while it runs, by its record's identifier, until the record is marked or the Put
// Back ends (RemovalJournal). A table of its own, like the two above.
const char* const createPutBacks = "CREATE TABLE IF NOT EXISTS put_backs_under_way (id INTEGER PRIMARY KEY, "
                                   "removal TEXT NOT NULL, owner TEXT NOT NULL)";
// A record is looked up by its identifier when a removal's journal finishes or is settled.
const char* const indexUuid = "CREATE INDEX IF NOT EXISTS removals_uuid ON removals (uuid)";
const char* const uniqueDay = "CREATE UNIQUE INDEX IF NOT EXISTS daily_sizes_one_per_day ON daily_sizes (day)";

// SQLite's own word that the file is damaged or no database at all (SQLITE_CORRUPT,
// SQLITE_NOTADB, with or without their extended codes).
bool isCorruption(const QSqlError& error) {
    bool isNumber = false;
    const int code = error.nativeErrorCode().toInt(&isNumber);
    return isNumber && ((code & 0xff) == 11 || (code & 0xff) == 26);
}

// The end of the results, or the failure that stopped them early (a damaged page reads as
// fewer rows otherwise).
std::optional<std::string> failureAfterRows(const QSqlQuery& query) {
    if (query.lastError().isValid())
        return describe(query.lastError());
    return std::nullopt;
}

// What writeSchema() makes beside the two tables, by name.
const char* const schemaNames = "'daily_sizes_one_per_day', 'removals_newest', 'removals_uuid', "
                                "'removals_under_way', 'removal_moves', 'removal_moves_of', 'put_backs_under_way'";
constexpr int schemaNameCount = 7;

// The journal's titles have their column for the wording; false also when that cannot be told.
bool hasWordingColumn(QSqlQuery& query) {
    return !run(query, QStringLiteral("SELECT COUNT(*) FROM pragma_table_info('removals') "
                                      "WHERE name = 'title_wording'")) &&
           query.next() && query.value(0).toInt() == 1;
}

// Another connection holds what a statement needs (SQLITE_BUSY, SQLITE_LOCKED).
bool isBusy(const QSqlError& error) {
    bool isNumber = false;
    const int code = error.nativeErrorCode().toInt(&isNumber);
    return isNumber && ((code & 0xff) == 5 || (code & 0xff) == 6);
}

// Creates what the store lacks of the schema, in the transaction under way; the error's text
// when a statement failed.
std::optional<std::string> writeSchema(QSqlQuery& query, int version) {
    if (auto error = run(query, QStringLiteral("SELECT COUNT(*) FROM sqlite_master "
                                               "WHERE name = 'daily_sizes_one_per_day'")))
        return error;
    if (!query.next())
        return failureAfterRows(query).value_or("it cannot list its tables");
    if (version < ModelContainer::schemaVersion || query.value(0).toInt() == 0) {
        for (const char* statement : {createRemovals, createDailySizes, indexDailySizes, dropDuplicateDays, uniqueDay})
            if (auto error = run(query, QString::fromLatin1(statement)))
                return error;
        if (auto error = run(query, QStringLiteral("PRAGMA user_version = %1").arg(ModelContainer::schemaVersion)))
            return error;
    }
    // The wording of each title, so that a later start words it in its own language. A column
    // of its own rather than a new schema version: an older Dovrane still opens the store and
    // reads the titles as they were stored.
    if (auto error = run(query, QStringLiteral("SELECT COUNT(*) FROM pragma_table_info('removals') "
                                               "WHERE name = 'title_wording'")))
        return error;
    if (!query.next())
        return failureAfterRows(query).value_or("it cannot list its columns");
    if (query.value(0).toInt() == 0)
        if (auto error = run(query, QStringLiteral("ALTER TABLE removals ADD COLUMN title_wording TEXT")))
            return error;
    // The journal is read a page at a time, newest first; an index, like the column above, that
    // an older Dovrane keeps up without knowing it.
    for (const char* statement : {indexNewestFirst, indexUuid, createUnderWay, createMoves, indexMoves, createPutBacks})
        if (auto error = run(query, QString::fromLatin1(statement)))
            return error;
    return std::nullopt;
}

// SQLite opens the store and its two log files by name and follows links: through a link it
// would write into whatever file the link names. Neither that nor a named pipe, a socket or a
// device is a store of ours; a missing file is made by SQLite.
std::optional<std::string> notAFile(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
        struct stat status {};
        if (lstat((path + suffix).c_str(), &status) != 0 || S_ISREG(status.st_mode))
            continue;
        const std::string problem = S_ISLNK(status.st_mode) ? "it is a symbolic link" : "it is not a regular file";
        return *suffix ? problem + " (" + path.substr(path.rfind('/') + 1) + suffix + ")" : problem;
    }
    return std::nullopt;
}

// A file with bytes that do not begin as every SQLite database does. SQLite would take it for a
// database to open and, finding it is none, remove a log file beside it: the file and its logs
// are left as they are instead, for the user to keep.
bool isOtherThanADatabase(const std::string& path) {
    const int fd = Fs::openForReading(path);
    if (fd < 0)
        return false;
    static constexpr char header[] = "SQLite format 3"; // and its terminating zero
    char start[sizeof header] = {};
    const ssize_t got = ::read(fd, start, sizeof start);
    ::close(fd);
    return got > 0 && (got < ssize_t(sizeof start) || std::memcmp(start, header, sizeof header) != 0);
}

// The connections of open stores are named with this prefix and a serial number.
const QString storeConnection = QStringLiteral("dovrane-store-");

// The folders of the open temporary stores, for closeAll().
std::vector<std::string>& temporaryFolders() {
    static std::vector<std::string> folders;
    return folders;
}

} // namespace

ModelContainer::ModelContainer(std::string path, QString connectionName)
    : path_(std::move(path)), connectionName_(std::move(connectionName)) {}

ModelContainer::~ModelContainer() {
    {
        QSqlDatabase database = QSqlDatabase::database(connectionName_, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
    if (isTemporary()) {
        Fs::removeAll(temporaryFolder_);
        std::erase(temporaryFolders(), temporaryFolder_);
    }
}

void ModelContainer::closeAll() {
    for (const QString& name : QSqlDatabase::connectionNames())
        if (name.startsWith(storeConnection))
            QSqlDatabase::database(name, false).close();
    for (const std::string& folder : temporaryFolders())
        Fs::removeAll(folder);
}

Expected<std::unique_ptr<ModelContainer>, ModelContainer::OpenFailure>
ModelContainer::openTemporary(const std::string& parent) {
    const std::optional<std::string> folder = Fs::makeUniqueDirectory(parent, "dovrane-session-");
    if (!folder)
        return OpenFailure{"no folder can be made in " + parent + ": " + std::strerror(errno)};
    auto opened = open(Path::join(*folder, "Dovrane.store"));
    if (!opened) {
        Fs::removeAll(*folder);
        return opened;
    }
    (*opened)->temporaryFolder_ = *folder;
    temporaryFolders().push_back(*folder);
    return opened;
}

std::optional<std::string> ModelContainer::damageFound(QSqlQuery& query) {
    if (auto error = run(query, QStringLiteral("PRAGMA quick_check")))
        return error;
    std::string findings;
    while (query.next()) {
        const std::string line = query.value(0).toString().toStdString();
        if (line == "ok")
            continue;
        findings += findings.empty() ? line : "; " + line;
    }
    if (auto error = failureAfterRows(query))
        return error;
    if (findings.empty())
        return std::nullopt;
    return findings;
}

std::optional<std::string> ModelContainer::readOnlyProblem(const std::string& path) {
    const auto readOnly = [](const struct stat& status) {
        return !(status.st_mode & S_IWUSR) && (status.st_uid == geteuid() || status.st_uid == 0);
    };
    struct stat status {};
    // A link in a file's place is refused on its own; a linked folder is followed.
    for (const char* suffix : {"", "-wal", "-shm"})
        if (lstat((path + suffix).c_str(), &status) == 0 && S_ISREG(status.st_mode) && readOnly(status))
            return std::string(*suffix ? path.substr(path.rfind('/') + 1) + suffix : "it") + " is read-only";
    const std::string folder = Path::parent(path);
    if (!folder.empty() && stat(folder.c_str(), &status) == 0 && readOnly(status))
        return "its folder is read-only";
    return std::nullopt;
}

Expected<std::unique_ptr<ModelContainer>, ModelContainer::OpenFailure> ModelContainer::open(const std::string& path) {
    if (auto problem = notAFile(path))
        return OpenFailure{*problem, true};
    // What the user made read-only stays as it is, even when it is no database.
    if (auto problem = readOnlyProblem(path))
        return OpenFailure{*problem, false, OpenFailure::Cause::readOnly};
    if (isOtherThanADatabase(path))
        return OpenFailure{"file is not a database", true}; // SQLite's own words for it
    // SQLite would open a file it may not write read-only, without a word, and every save would
    // fail later.
    for (const char* suffix : {"", "-wal", "-shm"})
        if (faccessat(AT_FDCWD, (path + suffix).c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
            return OpenFailure{std::string(*suffix ? path.substr(path.rfind('/') + 1) + suffix + " " : "it ") +
                                   "cannot be written: " + std::strerror(errno),
                               false, OpenFailure::Cause::notWritable};
    static int serial = 0;
    const QString name = storeConnection + QString::number(++serial);
    std::unique_ptr<ModelContainer> container(new ModelContainer(path, name));
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    database.setDatabaseName(qPath(path));
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    // Whatever SQLite calls damage, at any read here, is the damaged-store road.
    const auto failure = [](const QSqlError& error) { return OpenFailure{describe(error), isCorruption(error)}; };
    if (!database.open())
        return failure(database.lastError());

    // Read the version before anything writes: a file that is not ours, or is newer than we
    // are, stays exactly as it is.
    QSqlQuery query(database);
    if (!query.exec(QStringLiteral("PRAGMA user_version")))
        return failure(query.lastError());
    if (!query.next()) {
        if (query.lastError().isValid())
            return failure(query.lastError());
        return OpenFailure{"it reports no schema version"};
    }
    const int version = query.value(0).toInt();
    if (version > schemaVersion)
        return OpenFailure{"it was written by a newer version of Dovrane (schema " + std::to_string(version) + ")",
                           false, OpenFailure::Cause::newer};
    if (auto damage = damageFound(query))
        return OpenFailure{"the file is damaged (" + *damage + ")", true};

    // Another process may be opening the same store this moment, a new one above all. Switching
    // to the write-ahead log takes the whole file, and SQLite gives up at once when it meets that
    // process's read instead of waiting: the switch is tried again until the busy timeout.
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyTimeoutMs);
         !query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));) {
        if (!isBusy(query.lastError()) || std::chrono::steady_clock::now() >= deadline)
            return failure(query.lastError());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!query.next() || query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return OpenFailure{"it cannot use a write-ahead log"};

    // A store that has its whole schema is only read here. Otherwise the schema's writes wait for
    // the write lock first (the busy timeout), and then look at what another opening wrote.
    if (auto error = run(
            query,
            QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name IN (%1)").arg(QLatin1String(schemaNames))))
        return OpenFailure{*error};
    if (!query.next())
        return failure(query.lastError());
    if (version == schemaVersion && query.value(0).toInt() == schemaNameCount && hasWordingColumn(query))
        return container;
    if (auto error = run(query, QStringLiteral("BEGIN IMMEDIATE")))
        return OpenFailure{*error};
    std::optional<std::string> error = writeSchema(query, version);
    if (!error)
        error = run(query, QStringLiteral("COMMIT"));
    if (error) {
        const bool damaged = isCorruption(query.lastError());
        run(query, QStringLiteral("ROLLBACK"));
        return OpenFailure{*error, damaged};
    }
    return container;
}

QByteArray ModelContainer::encodeItems(const std::vector<RemovedItem>& items) {
    return QByteArray::fromStdString(itemsJson(items));
}

std::optional<std::vector<RemovedItem>> ModelContainer::decodeItems(const QByteArray& text) {
    return itemsFromJson(std::string_view(text.constData(), std::size_t(text.size())));
}

void ModelContainer::insert(std::shared_ptr<Removal> removal) {
    removals_.inserted.push_back(std::move(removal));
    emit changed();
}

void ModelContainer::insert(std::shared_ptr<DailySize> record) {
    dailySizes_.inserted.push_back(std::move(record));
    emit changed();
}

void ModelContainer::deleteDailySizes(QDate cutoff) {
    dailyCutoff_ = dailyCutoff_ ? std::max(*dailyCutoff_, cutoff) : cutoff;
    emit changed();
}

std::optional<std::vector<std::shared_ptr<Removal>>> ModelContainer::removals() {
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT id, date, title, CAST(items AS BLOB), undone, uuid, title_wording FROM removals ORDER BY id")))
        return std::nullopt;
    std::vector<std::shared_ptr<Removal>> records;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        const auto known = removals_.saved.find(id);
        // A record with changes of its own keeps them until they are saved.
        if (known != removals_.saved.end() && known->second->changed_) {
            records.push_back(known->second);
            continue;
        }
        std::shared_ptr<Removal> record =
            known != removals_.saved.end() ? known->second : std::shared_ptr<Removal>(new Removal());
        if (!readRemovalRow(query, *record))
            continue;
        removals_.saved.emplace(id, record);
        records.push_back(std::move(record));
    }
    if (endedOnFailure(query))
        return std::nullopt;
    records.insert(records.end(), removals_.inserted.begin(), removals_.inserted.end());
    return records;
}

bool ModelContainer::readRemovalRow(const QSqlQuery& query, Removal& record) {
    // The statements read the items cast to a blob: their UTF-8 as stored, with no copy in UTF-16
    // of a record of a hundred thousand items.
    const QByteArray text = query.value(3).toByteArray();
    auto items = itemsFromJson(std::string_view(text.constData(), std::size_t(text.size())));
    const QUuid uuid = QUuid::fromString(query.value(5).toString());
    if (!items || uuid.isNull())
        return false;
    record.date_ = Date{query.value(1).toDouble()};
    record.title_ = query.value(2).toString();
    // Absent from a store written before titles kept their wording, and from one recovered.
    record.wording_ =
        query.record().count() > 6 && !query.isNull(6) ? Wording::fromJson(query.value(6).toString()) : std::nullopt;
    record.items_ = std::move(*items);
    record.undone_ = query.value(4).toLongLong() != 0;
    record.uuid_ = uuid;
    return true;
}

std::vector<std::shared_ptr<Removal>> ModelContainer::readableRemovals(const std::string& path) {
    static int serial = 0;
    const QString name = QStringLiteral("dovrane-readable-%1").arg(++serial);
    std::map<qint64, std::shared_ptr<Removal>> found;
    if (notAFile(path) || isOtherThanADatabase(path))
        return {};
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(qPath(path));
        database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (database.open()) {
            // A damaged page ends a read in either direction; together they reach every row but
            // those the damage holds.
            for (const char* order : {"ASC", "DESC"}) {
                QSqlQuery query(database);
                query.setForwardOnly(true);
                if (!query.exec(
                        QStringLiteral(
                            "SELECT id, date, title, CAST(items AS BLOB), undone, uuid FROM removals ORDER BY id ") +
                        QLatin1String(order)))
                    continue;
                while (query.next()) {
                    std::shared_ptr<Removal> record(new Removal());
                    if (readRemovalRow(query, *record))
                        found.emplace(query.value(0).toLongLong(), std::move(record));
                }
            }
        }
        database.close();
    }
    QSqlDatabase::removeDatabase(name);
    std::vector<std::shared_ptr<Removal>> records;
    for (auto& [id, record] : found)
        records.push_back(std::move(record));
    return records;
}

std::optional<JournalPage> ModelContainer::readJournal(const std::string& path, int offset, int limit,
                                                       const std::vector<std::shared_ptr<const Removal>>& waiting) {
    if (notAFile(path))
        return std::nullopt;
    // A connection belongs to the thread that made it: each read makes its own.
    static std::atomic<int> serial = 0;
    const QString name = QStringLiteral("dovrane-journal-%1").arg(++serial);
    std::optional<JournalPage> page;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        database.setDatabaseName(qPath(path));
        database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        if (database.open())
            page = readJournalPage(database, std::max(offset, 0), std::max(limit, 0), waiting);
        database.close();
    }
    QSqlDatabase::removeDatabase(name);
    return page;
}

std::optional<JournalPage> ModelContainer::readJournalPage(QSqlDatabase& database, int offset, int limit,
                                                           const std::vector<std::shared_ptr<const Removal>>& waiting) {
    QSqlQuery query(database);
    query.setForwardOnly(true);
    const auto count = [&query](std::optional<Date> from) -> std::optional<int> {
        query.prepare(from ? QStringLiteral("SELECT COUNT(*) FROM removals WHERE date >= ?")
                           : QStringLiteral("SELECT COUNT(*) FROM removals"));
        if (from)
            query.addBindValue(from->secondsSinceReference);
        if (!query.exec() || !query.next())
            return std::nullopt;
        const int counted = query.value(0).toInt();
        query.finish();
        return counted;
    };
    // Newest first; a waiting record comes after the saved ones of its date, as its row will.
    std::vector<std::shared_ptr<const Removal>> later = waiting;
    std::stable_sort(later.begin(), later.end(), [](const auto& a, const auto& b) { return a->date() > b->date(); });
    std::map<int, std::shared_ptr<const Removal>> waitingAt; // by position in the whole journal
    for (std::size_t index = 0; index < later.size(); ++index) {
        const std::optional<int> before = count(later[index]->date());
        if (!before)
            return std::nullopt;
        waitingAt.emplace(*before + int(index), later[index]);
    }
    const std::optional<int> saved = count(std::nullopt);
    if (!saved)
        return std::nullopt;
    JournalPage page;
    page.total = *saved + int(later.size());
    const int end = int(std::min<qint64>(qint64(offset) + limit, page.total));
    if (offset >= end)
        return page;
    int savedFrom = offset;
    for (const auto& [position, record] : waitingAt)
        savedFrom -= position < offset;
    int savedCount = 0;
    for (int position = offset; position < end; ++position)
        savedCount += !waitingAt.contains(position);

    query.prepare(
        QStringLiteral("SELECT id, date, title, CAST(items AS BLOB), undone, uuid, title_wording FROM removals "
                       "ORDER BY date DESC, id LIMIT ? OFFSET ?"));
    query.addBindValue(savedCount);
    query.addBindValue(savedFrom);
    if (!query.exec())
        return std::nullopt;
    for (int position = offset; position < end; ++position) {
        if (auto found = waitingAt.find(position); found != waitingAt.end()) {
            page.entries.push_back({0, found->second});
            continue;
        }
        // Rows written meanwhile may leave the page short; it is read again on the next change.
        if (!query.next())
            break;
        JournalEntry entry{query.value(0).toLongLong(), nullptr};
        std::shared_ptr<Removal> record(new Removal());
        // A row that no longer decodes keeps its place, without a record.
        if (readRemovalRow(query, *record))
            entry.record = std::move(record);
        page.entries.push_back(std::move(entry));
    }
    if (failureAfterRows(query))
        return std::nullopt;
    return page;
}

std::vector<std::shared_ptr<const Removal>> ModelContainer::waitingRemovals() const {
    std::vector<std::shared_ptr<const Removal>> copies;
    for (const auto& record : removals_.inserted)
        copies.push_back(std::make_shared<const Removal>(*record));
    return copies;
}

std::shared_ptr<const Removal> ModelContainer::unsaved(qint64 id) const {
    const auto found = removals_.saved.find(id);
    if (found == removals_.saved.end() || !found->second->changed_)
        return nullptr;
    return found->second;
}

std::shared_ptr<Removal> ModelContainer::adopt(qint64 id, const Removal& read) {
    if (id == 0) {
        for (const auto& record : removals_.inserted)
            if (record->uuid() == read.uuid())
                return record;
        return nullptr;
    }
    auto& object = removals_.saved[id];
    if (!object) {
        object.reset(new Removal(read));
        object->changed_ = object->itemsChanged_ = false;
    }
    return object;
}

std::optional<int> ModelContainer::removalCount() {
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM removals")))
        return std::nullopt;
    if (!query.next()) {
        endedOnFailure(query);
        return std::nullopt;
    }
    return query.value(0).toInt() + int(removals_.inserted.size());
}

std::optional<std::vector<std::shared_ptr<DailySize>>> ModelContainer::dailySizes() {
    return fetchDailySizes(std::nullopt);
}

std::optional<std::vector<std::shared_ptr<DailySize>>> ModelContainer::dailySizes(QDate day) {
    return fetchDailySizes(day);
}

std::optional<std::vector<std::shared_ptr<DailySize>>> ModelContainer::fetchDailySizes(std::optional<QDate> day) {
    QSqlQuery query(QSqlDatabase::database(connectionName_, false));
    query.setForwardOnly(true);
    // Every row: which date an older row names is known only once it is read.
    if (!query.exec(QStringLiteral("SELECT id, day, used, categories FROM daily_sizes ORDER BY id")))
        return std::nullopt;
    const auto waitsForDeletion = [this](const DailySize& record) {
        return dailyCutoff_ && record.day() < *dailyCutoff_;
    };
    std::map<QDate, std::shared_ptr<DailySize>> byDate; // the later row of a date replaces the earlier
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        const auto known = dailySizes_.saved.find(id);
        std::shared_ptr<DailySize> record = known != dailySizes_.saved.end() ? known->second : nullptr;
        if (!record || !record->changed_) {
            auto categories = categoriesFromJson(query.value(3).toString());
            const std::int64_t used = query.value(2).toLongLong();
            const std::optional<QDate> date = LocalCalendar::dateOfStoredDay(Date{query.value(1).toDouble()});
            if (!categories || !isSize(used) || !date)
                continue;
            if (!record)
                record.reset(new DailySize());
            record->day_ = *date;
            record->used_ = used;
            record->categories_ = std::move(*categories);
            dailySizes_.saved.emplace(id, record);
        }
        if ((!day || record->day() == *day) && !waitsForDeletion(*record))
            byDate[record->day()] = std::move(record);
    }
    if (endedOnFailure(query))
        return std::nullopt;
    for (const auto& record : dailySizes_.inserted)
        if ((!day || record->day() == *day) && !waitsForDeletion(*record))
            byDate[record->day()] = record;
    std::vector<std::shared_ptr<DailySize>> records;
    records.reserve(byDate.size());
    for (auto& [date, record] : byDate)
        records.push_back(std::move(record));
    return records;
}

bool ModelContainer::endedOnFailure(const QSqlQuery& query) {
    const std::optional<std::string> error = failureAfterRows(query);
    if (!error)
        return false;
    if (!std::exchange(damaged_, true))
        std::fprintf(stderr, "Could not read the database at %s: %s\n", path_.c_str(), error->c_str());
    return true;
}

void ModelContainer::noteWrittenElsewhere() { emit changed(); }

bool ModelContainer::hasChanges() const {
    if (!removals_.inserted.empty() || !dailySizes_.inserted.empty() || dailyCutoff_)
        return true;
    for (const auto& [id, record] : removals_.saved)
        if (record->changed_)
            return true;
    for (const auto& [id, record] : dailySizes_.saved)
        if (record->changed_)
            return true;
    return false;
}

std::optional<std::string>
ModelContainer::writeChanges(std::vector<std::pair<std::shared_ptr<Removal>, qint64>>& newRemovals,
                             std::vector<std::pair<std::shared_ptr<DailySize>, qint64>>& newDailySizes) {
    QSqlDatabase database = QSqlDatabase::database(connectionName_, false);
    QSqlQuery query(database);
    if (dailyCutoff_) {
        // By the date each row names, which the file cannot compare on its own.
        if (!query.exec(QStringLiteral("SELECT id, day FROM daily_sizes")))
            return describe(query.lastError());
        std::vector<qint64> old;
        while (query.next())
            if (const auto date = LocalCalendar::dateOfStoredDay(Date{query.value(1).toDouble()});
                date && *date < *dailyCutoff_)
                old.push_back(query.value(0).toLongLong());
        if (auto error = failureAfterRows(query))
            return error;
        query.finish();
        for (const qint64 id : old) {
            query.prepare(QStringLiteral("DELETE FROM daily_sizes WHERE id = ?"));
            query.addBindValue(id);
            if (!query.exec())
                return describe(query.lastError());
        }
    }
    const auto writeRemoval = [&query](const Removal& record, std::optional<qint64> id) {
        // A put back changes one flag of a record of maybe a hundred thousand items: those are
        // written again only when they changed, and then as their UTF-8 bytes cast to the text
        // they are (bound as a string, they would pass through UTF-16 twice over).
        const bool withItems = !id || record.itemsChanged_;
        if (!id)
            query.prepare(QStringLiteral("INSERT INTO removals (date, title, items, undone, uuid, title_wording) "
                                         "VALUES (?, ?, CAST(? AS TEXT), ?, ?, ?)"));
        else if (withItems)
            query.prepare(QStringLiteral("UPDATE removals SET date = ?, title = ?, items = CAST(? AS TEXT), "
                                         "undone = ?, uuid = ?, title_wording = ? WHERE id = ?"));
        else
            query.prepare(QStringLiteral("UPDATE removals SET date = ?, title = ?, undone = ?, uuid = ?, "
                                         "title_wording = ? WHERE id = ?"));
        query.addBindValue(record.date().secondsSinceReference);
        query.addBindValue(record.title());
        if (withItems)
            query.addBindValue(record.encodedItems_ ? *record.encodedItems_ : encodeItems(record.items()));
        query.addBindValue(record.undone() ? 1 : 0);
        query.addBindValue(record.uuid().toString(QUuid::WithoutBraces));
        query.addBindValue(record.wording() ? QVariant(record.wording()->toJson())
                                            : QVariant(QMetaType(QMetaType::QString)));
        if (id)
            query.addBindValue(*id);
        return query.exec();
    };
    // A new record of a day that another process has recorded meanwhile takes that row. A
    // changed row of an older store is written with its date as records are now; a row of the
    // same date that holds that form already is the older of the two and goes.
    const auto writeDailySize = [&query](const DailySize& record, std::optional<qint64> id) {
        query.prepare(id ? QStringLiteral("UPDATE OR REPLACE daily_sizes SET day = ?, used = ?, categories = ? "
                                          "WHERE id = ?")
                         : QStringLiteral("INSERT INTO daily_sizes (day, used, categories) VALUES (?, ?, ?) "
                                          "ON CONFLICT (day) DO UPDATE SET used = excluded.used, "
                                          "categories = excluded.categories RETURNING id"));
        query.addBindValue(LocalCalendar::instantOf(record.day()).secondsSinceReference);
        query.addBindValue(qint64(record.used()));
        query.addBindValue(text(categoriesJson(record.categories())));
        if (id)
            query.addBindValue(*id);
        return query.exec();
    };
    for (const auto& [id, record] : removals_.saved)
        if (record->changed_ && !writeRemoval(*record, id))
            return describe(query.lastError());
    for (const auto& [id, record] : dailySizes_.saved)
        if (record->changed_ && !(dailyCutoff_ && record->day() < *dailyCutoff_) && !writeDailySize(*record, id))
            return describe(query.lastError());
    for (const auto& record : removals_.inserted) {
        if (!writeRemoval(*record, std::nullopt))
            return describe(query.lastError());
        newRemovals.emplace_back(record, query.lastInsertId().toLongLong());
    }
    for (const auto& record : dailySizes_.inserted) {
        if (dailyCutoff_ && record->day() < *dailyCutoff_)
            continue;
        if (!writeDailySize(*record, std::nullopt) || !query.next())
            return describe(query.lastError());
        newDailySizes.emplace_back(record, query.value(0).toLongLong());
        query.finish();
    }
    return std::nullopt;
}

bool ModelContainer::save() {
    if (!hasChanges())
        return true;
    if (damaged_) {
        std::fprintf(stderr, "Not saving into the damaged database at %s\n", path_.c_str());
        return false;
    }
    QSqlDatabase database = QSqlDatabase::database(connectionName_, false);
    std::vector<std::pair<std::shared_ptr<Removal>, qint64>> newRemovals;
    std::vector<std::pair<std::shared_ptr<DailySize>, qint64>> newDailySizes;
    std::optional<std::string> error;
    if (!database.transaction())
        error = describe(database.lastError());
    else if ((error = writeChanges(newRemovals, newDailySizes)) || !database.commit()) {
        if (!error)
            error = describe(database.lastError());
        database.rollback();
    }
    if (error) {
        std::fprintf(stderr, "Could not save the database at %s: %s\n", path_.c_str(), error->c_str());
        return false;
    }
    // Only now that the transaction holds are the rows known by their ids.
    for (auto& [id, record] : removals_.saved)
        record->changed_ = record->itemsChanged_ = false;
    for (auto& [id, record] : dailySizes_.saved)
        record->changed_ = false;
    for (auto& [record, id] : newRemovals) {
        record->changed_ = record->itemsChanged_ = false;
        record->encodedItems_.reset();
        removals_.saved.emplace(id, std::move(record));
    }
    for (auto& [record, id] : newDailySizes) {
        record->changed_ = false;
        dailySizes_.saved[id] = std::move(record);
    }
    if (dailyCutoff_)
        std::erase_if(dailySizes_.saved, [this](const auto& entry) { return entry.second->day() < *dailyCutoff_; });
    removals_.inserted.clear();
    dailySizes_.inserted.clear();
    dailyCutoff_.reset();
    emit changed();
    return true;
}

} // namespace dovrane
