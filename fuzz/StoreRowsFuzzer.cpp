// The database's rows as another program, or a failing disk, may have left them. The first
// byte chooses the table, the next eight are the day's used bytes, the rest is the row's JSON
// column. A row is read or skipped, never half-read, and every figure read holds to 0..2^62.
#include "DovraneKit/system/FileSystem.h"
#include "FuzzSupport.h"
#include "Services/ModelContainer.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <cstring>

using namespace dovrane;

namespace {

constexpr std::int64_t largestSize = std::int64_t(1) << 62;

struct Store {
    std::string path = Path::join(fuzz::scratch(), "rows.store");
    std::unique_ptr<ModelContainer> container;
    QSqlDatabase raw;
};

Store& store() {
    static Store* opened = [] {
        static int argc = 1;
        static char name[] = "StoreRowsFuzzer";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
        auto* made = new Store;
        auto container = ModelContainer::open(made->path);
        fuzz::check(bool(container), "a fresh store opens");
        made->container = std::move(container).value();
        made->raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        made->raw.setDatabaseName(QString::fromStdString(made->path));
        fuzz::check(made->raw.open(), "a second connection opens");
        return made;
    }();
    return *opened;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9)
        return 0;
    Store& opened = store();
    std::int64_t used = 0;
    std::memcpy(&used, data + 1, sizeof used);
    const QString column = QString::fromUtf8(reinterpret_cast<const char*>(data + 9), qsizetype(size - 9));
    QSqlQuery query(opened.raw);
    query.exec(QStringLiteral("DELETE FROM removals"));
    query.exec(QStringLiteral("DELETE FROM daily_sizes"));
    if (data[0] & 1) {
        query.prepare(QStringLiteral("INSERT INTO daily_sizes (day, used, categories) VALUES (1, ?, ?)"));
        query.addBindValue(qint64(used));
        query.addBindValue(column);
    } else {
        query.prepare(QStringLiteral("INSERT INTO removals (date, title, items, undone, uuid) "
                                     "VALUES (0, 't', ?, 0, '8f1d1a52-3c57-4f1c-9a55-3a0c1fd0f001')"));
        query.addBindValue(column);
    }
    fuzz::check(query.exec(), "the row is written");

    const auto days = opened.container->dailySizes();
    fuzz::check(days.has_value(), "the daily records read");
    for (const auto& day : *days) {
        fuzz::check(day->used() >= 0 && day->used() <= largestSize, "used space is a size");
        for (const auto& [category, bytes] : day->categories())
            fuzz::check(bytes >= 0 && bytes <= largestSize, "a category's bytes are a size");
    }
    const auto removals = opened.container->removals();
    fuzz::check(removals.has_value(), "the journal reads");
    for (const auto& removal : *removals)
        fuzz::check(removal->size() >= 0, "a removal's size never overflows");
    return 0;
}
