// Times the model's storage paths at scale: a scan cache of about a hundred thousand items
// written and read, the model built over it, and a journal of ten thousand records written and
// listed. Prints each time and the peak memory. Works in a temporary test store only.
//
//   build/bin/model_bench [ITEMS] [RECORDS]

#include "ToolSupport.h"

#include "AppModel/AppModel.h"
#include "AppModel/ScanCache.h"
#include "Services/Services.h"
#include "Services/Settings.h"
#include "Store/Store.h"

#include <DovraneKit/system/FileSystem.h>

#include <nlohmann/json.hpp>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFuture>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

ScanResult largeScan(int items) {
    ScanResult scan;
    scan.date = Date::now();
    scan.volume = "Bench";
    scan.total = 1'000'000'000'000;
    scan.free = 400'000'000'000;
    scan.available = scan.free;
    const int perCategory = items / 15;
    for (CategoryID id : allCategoryIDs) {
        if (id == CategoryID::other)
            continue;
        Category category(id);
        for (int index = 0; index < perCategory; ++index) {
            const std::string path =
                "/home/bench/Library/Caches/" + std::string(rawValue(id)) + "/item-" + std::to_string(index);
            category.items.emplace_back(Url::fromPath(path), std::nullopt, 4096 * (index + 1), index % 50 + 1,
                                        Date::now(), "Temporary copies apps keep to load faster.", "caches.app",
                                        Safety::safe, CleanupAction::trash);
            category.size += 4096 * (index + 1);
        }
        scan.categories.push_back(std::move(category));
    }
    scan.computeOther();
    return scan;
}

} // namespace

int main(int argc, char** argv) {
    const tool::Forms forms("model_bench", {{"[ITEMS]", "[RECORDS]"}},
                            "ITEMS: 100000 unless given; RECORDS: 10000 unless given");
    const auto args = tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    const auto itemCount = forms.number(args, 0, "ITEMS", 100'000, 1, 100'000'000);
    const auto recordCount = itemCount ? forms.number(args, 1, "RECORDS", 10'000, 1, 100'000'000) : std::nullopt;
    if (!recordCount)
        return tool::usageError;
    const int items = int(*itemCount), records = int(*recordCount);
    auto folder = Fs::makeUniqueDirectory(Fs::temporaryDirectory(), "dovrane-model-bench-");
    if (!folder)
        return 1;
    setenv("APP_STORE", Path::join(*folder, "bench.store").c_str(), 1);
    QCoreApplication application(argc, argv);

    const ScanResult scan = largeScan(items);
    auto start = std::chrono::steady_clock::now();
    const std::string encoded = ScanCache::encode(scan);
    Fs::writeFileAtomically(ScanCache::url().path(), encoded, 0600);
    std::printf("scan cache write: %d items, %.1f MB, %.2f s\n", items, double(encoded.size()) / 1e6,
                secondsSince(start));

    start = std::chrono::steady_clock::now();
    const auto loaded = ScanCache::load(1ull << 30);
    std::printf("scan cache read: %s, %.2f s\n", loaded == scan ? "equal" : "DIFFERENT", secondsSince(start));

    auto container = Store::makeContainer();
    Services services = Services::system();
    services.settings = std::make_shared<MemorySettings>();
    start = std::chrono::steady_clock::now();
    {
        // The model is there at once; the cached scan follows from its pool, as the window sees it.
        AppModel model(*container, services);
        const double made = secondsSince(start);
        QEventLoop loop;
        QFuture<void> restored = model.scanRestored().then(&loop, [&loop] { loop.quit(); });
        if (!restored.isFinished())
            loop.exec();
        std::printf("model over the cache: made in %.3f s, %zu safe items in %.2f s%s\n", made,
                    model.safeItems().size(), secondsSince(start),
                    encoded.size() > ScanCache::maxBytes ? " (cache over the bound, not read)" : "");
    }

    start = std::chrono::steady_clock::now();
    for (int index = 0; index < records; ++index) {
        std::vector<RemovedItem> removed;
        for (int item = 0; item < 3; ++item)
            removed.push_back(
                {Url::fromPath("/home/bench/Downloads/file-" + std::to_string(index) + "-" + std::to_string(item)),
                 Url::fromPath("/home/bench/.local/share/Trash/files/file-" + std::to_string(index)), 1000, false});
        container->insert(std::make_shared<Removal>(Date::now(), QStringLiteral("Cleanup %1").arg(index), removed));
    }
    container->save();
    std::printf("journal write: %d records in one save, %.2f s\n", records, secondsSince(start));
    container.reset();

    start = std::chrono::steady_clock::now();
    container = Store::makeContainer();
    const auto journal = container->removals();
    std::printf("journal list: %zu records, %.2f s\n", journal ? journal->size() : 0, secondsSince(start));
    start = std::chrono::steady_clock::now();
    const int count = container->removalCount().value_or(-1);
    std::printf("journal count again: %d, %.3f s\n", count, secondsSince(start));

    std::printf("peak memory: %.1f MB\n", double(peakKilobytes()) / 1024.0);
    container.reset();
    Fs::removeAll(*folder);
    return 0;
}
