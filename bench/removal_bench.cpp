// The cost of a removal's journal: ITEMS files of a temporary home moved to its Trash by the
// trasher alone, then with their journal (the record under way in the store first, one commit of
// each batch's Trash names before the batch moves, the finished record at the end), everything
// put back in between; then a move of as many items left under way, as a killed process leaves
// it, with the journal's writes timed alone, settled against the Trash as the next start does.
// Prints each time, the writes' share of the move and the peak memory. Works in a temporary
// folder only.
//
//   build/bin/removal_bench [ITEMS]

#include "ToolSupport.h"

#include "Services/ModelContainer.h"
#include "Services/RemovalJournal.h"

#include <DovraneKit/system/FileSystem.h>
#include <DovraneKit/trash/FreedesktopTrash.h>
#include <DovraneKit/trash/Trasher.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

using namespace dovrane;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Every item back at its place; the number that did not come back.
std::size_t putBack(const Trasher& trasher, const std::vector<RemovedItem>& removed) {
    std::size_t missing = 0;
    Trasher::OwnTrashes trashes;
    for (const RemovedItem& item : removed)
        missing += trasher.putBack(item, {}, &trashes) != Trasher::PutBackResult::restored();
    return missing;
}

// Marks every record under way as one of a process that is gone.
bool orphanUnderWay(const std::string& store) {
    bool done = false;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench"));
        database.setDatabaseName(QString::fromStdString(store));
        if (database.open()) {
            QSqlQuery query(database);
            done = query.exec(QStringLiteral("UPDATE removals_under_way SET owner = '0 0'"));
        }
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return done;
}

} // namespace

int main(int argc, char** argv) {
    const tool::Forms forms("removal_bench", {{"[ITEMS]"}}, "ITEMS: 100000 unless given");
    const auto args = tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    const auto itemCount = forms.number(args, 0, "ITEMS", 100'000, 1, 10'000'000);
    if (!itemCount)
        return tool::usageError;
    const int items = int(*itemCount);
    auto folder = Fs::makeUniqueDirectory(Fs::temporaryDirectory(), "dovrane-removal-bench-");
    if (!folder)
        return 1;
    QCoreApplication application(argc, argv);
    const std::string home = Path::join(*folder, "home"), store = Path::join(*folder, "bench.store");

    std::vector<Trasher::Candidate> candidates;
    candidates.reserve(std::size_t(items));
    for (int index = 0; index < items; ++index) {
        const std::string path =
            Path::join(home, ".cache/app-" + std::to_string(index % 100) + "/item-" + std::to_string(index));
        if (!Fs::makeDirectories(Path::parent(path), 0700) || !Fs::writeFile(path, "x")) {
            std::fprintf(stderr, "removal_bench: cannot write %s\n", path.c_str());
            Fs::removeAll(*folder);
            return 1;
        }
        candidates.push_back({Url::fromPath(path), 1, 1, false});
    }
    auto container = ModelContainer::open(store);
    if (!container) {
        std::fprintf(stderr, "removal_bench: cannot open the store: %s\n", container.error().message.c_str());
        Fs::removeAll(*folder);
        return 1;
    }
    const Trasher trasher{DeletionGuard(Url::fromPath(home)), Url::fromPath(FreedesktopTrash::homeTrashFiles(home))};
    const TrashPlan plan = trasher.plan(candidates);
    const std::size_t batches = (plan.entries.size() + RemovalJournal::batch - 1) / RemovalJournal::batch;

    auto start = std::chrono::steady_clock::now();
    const Trasher::Outcome bare = trasher.execute(plan);
    const double bareTime = secondsSince(start);
    std::printf("move without journal: %zu items, %.2f s\n", bare.removed.size(), bareTime);
    std::fflush(stdout);
    start = std::chrono::steady_clock::now();
    std::size_t missing = putBack(trasher, bare.removed);
    std::printf("put back: %.2f s\n", secondsSince(start));

    start = std::chrono::steady_clock::now();
    const RemovalJournal::Moved journaled =
        RemovalJournal::move(trasher, plan, store, Date::now(), Wording::plain(QStringLiteral("Bench")));
    const double journaledTime = secondsSince(start);
    std::printf("move with journal: %zu items, %zu commits, record %s, %.2f s\n", journaled.outcome.removed.size(),
                batches + 2, journaled.saved ? "saved" : "NOT SAVED", journaledTime);
    missing += putBack(trasher, journaled.outcome.removed);

    // A killed move: every batch recorded and moved, the record never finished. The writes of the
    // record are timed alone here, since the moves' own time varies more than they cost.
    std::size_t left = 0;
    double writes = 0;
    {
        start = std::chrono::steady_clock::now();
        auto underWay = RemovalJournal::begin(store, Date::now(), Wording::plain(QStringLiteral("Killed")));
        writes += secondsSince(start);
        const auto record = [&underWay, &writes](const std::vector<Trasher::Taking>& taking) {
            const auto begun = std::chrono::steady_clock::now();
            const bool written = underWay->add(taking);
            writes += secondsSince(begun);
            return written;
        };
        if (underWay)
            left = trasher.execute(plan, {RemovalJournal::batch, record, {}}).removed.size();
    }
    std::printf(
        "journal writes alone: the record and %zu batch commits, %.2f s (%.1f %% of the move without journal)\n",
        batches, writes, bareTime > 0 ? 100.0 * writes / bareTime : 0.0);
    start = std::chrono::steady_clock::now();
    const int settled = orphanUnderWay(store) ? RemovalJournal::settle(store, trasher).value_or(-1) : -1;
    std::printf("settle after a kill: %zu items left under way, %d record written, %.2f s\n", left, settled,
                secondsSince(start));
    const auto journal = (*container)->removals();
    if (journal && !journal->empty())
        missing += putBack(trasher, journal->back()->items());

    std::printf("peak memory: %.1f MB\n", double(peakKilobytes()) / 1024.0);
    if (missing)
        std::printf("NOT PUT BACK: %zu items\n", missing);
    container->reset();
    Fs::removeAll(*folder);
    return missing == 0 && journaled.saved && settled == 1 ? 0 : 1;
}
