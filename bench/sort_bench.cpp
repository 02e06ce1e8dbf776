// How long the window stays away while its large tables sort: a category of ROWS items on the
// Storage page, ROWS installed apps and ROWS leftovers on the Apps page, each sorted by every
// column in both directions as a header click sorts it, then sorted by name with half the rows
// picked, and given new rows while sorted by name, as a scan that ends would give them. A probe
// notes the longest gap between two turns of the event loop. Prints one table row per step: the
// window's longest time away and the step's whole time. Offscreen unless QT_QPA_PLATFORM names
// another platform. Works in a temporary home only.
//
//   build/bin/sort_bench [ROWS]

#include "ProcessStatus.h"
#include "ToolSupport.h"
#include "WindowBench.h"

#include "AppModel/AppModel.h"
#include "AppModel/ModelSeeding.h"
#include "AppsPage/AppTables.h"
#include "AppsPage/AppsPage.h"
#include "ContentView/ContentView.h"
#include "Services/Translations.h"
#include "StoragePage/CategoryDetail.h"
#include "UiKit/Setup.h"
#include "UiKit/StorageSelection.h"

#include <DovraneKit/system/FileSystem.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace dovrane;

namespace {

// Names as a disk holds them: words in any case, accents, numbers of any length, spaces and
// punctuation, many sharing a long beginning.
class Names {
public:
    explicit Names(unsigned seed) : random_(seed) {}

    std::string next() {
        static const char* const words[] = {
            "cache",   "Cache", "Über",  "über",  "Ärger", "élan",    "Zebra",   "zebra",        "Project", "proj",
            "Version", "v",     "Daten", "daten", "Äpfel", "Mail",    "Chrome",  "node_modules", "Résumé",  "Straße",
            "STRASSE", "café",  "Cafe",  "build", "Build", "release", "Release", "Photo",        "photo",   "日本"};
        std::string name;
        const int parts = 1 + int(random_() % 4);
        for (int part = 0; part < parts; ++part) {
            if (part > 0)
                name += " -._"[random_() % 4];
            name += words[random_() % std::size(words)];
            if (random_() % 2)
                name += std::to_string(random_() % (random_() % 2 ? 10 : 100000));
        }
        return name;
    }

