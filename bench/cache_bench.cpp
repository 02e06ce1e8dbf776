// Times the scan cache: a scan of ITEMS items written and read the way the model does, once
// with every item in one category and once spread over sixteen, each beside the JSON
// document's way (toJson().dump(), Json::read and fromJson) for comparison. Each read runs in
// a process of its own, which reports the memory it added at its peak against the records'
// own size. Works in a temporary test store only, which the reading processes inherit.
//
//   build/bin/cache_bench [ITEMS] [ROUNDS]

#include "ProcessStatus.h"
#include "ToolSupport.h"

#include "AppModel/ScanCache.h"

#include <DovraneKit/formats/JsonReading.h>
#include <DovraneKit/system/FileSystem.h>

#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

using namespace dovrane;
using bench::statusKilobytes;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The processor time of this thread: on a machine busy with other work it shows the cost
// that the wall-clock time hides under waiting.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

std::size_t heapBytes(const std::string& text) { return text.capacity() > 15 ? text.capacity() + 1 : 0; }

// What the records themselves take: their structures and the text they hold outside them.
std::size_t recordBytes(const ScanResult& scan) {
    std::size_t bytes = sizeof scan + heapBytes(scan.volume) + scan.categories.capacity() * sizeof(Category);
    for (const Category& category : scan.categories) {
        bytes += category.items.capacity() * sizeof(CleanupItem) + (category.note ? heapBytes(*category.note) : 0);
        for (const CleanupItem& item : category.items)
            bytes +=
                heapBytes(item.url.text()) + heapBytes(item.name) + heapBytes(item.reason) + heapBytes(item.source);
    }
    return bytes;
}

ScanResult largeScan(int items, int categories) {
    ScanResult scan;
    scan.date = Date::fromUnix(1.7e9);
    scan.volume = "Bench";
    scan.total = 1'000'000'000'000;
    scan.free = 400'000'000'000;
    scan.available = scan.free;
    for (int c = 0; c < categories; ++c) {
        const CategoryID id = allCategoryIDs[std::size_t(c)];
        Category category(id);
        const int count = items / categories + (c < items % categories ? 1 : 0);
        for (int index = 0; index < count; ++index) {
            const std::string path =
                "/home/bench/.cache/" + std::string(rawValue(id)) + "/application-" + std::to_string(index);
            category.items.emplace_back(Url::fromPath(path), std::nullopt, 4096 * (index + 1), index % 50 + 1,
                                        Date::fromUnix(1.7e9 + index * 0.25),
                                        "Temporary copies apps keep to load faster.", "caches.app", Safety::safe,
                                        CleanupAction::trash);
            category.size += 4096 * (index + 1);
        }
        scan.categories.push_back(std::move(category));
    }
    return scan;
}

struct ReadMeasure {
    double seconds = 0;
    double processorSeconds = 0;
    double addedMegabytes = 0;
    double recordMegabytes = 0;
    bool equal = false;
};

// Reads the cache as the model does (or through the document) and measures it; runs in a fresh
// process, whose peak is then the read's own.
ReadMeasure readHere(bool document, int items, int categories) {
    ReadMeasure measure;
    const long before = statusKilobytes("VmRSS");
    const double processorStart = threadSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::optional<ScanResult> read;
    if (document) {
        auto text = Fs::readFile(ScanCache::url().path(), 1ull << 30);
        auto json = text ? Json::read(*text) : std::nullopt;
        text.reset();
        if (json)
            if (auto decoded = ScanResult::fromJson(*json))
                read = std::move(decoded).value();
    } else {
        // The bench reads what it wrote, past the model's bound too.
        read = ScanCache::load(1ull << 30);
    }
    measure.seconds = secondsSince(start);
    measure.processorSeconds = threadSeconds() - processorStart;
    measure.addedMegabytes = double(statusKilobytes("VmHWM") - before) / 1024.0;
    measure.recordMegabytes = read ? double(recordBytes(*read)) / 1048576.0 : 0;
    measure.equal = read && *read == largeScan(items, categories);
    return measure;
}

