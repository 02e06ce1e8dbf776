// How soon the Cleaned Up page paints over a long journal: a temporary store is filled with
// RECORDS removals of three items each (their Trash copies missing, as after emptying the Trash),
// the window opens, and the sidebar turns to the Cleaned Up page while a probe notes the longest
// gap between two turns of the event loop. Prints the time until the first row is painted and
// the window's longest time away, then the same for scrolling to the end of the list and for a
// new record arriving. A step that has not painted after LIMIT seconds ends the run with a line
// that says so. Offscreen unless QT_QPA_PLATFORM names another platform. Works in a temporary
// folder only.
//
//   build/bin/journal_bench [RECORDS [LIMIT]]

#include "ProcessStatus.h"
#include "ToolSupport.h"
#include "WindowBench.h"

#include "AppModel/AppModel.h"
#include "ContentView/ContentView.h"
#include "Services/Translations.h"
#include "Store/Store.h"
#include "UiKit/Setup.h"

#include <DovraneKit/system/FileSystem.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScrollBar>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

using namespace dovrane;

namespace {

// A held main thread cannot notice its own limit: this one ends the process from the side.
class Watchdog {
public:
    // atLimit: what to do before the process ends, from the watchdog's thread.
    Watchdog(double limit, std::function<void()> atLimit) : limit_(limit), atLimit_(std::move(atLimit)) {
        thread_ = std::thread([this] {
            while (!stop_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                const double since = seconds();
                if (armed_ && since > limit_) {
                    std::printf("| %-36s | did not paint within %.0f s |\n", step_.load(), limit_);
                    std::fflush(stdout);
                    atLimit_();
                    std::_Exit(2);
                }
            }
        });
    }
    ~Watchdog() {
        stop_ = true;
        thread_.join();
    }
    void arm(const char* step) {
        step_ = step;
        start_ = std::chrono::steady_clock::now().time_since_epoch().count();
        armed_ = true;
    }
    void disarm() { armed_ = false; }

private:
    double seconds() const {
        return double(std::chrono::steady_clock::now().time_since_epoch().count() - start_) / 1e9;
    }
    double limit_;
    std::function<void()> atLimit_;
    std::atomic<bool> stop_ = false, armed_ = false;
    std::atomic<const char*> step_ = "";
    std::atomic<long long> start_ = 0;
    std::thread thread_;
};

// The first visible label of a row showing this text.
QLabel* visibleLabel(QWidget& window, const QString& text) {
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->isVisible() && label->text() == text)
            return label;
    return nullptr;
}

// Runs `act` from the event loop, then the loop until the label with `text` shows, then paints
// the window once; prints the time to that paint and the longest time away.
bool step(bench::EventLoopProbe& probe, Watchdog& watchdog, QWidget& window, const char* name,
          const std::function<void()>& act, const QString& text, double limit) {
    probe.reset();
    watchdog.arm(name);
    QElapsedTimer clock;
    clock.start();
    const bool shown = bench::actThenWaitFor(
        act, [&] { return visibleLabel(window, text) != nullptr; }, limit);
    (void)window.grab();
    const double took = double(clock.nsecsElapsed()) / 1e9;
    bench::waitFor([] { return false; }, 0.3);
    watchdog.disarm();
    std::printf("| %-36s | %9.3f s | %9.3f s |%s\n", name, took, probe.longest(), shown ? "" : " did not show");
    std::fflush(stdout);
    return shown;
}

QString recordTitle(int index) { return QStringLiteral("Record %1").arg(index); }

} // namespace