    std::mt19937& random() { return random_; }

private:
    std::mt19937 random_;
};

std::vector<CleanupItem> makeItems(int count, unsigned seed, const std::string& home) {
    Names names(seed);
    std::vector<CleanupItem> items;
    items.reserve(std::size_t(count));
    const Date now = Date::now();
    for (int index = 0; index < count; ++index) {
        std::string name = names.next();
        const std::string path = Path::join(home, ".cache/" + std::to_string(index) + "-" + name);
        const auto lastUsed = names.random()() % 5 == 0
                                  ? std::nullopt
                                  : std::optional<Date>(now.adding(-double(names.random()() % 40'000'000)));
        const auto safety = Safety(names.random()() % 3);
        items.emplace_back(Url::fromPath(path), std::move(name), std::int64_t(names.random()() % 5'000'000'000ULL), 1,
                           lastUsed, "A cache.", "caches.app", safety,
                           safety == Safety::safe ? CleanupAction::trash : CleanupAction::showOnly);
    }
    return items;
}

std::vector<InstalledApp> makeApps(int count, unsigned seed, const std::string& home) {
    Names names(seed);
    std::vector<InstalledApp> apps;
    apps.reserve(std::size_t(count));
    for (int index = 0; index < count; ++index) {
        InstalledApp app;
        app.name = names.next();
        app.bundleID = "org.example.app" + std::to_string(index);
        app.version = std::to_string(names.random()() % 30) + "." + std::to_string(names.random()() % 12) +
                      (names.random()() % 2 ? "." + std::to_string(names.random()() % 200) : std::string());
        app.path = Url::fromPath(Path::join(home, "Applications/" + std::to_string(index) + ".AppImage"));
        app.source = AppSource(names.random()() % 5);
        app.size = std::int64_t(names.random()() % 2'000'000'000);
        apps.push_back(std::move(app));
    }
    return apps;
}

std::vector<Orphan> makeOrphans(int count, unsigned seed, const std::string& home) {
    static const char* const folders[] = {"Library/Caches", "Library/Preferences", "Library/Application Support",
                                          ".config",        ".local/share",        ".cache",
                                          ".var/app"};
    Names names(seed);
    std::vector<Orphan> orphans;
    orphans.reserve(std::size_t(count));
    for (int index = 0; index < count; ++index) {
        const std::string id = "com." + names.next() + ".app" + std::to_string(index);
        const std::string folder = folders[names.random()() % std::size(folders)];
        orphans.emplace_back(Url::fromPath(Path::join(home, folder + "/" + id)), id,
                             std::int64_t(names.random()() % 900'000'000), "Left behind.");
    }
    return orphans;
}

ScanResult scanOf(std::vector<CleanupItem> items) {
    ScanResult scan;
    scan.date = Date::now();
    scan.volume = "Bench";
    scan.total = 4'000'000'000'000;
    scan.free = scan.available = 1'000'000'000'000;
    scan.categories.emplace_back(CategoryID::caches, std::nullopt, std::move(items));
    scan.computeOther();
    return scan;
}

// Counts what tells that a table has its new order: a change of layout or a reset.
struct Arrivals {
    explicit Arrivals(QAbstractItemModel* model) {
        QObject::connect(model, &QAbstractItemModel::layoutChanged, &context, [this] { ++count; });
        QObject::connect(model, &QAbstractItemModel::modelReset, &context, [this] { ++count; });
    }
    QObject context; // ends the connections with the count
    int count = 0;
};

// Runs `act` from the event loop, then the loop until the table has its new order and has
// painted, then lets it settle; prints the window's longest time away and the step's time.
bool step(bench::EventLoopProbe& probe, QTableView& table, const std::string& name, const std::function<void()>& act,
          const std::function<bool()>& done) {
    probe.reset();
    QElapsedTimer clock;
    clock.start();
    const bool ended = bench::actThenWaitFor(act, done, 120);
    (void)table.window()->grab();
    const double took = double(clock.nsecsElapsed()) / 1e9;
    bench::waitFor([] { return false; }, 0.3);
    std::printf("| %-48s | %8.3f s | %8.3f s |%s\n", name.c_str(), probe.longest(), took, ended ? "" : " did not end");
    std::fflush(stdout);
    return ended;
}

// Every column in both directions, as clicks on its header sort it.
bool sortEveryColumn(bench::EventLoopProbe& probe, QTableView& table, const std::string& label) {
    QAbstractItemModel* model = table.model();
    Arrivals arrivals(model);
    bool ok = true;
    for (int column = 0; ok && column < model->columnCount(); ++column) {
        const QString title = model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            const int before = arrivals.count;
            ok = ok && step(
                           probe, table,
                           label + " by " + title.toStdString() +
                               (order == Qt::AscendingOrder ? ", ascending" : ", descending"),
                           [&] { table.horizontalHeader()->setSortIndicator(column, order); },
                           [&] { return arrivals.count > before; });
        }
    }
    return ok;
}

// Picks every other row, then sorts by the first column (the name) both ways.
bool sortPicked(bench::EventLoopProbe& probe, QTableView& table, const std::string& label) {
    QAbstractItemModel* model = table.model();
    QItemSelection every;
    for (int row = 0; row < model->rowCount(); row += 2)
        every.append(QItemSelectionRange(model->index(row, 0), model->index(row, model->columnCount() - 1)));
    table.selectionModel()->select(every, QItemSelectionModel::ClearAndSelect);
    Arrivals arrivals(model);
    bool ok = true;
    for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        const int before = arrivals.count;
        ok = ok && step(
                       probe, table,
                       label + " by name, half picked" + (order == Qt::AscendingOrder ? ", ascending" : ", descending"),
                       [&] { table.horizontalHeader()->setSortIndicator(0, order); },
                       [&] { return arrivals.count > before; });
    }
    table.selectionModel()->clearSelection();
    return ok;
}

// New rows while the table is sorted by name.
bool newRowsByName(bench::EventLoopProbe& probe, QTableView& table, const std::string& label,
                   const std::function<void()>& give) {
    table.horizontalHeader()->setSortIndicator(0, Qt::AscendingOrder);
    bench::waitFor([] { return false; }, 0.3);
    Arrivals arrivals(table.model());
    return step(probe, table, label + ", new rows while sorted by name", give, [&] { return arrivals.count > 0; });
}

} // namespace

