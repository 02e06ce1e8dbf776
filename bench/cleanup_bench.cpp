// How long the window stays away while a large category is cleaned up through its real widgets:
// a home whose cache folder holds ITEMS app caches is scanned, the Storage page shows Caches,
// then "Select Safe Items", "Move to Trash…" until the sheet shows, the confirmation until every
// item is in the Trash, the Cleaned Up page and Put Back of the record each run while a probe
// notes the longest gap between two turns of the event loop; the first scan, with the window
// open, is a step too. Prints one table row per step: the window's longest time away, the
// step's whole time and the process's peak memory so far; the last line gives the peak of the
// whole run. Offscreen unless QT_QPA_PLATFORM names another platform (run it under xvfb-run with
// "xcb"). Works in a temporary home only.
//
//   build/bin/cleanup_bench [ITEMS]

#include "ProcessStatus.h"
#include "ToolSupport.h"
#include "WindowBench.h"

#include "AppModel/AppModel.h"
#include "ContentView/ContentView.h"
#include "ContentView/SheetHost.h"
#include "Services/Translations.h"
#include "Sheets/CleanupSheet.h"
#include "Store/Store.h"
#include "UiKit/Setup.h"

#include <DovraneKit/system/FileSystem.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

using namespace dovrane;

namespace {

// Lets the window paint and settle what the step left behind.
void settle() {
    bench::waitFor([] { return false; }, 0.5);
}

QAbstractButton* visibleButton(QWidget& window, const QString& name, const QString& text = {}) {
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (button->isVisible() && (name.isEmpty() || button->objectName() == name) &&
            (text.isEmpty() || button->text() == text))
            return button;
    return nullptr;
}

CleanupSheet* shownSheet(ContentView& window) {
    auto* sheet = qobject_cast<CleanupSheet*>(window.sheetHost()->current());
    return sheet && sheet->isVisible() ? sheet : nullptr;
}

std::size_t cacheItems(const AppModel& model) {
    if (!model.scan())
        return 0;
    for (const Category& category : model.scan()->categories)
        if (category.id == CategoryID::caches)
            return category.items.size();
    return 0;
}

// Runs one step: `act` from the event loop, then the loop until `done`, then the settling.
bool step(bench::EventLoopProbe& probe, const char* name, const std::function<void()>& act,
          const std::function<bool()>& done, double limit) {
    probe.reset();
    QElapsedTimer clock;
    clock.start();
    const bool ended = bench::actThenWaitFor(act, done, limit);
    const double took = double(clock.nsecsElapsed()) / 1e9;
    settle();
    std::printf("| %-40s | %8.3f s | %8.3f s | %7ld MB |%s\n", name, probe.longest(), took,
                bench::statusKilobytes("VmHWM") / 1000, ended ? "" : " did not end");
    std::fflush(stdout);
    return ended;
}

} // namespace

int main(int argc, char** argv) {
    const tool::Forms forms("cleanup_bench", {{"[ITEMS]"}},
                            "ITEMS: app caches in the home's cache folder, 20000 unless given");
    const auto args = tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    const auto itemCount = forms.number(args, 0, "ITEMS", 20'000, 1, 1'000'000);
    if (!itemCount)
        return tool::usageError;
    const int items = int(*itemCount);

    auto folder = Fs::makeUniqueDirectory(Fs::temporaryDirectory(), "dovrane-cleanup-bench-");
    if (!folder)
        return 1;
    const std::string home = Path::join(*folder, "home");
    for (int index = 0; index < items; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "app-%07d", index);
        const std::string cache = Path::join(Path::join(home, ".cache"), name);
        Fs::makeDirectories(cache);
        Fs::writeFile(Path::join(cache, "data"), std::string(100, 'x'));
    }
    bench::useThrowawayHome(*folder, home);

    int status = 0;
    {
        QApplication application(argc, argv);
        UiKit::install();
        Translations::install();
        bench::ShownWindow shown;
        AppModel& model = shown.model;
        ContentView& window = shown.window;
        bench::EventLoopProbe probe;

        std::printf("%d app caches, platform %s\n\n", items, qPrintable(QGuiApplication::platformName()));
        std::printf("| %-40s | %10s | %10s | %10s |\n", "step", "away", "took", "peak");
        std::printf("|%s|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(12, '-').c_str(),
                    std::string(12, '-').c_str(), std::string(12, '-').c_str());
        QFuture<void> scanned;
        bool ok = step(
            probe, "First scan, until it shows", [&] { scanned = model.startScan(); },
            [&] { return scanned.isFinished(); }, 600);
        std::printf("|   the scan lists %zu items in Caches\n", cacheItems(model));

        QAbstractButton* selectSafe = nullptr;
        ok =
            ok &&
            step(
                probe, "Storage page on Caches", [&] { model.setSidebar(SidebarItem::storage); },
                [&] { return (selectSafe = visibleButton(window, QStringLiteral("selectSafeItems"))) != nullptr; }, 60);
        ok = ok && step(
                       probe, "Select Safe Items", [&] { selectSafe->click(); }, [] { return true; }, 60);
        QAbstractButton* move = visibleButton(window, QStringLiteral("moveToTrash"));
        ok = ok && move && move->isEnabled() &&
             step(
                 probe, "Move to Trash..., until the sheet shows", [&] { move->click(); },
                 [&] { return shownSheet(window) != nullptr; }, 600);
        if (ok) {
            CleanupSheet* sheet = shownSheet(window);
            std::printf("|   the sheet lists %d entries\n", sheet->entries()->model()->rowCount());
            ok = step(
                probe, "Move to Trash, until every item moved", [&] { sheet->confirmButton()->click(); },
                [&] { return model.notice().has_value() && cacheItems(model) == 0; }, 600);
        }
        ok = ok && step(
                       probe, "Cleaned Up page", [&] { model.setSidebar(SidebarItem::cleaned); },
                       [&] { return visibleButton(window, {}, QStringLiteral("Put Back")) != nullptr; }, 60);
        if (ok) {
            QAbstractButton* putBack = visibleButton(window, {}, QStringLiteral("Put Back"));
            model.setNotice(std::nullopt);
            ok = step(
                probe, "Put Back, until back and rescanned", [&] { putBack->click(); },
                [&] { return model.notice().has_value() && !model.isScanning() && cacheItems(model) > 0; }, 600);
        }
        std::printf("\npeak memory %ld MB\n", bench::statusKilobytes("VmHWM") / 1000);
        if (!ok) {
            std::fprintf(stderr, "cleanup_bench: a step did not end\n");
            status = 1;
        }
    }
    Fs::removeAll(*folder);
    return status;
}
