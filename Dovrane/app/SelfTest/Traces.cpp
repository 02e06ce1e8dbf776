#include "SelfTest/Traces.h"

#include "DovraneKit/core/Concurrently.h"
#include "DovraneKit/core/TextPieces.h"
#include "DovraneKit/scan/DiskScanner.h"
#include "DovraneKit/scan/ScanModel.h"
#include "DovraneKit/system/CommandRunner.h"
#include "DovraneKit/system/FileSystem.h"
#include "Services/ModelContainer.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <latch>
#include <memory>
#include <mutex>
#include <thread>

namespace dovrane::SelfTest {

namespace {

// TRACE_PROJECTS: the project folders, separated by colons as in PATH.
std::vector<std::string> projectFolders() {
    const char* value = std::getenv("TRACE_PROJECTS");
    std::vector<std::string> folders;
    for (std::string_view folder : splitDroppingEmpty(value ? value : "", ':'))
        folders.emplace_back(folder);
    return folders;
}

void runScanTrace(const std::vector<std::string>& arguments);

} // namespace

void useLineBuffering() {
    static std::once_flag switched;
    std::call_once(switched, [] { std::setvbuf(stdout, nullptr, _IOLBF, 0); });
}

void printLine(const std::string& line) { std::fwrite(line.data(), 1, line.size(), stdout); }

std::string oneDecimal(double value) {
    char text[32];
    auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return error == std::errc() ? std::string(text, end) : "0.0";
}

namespace {

std::atomic<bool> traceStarted{false};

bool scanTraceRequested(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), "--scan-trace") != arguments.end();
}

// The two traces, and a start that fails while the scan trace walks, may end together. Exit
// handlers and static destructors would run under the feet of the other one's threads (and a
// second exit() is undefined), so the first caller ends the process at once and any later one
// waits for it. Once the application exists a trace ends it on the main thread, the only one
// that may close the store.
std::mutex ending;
bool throughApplication = false; // guarded by ending
std::thread::id mainThread;      // set with throughApplication

void endProcess(int status) {
    ending.lock();
    QCoreApplication* application = throughApplication ? QCoreApplication::instance() : nullptr;
    if (application && std::this_thread::get_id() != mainThread) {
        ending.unlock();
        QMetaObject::invokeMethod(
            application, [status] { endProcess(status); }, Qt::QueuedConnection);
        return;
    }
    ModelContainer::closeAll();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}

// The trace may be done before the store is opened (on an empty home it is): its end waits for
// the start's outcome, so that a store that cannot be opened ends every run with status 1.
enum class Start { pending, wentOn, failed };
std::mutex settling;
Start startOutcome = Start::pending; // guarded by settling
bool traceFinished = false;          // guarded by settling

} // namespace

void traceDone(const std::vector<std::string>& arguments) {
    if (std::find(arguments.begin(), arguments.end(), "--selftest") != arguments.end())
        return;
    {
        const std::lock_guard lock(settling);
        traceFinished = true;
        if (startOutcome != Start::wentOn)
            return; // ended by the start's outcome
    }
    endProcess(0);
}

void startWentOn() {
    {
        const std::lock_guard lock(settling);
        startOutcome = Start::wentOn;
        if (!traceFinished)
            return;
    }
    endProcess(0);
}

void endOnMainThread() {
    const std::lock_guard lock(ending);
    throughApplication = true;
    mainThread = std::this_thread::get_id();
}

int endFailedStart(int status) {
    {
        const std::lock_guard lock(settling);
        startOutcome = Start::failed;
    }
    if (traceStarted.load())
        endProcess(status);
    return status;
}

void traceIfRequested(const std::vector<std::string>& arguments) {
    if (!scanTraceRequested(arguments) || traceStarted.exchange(true))
        return;
    useLineBuffering();
    // The categories are measured on threads of their own; this one waits for them off the
    // main thread, which meanwhile starts the application.
    runOnThreadElseInline([arguments] { runScanTrace(arguments); }).detach();
}

namespace {

void runScanTrace(const std::vector<std::string>& arguments) {
    ScanSettings settings;
    settings.installerAgeDays = 14;
    settings.projectFolders = projectFolders();
    settings.projectAgeDays = 30;
    const DiskScanner scanner(Url::fromPath(Fs::homeDirectory()), std::nullopt, settings,
                              std::make_shared<ProcessRunner>(30), DiskScanner::noNames(), {}, Date::now());

    const HomeLayout layout(scanner.home, scanner.environment);
    // The categories begin together once all their threads exist, so that making the last ones
    // does not wait behind the walk of the first.
    std::latch begin(1);
    auto trace = [&scanner, &layout, &begin](CategoryID id) {
        begin.wait();
        const auto start = std::chrono::steady_clock::now();
        const Category category = scanner.collect(id, layout);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        printLine("TRACE " + std::string(rawValue(id)) + ": " + std::to_string(category.items.size()) + " items, " +
                  bytes(category.size) + ", " + oneDecimal(took.count()) + " s\n");
    };
    {
        std::vector<std::jthread> children;
        std::vector<CategoryID> withoutThread;
        children.reserve(allCategoryIDs.size());
        withoutThread.reserve(allCategoryIDs.size());
        for (CategoryID id : allCategoryIDs) {
            if (id == CategoryID::other)
                continue;
            try {
                children.emplace_back(trace, id);
            } catch (const std::exception&) {
                withoutThread.push_back(id); // no thread to spare: measured here
            }
        }
        begin.count_down();
        for (CategoryID id : withoutThread)
            trace(id);
    }
    traceDone(arguments);
}

} // namespace

} // namespace dovrane::SelfTest