int main(int argc, char** argv) {
    const tool::Forms forms("sort_bench", {{"[ROWS]"}}, "ROWS: rows of each table, 100000 unless given");
    const auto args = tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    const auto rowCount = forms.number(args, 0, "ROWS", 100'000, 1, 10'000'000);
    if (!rowCount)
        return tool::usageError;
    const int rows = int(*rowCount);

    auto folder = Fs::makeUniqueDirectory(Fs::temporaryDirectory(), "dovrane-sort-bench-");
    if (!folder)
        return 1;
    const std::string home = Path::join(*folder, "home");
    Fs::makeDirectories(home);
    bench::useThrowawayHome(*folder, home);

    int status = 0;
    {
        QApplication application(argc, argv);
        UiKit::install();
        Translations::install();
        bench::ShownWindow shown;
        AppModel& model = shown.model;
        ContentView& window = shown.window;
        ModelSeeding seeding(model);
        seeding.setScan(scanOf(makeItems(rows, 1, home)));
        seeding.setApps(makeApps(rows, 2, home));
        seeding.setAppsLoaded(true);
        seeding.setOrphans(makeOrphans(rows, 3, home));
        StorageSelection::shared().setCategory(CategoryID::caches);
        bench::EventLoopProbe probe;

        std::printf("%d rows in each table, platform %s\n\n", rows, qPrintable(QGuiApplication::platformName()));
        std::printf("| %-48s | %10s | %10s |\n", "step", "away", "took");
        std::printf("|%s|%s|%s|\n", std::string(50, '-').c_str(), std::string(12, '-').c_str(),
                    std::string(12, '-').c_str());

        model.setSidebar(SidebarItem::storage);
        CategoryDetail* detail = nullptr;
        bench::waitFor(
            [&] {
                for (CategoryDetail* candidate : window.findChildren<CategoryDetail*>())
                    if (candidate->isVisible() && candidate->items()->rowCount() == rows)
                        detail = candidate;
                return detail != nullptr;
            },
            60);
        bool ok = detail != nullptr;
        ok = ok && sortEveryColumn(probe, *detail->table(), "Category");
        ok = ok && sortPicked(probe, *detail->table(), "Category");
        ScanResult nextScan = scanOf(makeItems(rows, 4, home));
        ok = ok && newRowsByName(probe, *detail->table(), "Category", [&] { seeding.setScan(std::move(nextScan)); });

        model.setSidebar(SidebarItem::apps);
        AppsPage* apps = nullptr;
        bench::waitFor(
            [&] {
                for (AppsPage* candidate : window.findChildren<AppsPage*>())
                    if (candidate->isVisible() && candidate->installedTable())
                        apps = candidate;
                return apps != nullptr;
            },
            60);
        ok = ok && apps != nullptr;
        ok = ok && sortEveryColumn(probe, *apps->installedTable()->view(), "Apps");
        std::vector<InstalledApp> nextApps = makeApps(rows, 5, home);
        ok = ok && newRowsByName(probe, *apps->installedTable()->view(), "Apps",
                                 [&] { seeding.setApps(std::move(nextApps)); });
        if (ok)
            apps->setTab(AppsPage::Tab::orphans);
        ok = ok && bench::waitFor([&] { return apps->orphanTable() != nullptr; }, 60);
        ok = ok && sortEveryColumn(probe, *apps->orphanTable()->view(), "Leftovers");
        ok = ok && sortPicked(probe, *apps->orphanTable()->view(), "Leftovers");
        std::vector<Orphan> nextOrphans = makeOrphans(rows, 6, home);
        ok = ok && newRowsByName(probe, *apps->orphanTable()->view(), "Leftovers",
                                 [&] { seeding.setOrphans(std::move(nextOrphans)); });

        std::printf("\npeak memory %ld MB\n", bench::statusKilobytes("VmHWM") / 1000);
        if (!ok) {
            std::fprintf(stderr, "sort_bench: a step did not end\n");
            status = 1;
        }
    }
    Fs::removeAll(*folder);
    return status;
}