ReadMeasure measureRead(bool document, int items, int categories) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        std::exit(1);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        dup2(pipeEnds[1], STDOUT_FILENO);
        const std::string itemsText = std::to_string(items), categoriesText = std::to_string(categories);
        execl("/proc/self/exe", "cache_bench", "--read", document ? "document" : "one-pass", itemsText.c_str(),
              categoriesText.c_str(), nullptr);
        _exit(127);
    }
    close(pipeEnds[1]);
    ReadMeasure measure;
    if (read(pipeEnds[0], &measure, sizeof measure) != sizeof measure)
        std::printf("  the reading process failed\n");
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    return measure;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void run(int items, int categories, int rounds) {
    ScanResult scan = largeScan(items, categories);
    std::vector<double> write, encoding, documentWrite, read, documentRead;
    std::vector<double> writeProcessor, documentWriteProcessor, readProcessor, documentReadProcessor;
    ReadMeasure last, lastDocument;
    std::size_t size = 0;
    for (int round = 0; round < rounds; ++round) {
        double processorStart = threadSeconds();
        auto start = std::chrono::steady_clock::now();
        const std::string dumped = scan.toJson().dump();
        documentWrite.push_back(secondsSince(start));
        documentWriteProcessor.push_back(threadSeconds() - processorStart);

        processorStart = threadSeconds();
        start = std::chrono::steady_clock::now();
        const std::string encoded = ScanCache::encode(scan);
        encoding.push_back(secondsSince(start));
        Fs::writeFileAtomically(ScanCache::url().path(), encoded, 0600);
        write.push_back(secondsSince(start));
        writeProcessor.push_back(threadSeconds() - processorStart);
        size = encoded.size();
        if (encoded != dumped)
            std::printf("  the two writers differ!\n");

        lastDocument = measureRead(true, items, categories);
        documentRead.push_back(lastDocument.seconds);
        documentReadProcessor.push_back(lastDocument.processorSeconds);
        last = measureRead(false, items, categories);
        read.push_back(last.seconds);
        readProcessor.push_back(last.processorSeconds);
    }
    std::printf("%d items in %d categor%s, %.1f MiB of text, records %.1f MiB (median of %d rounds)\n", items,
                categories, categories == 1 ? "y" : "ies", double(size) / 1048576.0, last.recordMegabytes, rounds);
    std::printf("  write   streaming %.3f s (%.3f s processor, %.3f s encoding; the rest is the file and its sync)\n"
                "          document  %.3f s (%.3f s processor; text only, not written)\n",
                median(write), median(writeProcessor), median(encoding), median(documentWrite),
                median(documentWriteProcessor));
    std::printf("  read    one pass  %.3f s (%.3f s processor)   document %.3f s (%.3f s)\n", median(read),
                median(readProcessor), median(documentRead), median(documentReadProcessor));
    std::printf("  peak    one pass  +%.1f MiB (%.2fx records)   document +%.1f MiB (%.2fx records)\n",
                last.addedMegabytes, last.addedMegabytes / last.recordMegabytes, lastDocument.addedMegabytes,
                lastDocument.addedMegabytes / last.recordMegabytes);
    std::printf("  equal   one pass %s   document %s\n", last.equal ? "yes" : "NO", lastDocument.equal ? "yes" : "NO");
}

} // namespace

int main(int argc, char** argv) {
    // --read is how the program measures a read in a process of its own.
    const tool::Forms forms("cache_bench", {{"[ITEMS]", "[ROUNDS]"}, {"--read", "KIND", "ITEMS", "CATEGORIES"}},
                            "ITEMS: 100000 unless given; ROUNDS: 5 unless given; KIND: document or one-pass");
    const auto args = tool::arguments(argc, argv);
    const auto form = forms.match(args);
    if (!form)
        return forms.answer(args);
    const auto itemCount = forms.number(args, *form == 0 ? 0 : 2, "ITEMS", 100'000, 1, 100'000'000);
    if (!itemCount)
        return tool::usageError;
    const int items = int(*itemCount);
    if (*form == 1) {
        if (args[1] != "document" && args[1] != "one-pass")
            return forms.refuse("KIND must be document or one-pass, not '" + args[1] + "'");
        const auto categories = forms.number(args, 3, "CATEGORIES", 1, 1, 1000);
        if (!categories)
            return tool::usageError;
        const ReadMeasure measure = readHere(args[1] == "document", items, int(*categories));
        return write(STDOUT_FILENO, &measure, sizeof measure) == sizeof measure ? 0 : 1;
    }
    const auto roundCount = forms.number(args, 1, "ROUNDS", 5, 1, 1000);
    if (!roundCount)
        return tool::usageError;
    const int rounds = int(*roundCount);
    auto folder = Fs::makeUniqueDirectory(Fs::temporaryDirectory(), "dovrane-cache-bench-");
    if (!folder)
        return 1;
    setenv("APP_STORE", Path::join(*folder, "bench.store").c_str(), 1);
    unsetenv("APP_SEED");
    run(items, 1, rounds);
    run(items, 16, rounds);
    Fs::removeAll(*folder);
    return 0;
}
