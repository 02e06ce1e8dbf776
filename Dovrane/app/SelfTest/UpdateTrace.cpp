#include "SelfTest/UpdateTrace.h"

#include "AppModel/AppModel.h"
#include "SelfTest/Traces.h"
#include "UpdatesModel/UpdateCheckSetup.h"

#include "DovraneKit/apps/AppInventory.h"
#include "DovraneKit/apps/FlatpakApps.h"
#include "DovraneKit/core/Concurrently.h"
#include "DovraneKit/system/FileSystem.h"
#include "DovraneKit/updates/UpdateChecker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace dovrane::SelfTest {

namespace {

std::string status(const InstalledApp& app, const std::map<std::string, UpdateCheck>& results) {
    // System apps, Flatpak's among them, are never checked: Flatpak updates its own.
    auto found = results.find(app.id());
    if (found == results.end())
        return "skipped (system)";
    const UpdateCheck& result = found->second;
    switch (result.kind()) {
    case UpdateCheck::Kind::available: {
        UpdateInfo info = *result.update();
        return "UPDATE " + app.version + " -> " + info.newVersion + (info.edSignature ? " signed" : "");
    }
    case UpdateCheck::Kind::failed:
        return "FAILED " + result.message();
    case UpdateCheck::Kind::unsupported:
        return "unsupported";
    case UpdateCheck::Kind::upToDate:
        break;
    }
    return "current " + app.version;
}

void runUpdateTrace(const std::vector<std::string>& arguments) {
    const auto start = std::chrono::steady_clock::now();
    const AppInventory inventory(Url::fromPath(Fs::homeDirectory()), std::nullopt,
                                 {Url::fromPath("/opt/homebrew/Caskroom"), Url::fromPath("/usr/local/Caskroom")});
    const std::vector<InstalledApp> apps = AppModel::listInstalledApps(inventory, [] { return FlatpakApps::list(); });

    const UpdateChecker checker =
        UpdateCheckSetup::makeChecker(UpdateCheckSetup::userAgent(), Url::fromPath(Fs::temporaryDirectory()));
    const auto results = checker.check(apps, [](std::size_t, std::size_t) {});

    for (const InstalledApp& app : apps)
        printLine("TRACE [" + std::string(FlatpakApps::isFlatpak(app) ? "flatpak" : rawValue(app.source)) + "] " +
                  app.name + ": " + status(app, results) + "\n");
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    printLine("TRACE done in " + oneDecimal(took.count()) + " s\n");
    traceDone(arguments);
}

} // namespace

bool updateTraceIfRequested(const std::vector<std::string>& arguments) {
    if (std::find(arguments.begin(), arguments.end(), "--update-trace") == arguments.end())
        return false;
    useLineBuffering();
    // Without a thread to be had the trace runs here.
    runOnThreadElseInline([arguments] { runUpdateTrace(arguments); }).detach();
    return true;
}

} // namespace dovrane::SelfTest
