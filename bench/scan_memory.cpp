// The whole-disk scan alone, without the application around it: runs the scanner once over a
// home folder as the application's launch scan does and prints the time, the items found and
// the peak resident memory, before and after the scan, so what the scan itself holds shows
// apart from what loading the program costs.
//
//   build/bin/scan_memory HOME [PROJECTS]   (folders that must exist; relative to the working folder)

#include "ToolSupport.h"

#include <DovraneKit/scan/DiskScanner.h>
#include <DovraneKit/system/CommandRunner.h>
#include <DovraneKit/system/FileSystem.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace dovrane;

namespace {

long peakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    const tool::Forms forms("scan_memory", {{"HOME", "[PROJECTS]"}});
    const auto args = tool::arguments(argc, argv);
    if (!forms.match(args))
        return forms.answer(args);
    // The scanner takes absolute paths only; a relative one is taken from the working folder.
    std::vector<std::string> folders;
    for (const std::string& arg : args) {
        const std::optional<std::string> folder = Fs::realPath(arg);
        if (!folder || !Fs::isDirectory(*folder))
            return tool::fail(forms.program(), "no folder at " + arg);
        folders.push_back(*folder);
    }
    ScanSettings settings;
    settings.installerAgeDays = 14;
    settings.projectAgeDays = 30;
    if (folders.size() > 1)
        settings.projectFolders.push_back(folders[1]);
    const long before = peakKilobytes();
    const auto start = std::chrono::steady_clock::now();
    const DiskScanner scanner(Url::fromPath(folders[0]), std::nullopt, settings, std::make_shared<ProcessRunner>(30));
    const ScanResult result = scanner.scan(nullptr);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::size_t items = 0;
    for (const Category& category : result.categories)
        items += category.items.size();
    std::printf("scan: %.3f s, %zu items; peak memory %.1f MB before the scan, %.1f MB after\n", took.count(), items,
                double(before) / 1024, double(peakKilobytes()) / 1024);
    return 0;
}