int main(int argc, char** argv) {
    const tool::Forms forms("journal_bench", {{"[RECORDS]", "[LIMIT]"}},
                            "RECORDS: journal records in the store, 10000 unless given; LIMIT: seconds a step may "
                            "take, 60 unless given");
    const auto args = tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    const auto recordCount = forms.number(args, 0, "RECORDS", 10'000, 0, 10'000'000);
    const auto limitSeconds = forms.number(args, 1, "LIMIT", 60, 1, 3600);
    if (!recordCount || !limitSeconds)
        return tool::usageError;
    const int records = int(*recordCount);
    const double limit = double(*limitSeconds);

    auto folder = Fs::makeUniqueDirectory(Fs::temporaryDirectory(), "dovrane-journal-bench-");
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
        QElapsedTimer filling;
        filling.start();
        // In chunks, each through a store of its own, which lets go of the records it saved.
        const Date start = Date::now().adding(-double(records) * 60);
        for (int chunk = 0; chunk < records; chunk += 10'000) {
            auto writer = Store::makeContainer();
            for (int index = chunk; index < std::min(records, chunk + 10'000); ++index) {
                std::vector<RemovedItem> items;
                for (int part = 0; part < 3; ++part) {
                    RemovedItem item;
                    const std::string name = "record-" + std::to_string(index) + "-" + std::to_string(part);
                    item.originalPath = Url::fromPath(Path::join(home, "Downloads/" + name));
                    item.trashPath = Url::fromPath(Path::join(home, ".local/share/Trash/files/" + name));
                    item.size = 1'000'000;
                    items.push_back(std::move(item));
                }
                writer->insert(
                    std::make_shared<Removal>(start.adding(double(index) * 60), recordTitle(index), std::move(items)));
            }
            if (!writer->save())
                return 1;
        }
        std::printf("%d records written in %.1f s, platform %s\n\n", records, double(filling.elapsed()) / 1000,
                    qPrintable(QGuiApplication::platformName()));

        bench::ShownWindow shown;
        auto& container = shown.container;
        AppModel& model = shown.model;
        ContentView& window = shown.window;
        bench::EventLoopProbe probe;
        // The main thread is held: the temporary folder goes from here.
        Watchdog watchdog(limit, [folder = *folder] { Fs::removeAll(folder); });
        bench::waitFor([] { return false; }, 0.5);
        const long before = bench::statusKilobytes("VmRSS");

        std::printf("| %-36s | %11s | %11s |\n", "step", "painted", "away");
        std::printf("|%s|%s|%s|\n", std::string(38, '-').c_str(), std::string(13, '-').c_str(),
                    std::string(13, '-').c_str());
        const QString newest = records > 0 ? recordTitle(records - 1) : QString();
        bool ok = records == 0 || step(
                                      probe, watchdog, window, "Cleaned Up page, newest row",
                                      [&] { model.setSidebar(SidebarItem::cleaned); }, newest, limit);
        if (ok && records > 0) {
            ok = step(
                probe, watchdog, window, "Scrolled to the end, oldest row",
                [&] {
                    for (QAbstractScrollArea* scroll : window.findChildren<QAbstractScrollArea*>())
                        if (scroll->isVisible())
                            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
                },
                recordTitle(0), limit);
        }
        if (ok) {
            ok = step(
                probe, watchdog, window, "A new record, at the top",
                [&] {
                    for (QAbstractScrollArea* scroll : window.findChildren<QAbstractScrollArea*>())
                        if (scroll->isVisible())
                            scroll->verticalScrollBar()->setValue(0);
                    container->insert(
                        std::make_shared<Removal>(Date::now(), QStringLiteral("Newest"), std::vector<RemovedItem>{}));
                    container->save();
                },
                QStringLiteral("Newest"), limit);
        }
        if (!ok) {
            std::fprintf(stderr, "journal_bench: a step did not end\n");
            status = 1;
        }
        std::printf("\nmemory: %.0f MB with the window open, %.0f MB after the steps (peak %.0f MB, filling "
                    "the store included)\n",
                    double(before) / 1000, double(bench::statusKilobytes("VmRSS")) / 1000,
                    double(bench::statusKilobytes("VmHWM")) / 1000);
    }
    Fs::removeAll(*folder);
    return status;
}
